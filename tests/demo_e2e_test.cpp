// End-to-end test: the real demo binary, headless, with scripted keys and captured frames.
#include "particles/decays.h"
#include "simulation/beam.h"
#include "util/dynarray.h"
#include "util/random.h"
#include "tests/testbmp.h"
#include "tests/testfiles.h"
#include "tests/testprocess.h"
#include "tests/testxserver.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <memory>
#include <string>
#include <vector>

namespace {

namespace fs = std::filesystem;

constexpr int screenw = 320, screenh = 240;

// A finished run: its exit status and its directory, removed when the last copy goes.
struct runresult {
    int status = -1;
    fs::path dir;
    std::shared_ptr<testtempdir> owner;
};

// Runs the demo in a fresh directory holding our font.dat (as the run command does), with the
// headless display, the given keys and every frame captured. A blend-table cache file, when
// given, is put beside it, so that no progress bar is shown before the first frame.
runresult rundemo(const std::string& name, const std::string& keys, const char* display = "headless",
                  const fs::path& cache = {}) {
    runresult r;
    r.owner = std::make_shared<testtempdir>("voxda-e2e-" + name);
    r.dir = r.owner->path;
    fs::copy_file(fs::path(VOXDA_SOURCE_DIR) / "assets" / "font.dat", r.dir / "font.dat");
    if (!cache.empty()) fs::copy_file(cache, r.dir / "crarray.cgf");
    const std::string binary = builtprogram("voxda");
    const std::string command = "cd '" + r.dir.string() + "' && VOXDA_DISPLAY=" + display +
                                " VOXDA_SCREEN=" + std::to_string(screenw) + "x" + std::to_string(screenh) +
                                " VOXDA_KEYS='" + keys + "' VOXDA_CAPTURE='" + (r.dir / "frames").string() +
                                ":1-100' '" + binary + "' > output.txt 2>&1";
    r.status = runcommand(command);
    return r;
}

fs::path framefile(const runresult& r, int number) {
    char name[32];
    std::snprintf(name, sizeof name, "frame%06d.bmp", number);
    return r.dir / "frames" / name;
}

// The picture the demo must show for a beam: palette indices, drawn independently of the
// program's own drawing code. On 320 x 240: s = 600 px/m, so the grid lines lie 6 px apart,
// columns 100..220 and rows 60..180; s2 = 300 px/m and sa = 1200 px/rad.
std::vector<uint8_t> expectedpicture(const dynarray& beam) {
    std::vector<uint8_t> p(static_cast<size_t>(screenw) * screenh, 0);
    auto put = [&](double x, double y, int c) {
        if (!(x > -1e9 && x < 1e9 && y > -1e9 && y < 1e9)) return;
        const int ix = static_cast<int>(x), iy = static_cast<int>(y);
        if (ix >= 0 && ix < screenw && iy >= 0 && iy < screenh)
            p[static_cast<size_t>(iy) * screenw + ix] = static_cast<uint8_t>(c);
    };
    for (int k = 0; k <= 20; ++k)
        for (int t = 60; t <= 180; ++t) {
            put(100 + 6 * k, t, 1);
            put(t + 40, 60 + 6 * k, 1);
        }
    const double w = screenw, h = screenh, s = 600, s2 = 300, sa = 1200, cx = 160, cy = 120;
    const particle* q = static_cast<const particle*>(beam.data);
    for (int64_t i = static_cast<int64_t>(beam.count) - 1; i >= 0; --i) {
        const particle& b = q[i];
        if (!(b.x * b.x + b.y * b.y <= 0.25)) continue;
        put(cx + s * b.x, cy - s * b.y, 15);
        put(0.2 * w + s2 * b.x, 0.8 * h - sa * b.xp, 12);
        put(0.8 * w + s2 * b.y, 0.8 * h - sa * b.yp, 11);
        put(0.2 * w + s2 * 0.707 * (b.x + b.y), 0.2 * h - sa * 0.707 * (b.xp + b.yp), 73);
        put(0.8 * w + s2 * 0.707 * (b.x - b.y), 0.2 * h - sa * 0.707 * (b.xp - b.yp), 223);
    }
    return p;
}

// The beam as frame `frame` (1 = first of the loop) draws it, with F down at the given pumps.
// Frame j steps with the keys of pump j (pump 1 is the start-up read).
dynarray beamatframe(int frame, const std::vector<int>& fdownpumps, const std::vector<int>& adownpumps = {}) {
    makedecaytables();
    randstate = 1;
    dynarray beam;
    makebeam(&beam);
    double distance = -2.0;
    bool fast = false;
    auto held = [](const std::vector<int>& pumps, int pump) {
        for (int p : pumps)
            if (p == pump) return true;
        return false;
    };
    auto fdown = [&](int pump) { return held(fdownpumps, pump); };
    for (int j = 1; j < frame; ++j) {
        for (int64_t i = static_cast<int64_t>(beam.count) - 1; i >= 0; --i) {
            const particle& b = static_cast<const particle*>(beam.data)[i];
            if (!(b.x * b.x + b.y * b.y <= 0.25)) dynarrayremove(&beam, static_cast<uint32_t>(i));
        }
        if (fdown(j) && !fdown(j - 1)) fast = !fast;
        advancebeam(&beam, &distance, fast);
        if (held(adownpumps, j)) acceleratebeam(&beam);
    }
    return beam;
}

// The three status lines cover at most this box at the top left (16-pixel lines); the beam
// picture is compared outside it.
constexpr int statusw = 200, statush = 48;

int differences(const bmpimage& got, const std::vector<uint8_t>& want) {
    int n = 0;
    for (size_t i = 0; i < want.size(); ++i) {
        const int x = static_cast<int>(i % screenw), y = static_cast<int>(i / screenw);
        if (x < statusw && y < statush) continue;
        n += got.index[i] != want[i];
    }
    return n;
}

// Text pixels (white and the grey ramp) in each of the three status lines.
bool showsstatustext(const bmpimage& got) {
    for (int line = 0; line < 3; ++line) {
        int n = 0;
        for (int y = 16 * line; y < 16 * line + 15; ++y)
            for (int x = 0; x < statusw; ++x)
                n += got.at(x, y) == 15 || (got.at(x, y) >= 17 && got.at(x, y) <= 39);
        if (n < 40) return false;
    }
    return true;
}

TEST(DemoEndToEnd, QuitsOnQAndShowsTheFirstFrame) {
    const runresult r = rundemo("first", "Q@5");
    EXPECT_EQ(r.status, 0);
    // One black frame from the set-up, then five frames: Q taken by pump 5 (the end of frame 4)
    // is seen down by pump 6, which ends frame 5.
    EXPECT_TRUE(fs::exists(framefile(r, 6)));
    EXPECT_FALSE(fs::exists(framefile(r, 7)));

    bmpimage black, first;
    ASSERT_TRUE(readbmp8(framefile(r, 1), black));
    EXPECT_EQ(std::count(black.index.begin(), black.index.end(), 0), screenw * screenh);
    ASSERT_TRUE(readbmp8(framefile(r, 2), first));
    ASSERT_EQ(first.width, screenw);
    ASSERT_EQ(first.height, screenh);
    // The colours as the default palette shows them.
    EXPECT_EQ(first.palette[1], 0x000080u);
    EXPECT_EQ(first.palette[15], 0xFFFFFFu);
    EXPECT_EQ(first.palette[12], 0xFF0000u);
    EXPECT_EQ(first.palette[11], 0x00FFFFu);
    EXPECT_EQ(first.palette[73], 0x99FF00u);
    EXPECT_EQ(first.palette[223], 0x9900FFu);

    const dynarray beam = beamatframe(1, {});
    const std::vector<uint8_t> want = expectedpicture(beam);
    EXPECT_EQ(differences(first, want), 0);
    // Every view shows up, and the grid's corners are in colour 1.
    for (int c : {1, 15, 12, 11, 73, 223})
        EXPECT_GT(std::count(first.index.begin(), first.index.end(), c), 50) << c;
    EXPECT_EQ(first.at(100, 60), 1);
    EXPECT_EQ(first.at(220, 180), 1);
    EXPECT_TRUE(showsstatustext(first));
}

// F toggles fast mode once per press: a press held over several pumps toggles once, and a
// second press toggles back. The eighth frame's picture tells them apart.
TEST(DemoEndToEnd, FastModeTogglesOncePerPress) {
    struct Case {
        const char* name;
        const char* keys;
        std::vector<int> fdown;  // pumps whose keyboard read shows F down
    };
    const Case cases[] = {
        {"tap", "F@3 Q@8", {4}},
        {"held", "F@3-5 Q@8", {4, 5, 6}},
        {"twice", "F@3 F@5 Q@8", {4, 6}},
    };
    const std::vector<uint8_t> slow = expectedpicture(beamatframe(8, {}));
    for (const Case& k : cases) {
        const runresult r = rundemo(k.name, k.keys);
        EXPECT_EQ(r.status, 0) << k.name;
        bmpimage got;
        ASSERT_TRUE(readbmp8(framefile(r, 9), got)) << k.name;
        EXPECT_FALSE(fs::exists(framefile(r, 10))) << k.name;
        const std::vector<uint8_t> want = expectedpicture(beamatframe(8, k.fdown));
        EXPECT_GT(differences(got, slow), 100) << k.name << ": fast mode made no difference";
        EXPECT_EQ(differences(got, want), 0) << k.name;
    }
}

// A accelerates the beam in every frame while it is held, and only then.
TEST(DemoEndToEnd, AcceleratesWhileAIsHeld) {
    const runresult r = rundemo("accelerate", "F@2 A@3-5 Q@8");
    EXPECT_EQ(r.status, 0);
    bmpimage got;
    ASSERT_TRUE(readbmp8(framefile(r, 9), got));
    EXPECT_EQ(differences(got, expectedpicture(beamatframe(8, {3}, {4, 5, 6}))), 0);
    EXPECT_GT(differences(got, expectedpicture(beamatframe(8, {3}))), 100)
        << "acceleration made no difference";
}

// The Windows key minimises; the demo resumes and goes on drawing the same beam. Control+Esc
// minimises too, and the Escape still down after the restore ends the run.
TEST(DemoEndToEnd, MinimiseAndResume) {
    struct Case {
        const char* name;
        const char* keys;
        int frames;
    };
    const Case cases[] = {{"windowskey", "LWIN@3 Q@6", 6}, {"controlescape", "CTRL+ESC@3 Q@10", 3}};
    for (const Case& k : cases) {
        const runresult r = rundemo(k.name, k.keys);
        EXPECT_EQ(r.status, 0) << k.name;
        EXPECT_TRUE(fs::exists(framefile(r, k.frames + 1))) << k.name;
        EXPECT_FALSE(fs::exists(framefile(r, k.frames + 2))) << k.name;
        bmpimage last;
        ASSERT_TRUE(readbmp8(framefile(r, k.frames + 1), last)) << k.name;
        EXPECT_EQ(differences(last, expectedpicture(beamatframe(k.frames, {}))), 0) << k.name;
    }
}

// The same run in a real window on an X server shows exactly the headless picture.
TEST(DemoEndToEnd, RealWindowShowsTheSamePicture) {
#ifndef VOXDA_HAVE_SDL
    GTEST_SKIP() << "built without SDL2";
#else
    testxserver x(300, 420);
    if (!x.ready) GTEST_SKIP() << x.why;
    const runresult cached = rundemo("windowcache", "Q@1");
    const runresult r = rundemo("window", "Q@3", "sdl", cached.dir / "crarray.cgf");
    EXPECT_EQ(r.status, 0);
    EXPECT_FALSE(fs::exists(framefile(r, 5)));
    bmpimage got;
    ASSERT_TRUE(readbmp8(framefile(r, 4), got));
    EXPECT_EQ(differences(got, expectedpicture(beamatframe(3, {}))), 0);
#endif
}

}  // namespace
