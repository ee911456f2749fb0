// Benchmarks of the demo's whole frame on the headless display at 1920 x 1080 in 8-bit mode, next to
// the tracking alone, in both math modes; and the parts of the frame on their own.
#include <benchmark/benchmark.h>

#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include <unistd.h>

#include "display/graphics.h"
#include "display/screen.h"
#include "display/surfaces.h"
#include "display/window.h"
#include "particles/decays.h"
#include "platform/frameconvert.h"
#include "platform/headless/headless.h"
#include "simulation/appmain.h"
#include "simulation/backgroundstep.h"
#include "simulation/beam.h"
#include "text/fontstore.h"
#include "util/random.h"

namespace {

std::string fontfile() {
    return (std::filesystem::path(__FILE__).parent_path().parent_path() / "assets" / "font.dat").string();
}

// The demo's headless display and starting beam, opened once for every benchmark here (again
// after the SDL benchmark).
struct demodisplay {
    dynarray start{};
    bool open = false;
    void reopen() {
        open = true;
        makedecaytables();
        pfheadlessstart();
        screen = screenrecord{};
        pfheadlesssetdesktop(1920, 1080);
        std::filesystem::path old = std::filesystem::current_path();
        std::filesystem::path scratch =
            std::filesystem::temp_directory_path() / ("voxda_framebench_" + std::to_string(::getpid()));
        std::filesystem::create_directories(scratch);
        std::filesystem::current_path(scratch);
        GRAPHICS(nullptr, 0, 0, demotitle, 1, 0);
        loadfont(fontfile().c_str(), "normal");
        std::filesystem::current_path(old);
        std::filesystem::remove_all(scratch);
        randstate = 1;
        if (!start.data) makebeam(&start);
        dealwithmessages();
    }
};

demodisplay& display() {
    static demodisplay d;
    if (!d.open) d.reopen();
    return d;
}

// A fresh copy of the starting beam in fast mode.
void freshstate(demostate& s) {
    const dynarray& start = display().start;
    if (!s.beam.data) makebeam(&s.beam);
    std::memcpy(s.beam.data, start.data, static_cast<size_t>(start.count) * sizeof(particle));
    s.beam.count = start.count;
    s.distance = startdistance;
    s.fast = 1;
}

engineoptions optionsfor(int math) {
    engineoptions o;
    o.math = math ? mathmode::vector : mathmode::exact;
    return o;
}

}  // namespace

// The tracking alone: one fast-mode frame's stepping (177 steps over the 10000 protons).
static void BM_FrameTrackingOnly(benchmark::State& state) {
    display();
    engine e(optionsfor(static_cast<int>(state.range(0))));
    demostate s;
    freshstate(s);
    for (auto _ : state) stepframe(e, &s.beam, &s.distance, {true, false});
    state.counters["fps"] =
        benchmark::Counter(static_cast<double>(state.iterations()), benchmark::Counter::kIsRate);
    state.SetLabel(mathmodename(e.options().math));
}
BENCHMARK(BM_FrameTrackingOnly)
    ->ArgName("vector")
    ->Arg(0)
    ->Arg(1)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();

// The demo's whole frame in fast mode: grid, plot and cull, status text, stepping, present, clear, pump.
static void BM_FrameWhole(benchmark::State& state) {
    display();
    engine e(optionsfor(static_cast<int>(state.range(0))));
    demostate s;
    freshstate(s);
    {
        backgroundstep stepper(e);
        for (auto _ : state) demoframe(s, stepper);
        stepper.wait();
    }
    state.counters["fps"] =
        benchmark::Counter(static_cast<double>(state.iterations()), benchmark::Counter::kIsRate);
    state.SetLabel(mathmodename(e.options().math));
}
BENCHMARK(BM_FrameWhole)->ArgName("vector")->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond)->UseRealTime();

