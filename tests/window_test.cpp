// Tests of the window, its procedure, the message pump with suspend and resume, and typed keys.
#include "display/window.h"

#include "display/graphics.h"
#include "display/screen.h"
#include "display/surfaces.h"
#include "platform/headless/headless.h"
#include "raster/pixels.h"
#include "tests/displaytestsetup.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

namespace {

using WindowPump = displaytest;

TEST_F(WindowPump, MakewindowCreatesOnceThenShows) {
    pfwindow* w = makewindow(nullptr, 64, 48, "first title");
    ASSERT_NE(w, nullptr);
    EXPECT_EQ(screen.window, w);
    EXPECT_EQ(screen.width, 64);
    EXPECT_STREQ(pfwindowtitle(w), "first title");
    EXPECT_TRUE(pfheadlesswindowvisible());
    EXPECT_EQ(pfshowcursor(1), 0);  // the cursor was hidden once
    pfshowcursor(0);

    hidewindow();
    EXPECT_FALSE(pfheadlesswindowvisible());
    EXPECT_EQ(pfshowcursor(0), -1);  // hidewindow gave the cursor back
    pfshowcursor(1);
    EXPECT_EQ(makewindow(nullptr, 10, 10, "second"), w);
    EXPECT_TRUE(pfheadlesswindowvisible());
    EXPECT_EQ(screen.width, 64);  // an existing window stores no size
    EXPECT_STREQ(pfwindowtitle(w), "first title");
}

TEST_F(WindowPump, WindowFailuresAreFatal) {
    EXPECT_EXIT(
        {
            pfheadlessfail("pfregisterclass", 1);
            makewindow(nullptr, 8, 8, "t");
        },
        [](int) { return true; }, "Couldn't register window class");
    reset();
    EXPECT_EXIT(
        {
            pfheadlessfail("pfcreatewindow", 1);
            makewindow(nullptr, 8, 8, "t");
        },
        [](int) { return true; }, "Couldn't create a window");
}

// A key message taken by one pump shows in keys from the next pump on; lastkeys trails by one.
TEST_F(WindowPump, KeysShowOnePumpLater) {
    GRAPHICS(nullptr, 16, 8, "t", 1, 0);
    pfheadlesskey('F', true);
    EXPECT_EQ(dealwithmessages(), 0);
    EXPECT_FALSE(keydown(keys, 'F'));
    EXPECT_EQ(dealwithmessages(), 0);
    EXPECT_TRUE(keydown(keys, 'F'));
    EXPECT_FALSE(keydown(lastkeys, 'F'));
    pfheadlesskey('F', false);
    EXPECT_EQ(dealwithmessages(), 0);
    EXPECT_TRUE(keydown(keys, 'F'));
    EXPECT_TRUE(keydown(lastkeys, 'F'));
    EXPECT_EQ(dealwithmessages(), 0);
    EXPECT_FALSE(keydown(keys, 'F'));
    EXPECT_TRUE(keydown(lastkeys, 'F'));
}

// The Windows keys and Control+Escape minimise (the pump then stays until restored or quit);
// Escape alone does not.
TEST_F(WindowPump, MinimiseKeys) {
    struct Case {
        std::vector<int> held;
        bool minimises;
    };
    const Case cases[] = {{{PFVK_ESCAPE}, false},
                          {{PFVK_LCONTROL}, false},
                          {{PFVK_LWIN}, true},
                          {{PFVK_RWIN}, true},
                          {{PFVK_LCONTROL, PFVK_ESCAPE}, true},
                          {{PFVK_RCONTROL, PFVK_ESCAPE}, true}};
    for (const Case& k : cases) {
        reset();
        GRAPHICS(nullptr, 16, 8, "t", 1, 0);
        for (int vk : k.held) pfheadlesskey(vk, true);
        dealwithmessages();
        // Released again (seen from the next pump on), and a quit message waits, so that a
        // minimised pump comes back.
        for (int vk : k.held) pfheadlesskey(vk, false);
        pfheadlessquit();
        const int result = dealwithmessages();
        EXPECT_EQ(pfheadlesswindowiconic(), k.minimises) << k.held.back();
        EXPECT_EQ(result, 1);
        EXPECT_EQ(screen.shad == nullptr, k.minimises) << "suspended while minimised";
        if (k.minimises) {
            // The next pump after the restore rebuilds the display.
            pfheadlessrestore();
            EXPECT_EQ(dealwithmessages(), 0);
            EXPECT_NE(screen.shad, nullptr);
            EXPECT_EQ(screen.width, 16);
        }
    }
}

// Minimise, suspend, restore: same mode, pixels (with another pitch too) and device palette.
TEST_F(WindowPump, SuspendAndResumeKeepEverything) {
    struct Case {
        int depth, twobanks, newextrapitch;
    };
    for (const Case& k : {Case{1, 0, 0}, Case{1, 1, 13}, Case{3, 1, 0}, Case{4, 0, 5}}) {
        reset();
        GRAPHICS(nullptr, 21, 9, "t", k.depth, k.twobanks);
        const int bpp = screen.bytesperpixel;
        for (int y = 0; y < 9; ++y)
            for (int x = 0; x < 21; ++x) putpixel(x, y, (x * 37 + y * 11) * 0x010307);
        if (screen.back)
            for (int y = 0; y < 9; ++y)
                screen.backpixels[y * screen.backpitch + 2] = static_cast<uint8_t>(y + 1);
        pfpaletteentry changed = {1, 2, 3, 4};
        if (bpp == 1) {
            ASSERT_EQ(pfpalettesetentries(screen.ddpalette, 0, 200, 1, &changed), 0u);
        }
        std::vector<int> before;
        for (int y = 0; y < 9; ++y)
            for (int x = 0; x < 21; ++x) before.push_back(getpixel(x, y));
        pfdisplay* const olddd = screen.dd;
        const int oldpitch = screen.shadpitch;

        pfheadlesssetextrapitch(k.newextrapitch);
        pfheadlessminimise(95);
        const uint64_t start = pfheadlessclock();
        EXPECT_EQ(dealwithmessages(), 0);
        EXPECT_GE(pfheadlessclock() - start, 95000000u);  // it polled while minimised
        EXPECT_FALSE(pfheadlesswindowiconic());

        EXPECT_NE(screen.dd, olddd);
        EXPECT_EQ(screen.bytesperpixel, bpp);
        EXPECT_EQ(screen.width, 21);
        EXPECT_EQ(screen.height, 9);
        EXPECT_EQ(screen.back != nullptr, k.twobanks != 0);
        EXPECT_EQ(screen.shadpitch, oldpitch + k.newextrapitch);  // the rows moved when the pitch grew
        std::vector<int> after;
        for (int y = 0; y < 9; ++y)
            for (int x = 0; x < 21; ++x) after.push_back(getpixel(x, y));
        EXPECT_EQ(after, before) << "depth " << k.depth;
        if (screen.back) {
            for (int y = 0; y < 9; ++y) EXPECT_EQ(screen.backpixels[y * screen.backpitch + 2], y + 1);
        }
        if (bpp == 1) {
            pfpaletteentry now = {};
            ASSERT_EQ(pfpalettegetentries(screen.ddpalette, 0, 200, 1, &now), 0u);
            EXPECT_EQ(now.red, 1);
            EXPECT_EQ(now.green, 2);
            EXPECT_EQ(now.blue, 3);
        }
        showframe(0);
        EXPECT_EQ(pfheadlesslastframe().width, 21);
        EXPECT_EQ(pfheadlesslastframe().bitsperpixel, bpp * 8);
    }
}

// A quit message while minimised returns 1 with the display still suspended and nothing to draw
// into; a later pump after the restore brings it back.
TEST_F(WindowPump, QuitWhileSuspended) {
    GRAPHICS(nullptr, 16, 8, "t", 1, 0);
    putpixel(5, 5, 77);
    pfheadlessminimise(-1);
    pfheadlessquit();
    EXPECT_EQ(dealwithmessages(), 1);
    EXPECT_EQ(screen.dd, nullptr);
    EXPECT_EQ(screen.shad, nullptr);
    putpixel(5, 5, 1);  // harmless: the clip window is empty meanwhile
    clearshad(3);
    showframe(0);
    pfheadlessrestore();
    EXPECT_EQ(dealwithmessages(), 0);
    EXPECT_EQ(screen.width, 16);
    EXPECT_EQ(getpixel(5, 5), 77);
}

// Minimised while no display is open: the pump waits and comes back without opening one.
TEST_F(WindowPump, MinimisedWithoutADisplay) {
    makewindow(nullptr, 16, 8, "t");
    pfheadlessminimise(60);
    EXPECT_EQ(dealwithmessages(), 0);
    EXPECT_FALSE(pfheadlesswindowiconic());
    EXPECT_EQ(screen.dd, nullptr);
    EXPECT_EQ(screen.primary, nullptr);
    EXPECT_EQ(screen.width, 16);
}

TEST_F(WindowPump, TypedCharactersInOrderUpToTheLimit) {
    GRAPHICS(nullptr, 16, 8, "t", 1, 0);
    EXPECT_EQ(getkey(), 0);
    for (int i = 0; i < 600; ++i) pfheadlesschar('a' + i % 26);
    dealwithmessages();
    EXPECT_EQ(std::strlen(typedkeys), 499u);
    for (int i = 0; i < 499; ++i) ASSERT_EQ(getkey(), 'a' + i % 26) << i;
    EXPECT_EQ(getkey(), 0);
    pfheadlesschar(0xE9);  // a byte above 127 comes back as a negative signed char
    pfheadlesschar('z');
    dealwithmessages();
    EXPECT_EQ(getkey(), static_cast<signed char>(0xE9));
    EXPECT_EQ(getkey(), 'z');
    EXPECT_EQ(getkey(), 0);
}

// A button held at start stays unreported until every button has been up once.
TEST_F(WindowPump, MouseLatch) {
    GRAPHICS(nullptr, 16, 8, "t", 1, 0);
    pfheadlessbutton(0, true, 70000 & 0xFFFF, 3);
    dealwithmessages();
    EXPECT_EQ(mousebuttons, 0);
    EXPECT_EQ(mousex, 70000 & 0xFFFF);
    EXPECT_EQ(mousey, 3);
    pfheadlessbutton(1, true, 5, 6);
    dealwithmessages();
    EXPECT_EQ(mousebuttons, 0);
    pfheadlessbutton(0, false, 7, 8);
    pfheadlessbutton(1, false, 7, 8);
    pfheadlessmouse(9, 10, 0);
    dealwithmessages();
    EXPECT_EQ(mouselatched, 0);
    EXPECT_EQ(mousebuttons, 0);
    pfheadlessbutton(1, true, 11, 12);
    dealwithmessages();
    EXPECT_EQ(mousebuttons, 2);
    EXPECT_EQ(mousex, 11);
    EXPECT_EQ(mousey, 12);
}

// Closing the window ends the program at once with status 0.
TEST_F(WindowPump, CloseAndAltF4EndTheProgram) {
    GRAPHICS(nullptr, 16, 8, "t", 1, 0);
    EXPECT_EXIT(
        {
            pfheadlessclose();
            dealwithmessages();
            std::exit(3);
        },
        ::testing::ExitedWithCode(0), "");
    EXPECT_EXIT(
        {
            pfheadlesskey(PFVK_LMENU, true);
            pfheadlesskey(PFVK_F4, true);
            dealwithmessages();
            dealwithmessages();
            std::exit(3);
        },
        ::testing::ExitedWithCode(0), "");
}

}  // namespace
