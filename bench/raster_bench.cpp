// Benchmarks of the pixel writers and lines: the table call against a per-pixel depth test, one
// frame's plot of the demo's beam, and its scale grid.
#include <benchmark/benchmark.h>

#include <cstdint>
#include <cstring>
#include <vector>

#include "display/screen.h"
#include "particles/decays.h"
#include "raster/lines.h"
#include "raster/pixels.h"
#include "simulation/appmain.h"
#include "simulation/beam.h"
#include "util/random.h"

namespace {

constexpr int benchw = 1024, benchh = 768;

// A 1024 x 768 surface of the given depth set as shad, with the routines of that depth.
struct benchsurface {
    std::vector<uint8_t> pixels;
    explicit benchsurface(int bpp) : pixels(static_cast<size_t>(benchw) * bpp * benchh) {
        screen = screenrecord{};
        screen.width = benchw;
        screen.height = benchh;
        screen.bytesperpixel = bpp;
        screen.shadpixels = pixels.data();
        screen.shadpitch = benchw * bpp;
        selectpixelroutines();
    }
};

// 50000 positions (the demo plots five per particle), a tenth of them off the surface.
const std::vector<int>& positions() {
    static std::vector<int> xy = [] {
        std::vector<int> v;
        uint32_t s = 7;
        for (int i = 0; i < 50000; ++i) {
            s = s * 1664525u + 1013904223u;
            v.push_back(static_cast<int>(s >> 8) % (benchw + benchw / 10) - benchw / 20);
            s = s * 1664525u + 1013904223u;
            v.push_back(static_cast<int>(s >> 8) % (benchh + benchh / 10) - benchh / 20);
        }
        return v;
    }();
    return xy;
}

// The straightforward writer: clip, then test the depth for every pixel.
void putpixelswitch(int x, int y, int c) {
    if (x < screen.clipleft || x >= screen.width || y < screen.cliptop || y >= screen.height) return;
    uint8_t* p = screen.shadpixels + static_cast<ptrdiff_t>(y) * screen.shadpitch + x * screen.bytesperpixel;
    switch (screen.bytesperpixel) {
        case 1: p[0] = static_cast<uint8_t>(c); break;
        case 3:
        case 4:
            p[0] = static_cast<uint8_t>(c);
            p[1] = static_cast<uint8_t>(c >> 8);
            p[2] = static_cast<uint8_t>(c >> 16);
            break;
        default: break;
    }
}

}  // namespace

static void BM_putpixel_table(benchmark::State& state) {
    benchsurface surface(static_cast<int>(state.range(0)));
    const std::vector<int>& xy = positions();
    const putpixelroutine put = pixelroutines.putpixel;
    for (auto _ : state) {
        for (size_t i = 0; i < xy.size(); i += 2) put(xy[i], xy[i + 1], 0x123456);
        benchmark::ClobberMemory();
    }
    state.SetItemsProcessed(state.iterations() * static_cast<int64_t>(xy.size() / 2));
}
BENCHMARK(BM_putpixel_table)->Arg(1)->Arg(3)->Arg(4);

static void BM_putpixel_depthtest(benchmark::State& state) {
    benchsurface surface(static_cast<int>(state.range(0)));
    const std::vector<int>& xy = positions();
    for (auto _ : state) {
        for (size_t i = 0; i < xy.size(); i += 2) putpixelswitch(xy[i], xy[i + 1], 0x123456);
        benchmark::ClobberMemory();
    }
    state.SetItemsProcessed(state.iterations() * static_cast<int64_t>(xy.size() / 2));
}
BENCHMARK(BM_putpixel_depthtest)->Arg(1)->Arg(3)->Arg(4);

// One frame's plot of the demo's starting beam in 8-bit (no particle is lost, so nothing moves).
static void BM_plotbeam(benchmark::State& state) {
    benchsurface surface(1);
    makedecaytables();
    randstate = 1;
    dynarray beam;
    makebeam(&beam);
    const beamview view = makebeamview(benchw, benchh);
    for (auto _ : state) {
        plotandcull(&beam, view);
        benchmark::ClobberMemory();
    }
    state.SetItemsProcessed(state.iterations() * beam.count);
}
BENCHMARK(BM_plotbeam);

// The 42 lines of the scale grid, in each depth.
static void BM_scalegrid(benchmark::State& state) {
    benchsurface surface(static_cast<int>(state.range(0)));
    const beamview view = makebeamview(benchw, benchh);
    for (auto _ : state) {
        drawscalegrid(view);
        benchmark::ClobberMemory();
    }
}
BENCHMARK(BM_scalegrid)->Arg(1)->Arg(3)->Arg(4);
