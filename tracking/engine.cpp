// The tracking engine: kernels chosen once, work shared out over the persistent pool.
#include "tracking/engine.h"

#include <algorithm>
#include <cstdlib>

#include "tracking/kernels.h"
#include "tracking/threadpool.h"

struct enginestate {
    engineoptions options;
    const kernelset* kernels;
    kernelconstants constants;
    threadpool pool;

    explicit enginestate(const engineoptions& o)
        : options(o),
          kernels(o.math == mathmode::vector ? &vectorkernels(o.portablesimd) : &exactkernels()),
          constants(makekernelconstants()),
          pool(threadsfor(o.threads)) {
        options.threads = pool.threads();
    }
};

namespace {

// Particles per task of a frame: several blocks, so a task is worth a wake-up, but enough tasks
// that both cores stay busy to the end of the frame.
constexpr size_t frametask = 8 * kernelblock;
// trackcells hands out one block at a time: particles differ wildly in how long they live.
constexpr size_t cellstask = kernelblock;

struct framejob {
    const enginestate* s;
    const stepplan* plan;
    bool accelerate;
    particle* p;
    size_t n;
};

void frametaskrun(void* context, size_t index) {
    const framejob& j = *static_cast<const framejob*>(context);
    const size_t start = index * frametask;
    j.s->kernels->frame(j.s->constants, *j.plan, j.accelerate, j.p + start, std::min(frametask, j.n - start));
}

void runframe(enginestate& s, const stepplan& plan, bool accelerate, particle* p, size_t n) {
    if (n == 0) return;
    framejob job{&s, &plan, accelerate, p, n};
    s.pool.run((n + frametask - 1) / frametask, frametaskrun, &job);
}

struct cellsjob {
    const enginestate* s;
    const cellrun* run;
    cellrange range;
    particle* p;
    size_t n;
    std::atomic<bool> stopped{false};
};

void cellstaskrun(void* context, size_t index) {
    cellsjob& j = *static_cast<cellsjob*>(context);
    if (j.stopped.load(std::memory_order_relaxed)) return;
    if (j.run->stop && j.run->stop->load(std::memory_order_relaxed)) {
        j.stopped.store(true, std::memory_order_relaxed);
        return;
    }
    const size_t start = index * cellstask;
    const size_t count = std::min(cellstask, j.n - start);
    j.s->kernels->cells(j.s->constants, periodiccell(), j.range, j.p + start, j.run->lostatcell + start,
                        count);
    if (j.run->done)
        for (size_t i = start; i < start + count; ++i)
            std::atomic_ref<uint8_t>(j.run->done[i]).store(1, std::memory_order_release);
    if (j.run->finished) j.run->finished->fetch_add(static_cast<int64_t>(count), std::memory_order_relaxed);
}

}  // namespace

bool parsemathmode(std::string_view text, mathmode* mode) {
    if (text == "exact") {
        *mode = mathmode::exact;
        return true;
    }
    if (text == "vector") {
        *mode = mathmode::vector;
        return true;
    }
    return false;
}

bool parsethreads(std::string_view text, unsigned* threads) {
    if (text.empty() || text.size() > 3) return false;
    unsigned value = 0;
    for (char c : text) {
        if (c < '0' || c > '9') return false;
        value = value * 10 + static_cast<unsigned>(c - '0');
    }
    if (value > 256) return false;
    *threads = value;
    return true;
}

bool engineoptionsfromenvironment(engineoptions* options, std::string& error) {
    engineoptions o = *options;
    if (const char* s = std::getenv("VOXDA_MATH"); s && *s && !parsemathmode(s, &o.math)) {
        error = std::string("VOXDA_MATH: '") + s + "' is neither exact nor vector";
        return false;
    }
    if (!mathmodeavailable(o.math)) {
        error = std::string("VOXDA_MATH: ") + mathmodename(o.math) + " mode is not in this build";
        return false;
    }
    if (const char* s = std::getenv("VOXDA_THREADS"); s && *s && !parsethreads(s, &o.threads)) {
        error = std::string("VOXDA_THREADS: '") + s + "' is not a thread count from 1 to 256 (0: every core)";
        return false;
    }
    if (const char* s = std::getenv("VOXDA_SIMD"); s && *s) {
        const std::string_view v = s;
        if (v != "scalar" && v != "simd") {
            error = std::string("VOXDA_SIMD: '") + s + "' is neither scalar nor simd";
            return false;
        }
        o.portablesimd = v == "scalar";
    }
    *options = o;
    return true;
}

bool mathmodeavailable(mathmode mode) { return mode == mathmode::exact || mode == mathmode::vector; }

const char* mathmodename(mathmode mode) { return mode == mathmode::vector ? "vector" : "exact"; }

engine::engine(const engineoptions& options) : s(std::make_unique<enginestate>(options)) {}
engine::~engine() = default;
const engineoptions& engine::options() const { return s->options; }
unsigned engine::threads() const { return s->pool.threads(); }

void advance(engine& e, particle* p, size_t n, double* distance, bool fast) {
    advanceandaccelerate(e, p, n, distance, fast, false);
}

void accelerate(engine& e, particle* p, size_t n) {
    stepplan none{};
    runframe(e.state(), none, true, p, n);
}

void advanceandaccelerate(engine& e, particle* p, size_t n, double* distance, bool fast,
                          bool accelerateafter) {
    const stepplan plan = locatesteps(*distance, fast ? cellsteps() : 1);
    runframe(e.state(), plan, accelerateafter, p, n);
    *distance = plan.enddistance;
}

const stepplan& periodiccell() {
    static const stepplan cell = locatesteps(startdistance, cellsteps());
    return cell;
}

bool trackcells(engine& e, particle* p, size_t n, const cellrun& run) {
    if (n == 0) return !(run.stop && run.stop->load());
    cellsjob job;
    job.s = &e.state();
    job.run = &run;
    job.range = {run.cells, run.acceleratefrom, run.accelerateto};
    job.p = p;
    job.n = n;
    e.state().pool.run((n + cellstask - 1) / cellstask, cellstaskrun, &job);
    return !job.stopped.load();
}
