// Tests of the graphics set-up, the default palette, the clears and closing the display.
#include "display/graphics.h"

#include "display/screen.h"
#include "display/surfaces.h"
#include "display/window.h"
#include "platform/headless/headless.h"
#include "raster/pixels.h"
#include "tests/displaytestsetup.h"

#include <gtest/gtest.h>

#include <vector>

namespace {

using GraphicsSetup = displaytest;

// True when every presented pixel of the frame is the given RGB colour.
bool wholly(const pfheadlessframe& frame, uint32_t rgb) {
    for (int y = 0; y < frame.height; ++y)
        for (int x = 0; x < frame.width; ++x)
            if (frame.rgb(x, y) != rgb) return false;
    return true;
}

TEST_F(GraphicsSetup, DesktopSizedEightBitDisplayWithOneBank) {
    GRAPHICS(nullptr, 0, 600, "voxda test", 1,
             0x100);  // the 600 is ignored; only the low byte of twobanks counts
    EXPECT_EQ(screen.width, 64);
    EXPECT_EQ(screen.height, 48);
    EXPECT_EQ(screen.bytesperpixel, 1);
    EXPECT_EQ(screen.twobanks, 0);
    EXPECT_EQ(screen.defaultcolour, 15);
    EXPECT_NE(screen.shad, nullptr);
    EXPECT_EQ(screen.back, nullptr);
    EXPECT_NE(screen.shadpixels, nullptr);
    EXPECT_GE(screen.shadpitch, 64);
    EXPECT_STREQ(pfwindowtitle(screen.window), "voxda test");
    EXPECT_TRUE(pfheadlesswindowvisible());
    EXPECT_NE(pixelroutines.putpixel, nullptr);

    // The palette object sits on the primary and on shad.
    for (pfsurface* s : {screen.primary, screen.shad}) {
        pfpalette* attached = nullptr;
        ASSERT_EQ(pfsurfacegetpalette(s, &attached), 0u);
        EXPECT_EQ(attached, screen.ddpalette);
        pfpaletterelease(attached);
    }
    // A black first frame, shown through the default palette.
    const pfheadlessframe& frame = pfheadlesslastframe();
    EXPECT_GE(frame.number, 1);
    EXPECT_EQ(frame.width, 64);
    EXPECT_EQ(frame.bitsperpixel, 8);
    EXPECT_TRUE(wholly(frame, 0x000000));
    EXPECT_EQ(frame.palette[15].red, 255);

    // shad is locked and ready: a pixel drawn now shows at the next present.
    putpixel(63, 47, 12);
    showframe(0);
    EXPECT_EQ(pfheadlesslastframe().rgb(63, 47), 0xFF0000u);
    EXPECT_EQ(getpixel(63, 47), 0);  // cleared after the present
}

TEST_F(GraphicsSetup, DefaultPalette) {
    pfpaletteentry p[256];
    makedefaultpalette(p);
    struct Entry {
        int index, r, g, b;
    };
    const Entry samples[] = {
        {0, 0, 0, 0},     {1, 0, 0, 128},      {6, 128, 128, 0},   {7, 128, 128, 128},  {8, 0, 0, 0},
        {9, 0, 0, 255},   {12, 255, 0, 0},     {14, 255, 255, 0},  {15, 255, 255, 255}, {16, 0, 0, 0},
        {17, 11, 11, 11}, {39, 253, 253, 253}, {40, 0, 0, 0},      {41, 51, 0, 0},      {46, 0, 51, 0},
        {76, 0, 0, 51},   {73, 153, 255, 0},   {223, 153, 0, 255}, {255, 255, 255, 255}};
    for (const Entry& e : samples) {
        EXPECT_EQ(p[e.index].red, e.r) << e.index;
        EXPECT_EQ(p[e.index].green, e.g) << e.index;
        EXPECT_EQ(p[e.index].blue, e.b) << e.index;
    }
    for (const pfpaletteentry& e : p) EXPECT_EQ(e.flags, 4);
}

// A zero size in either direction leaves the display closed, with width 0 for the start check.
TEST_F(GraphicsSetup, ZeroSizeIsRefused) {
    struct Case {
        int desktopw, desktoph, width, height;
    };
    for (const Case& k : {Case{64, 48, 800, 0}, Case{0, 0, 0, 0}, Case{64, 48, -5, 10}}) {
        reset();
        pfheadlesssetdesktop(k.desktopw, k.desktoph);
        GRAPHICS(nullptr, k.width, k.height, "t", 1, 0);
        EXPECT_EQ(screen.width, 0) << k.width << "x" << k.height;
        EXPECT_EQ(screen.dd, nullptr);
        EXPECT_EQ(screen.shad, nullptr);
        EXPECT_NE(screen.window, nullptr);  // the window is made all the same
        EXPECT_EQ(pfpresentcount(), 0);
    }
}

// True colour: 24 bits first, 32 when 24 is refused, and the other way round.
TEST_F(GraphicsSetup, TrueColourDepthFallbacks) {
    struct Case {
        std::vector<int> accepted;
        int asked, got;
    };
    const Case cases[] = {{{8, 32}, 3, 4}, {{8, 24}, 4, 3}, {{8, 24, 32}, 4, 3}, {{32}, 7, 4}};
    for (const Case& k : cases) {
        reset();
        pfheadlesssetdepths(k.accepted);
        GRAPHICS(nullptr, 40, 30, "t", k.asked, 1);
        EXPECT_EQ(screen.bytesperpixel, k.got) << k.asked;
        EXPECT_EQ(screen.defaultcolour, 0xFFFFFF);
        EXPECT_NE(screen.back, nullptr);
        EXPECT_EQ(screen.ddpalette, nullptr);
        EXPECT_EQ(errorlines(), 0);
        // The routines of the settled depth are in the table: pixel 1 lands k.got bytes in.
        putpixel(1, 0, 0x123456);
        EXPECT_EQ(screen.shadpixels[k.got], 0x56);
        EXPECT_EQ(screen.shadpixels[k.got + 2], 0x12);
        showframe(0);
        EXPECT_EQ(pfheadlesslastframe().bitsperpixel, k.got * 8);
        EXPECT_EQ(pfheadlesslastframe().rgb(1, 0), 0x123456u);
    }
}

// A refused mode leaves one warning line and the set-up goes on in the display's own (desktop)
// mode; drawing follows that mode's depth, so it never runs past the surface's rows.
TEST_F(GraphicsSetup, RefusedModeGoesOnInsideTheSurface) {
    struct Case {
        std::vector<int> accepted;
        int asked;
        const char* warning;
    };
    const Case cases[] = {{{8, 16}, 3, "DDERR_UNSUPPORTEDMODE @ -directxsetup,24bit - setting display mode"},
                          {{8}, 4, "DDERR_UNSUPPORTEDMODE @ -directxsetup,24bit - setting display mode"},
                          {{24, 32}, 1, "DDERR_UNSUPPORTEDMODE @ -directxsetup,8bit - setting display mode"}};
    for (const Case& k : cases) {
        reset();
        pfheadlesssetdepths(k.accepted);
        GRAPHICS(nullptr, 40, 30, "t", k.asked, 1);
        EXPECT_EQ(errorlines(), 1) << errorlog();
        EXPECT_NE(errorlog().find(k.warning), std::string::npos) << errorlog();
        int w = 0, h = 0, bits = 0;
        pfdisplaygetmode(screen.dd, &w, &h, &bits);
        ASSERT_EQ(bits, 32) << "the desktop mode";
        EXPECT_EQ(screen.bytesperpixel, 4);
        EXPECT_EQ(screen.defaultcolour, 0xFFFFFF);
        for (int y = 0; y < 30; ++y)
            for (int x = 0; x < 40; ++x) putpixel(x, y, 0x00FF00);  // the sanitizer catches any overrun
        clearback(0x11);
        showframe(0);
        EXPECT_EQ(pfheadlesslastframe().rgb(39, 29), 0x00FF00u);
        EXPECT_EQ(getpixel(39, 29), 0);
    }
}

TEST_F(GraphicsSetup, ClearsFillWholeMemoryWithTheLowByte) {
    pfheadlesssetextrapitch(6);
    pfheadlesssetdepths({8, 32});
    GRAPHICS(nullptr, 10, 4, "t", 4, 1);
    ASSERT_EQ(screen.bytesperpixel, 4);
    clearshad(0x123456);
    clearback(0x7F);
    const size_t shadbytes = static_cast<size_t>(screen.shadpitch) * 4;
    EXPECT_EQ(screen.shadpitch, 10 * 4 + 6);
    for (size_t i = 0; i < shadbytes; ++i) ASSERT_EQ(screen.shadpixels[i], 0x56) << i;
    for (size_t i = 0; i < shadbytes; ++i) ASSERT_EQ(screen.backpixels[i], 0x7F) << i;

    clearall(0xFF);
    EXPECT_TRUE(wholly(pfheadlesslastframe(), 0xFFFFFF));
    EXPECT_EQ(getpixel(9, 3), 0xFFFFFF);
    EXPECT_EQ(screen.backpixels[shadbytes - 1], 0xFF);

    // The primary's clear covers the visible pixels of each row and nothing beyond.
    ASSERT_EQ(lockfront(), 1);
    clearfront(0x01);
    EXPECT_EQ(getpixelfront(9, 3), 0x010101);
    EXPECT_EQ(screen.frontpixels[10 * 4 + 5], 0) << "row end of the primary";
    unlockfront();

    // Inside a viewport a clear keeps to the viewport.
    pushviewport(-2, 1, 3, 3);
    clearshad(0x22);
    popviewport();
    EXPECT_EQ(getpixel(0, 1), 0x222222);
    EXPECT_EQ(getpixel(2, 2), 0x222222);
    EXPECT_EQ(getpixel(3, 1), 0xFFFFFF);
    EXPECT_EQ(getpixel(0, 0), 0xFFFFFF);
    EXPECT_EQ(getpixel(0, 3), 0xFFFFFF);
}

// endgraphics closes everything; a later GRAPHICS opens a fresh display.
TEST_F(GraphicsSetup, EndAndOpenAgain) {
    GRAPHICS(nullptr, 32, 16, "t", 1, 0);
    pfdisplay* first = screen.dd;
    endgraphics();
    EXPECT_EQ(screen.width, 0);
    EXPECT_EQ(screen.height, 0);
    EXPECT_EQ(screen.bytesperpixel, 0);
    EXPECT_EQ(screen.dd, nullptr);
    EXPECT_EQ(screen.shad, nullptr);
    EXPECT_EQ(pixelroutines.putpixel, nullptr);
    EXPECT_FALSE(pfheadlesswindowvisible());

    GRAPHICS(nullptr, 24, 12, "t", 3, 0);
    EXPECT_TRUE(pfheadlesswindowvisible());
    EXPECT_EQ(screen.width, 24);
    EXPECT_EQ(screen.bytesperpixel, 3);
    EXPECT_NE(screen.dd, nullptr);
    putpixel(23, 11, 0x00FF00);
    showframe(0);
    EXPECT_EQ(pfheadlesslastframe().width, 24);
    EXPECT_EQ(pfheadlesslastframe().rgb(23, 11), 0x00FF00u);
    (void)first;

    // And while open: the old objects are let go and new ones made.
    GRAPHICS(nullptr, 20, 10, "t", 1, 0);
    EXPECT_EQ(screen.width, 20);
    EXPECT_EQ(screen.bytesperpixel, 1);
    putpixel(19, 9, 14);
    showframe(0);
    EXPECT_EQ(pfheadlesslastframe().rgb(19, 9), 0xFFFF00u);
}

}  // namespace
