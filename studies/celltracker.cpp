// Whole-cell tracking for the studies, on the demo's own cell step.
#include "studies/celltracker.h"

#include <algorithm>
#include <cstring>
#include <thread>
#include <vector>

#include "particles/decays.h"
#include "util/dynarray.h"

namespace {

constexpr size_t chunkparticles = 16;  // small, so long survivors never hold up the others

// One particle through whole cells, in the frame order check, step, accelerate.
int64_t trackone(particle* p, const cellrequest& r) {
    dynarray one;
    dynarrayinit(&one, sizeof(particle));
    dynarrayappend(&one, p);
    particle* q = static_cast<particle*>(one.data);
    int64_t lost = survived;
    for (int64_t cell = 0;; ++cell) {
        if (!inaperture(*q)) {
            lost = cell;
            break;
        }
        if (cell == r.cells) break;
        double distance = startdistance;  // every cell is the same periodic cell
        advancebeam(&one, &distance, true);
        if (r.accelerate && r.from <= cell && cell <= r.to) acceleratebeam(&one);
    }
    *p = *static_cast<particle*>(one.data);
    dynarrayrelease(one);
    return lost;
}

}  // namespace

// Chunks handed out from one counter; each particle's result depends on nothing else.
bool trackwholecells(particle* particles, int64_t* lost, size_t n, const cellrequest& request,
                     const cellcontrol& control) {
    makedecaytables();
    std::atomic<size_t> next{0};
    std::atomic<bool> stopped{false};
    auto worker = [&] {
        for (;;) {
            if (control.stop && control.stop->load()) {
                stopped = true;
                return;
            }
            size_t first = next.fetch_add(chunkparticles);
            if (first >= n) return;
            size_t end = std::min(n, first + chunkparticles);
            for (size_t i = first; i < end; ++i) {
                lost[i] = trackone(&particles[i], request);
                if (control.done) control.done[i].store(1, std::memory_order_release);
            }
            if (control.finished) control.finished->fetch_add(static_cast<int64_t>(end - first));
        }
    };
    unsigned threads = request.threads > 0 ? static_cast<unsigned>(request.threads)
                                           : std::max(1u, std::thread::hardware_concurrency());
    threads = static_cast<unsigned>(std::min<size_t>(threads, (n + chunkparticles - 1) / chunkparticles));
    std::vector<std::thread> pool;
    for (unsigned t = 1; t < threads; ++t) pool.emplace_back(worker);
    if (threads > 0) worker();
    for (std::thread& t : pool) t.join();
    return !stopped;
}
