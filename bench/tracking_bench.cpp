// Benchmarks of one fast frame (177 steps of 0.05 m over the demo's 10000 protons): the
// straightforward evaluation of the formulas (the baseline, as the beam was tracked before the
// engine) against the engine's modes on one and two threads, all in one run so ratios compare.
#include <benchmark/benchmark.h>

#include <cmath>
#include <vector>

#include "particles/decays.h"
#include "simulation/beam.h"
#include "tracking/engine.h"
#include "tracking/lattice.h"
#include "tracking/maps.h"
#include "util/random.h"

namespace {

const std::vector<particle>& startbeam() {
    static const std::vector<particle> beam = [] {
        makedecaytables();
        const uint32_t saved = randstate;
        randstate = 1;
        dynarray b;
        makebeam(&b);
        randstate = saved;
        std::vector<particle> out(static_cast<particle*>(b.data), static_cast<particle*>(b.data) + b.count);
        dynarrayrelease(b);
        return out;
    }();
    return beam;
}

// The straightforward frame: for every step, locate the element, then one pass of the element's
// maps over the whole beam, with each particle's momentum worked out at every kick.
void straightforwardframe(particle* p, size_t n, double* distance) {
    const double cell = celllength(lattice);
    double pos = std::fmod(*distance + cell, cell);
    const char* cursor = lattice;
    char current = lattice[0];
    for (int s = 0; s < cellsteps(); ++s) {
        while (pos > -0.001) {
            pos -= elementlength(*cursor);
            current = *cursor;
            if (!*++cursor) cursor = lattice;
        }
        if (current == 'F') magnetstepparticles(p, n, +beamstep);
        if (current == 'D') magnetstepparticles(p, n, -beamstep);
        driftparticles(p, n, beamstep);
        *distance = *distance + beamstep;
        pos = pos + beamstep;
    }
}

}  // namespace

static void BM_fastframe_straightforward(benchmark::State& state) {
    std::vector<particle> beam = startbeam();
    for (auto _ : state) {
        double distance = startdistance;
        straightforwardframe(beam.data(), beam.size(), &distance);
        benchmark::DoNotOptimize(distance);
        state.PauseTiming();
        beam = startbeam();
        state.ResumeTiming();
    }
    state.SetItemsProcessed(state.iterations() * static_cast<int64_t>(beam.size()));
}
BENCHMARK(BM_fastframe_straightforward)->Unit(benchmark::kMillisecond)->UseRealTime();

// Arguments: math mode (0 exact, 1 vector), threads.
static void BM_fastframe_engine(benchmark::State& state) {
    const mathmode math = state.range(0) ? mathmode::vector : mathmode::exact;
    if (!mathmodeavailable(math)) {
        state.SkipWithError("mode not in this build");
        return;
    }
    engine e({math, static_cast<unsigned>(state.range(1))});
    std::vector<particle> beam = startbeam();
    for (auto _ : state) {
        double distance = startdistance;
        advance(e, beam.data(), beam.size(), &distance, true);
        benchmark::DoNotOptimize(distance);
        state.PauseTiming();
        beam = startbeam();
        state.ResumeTiming();
    }
    state.SetItemsProcessed(state.iterations() * static_cast<int64_t>(beam.size()));
}
BENCHMARK(BM_fastframe_engine)
    ->ArgNames({"vector", "threads"})
    ->Args({0, 1})
    ->Args({0, 2})
    ->Args({1, 1})
    ->Args({1, 2})
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();
