// Benchmarks of the demo's whole frame on the headless display at 1920 x 1080 in 8-bit mode.
#include <benchmark/benchmark.h>

#include <cstring>
#include <filesystem>
#include <string>

#include <unistd.h>

#include "display/graphics.h"
#include "display/surfaces.h"
#include "display/screen.h"
#include "display/window.h"
#include "particles/decays.h"
#include "platform/headless/headless.h"
#include "simulation/appmain.h"
#include "simulation/beam.h"
#include "text/fontstore.h"
#include "util/random.h"

namespace {

std::string fontfile() {
    return (std::filesystem::path(__FILE__).parent_path().parent_path() / "assets" / "font.dat").string();
}

// The demo's display and beam, opened once.
struct demoframe {
    dynarray beam;
    double distance = startdistance;
    uint8_t fast = 1;
    demoframe() {
        makedecaytables();
        pfheadlessstart();
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
        makebeam(&beam);
        dealwithmessages();
    }
};

demoframe& demo() {
    static demoframe d;
    return d;
}

}  // namespace

static void BM_part(benchmark::State& state) {
    demoframe& d = demo();
    const beamview view = makebeamview(screen.width, screen.height);
    for (auto _ : state) {
        switch (state.range(0)) {
            case 0: drawscalegrid(view); break;
            case 1: plotandcull(&d.beam, view); break;
            case 2: drawstatustext(d.distance, d.beam.count); break;
            case 3: advancebeam(&d.beam, &d.distance, true); break;
            case 4: showshad(); break;
            case 5: clearshad(0); break;
            case 6: dealwithmessages(); break;
            case 7:
                drawscalegrid(view);
                plotandcull(&d.beam, view);
                drawstatustext(d.distance, d.beam.count);
                advancebeam(&d.beam, &d.distance, true);
                showframe(0);
                dealwithmessages();
                break;
        }
    }
}
BENCHMARK(BM_part)->DenseRange(0, 7)->Unit(benchmark::kMicrosecond);
