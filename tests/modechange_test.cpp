// Tests of the display mode change on the headless backend.
#include "display/modechange.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "display/graphics.h"
#include "display/palette.h"
#include "display/screen.h"
#include "platform/headless/headless.h"
#include "raster/blendtables.h"
#include "raster/pixels.h"
#include "raster/shapes.h"
#include "raster/sprites.h"
#include "rastersurface.h"

namespace {

// Opens a headless display of 320 x 240 at a depth; closes it again at the end.
struct headlessdisplay {
    explicit headlessdisplay(int depth, int twobanks = 0, std::initializer_list<int> depths = {8, 24, 32}) {
        pfheadlessstart();
        pfheadlesssetdesktop(320, 240);
        pfheadlesssetdepths(depths);
        GRAPHICS(nullptr, 0, 0, "mode change test", depth, twobanks);
    }
    ~headlessdisplay() { endgraphics(); }
};

// Draws a known pattern, presents it and returns the colour the screen shows at (x, y).
unsigned shown(int x, int y, int c) {
    fillrect(0, 0, screen.width, screen.height, 0);
    pixelroutines.putpixel(x, y, c);
    showframe(0);
    return pfheadlesslastframe().rgb(x, y);
}

}  // namespace

TEST(ModechangeResults, SameSizeDoesNothing) {
    headlessdisplay d(1);
    pfsurface* primary = screen.primary;
    EXPECT_EQ(changemode(320, 240, 4), 0);
    EXPECT_EQ(screen.bytesperpixel, 1);
    EXPECT_EQ(screen.primary, primary);
}

TEST(ModechangeResults, EachResultWithItsDepth) {
    struct {
        std::initializer_list<int> accepted;
        int startdepth, width, height, depth;
        int result, bytesperpixel, newwidth;
    } cases[] = {
        {{8, 24, 32}, 1, 160, 120, 1, 1, 1, 160},     {{8, 24, 32}, 1, 160, 120, 3, 1, 3, 160},
        {{8, 32}, 1, 160, 120, 3, 2, 4, 160},         {{8, 24}, 1, 160, 120, 4, 3, 3, 160},
        {{8, 24, 32}, 3, 20000, 120, 3, 4, 3, 320},  // no such size: back to 320 x 240 x 24
        {{8, 24, 32}, 1, 160, 120, 2, 4, 1, 320},    // 16 bits refused: the previous mode again
        {{8, 16, 24, 32}, 1, 160, 120, 2, 1, 2, 160},
    };
    for (auto& c : cases) {
        headlessdisplay d(c.startdepth, 0, c.accepted);
        ASSERT_EQ(screen.width, 320);
        EXPECT_EQ(changemode(c.width, c.height, c.depth), c.result) << c.width << " x " << c.depth;
        EXPECT_EQ(screen.bytesperpixel, c.bytesperpixel);
        EXPECT_EQ(screen.width, c.newwidth);
        EXPECT_NE(screen.primary, nullptr);
        EXPECT_NE(screen.shadpixels, nullptr);
        int w = 0, h = 0, bits = 0;
        pfdisplaygetmode(screen.dd, &w, &h, &bits);
        EXPECT_EQ(w, screen.width);
        EXPECT_EQ(h, screen.height);
        EXPECT_EQ(bits, screen.bytesperpixel * 8);
    }
}

TEST(ModechangeResults, NoModeAtAllGivesZero) {
    headlessdisplay d(3);
    pfheadlessfail("pfdisplaysetmode", 0x8876024E);  // every mode refused from now on
    EXPECT_EQ(changemode(160, 120, 3), 0);
    pfheadlessclearfailures();
    EXPECT_EQ(screen.width, 320);
    EXPECT_NE(screen.shadpixels, nullptr);
}

TEST(ModechangeDrawing, RoutinesFollowTheNewDepth) {
    headlessdisplay d(1);
    selectblendroutines();
    ASSERT_EQ(changemode(200, 100, 4), 1);
    EXPECT_EQ(screen.defaultcolour, 0xFFFFFF);
    EXPECT_EQ(shown(199, 99, 0x123456), 0x123456u);
    pixelroutines.putpixel(5, 5, 0x123456);
    EXPECT_EQ(pixelroutines.getpixel(5, 5), 0x123456);
    screenblendpixel(5, 5, 0xFFFF00);  // the true-colour blend: white channels saturate
    EXPECT_EQ(pixelroutines.getpixel(5, 5), 0xFFFF56 + 1);

    ASSERT_EQ(changemode(160, 120, 1), 1);
    EXPECT_EQ(screen.defaultcolour, 15);
    EXPECT_EQ(shown(159, 119, 12), 0xFF0000u);  // the standard palette's red
    EXPECT_EQ(screen.palette[8].red, 63);       // dark grey: the standard palette was loaded

    EXPECT_EQ(changemode(100, 80, 2), modeprevious);  // 16 bits refused on this backend
    EXPECT_EQ(screen.bytesperpixel, 1);
}

TEST(ModechangeDrawing, ClipOriginStartsAgainAtTheCorner) {
    // A viewport's clip origin belongs to the old size: the new mode draws from (0, 0).
    headlessdisplay d(1);
    screen.clipleft = 30, screen.cliptop = 20;
    ASSERT_EQ(changemode(160, 120, 1), 1);
    EXPECT_EQ(screen.clipleft, 0);
    EXPECT_EQ(screen.cliptop, 0);
    EXPECT_EQ(shown(0, 0, 12), 0xFF0000u);
}

