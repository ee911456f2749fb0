// Benchmarks of fonts and text: loading font.dat, deriving styled fonts, the status text, markup.
#include <benchmark/benchmark.h>

#include <cmath>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include <unistd.h>

#include "display/palette.h"
#include "display/screen.h"
#include "raster/blendtables.h"
#include "raster/pixels.h"
#include "raster/sprites.h"
#include "text/fontstore.h"
#include "text/markup.h"
#include "text/styles.h"
#include "text/textdraw.h"

namespace {

// assets/font.dat of this source tree.
std::string fontfile() {
    return (std::filesystem::path(__FILE__).parent_path().parent_path() / "assets" / "font.dat").string();
}

// A 1920 × 1080 8-bit frame in plain memory with the standard palette, the raster and blend
// routines for it, blend tables computed in a scratch directory, and "normal" loaded.
struct textbench {
    std::vector<uint8_t> pixels;
    textbench() {
        screen.bytesperpixel = 1;
        screen.width = 1920;
        screen.height = 1080;
        screen.shadpitch = 1920;
        pixels.assign(1920u * 1080u, 0);
        screen.shadpixels = pixels.data();
        float red[256], green[256], blue[256];
        standardpalettefloats(red, green, blue);
        for (int i = 0; i < 256; i++) {
            screen.palette[i].red = static_cast<uint8_t>(std::trunc(255.4 * red[i]));
            screen.palette[i].green = static_cast<uint8_t>(std::trunc(255.4 * green[i]));
            screen.palette[i].blue = static_cast<uint8_t>(std::trunc(255.4 * blue[i]));
            screen.palette[i].flags = 4;
        }
        std::filesystem::path old = std::filesystem::current_path();
        std::filesystem::path scratch =
            std::filesystem::temp_directory_path() / ("voxda_textbench_" + std::to_string(::getpid()));
        std::filesystem::create_directories(scratch);
        std::filesystem::current_path(scratch);
        selectpixelroutines();
        makeblendtables();
        selectblendroutines();
        std::filesystem::current_path(old);
        std::filesystem::remove_all(scratch);
        if (!findfont("normal")) loadfont(fontfile().c_str(), "normal");
        selectfont(findfont("normal"));
    }
};

textbench& bench() {
    static textbench b;
    return b;
}

const char* const statustext = "distance=-2m\ntime=-7.92493e-06ms\nbeam=100%";

void BM_LoadFontFile(benchmark::State& state) {
    bench();
    std::string path = fontfile();
    for (auto _ : state) {
        loadfont(path.c_str(), "bench copy");
        deletefont(findfont("bench copy"));
    }
}
BENCHMARK(BM_LoadFontFile);

void BM_DeriveFont(benchmark::State& state, const char* style) {
    bench();
    for (auto _ : state) {
        font* f = fontforstyle(style);
        benchmark::DoNotOptimize(f);
        state.PauseTiming();
        deletefont(f);
        state.ResumeTiming();
    }
}
BENCHMARK_CAPTURE(BM_DeriveFont, bold, "normal:bold")->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_DeriveFont, small, "normal:small")->Unit(benchmark::kMillisecond);

void BM_DrawStatusText(benchmark::State& state) {
    bench();
    for (auto _ : state) {
        drawtext(0, 0, 0, statustext, 15);
        benchmark::ClobberMemory();
    }
}
BENCHMARK(BM_DrawStatusText);

// The same three lines the straightforward way: every glyph pixel through the clipped
// per-pixel writer, as drawtext does only for glyphs on the window's edge.
void BM_DrawStatusTextPerPixel(benchmark::State& state) {
    bench();
    int sp = static_cast<int>(std::floor(currentcellwidth * static_cast<double>(tracking) + 0.5));
    for (auto _ : state) {
        int x = 0, y = 0;
        for (const char* p = statustext; *p; p++) {
            unsigned char g = static_cast<unsigned char>(*p);
            if (g == '\n') {
                x = 0;
                y += currentmaxheight + 1;
                continue;
            }
            const unsigned char* glyph = currentglyphs[g];
            for (int r = 0; r < glyph[1]; r++)
                for (int c = 0; c < glyph[0]; c++) {
                    unsigned char v = glyph[2 + r * glyph[0] + c];
                    if (v != 0 && v != 255) glyphpixel(x + c, y + r, multiplytable[blendentry(15, v)]);
                }
            x += glyph[0] + sp;
        }
        benchmark::ClobberMemory();
    }
}
BENCHMARK(BM_DrawStatusTextPerPixel);

void BM_MarkupLabel(benchmark::State& state) {
    const char* label = "p_T of pi^+ -> mu^+ nu_mu: sigma_{xy} = 2.5 mum, Delta^{++} at 1232 MeV";
    char buffer[256];
    for (auto _ : state) {
        std::strcpy(buffer, label);
        markup(buffer, sizeof buffer, 2);
        benchmark::DoNotOptimize(buffer);
    }
}
BENCHMARK(BM_MarkupLabel);

}  // namespace