// The same frame done in sequence on one thread, as before the overlap: the baseline for BM_FrameWhole.
static void BM_FrameWholeSequential(benchmark::State& state) {
    display();
    engine e(optionsfor(static_cast<int>(state.range(0))));
    demostate s;
    freshstate(s);
    for (auto _ : state) {
        const beamview view = makebeamview(screen.width, screen.height);
        drawscalegrid(view);
        plotandcull(&s.beam, view);
        drawstatustext(s.distance, s.beam.count);
        stepframe(e, &s.beam, &s.distance, {true, false});
        showframe(0);
        dealwithmessages();
    }
    state.counters["fps"] =
        benchmark::Counter(static_cast<double>(state.iterations()), benchmark::Counter::kIsRate);
    state.SetLabel(mathmodename(e.options().math));
}
BENCHMARK(BM_FrameWholeSequential)
    ->ArgName("vector")
    ->Arg(0)
    ->Arg(1)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();

// The drawing of a frame on its own, one part at a time, over the starting beam.
static void BM_FramePart(benchmark::State& state) {
    display();
    demostate s;
    freshstate(s);
    const beamview view = makebeamview(screen.width, screen.height);
    static const char* const names[] = {"grid", "plotandcull", "statustext", "present", "clear", "pump"};
    for (auto _ : state) {
        switch (state.range(0)) {
            case 0: drawscalegrid(view); break;
            case 1: plotandcull(&s.beam, view); break;
            case 2: drawstatustext(s.distance, s.beam.count); break;
            case 3: showshad(); break;
            case 4: clearshad(0); break;
            default: dealwithmessages(); break;
        }
    }
    state.SetLabel(names[state.range(0)]);
}
BENCHMARK(BM_FramePart)->DenseRange(0, 5)->Unit(benchmark::kMicrosecond);

// The SDL window's share of a present: the 8-bit frame through its palette into 32-bit texels.
static void BM_FrameConvertForSDL(benchmark::State& state) {
    display();
    demostate s;
    freshstate(s);
    plotandcull(&s.beam, makebeamview(screen.width, screen.height));
    showshad();
    const pfheadlessframe& last = pfheadlesslastframe();
    pfframe f{};
    f.width = last.width, f.height = last.height, f.bitsperpixel = last.bitsperpixel, f.pitch = last.pitch;
    f.pixels = last.pixels.data();
    std::memcpy(f.palette, last.palette, sizeof f.palette);
    std::vector<uint32_t> texels(static_cast<size_t>(f.width) * f.height);
    for (auto _ : state) {
        pfframetoargb(f, texels.data(), static_cast<size_t>(f.width) * 4);
        benchmark::DoNotOptimize(texels.data());
    }
    clearshad(0);
}
BENCHMARK(BM_FrameConvertForSDL)->Unit(benchmark::kMicrosecond);

// A whole present in the SDL window (conversion, texture upload, drawing, showing), 1920 x 1080
// 8-bit, e.g. under Xvfb: Xvfb :77 -screen 0 1920x1080x24 & DISPLAY=:77 build/voxda_bench
static void BM_FramePresentSDL(benchmark::State& state) {
#if VOXDA_HAVE_SDL
    if (!std::getenv("DISPLAY")) {
        state.SkipWithError("no DISPLAY (run under Xvfb)");
        return;
    }
    display();
    demostate s;
    freshstate(s);
    endgraphics();
    display().open = false;
    setenv("VOXDA_SCREEN", "1920x1080", 1);
    if (!pfstartup("sdl")) {
        state.SkipWithError("the SDL display did not start");
        return;
    }
    screen = screenrecord{};
    GRAPHICS(nullptr, 0, 0, demotitle, 1, 0);
    plotandcull(&s.beam, makebeamview(screen.width, screen.height));
    for (auto _ : state) showshad();
    std::vector<uint32_t> shown;
    int w = 0, h = 0;
    pfreadscreen(shown, &w, &h);
    state.SetLabel(std::string(pfbackendname()) + " " + std::to_string(screen.width) + "x" +
                   std::to_string(screen.height) + " window " + std::to_string(w) + "x" + std::to_string(h));
    endgraphics();
    unsetenv("VOXDA_SCREEN");
#else
    state.SkipWithError("built without SDL2");
#endif
}
BENCHMARK(BM_FramePresentSDL)->Unit(benchmark::kMicrosecond)->UseRealTime();
