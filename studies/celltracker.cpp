// Whole-cell tracking for the studies, on the tracking engine's periodic cell.
#include "studies/celltracker.h"

#include <map>
#include <mutex>
#include <utility>

namespace {

// One engine per (math, threads), started on first use and kept for the process: its pool is
// started once, and it is never torn down at exit, where a forked child would wait for threads it
// does not have.
engine& studyengine(const cellrequest& r) {
    static std::map<std::pair<int, int>, engine*> engines;
    engine*& e = engines[{static_cast<int>(r.math), r.threads}];
    if (!e) {
        engineoptions options;
        options.math = r.math;
        options.threads = r.threads > 0 ? static_cast<unsigned>(r.threads) : 0;
        std::string error;
        engineoptionsfromenvironment(&options, error);  // VOXDA_SIMD; the request's own mode wins
        options.math = r.math;
        options.threads = r.threads > 0 ? static_cast<unsigned>(r.threads) : 0;
        e = new engine(options);
    }
    return *e;
}

std::mutex enginelock;  // an engine serves one caller at a time

}  // namespace

static_assert(sizeof(std::atomic<uint8_t>) == 1 && std::atomic<uint8_t>::is_always_lock_free,
              "the done flags are handed to the engine as bytes it writes atomically");

bool trackwholecells(particle* particles, int64_t* lost, size_t n, const cellrequest& request,
                     const cellcontrol& control) {
    std::lock_guard<std::mutex> hold(enginelock);
    cellrun run;
    run.cells = request.cells;
    if (request.accelerate) {
        run.acceleratefrom = request.from;
        run.accelerateto = request.to;
    }
    run.lostatcell = lost;
    run.stop = control.stop;
    run.finished = control.finished;
    run.done = reinterpret_cast<uint8_t*>(control.done);
    return trackcells(studyengine(request), particles, n, run);
}
