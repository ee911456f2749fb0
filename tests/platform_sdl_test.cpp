// platform_sdl_test.cpp - a real SDL window on an X server (Xvfb started here when none is set)
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <string>
#include <vector>

#include "platform/headless/headless.h"
#include "platform/platform.h"
#include "platform/resultcodes.h"
#include "tests/testxserver.h"

TEST(PlatformSdl, WindowShowsFramesScaledAndThroughThePalette) {
#if !VOXDA_HAVE_SDL
    GTEST_SKIP() << "built without SDL2 (install libsdl2-dev)";
#else
    testxserver x(90, 200);
    if (!x.ready) GTEST_SKIP() << "no X server: " << x.why;
    setenv("VOXDA_SCREEN", "320x200", 1);
    int started = pfstartup("sdl");
    unsetenv("VOXDA_SCREEN");
    ASSERT_EQ(started, 1);
    EXPECT_STREQ(pfbackendname(), "sdl");
    EXPECT_EQ(pfgetsystemmetrics(PF_SM_CXSCREEN), 320);
    EXPECT_EQ(pfgetsystemmetrics(PF_SM_CYSCREEN), 200);
    pfwindowclass c{};
    c.proc = pfdefwindowproc;
    c.classname = "quibbets";
    ASSERT_NE(pfregisterclass(&c), 0);
    pfwindow* w = pfcreatewindow(0, "quibbets", "voxda test", PF_WS_POPUP | PF_WS_VISIBLE, 0, 0, 320, 200,
                                 nullptr, nullptr, nullptr, nullptr);
    ASSERT_NE(w, nullptr);
    pfdisplay* dd = nullptr;
    ASSERT_EQ(pfdisplaycreate(nullptr, &dd, nullptr), 0u);
    ASSERT_EQ(pfdisplaysetcooperativelevel(dd, w, 0x53), 0u);
    // The 6x5 'F': ink red, paper blue; scaled by 40 (the largest whole factor) into 240x200,
    // centred with 40-pixel black bars left and right.
    const char* const letter[5] = {"#####.", "#.....", "####..", "#.....", "#....."};
    for (int bits : {8, 32}) {
        ASSERT_EQ(pfdisplaysetmode(dd, 6, 5, bits), 0u);
        pfsurfacedesc pd{PF_SD_CAPS, 0, 0, 0, nullptr, {}, PF_CAPS_PRIMARYSURFACE};
        pfsurface* primary = nullptr;
        ASSERT_EQ(pfdisplaycreatesurface(dd, &pd, &primary, nullptr), 0u);
        pfsurfacedesc sd{
            PF_SD_CAPS | PF_SD_WIDTH | PF_SD_HEIGHT, 6, 5, 0, nullptr, {}, PF_CAPS_OFFSCREENPLAIN};
        pfsurface* shad = nullptr;
        ASSERT_EQ(pfdisplaycreatesurface(dd, &sd, &shad, nullptr), 0u);
        pfpalette* pal = nullptr;
        if (bits == 8) {
            pfpaletteentry entries[256] = {};
            entries[1] = {255, 0, 0, 4};
            entries[2] = {0, 0, 255, 4};
            ASSERT_EQ(pfdisplaycreatepalette(dd, PF_PCAPS_8BIT | PF_PCAPS_ALLOW256, entries, &pal, nullptr),
                      0u);
            ASSERT_EQ(pfsurfacesetpalette(primary, pal), 0u);
        }
        pfsurfacedesc desc{};
        ASSERT_EQ(pfsurfacelock(shad, nullptr, &desc, PF_LOCK_WAIT, nullptr), 0u);
        uint8_t* p = static_cast<uint8_t*>(desc.surface);
        for (int y = 0; y < 5; ++y)
            for (int x = 0; x < 6; ++x) {
                bool ink = letter[y][x] == '#';
                if (bits == 8) {
                    p[y * desc.pitch + x] = ink ? 1 : 2;
                } else {
                    uint8_t* q = p + y * desc.pitch + 4 * x;
                    q[0] = ink ? 0 : 255, q[1] = 0, q[2] = ink ? 255 : 0;
                }
            }
        ASSERT_EQ(pfsurfaceunlock(shad, nullptr), 0u);
        pfrect all{0, 0, 6, 5};
        ASSERT_EQ(pfsurfacebltfast(primary, 0, 0, shad, &all, PF_BLTFAST_WAIT), 0u);
        pfmessage m;
        for (int i = 0; i < 50 && pfpeekmessage(&m, nullptr, 0, 0, PF_PM_REMOVE); ++i) pfdispatchmessage(&m);
        std::vector<uint32_t> shown;
        int sw = 0, sh = 0;
        ASSERT_EQ(pfreadscreen(shown, &sw, &sh), 1);
        ASSERT_EQ(sw, 320);
        ASSERT_EQ(sh, 200);
        for (int y = 0; y < 5; ++y)
            for (int x = 0; x < 6; ++x) {
                uint32_t expected = letter[y][x] == '#' ? 0xFF0000u : 0x0000FFu;
                EXPECT_EQ(shown[static_cast<size_t>(40 * y + 20) * 320 + 40 + 40 * x + 20], expected)
                    << bits << ": " << x << "," << y;
            }
        EXPECT_EQ(shown[100 * 320 + 10], 0u);   // left bar
        EXPECT_EQ(shown[100 * 320 + 300], 0u);  // right bar
        if (bits == 8) {
            // A palette change shows at once, without a new present.
            int presents = pfpresentcount();
            pfpaletteentry green = {0, 255, 0, 4};
            ASSERT_EQ(pfpalettesetentries(pal, 0, 1, 1, &green), 0u);
            ASSERT_EQ(pfreadscreen(shown, &sw, &sh), 1);
            EXPECT_EQ(shown[20 * 320 + 60], 0x00FF00u);
            EXPECT_EQ(pfpresentcount(), presents);
        }
        pfsurfacerelease(shad);
        pfsurfacerelease(primary);
        if (pal) pfpaletterelease(pal);
    }
    // Minimising through the platform makes the window iconic.
    pfclosewindow(w);
    EXPECT_EQ(pfisiconic(w), 1);
    pfdisplayrelease(dd);
    ASSERT_EQ(pfheadlessstart(), 1);  // closes the SDL window
#endif
}

// Without any screen the SDL backend refuses to start (it never runs invisibly), with one line.
TEST(PlatformSdl, NoScreenIsRefusedWithOneLine) {
#if !VOXDA_HAVE_SDL
    GTEST_SKIP() << "built without SDL2 (install libsdl2-dev)";
#else
    std::vector<std::pair<std::string, std::string> > saved;
    for (const char* name : {"DISPLAY", "WAYLAND_DISPLAY", "SDL_VIDEODRIVER"}) {
        if (const char* v = std::getenv(name)) saved.push_back({name, v});
        unsetenv(name);
    }
    testing::internal::CaptureStderr();
    int started = pfstartup("sdl");
    std::string err = testing::internal::GetCapturedStderr();
    for (auto& [name, value] : saved) setenv(name.c_str(), value.c_str(), 1);
    EXPECT_EQ(started, 0);
    EXPECT_EQ(std::count(err.begin(), err.end(), '\n'), 1) << err;
    EXPECT_NE(err.find("VOXDA_DISPLAY=headless"), std::string::npos) << err;
    ASSERT_EQ(pfheadlessstart(), 1);
#endif
}