TEST(ModechangeDrawing, EightBitToEightBitKeepsThePalette) {
    headlessdisplay d(1, 1);
    screen.palette[12] = {1, 2, 3, 4};
    ASSERT_EQ(changemode(160, 120, 1), 1);
    EXPECT_NE(screen.back, nullptr);  // both banks rebuilt
    EXPECT_NE(screen.backpixels, nullptr);
    EXPECT_EQ(shown(10, 10, 12), 0x010203u);
}

TEST(ModechangeDrawing, EnteringEightBitFromTrueColourMakesAPalette) {
    headlessdisplay d(3);
    ASSERT_EQ(screen.ddpalette, nullptr);
    ASSERT_EQ(changemode(160, 120, 1), 1);
    ASSERT_NE(screen.ddpalette, nullptr);
    EXPECT_EQ(shown(3, 4, 12), 0xFF0000u);
    EXPECT_EQ(shown(3, 4, 7), 0x7F7F7Fu);
}

// A display opened in true colour made its (empty) blend tables there; entering 8-bit mode
// makes them for the 8-bit palette, so blending white with red gives red.
TEST(ModechangeDrawing, EnteringEightBitFromTrueColourMakesTheBlendTables) {
    std::vector<unsigned char> m(multiplytable, multiplytable + blendtablesize);
    std::vector<unsigned char> sc(screenblendtable, screenblendtable + blendtablesize);
    std::vector<unsigned char> inv(inversetable, inversetable + 256);
    const unsigned char built = blendtablesbuilt;
    const bool for8bit = blendtablesfor8bit;
    const char* cachename = blendcachename;
    auto dir = rastertempdir("modechange-blendtables");
    std::filesystem::remove_all(dir);
    std::filesystem::create_directories(dir);
    const std::string cache = (dir / "crarray.cgf").string();
    blendcachename = cache.c_str();
    std::fill(multiplytable, multiplytable + blendtablesize, 0);
    std::fill(screenblendtable, screenblendtable + blendtablesize, 0);
    std::fill(inversetable, inversetable + 256, 0);
    blendtablesbuilt = 0;
    {
        headlessdisplay d(4);
        makeblendtables();  // true colour, no cache file: nothing to make them from
        selectblendroutines();
        ASSERT_EQ(multiplytable[blendentry(15, 12)], 0);
        ASSERT_EQ(changemode(160, 120, 1), 1);
        // Palette entry 15 is white and 12 is red in the standard palette.
        EXPECT_EQ(multiplytable[blendentry(15, 12)], 12);
        EXPECT_EQ(screenblendtable[blendentry(0, 12)], 12);
        EXPECT_EQ(inversetable[15], 0);  // white inverts to black
        EXPECT_TRUE(std::filesystem::exists(cache));
        fillrect(0, 0, screen.width, screen.height, 15);
        multiplypixel(3, 4, 12);
        showframe(0);
        EXPECT_EQ(pfheadlesslastframe().rgb(3, 4), 0xFF0000u);
        // Back in true colour and into 8-bit again: the tables stay as they are.
        multiplytable[blendentry(15, 12)] = 9;
        ASSERT_EQ(changemode(200, 100, 4), 1);
        ASSERT_EQ(changemode(160, 120, 1), 1);
        EXPECT_EQ(multiplytable[blendentry(15, 12)], 9);
    }
    std::copy(m.begin(), m.end(), multiplytable);
    std::copy(sc.begin(), sc.end(), screenblendtable);
    std::copy(inv.begin(), inv.end(), inversetable);
    blendtablesbuilt = built;
    blendtablesfor8bit = for8bit;
    blendcachename = cachename;
    std::filesystem::remove_all(dir);
}

TEST(ModechangeDeathTest, FailuresAreFatalWithTheirContext) {
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    struct {
        const char* call;
        int startdepth, newdepth;
        const char* context;
    } cases[] = {
        {"pfsurfaceunlock", 1, 1, "changemode - unlocking shad"},
        {"pfdisplaycreatesurface", 1, 1, "changemode - creating primary surface \\(again\\)"},
        {"pfpalettesetentries", 1, 1, "changemode,8bit - restoring old palette entries"},
        {"pfsurfacesetpalette", 1, 1, "changemode,8bit - setting palette"},
        {"pfdisplaycreatepalette", 3, 1, "changemode,8bit - creating palette"},
    };
    auto dir = rasterdeathdir("modechange-death");
    for (auto& c : cases) {
        EXPECT_EXIT(
            {
                std::filesystem::current_path(dir);  // the error log goes here
                headlessdisplay d(c.startdepth);
                pfheadlessfail(c.call, 0x80004005);
                changemode(160, 120, c.newdepth);
            },
            ::testing::ExitedWithCode(1), std::string("Oh sod it: .*@ ") + c.context)
            << c.call;
    }
    // An unlocked second bank cannot be unlocked again.
    EXPECT_EXIT(
        {
            std::filesystem::current_path(dir);
            headlessdisplay d(1, 1);
            pfsurfaceunlock(screen.back, nullptr);
            changemode(160, 120, 1);
        },
        ::testing::ExitedWithCode(1), "Oh sod it: .*NOTLOCKED @ changemode - unlocking back");
    rasterdeathdirdone(dir);
}
