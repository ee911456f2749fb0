// Tests of the demo's main routine: the frame picture, fast mode, acceleration and quitting.
#include "simulation/appmain.h"

#include "display/screen.h"
#include "display/window.h"
#include "particles/decays.h"
#include "platform/headless/headless.h"
#include "simulation/backgroundstep.h"
#include "simulation/beam.h"
#include "text/fontstore.h"
#include "display/graphics.h"
#include "tests/displaytestsetup.h"
#include "tests/testbeam.h"
#include "tests/testrandom.h"
#include "tests/rastertestsurface.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <limits>
#include <map>
#include <set>
#include <utility>
#include <vector>

namespace {

// Five views of one particle on a 200 x 100 screen (s = 250 px/m, s2 = 125, sa = 500 px/rad,
// centre 100, 50), positions worked out by hand; particles outside the aperture go.
TEST(AppmainFrame, PlotsFiveViewsAndCulls) {
    rastertestsurface s(200, 100, 1);
    const double nan = std::numeric_limits<double>::quiet_NaN();
    dynarray beam = beamof({
        {0.02, 0.01, -0.04, 0.03, 800},  // inside
        {0.6, 0, 0, 0, 800},             // outside
        {0.5, 0, 0, 0, 800},             // exactly on the aperture: stays
        {nan, 0, 0, 0, 800},             // not a number: outside
        {0.1, 0, 0.49, 0, 800},          // outside (0.2501 m^2)
    });
    plotandcull(&beam, makebeamview(200, 100));
    ASSERT_EQ(beam.count, 2u);
    const particle* p = static_cast<const particle*>(beam.data);
    std::set<double> xs = {p[0].x, p[1].x};
    EXPECT_EQ(xs, (std::set<double>{0.02, 0.5}));

    const std::map<std::pair<int, int>, int> expect = {
        {{105, 60}, 15},
        {{42, 75}, 12},
        {{155, 65}, 11},
        {{38, 5}, 73},
        {{165, 27}, 223},
        // the particle on the aperture edge: its cross-section (x 225) and anti-diagonal (x 204)
        // pixels fall off the screen
        {{102, 80}, 12},
        {{160, 80}, 11},
        {{84, 20}, 73},
    };
    for (int y = 0; y < 100; ++y) {
        for (int x = 0; x < 200; ++x) {
            const auto it = expect.find({x, y});
            EXPECT_EQ(s.shadat(x, y), it == expect.end() ? 0 : it->second) << x << "," << y;
        }
    }
}

// The grid: 21 vertical and 21 horizontal lines 2.5 px apart over +-25 px about the centre.
TEST(AppmainFrame, ScaleGrid) {
    rastertestsurface s(200, 100, 1);
    drawscalegrid(makebeamview(200, 100));
    std::set<std::pair<int, int>> expect;
    for (int i = -10; i <= 10; ++i) {
        for (int t = 25; t <= 75; ++t) expect.insert({static_cast<int>(100 + 2.5 * i), t});
        for (int t = 75; t <= 125; ++t) expect.insert({t, static_cast<int>(50 + 2.5 * i)});
    }
    std::set<std::pair<int, int>> lit;
    for (int y = 0; y < 100; ++y)
        for (int x = 0; x < 200; ++x)
            if (s.shadat(x, y) != 0) {
                lit.insert({x, y});
                EXPECT_EQ(s.shadat(x, y), 1);
            }
    EXPECT_EQ(lit, expect);
}

// F toggles fast mode on a rising edge only; A accelerates while held.
TEST(AppmainFrame, FastModeEdgeAndAcceleration) {
    makedecaytables();
    struct Frame {
        bool f, lastf, a;
        bool fastafter;
    };
    const Frame frames[] = {{false, false, false, false}, {true, false, false, true},
                            {true, true, true, true},     {false, true, false, true},
                            {true, false, true, false},   {true, true, false, false}};
    dynarray beam = beamof({{0.001, 0.0, 0.0, 0.0, 800}});
    double distance = -2.0;
    uint8_t fast = 0;
    const double cell = celllength(lattice);
    for (const Frame& k : frames) {
        std::memset(keys, 0, sizeof keys);
        std::memset(lastkeys, 0, sizeof lastkeys);
        if (k.f) keys['F'] = 0x80;
        if (k.lastf) lastkeys['F'] = 0x80;
        if (k.a) keys['A'] = 0x81;
        const double before = distance;
        const double energy = static_cast<const particle*>(beam.data)->energy;
        stepbeam(&beam, &distance, &fast);
        EXPECT_EQ(fast != 0, k.fastafter);
        EXPECT_NEAR(distance - before, k.fastafter ? cell : 0.05, 1e-6);
        const double now = static_cast<const particle*>(beam.data)->energy;
        EXPECT_DOUBLE_EQ(now, k.a ? energy * 1.01 : energy);
    }
    std::memset(keys, 0, sizeof keys);
    std::memset(lastkeys, 0, sizeof lastkeys);
}

using AppmainRun = displaytest;

// The loop ends after the frame in which Q or Esc is first seen down, or on a quit message;
// the start-up pump's result is ignored. One black frame from the set-up, then one per frame.
TEST_F(AppmainRun, QuitsAfterAKnownNumberOfFrames) {
    struct Case {
        const char* what;
        std::vector<std::pair<int, int>> presses;  // (pump, key); key 0 posts a quit message
        int frames;
    };
    const Case cases[] = {
        {"Q", {{5, 'Q'}}, 5},
        {"Esc", {{3, PFVK_ESCAPE}}, 3},
        {"quit message", {{4, 0}}, 3},
        {"quit at the start-up pump is ignored", {{1, 0}, {2, 'Q'}}, 2},
    };
    for (const Case& k : cases) {
        reset();
        for (auto [pump, key] : k.presses)
            pfheadlessatpump(pump, [key] {
                if (key)
                    pfheadlesskey(key, true);
                else
                    pfheadlessquit();
            });
        EXPECT_EQ(appmain("ignored --options"), 0);
        EXPECT_EQ(pfpresentcount(), 1 + k.frames) << k.what;
        EXPECT_EQ(pfheadlesspumps(), 1 + k.frames) << k.what;
        EXPECT_STREQ(pfwindowtitle(screen.window),
                     "Dynamic aperture for exponential VOX-FFAG magnet [Varnholt 2009]");
        EXPECT_EQ(screen.bytesperpixel, 1);
        EXPECT_EQ(screen.width, 64);
    }
}

// The demo's frame steps the beam on another thread while it draws the status text, presents,
// clears and pumps: every presented frame and the beam must come out exactly as from the frame
// done in sequence (grid, plot and cull, status text, step, present and clear, pump), through a
// fast-mode toggle and held acceleration.
TEST_F(AppmainRun, OverlappedFramesEqualTheSequentialFrame) {
    auto run = [this](bool overlapped, std::vector<std::vector<uint8_t>>& frames, demostate& d) {
        reset();
        pfheadlesssetdesktop(160, 120);
        GRAPHICS(nullptr, 0, 0, demotitle, 1, 0);
        ASSERT_EQ(loadfont(VOXDA_SOURCE_DIR "/assets/font.dat", "normal"), 1);
        {
            freshrandom seed;
            makebeam(&d.beam);
        }
        pfheadlessatpump(3, [] { pfheadlesskey('F', true); });
        pfheadlessatpump(4, [] { pfheadlesskey('F', false); });
        pfheadlessatpump(6, [] { pfheadlesskey('A', true); });
        pfheadlessatpump(9, [] { pfheadlesskey('A', false); });
        pfheadlessatpump(10, [] { pfheadlesskey('F', true); });
        pfheadlessrecord(true);
        dealwithmessages();
        engine tracker;
        if (overlapped) {
            backgroundstep stepper(tracker);
            for (int frame = 0; frame < 12; ++frame) demoframe(d, stepper);
        } else {
            for (int frame = 0; frame < 12; ++frame) {
                const beamview view = makebeamview(screen.width, screen.height);
                drawscalegrid(view);
                plotandcull(&d.beam, view);
                drawstatustext(d.distance, d.beam.count);
                stepbeam(tracker, &d.beam, &d.distance, &d.fast);
                showframe(0);
                dealwithmessages();
            }
        }
        for (const pfheadlessframe& f : pfheadlessframes()) frames.push_back(f.pixels);
        pfheadlessrecord(false);
        pfheadlessclearframes();
    };
    std::vector<std::vector<uint8_t>> overlapped, sequential;
    demostate a, b;
    run(true, overlapped, a);
    run(false, sequential, b);
    ASSERT_EQ(overlapped.size(), 12u);
    ASSERT_EQ(sequential.size(), overlapped.size());
    for (size_t i = 0; i < overlapped.size(); ++i)
        EXPECT_TRUE(overlapped[i] == sequential[i]) << "frame " << i;
    EXPECT_EQ(a.distance, b.distance);
    EXPECT_EQ(a.fast, 0);  // toggled on at pump 3, off again at pump 10
    ASSERT_EQ(a.beam.count, b.beam.count);
    EXPECT_EQ(std::memcmp(a.beam.data, b.beam.data, a.beam.count * sizeof(particle)), 0);
    EXPECT_NE(overlapped[1], overlapped[11]);  // the beam moved
}

TEST_F(AppmainRun, NoResolutionIsFatal) {
    pfheadlesssetdesktop(0, 0);
    EXPECT_EXIT(
        appmain(""), [](int) { return true; },
        "GRAPHICS\\(\\) macro not called at LOOP start, or no resolution specified");
    EXPECT_NE(errorlog().find("GRAPHICS() macro not called at LOOP start, or no resolution specified"),
              std::string::npos);
}

}  // namespace
