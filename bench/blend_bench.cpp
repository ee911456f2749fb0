// Benchmarks of blending and filling: blend-table computation, full-screen fills, glyph blits.
#include <benchmark/benchmark.h>

#include <unistd.h>

#include <cstdio>
#include <string>
#include <filesystem>
#include <vector>

#include "display/graphics.h"
#include "display/screen.h"
#include "raster/blendtables.h"
#include "raster/pixels.h"
#include "raster/shapes.h"
#include "raster/sprites.h"

namespace {

// A 1024 x 768 drawing surface in plain memory installed as shad, at a depth.
struct benchsurface {
    std::vector<unsigned char> memory;
    screenrecord saved = screen;
    explicit benchsurface(int bpp, int width = 1024, int height = 768)
        : memory(static_cast<size_t>(width) * height * bpp) {
        screen.width = width, screen.height = height, screen.clipleft = screen.cliptop = 0;
        screen.bytesperpixel = bpp;
        screen.shadpixels = memory.data();
        screen.shadpitch = width * bpp;
        makedefaultpalette(screen.palette);
        selectpixelroutines();
        selectblendroutines();
    }
    ~benchsurface() {
        screen = saved;
        selectpixelroutines();
    }
};

void defaultpalettefloats(float* r, float* g, float* b) {
    pfpaletteentry p[256];
    makedefaultpalette(p);
    for (int i = 0; i < 256; i++)
        r[i] = p[i].red / 256.0f, g[i] = p[i].green / 256.0f, b[i] = p[i].blue / 256.0f;
}

// The table computation alone: 32640 pairs, two nearest-colour searches each.
void BM_blendtablescompute(benchmark::State& state) {
    float r[256], g[256], b[256];
    defaultpalettefloats(r, g, b);
    std::vector<unsigned char> m(blendtablesize), s(blendtablesize), f(blendcachesize);
    for (auto _ : state) {
        computeblendtables(r, g, b, m.data(), s.data(), f.data(), nullptr);
        benchmark::DoNotOptimize(m.data());
    }
}
BENCHMARK(BM_blendtablescompute)->Unit(benchmark::kMillisecond);

// makeblendtables in 8-bit mode with no cache file: computation, inverse table and cache write.
void BM_makeblendtablesnocache(benchmark::State& state) {
    benchsurface surface(1);
    screen.shadpixels = nullptr;  // no progress display
    auto dir = std::filesystem::temp_directory_path() /
               ("voxda-bench-blendtables-" + std::to_string(static_cast<long>(getpid())));
    std::filesystem::create_directories(dir);
    auto cwd = std::filesystem::current_path();
    std::filesystem::current_path(dir);
    for (auto _ : state) {
        std::remove(blendcachename);
        blendtablesbuilt = 0;
        makeblendtables();
    }
    std::filesystem::current_path(cwd);
    std::filesystem::remove_all(dir);
}
BENCHMARK(BM_makeblendtablesnocache)->Unit(benchmark::kMillisecond);

// fillrect of the whole 1024 x 768 screen at each depth.
void BM_fillrectfullscreen(benchmark::State& state) {
    benchsurface surface(static_cast<int>(state.range(0)));
    int c = 0;
    for (auto _ : state) {
        fillrect(0, 0, screen.width, screen.height, c++);
        benchmark::ClobberMemory();
    }
    state.SetItemsProcessed(state.iterations() * screen.width * screen.height);
}
BENCHMARK(BM_fillrectfullscreen)->Arg(1)->Arg(3)->Arg(4)->Unit(benchmark::kMicrosecond);

// The straightforward fill for comparison: every pixel through the putpixel slot.
void BM_putpixelfullscreen(benchmark::State& state) {
    benchsurface surface(static_cast<int>(state.range(0)));
    int c = 0;
    for (auto _ : state) {
        for (int y = 0; y < screen.height; y++)
            for (int x = 0; x < screen.width; x++) pixelroutines.putpixel(x, y, c);
        c++;
        benchmark::ClobberMemory();
    }
    state.SetItemsProcessed(state.iterations() * screen.width * screen.height);
}
BENCHMARK(BM_putpixelfullscreen)->Arg(1)->Arg(3)->Arg(4)->Unit(benchmark::kMicrosecond);

// One 16 x 20 glyph, mostly ink with transparent corners, blitted over a row of the screen in
// a mode (range 0) and a depth (range 1).
void BM_glyphblit(benchmark::State& state) {
    const int mode = static_cast<int>(state.range(0)), bpp = static_cast<int>(state.range(1));
    benchsurface surface(bpp);
    if (bpp == 1) {
        float r[256], g[256], b[256];
        defaultpalettefloats(r, g, b);
        std::vector<unsigned char> f(blendcachesize);
        computeblendtables(r, g, b, multiplytable, screenblendtable, f.data(), nullptr);
        computeblendextras(r, g, b, multiplytable, screenblendtable, inversetable);
    }
    const int w = 16, h = 20, p = bpp == 1 ? 1 : 3;
    std::vector<unsigned char> glyph(2 + w * h * p);
    glyph[0] = w, glyph[1] = h;
    for (int i = 0; i < w * h; i++) {
        bool corner = (i % w < 2 || i % w > w - 3) && (i / w < 2 || i / w > h - 3);
        for (int k = 0; k < p; k++)
            glyph[2 + i * p + k] =
                corner ? (bpp == 1 ? 255 : transparentkey[k]) : static_cast<unsigned char>(40 + i % 200);
    }
    setglyphmode(mode);
    const int colour = bpp == 1 ? 12 : 0xFF8040;
    int x = 0;
    for (auto _ : state) {
        drawglyph(x, 100, glyph.data(), colour);
        x = (x + w) % (screen.width - w);
        benchmark::ClobberMemory();
    }
    state.SetItemsProcessed(state.iterations() * w * h);
    setglyphmode(3);
}
BENCHMARK(BM_glyphblit)->ArgsProduct({{1, 2, 3, 4}, {1, 3, 4}})->ArgNames({"mode", "bpp"});

}  // namespace
