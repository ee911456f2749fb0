// Tests of the surfaces: creation, the present, the two-bank copies, the primary lock and failures.
#include "display/surfaces.h"

#include "display/graphics.h"
#include "display/screen.h"
#include "platform/headless/headless.h"
#include "platform/resultcodes.h"
#include "raster/pixels.h"
#include "tests/displaytestsetup.h"

#include <gtest/gtest.h>

#include <string>

namespace {

using Surfaces = displaytest;

bool islocked(pfsurface* s) { return pfheadlessislocked(s); }

// The present re-reads the pointer and pitch from the lock every time.
TEST_F(Surfaces, ShowshadPresentsAndRelocks) {
    GRAPHICS(nullptr, 16, 8, "t", 3, 0);
    uint8_t* const pixels = screen.shadpixels;
    const int pitch = screen.shadpitch;
    putpixel(2, 5, 0x0000FF);
    const int before = pfpresentcount();
    screen.shadpixels = nullptr;
    screen.shadpitch = 1;
    showshad();
    EXPECT_EQ(pfpresentcount(), before + 1);
    EXPECT_EQ(screen.shadpixels, pixels);
    EXPECT_EQ(screen.shadpitch, pitch);
    EXPECT_TRUE(islocked(screen.shad));
    EXPECT_EQ(pfheadlesslastframe().rgb(2, 5), 0x0000FFu);
    EXPECT_EQ(getpixel(2, 5), 0x0000FF);  // showshad alone does not clear
}

// Lost surfaces come back: the next present restores them, relocks shad and shows the frame.
TEST_F(Surfaces, LostSurfacesAreRestoredAtThePresent) {
    GRAPHICS(nullptr, 16, 8, "t", 1, 0);
    pfheadlesslosesurfaces();
    showshad();
    EXPECT_TRUE(islocked(screen.shad));
    putpixel(15, 7, 9);
    showframe(0);
    EXPECT_EQ(pfheadlesslastframe().rgb(15, 7), 0x0000FFu);
    pfheadlesslosesurfaces();
    ddunlosesurface(screen.primary);
    EXPECT_EQ(pfsurfaceislost(screen.primary), 0u);
}

TEST_F(Surfaces, TwoBanksCopyAndSwap) {
    GRAPHICS(nullptr, 12, 6, "t", 1, 1);
    ASSERT_NE(screen.back, nullptr);
    pfpalette* attached = nullptr;
    ASSERT_EQ(pfsurfacegetpalette(screen.back, &attached), 0u);
    EXPECT_EQ(attached, screen.ddpalette);
    pfpaletterelease(attached);
    EXPECT_TRUE(islocked(screen.back));

    screen.backpixels[1 * screen.backpitch + 3] = 10;  // background pixel
    putpixel(4, 2, 12);                                // frame pixel
    cclb();
    EXPECT_EQ(pfheadlesslastframe().rgb(4, 2), 0xFF0000u);
    EXPECT_EQ(pfheadlesslastframe().rgb(3, 1), 0x000000u);
    EXPECT_EQ(getpixel(3, 1), 10);  // shad starts again from back
    EXPECT_EQ(getpixel(4, 2), 0);
    EXPECT_TRUE(islocked(screen.shad));
    EXPECT_TRUE(islocked(screen.back));

    putpixel(0, 0, 7);
    shadtoback();
    EXPECT_EQ(screen.backpixels[0], 7);
    screen.backpixels[5] = 8;
    backtoshad();
    EXPECT_EQ(getpixel(5, 0), 8);

    uint8_t* const shadpixels = screen.shadpixels;
    pfsurface* const shad = screen.shad;
    screen.backpixels[0] = 44;
    swapbanks();
    EXPECT_EQ(screen.back, shad);
    EXPECT_EQ(screen.backpixels, shadpixels);
    EXPECT_EQ(getpixel(0, 0), 44);
}

// Drawing straight onto the screen, and the depth given back when the lock ends.
TEST_F(Surfaces, FrontLockSwapAndDepthRestore) {
    GRAPHICS(nullptr, 10, 5, "t", 1, 0);
    ASSERT_EQ(lockfront(), 1);
    putpixelfront(3, 3, 14);
    EXPECT_EQ(getpixelfront(3, 3), 14);
    swapfront();
    putpixel(4, 4, 12);  // lands on the primary
    swapfront();
    EXPECT_EQ(getpixelfront(4, 4), 12);
    screen.bytesperpixel = 3;  // something changed the depth while the primary was locked
    selectpixelroutines();
    unlockfront();
    EXPECT_EQ(screen.bytesperpixel, 1);
    putpixel(1, 0, 0x0F0F0F);
    EXPECT_EQ(screen.shadpixels[1], 0x0F);
    EXPECT_EQ(screen.shadpixels[2], 0);  // one byte per pixel again
    EXPECT_EQ(pfheadlesslastframe().rgb(3, 3), 0xFFFF00u);
    EXPECT_EQ(pfheadlesslastframe().rgb(4, 4), 0xFF0000u);

    pfheadlessfail("pfsurfacelock", PFERR_SURFACEBUSY, 1);
    EXPECT_EQ(lockfront(), 0);
}

TEST_F(Surfaces, DeviceContextUnlocksAndRelocks) {
    GRAPHICS(nullptr, 10, 5, "t", 1, 0);
    pfdc* dc = nullptr;
    EXPECT_EQ(getshaddc(&dc), 0u);
    EXPECT_NE(dc, nullptr);
    EXPECT_FALSE(islocked(screen.shad));
    EXPECT_TRUE(pfheadlesshasdc(screen.shad));
    releaseshaddc(&dc);
    EXPECT_TRUE(islocked(screen.shad));
    EXPECT_FALSE(pfheadlesshasdc(screen.shad));
    putpixel(9, 4, 3);
    EXPECT_EQ(getpixel(9, 4), 3);
}

// The bank copies and the device context hand-back restore a lost shad or back and lock again;
// a lock that still fails is fatal, naming the routine and the bank.
TEST_F(Surfaces, BankCopiesRestoreRetryThenReportFatally) {
    GRAPHICS(nullptr, 10, 5, "t", 1, 1);
    pfheadlesslosesurfaces();
    putpixel(2, 2, 9);
    shadtoback();
    EXPECT_TRUE(islocked(screen.shad));
    EXPECT_TRUE(islocked(screen.back));
    backtoshad();
    pfdc* dc = nullptr;
    ASSERT_EQ(getshaddc(&dc), 0u);
    pfheadlesslosesurfaces();
    releaseshaddc(&dc);
    EXPECT_TRUE(islocked(screen.shad));
    EXPECT_EQ(errorlines(), 0);

    // A lock that fails for another reason, or a restore that fails, is fatal. With only back
    // lost and its restore failing, shad locks again and back's lock is the one that fails.
    struct {
        int which;      // 0 shadtoback, 1 backtoshad, 2 releaseshaddc
        bool backlost;  // back lost and unrestorable, instead of every lock failing
        const char* message;
    } fatal[] = {
        {0, false, "Directdraw error DDERR_GENERIC @ shadtoback - locking shad"},
        {0, true, "Directdraw error DDERR_SURFACELOST @ shadtoback - locking back"},
        {1, false, "Directdraw error DDERR_GENERIC @ backtoshad - locking shad"},
        {1, true, "Directdraw error DDERR_SURFACELOST @ backtoshad - locking back"},
        {2, false, "Directdraw error DDERR_GENERIC @ releaseshaddc - locking shad"},
    };
    for (auto& k : fatal) {
        reset();
        GRAPHICS(nullptr, 10, 5, "t", 1, 1);
        EXPECT_EXIT(
            {
                pfdc* c = nullptr;
                if (k.which == 2) getshaddc(&c);
                if (k.backlost) {
                    pfheadlesslosesurfaces();
                    pfsurfacerestore(screen.shad);
                    pfheadlessfail("pfsurfacerestore", PFERR_GENERIC);
                } else {
                    pfheadlessfail("pfsurfacelock", PFERR_GENERIC);
                }
                if (k.which == 0) shadtoback();
                if (k.which == 1) backtoshad();
                if (k.which == 2) releaseshaddc(&c);
            },
            [](int) { return true; }, "Oh sod it");
        EXPECT_NE(errorlog().find(k.message), std::string::npos) << k.message << "\n" << errorlog();
        EXPECT_EQ(errorlines(), 1) << k.message;
    }
}

// Failures in the set-up are fatal with the step named; refused modes and palettes are warnings.
TEST_F(Surfaces, FailuresNameTheirStep) {
    struct Case {
        const char* call;
        int depth;
        const char* message;
    };
    const Case fatal[] = {
        {"pfdisplaycreate", 1, "Directdraw error DDERR_GENERIC @ directxsetup - creating DirectDraw"},
        {"pfdisplaysetcooperativelevel", 1,
         "Directdraw error DDERR_GENERIC @ directxsetup - setting cooperative level"},
        {"pfsurfacesetpalette", 1,
         "Directdraw error DDERR_GENERIC @ directxsetup,8bit - applying palette to surface"},
        {"pfdisplaycreatesurface", 3,
         "Directdraw error DDERR_GENERIC @ directxsetup - creating primary surface"},
        {"pfsurfacelock", 3, "Directdraw error DDERR_GENERIC @ makebank - locking shad"},
        {"pfsurfaceislost", 4, "Directdraw error DDERR_GENERIC @ ddunlosesurface"},
    };
    for (const Case& k : fatal) {
        reset();
        EXPECT_EXIT(
            {
                if (std::string(k.call) == "pfsurfaceislost")
                    pfheadlessfail("pfsurfacerestore", PFERR_GENERIC);
                pfheadlessfail(k.call, PFERR_GENERIC);
                GRAPHICS(nullptr, 8, 8, "t", k.depth, 0);
            },
            [](int) { return true; }, "Oh sod it");
        EXPECT_NE(errorlog().find(k.message), std::string::npos) << k.call << "\n" << errorlog();
        EXPECT_EQ(errorlines(), 1) << k.call;
    }

    // A refused palette is a warning that keeps its leading '-'; the set-up goes on.
    reset();
    pfheadlessfail("pfdisplaycreatepalette", 0x88760235, 1);
    GRAPHICS(nullptr, 8, 8, "t", 1, 0);
    EXPECT_EQ(errorlines(), 1);
    EXPECT_NE(errorlog().find("Directdraw error DDERR_NOEMULATION @ -directxsetup,8bit - creating palette"),
              std::string::npos)
        << errorlog();
    EXPECT_EQ(screen.ddpalette, nullptr);
    EXPECT_NE(screen.shad, nullptr);
    putpixel(7, 7, 1);
    EXPECT_EQ(getpixel(7, 7), 1);
}

// pickdisplaymode's warnings: one line for an 8-bit refusal, one for a refusal of both true-colour depths.
TEST_F(Surfaces, PickDisplayModeWarnings) {
    GRAPHICS(nullptr, 8, 8, "t", 1, 0);
    pfheadlesssetdepths({16});
    screen.bytesperpixel = 1;
    pickdisplaymode(screen.dd, 8, 8, 1);
    EXPECT_EQ(errorlines(), 1);
    EXPECT_NE(errorlog().find("DDERR_UNSUPPORTEDMODE @ -directxsetup,8bit - setting display mode"),
              std::string::npos);
    pickdisplaymode(screen.dd, 8, 8, 4);
    EXPECT_EQ(errorlines(), 2);
    EXPECT_NE(errorlog().find("DDERR_UNSUPPORTEDMODE @ -directxsetup,24bit - setting display mode"),
              std::string::npos);
    EXPECT_EQ(screen.bytesperpixel, 1);  // nothing was accepted
}

}  // namespace
