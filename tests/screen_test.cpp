// screen_test.cpp - the display state record at start and ddrelease
#include <gtest/gtest.h>

#include <cstring>

#include "display/screen.h"
#include "platform/headless/headless.h"
#include "platform/resultcodes.h"

// A fresh process (the threadsafe death-test style re-runs the binary) sees every field zero.
TEST(ScreenRecordDeathTest, AllZeroAtProgramStartWithTheMouseLatched) {
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    EXPECT_EXIT(
        {
            static const screenrecord zero{};
            bool zeroed =
                std::memcmp(&screen, &zero, sizeof screen) == 0 && screen.width == 0 && screen.dd == nullptr;
            bool mouse = mousex == 0 && mousey == 0 && mousebuttons == 0 && mouselatched == 1;
            std::exit(zeroed && mouse ? 0 : 1);
        },
        ::testing::ExitedWithCode(0), "");
}

TEST(ScreenRecord, DdreleaseWithNothingOpenDoesNothing) {
    ASSERT_EQ(pfheadlessstart(), 1);
    screen = screenrecord{};
    ddrelease();
    static const screenrecord zero{};
    EXPECT_EQ(std::memcmp(&screen, &zero, sizeof screen), 0);
}

TEST(ScreenRecord, DdreleaseReleasesEveryObjectAndKeepsTheFields) {
    ASSERT_EQ(pfheadlessstart(), 1);
    screen = screenrecord{};
    pfwindowclass c{};
    c.proc = pfdefwindowproc;
    c.classname = "screen";
    pfregisterclass(&c);
    screen.window =
        pfcreatewindow(0, "screen", "t", PF_WS_VISIBLE, 0, 0, 8, 8, nullptr, nullptr, nullptr, nullptr);
    ASSERT_EQ(pfdisplaycreate(nullptr, &screen.dd, nullptr), 0u);
    ASSERT_EQ(pfdisplaysetcooperativelevel(screen.dd, screen.window, PF_SCL_FULLSCREEN | PF_SCL_EXCLUSIVE),
              0u);
    ASSERT_EQ(pfdisplaysetmode(screen.dd, 8, 8, 8), 0u);
    ASSERT_EQ(pfdisplaycreatepalette(screen.dd, PF_PCAPS_8BIT | PF_PCAPS_ALLOW256, screen.palette,
                                     &screen.ddpalette, nullptr),
              0u);
    screen.primarydesc = {PF_SD_CAPS, 0, 0, 0, nullptr, {}, PF_CAPS_PRIMARYSURFACE};
    ASSERT_EQ(pfdisplaycreatesurface(screen.dd, &screen.primarydesc, &screen.primary, nullptr), 0u);
    screen.shaddesc = {PF_SD_CAPS | PF_SD_WIDTH | PF_SD_HEIGHT, 8, 8, 0, nullptr, {}, PF_CAPS_OFFSCREENPLAIN};
    screen.backdesc = screen.shaddesc;
    ASSERT_EQ(pfdisplaycreatesurface(screen.dd, &screen.shaddesc, &screen.shad, nullptr), 0u);
    ASSERT_EQ(pfdisplaycreatesurface(screen.dd, &screen.backdesc, &screen.back, nullptr), 0u);
    for (pfsurface* s : {screen.primary, screen.shad, screen.back})
        ASSERT_EQ(pfsurfacesetpalette(s, screen.ddpalette), 0u);
    screenrecord before = screen;
    ddrelease();
    EXPECT_EQ(std::memcmp(&screen, &before, sizeof screen), 0);  // the handles stay as they were
    pfsurfacedesc d{};
    pfpaletteentry e[1];
    for (pfsurface* s : {screen.primary, screen.shad, screen.back})
        EXPECT_EQ(pfsurfacelock(s, nullptr, &d, 0, nullptr), PFERR_INVALIDOBJECT);
    EXPECT_EQ(pfpalettegetentries(screen.ddpalette, 0, 0, 1, e), PFERR_INVALIDOBJECT);
    // The display object is gone too: a new one can be made.
    pfdisplay* again = nullptr;
    EXPECT_EQ(pfdisplaycreate(nullptr, &again, nullptr), 0u);
    // A second ddrelease meets released objects and must not crash.
    ddrelease();
}
