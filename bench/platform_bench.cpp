// platform_bench.cpp - cost of one headless present (blit onto the primary) against a plain copy
#include <benchmark/benchmark.h>

#include <cstring>
#include <vector>

#include "platform/headless/headless.h"
#include "platform/platform.h"

namespace {

constexpr int benchwidth = 1024, benchheight = 768;

// An open headless display of the given depth with a primary and a drawing surface.
struct benchdisplay {
    pfsurface* primary = nullptr;
    pfsurface* shad = nullptr;
    explicit benchdisplay(int bits) {
        pfheadlessstart();
        pfwindowclass c{};
        c.proc = pfdefwindowproc;
        c.classname = "bench";
        pfregisterclass(&c);
        pfwindow* w = pfcreatewindow(0, "bench", "bench", PF_WS_VISIBLE, 0, 0, benchwidth, benchheight,
                                     nullptr, nullptr, nullptr, nullptr);
        pfdisplay* dd = nullptr;
        pfdisplaycreate(nullptr, &dd, nullptr);
        pfdisplaysetcooperativelevel(dd, w, 0x53);
        pfdisplaysetmode(dd, benchwidth, benchheight, bits);
        pfsurfacedesc pd{PF_SD_CAPS, 0, 0, 0, nullptr, {}, PF_CAPS_PRIMARYSURFACE};
        pfdisplaycreatesurface(dd, &pd, &primary, nullptr);
        pfsurfacedesc sd{PF_SD_CAPS | PF_SD_WIDTH | PF_SD_HEIGHT,
                         benchwidth,
                         benchheight,
                         0,
                         nullptr,
                         {},
                         PF_CAPS_OFFSCREENPLAIN};
        pfdisplaycreatesurface(dd, &sd, &shad, nullptr);
    }
};

// Unlock, blit onto the primary (the present, with the headless read-back copy), lock again.
void BM_HeadlessPresent(benchmark::State& state) {
    int bits = static_cast<int>(state.range(0));
    benchdisplay display(bits);
    pfrect all{0, 0, benchwidth, benchheight};
    pfsurfacedesc desc{};
    for (auto _ : state) {
        pfsurfacebltfast(display.primary, 0, 0, display.shad, &all, PF_BLTFAST_WAIT);
        pfsurfacelock(display.shad, nullptr, &desc, PF_LOCK_WAIT, nullptr);
        benchmark::DoNotOptimize(desc.surface);
        pfsurfaceunlock(display.shad, nullptr);
    }
    state.SetBytesProcessed(state.iterations() * benchwidth * benchheight * (bits / 8));
}
BENCHMARK(BM_HeadlessPresent)->Arg(8)->Arg(32);

// The straightforward lower bound: one copy of the frame's bytes.
void BM_PlainFrameCopy(benchmark::State& state) {
    int bits = static_cast<int>(state.range(0));
    size_t bytes = static_cast<size_t>(benchwidth) * benchheight * (bits / 8);
    std::vector<uint8_t> from(bytes, 1), to(bytes);
    for (auto _ : state) {
        std::memcpy(to.data(), from.data(), bytes);
        benchmark::ClobberMemory();
    }
    state.SetBytesProcessed(state.iterations() * static_cast<int64_t>(bytes));
}
BENCHMARK(BM_PlainFrameCopy)->Arg(8)->Arg(32);

}  // namespace
