// Benchmarks of the beam: generation, one fast-mode frame, one accelerated frame.
#include <benchmark/benchmark.h>

#include <cstring>

#include "particles/decays.h"
#include "simulation/beam.h"
#include "util/random.h"

namespace {

// The demo's starting beam, generated once.
const dynarray& startbeam() {
    static dynarray beam = [] {
        makedecaytables();
        uint32_t saved = randstate;
        randstate = 1;
        dynarray b;
        makebeam(&b);
        randstate = saved;
        return b;
    }();
    return beam;
}

// Puts the starting beam back (outside the timed region).
void restore(dynarray& beam) {
    std::memcpy(beam.data, startbeam().data, static_cast<size_t>(startbeam().count) * sizeof(particle));
    beam.count = startbeam().count;
}

}  // namespace

static void BM_makebeam(benchmark::State& state) {
    for (auto _ : state) {
        randstate = 1;
        dynarray beam;
        makebeam(&beam);
        benchmark::DoNotOptimize(beam.data);
        dynarrayrelease(beam);
    }
    state.SetItemsProcessed(state.iterations() * beamsize);
}
BENCHMARK(BM_makebeam)->Unit(benchmark::kMicrosecond);

// One frame in fast mode: 177 steps (17 of them magnet kicks) over 10000 particles.
static void BM_advancebeam_fastframe(benchmark::State& state) {
    dynarray beam = dynarrayclone(startbeam());
    for (auto _ : state) {
        state.PauseTiming();
        restore(beam);
        double distance = startdistance;
        state.ResumeTiming();
        advancebeam(&beam, &distance, true);
        benchmark::DoNotOptimize(distance);
    }
    state.SetItemsProcessed(state.iterations() * beamsize);
    dynarrayrelease(beam);
}
BENCHMARK(BM_advancebeam_fastframe)->Unit(benchmark::kMillisecond);

// One accelerated frame over 10000 particles.
static void BM_acceleratebeam(benchmark::State& state) {
    dynarray beam = dynarrayclone(startbeam());
    for (auto _ : state) {
        state.PauseTiming();
        restore(beam);
        state.ResumeTiming();
        acceleratebeam(&beam);
        benchmark::ClobberMemory();
    }
    state.SetItemsProcessed(state.iterations() * beamsize);
    dynarrayrelease(beam);
}
BENCHMARK(BM_acceleratebeam)->Unit(benchmark::kMicrosecond);
