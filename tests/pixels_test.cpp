// Tests of the pixel writers, the clip window and the viewport stack.
#include "raster/pixels.h"

#include "display/screen.h"
#include "tests/rastertestsurface.h"

#include <gtest/gtest.h>

#include <array>
#include <climits>
#include <cstdint>
#include <utility>
#include <vector>

namespace {

class PixelsDepth : public ::testing::TestWithParam<int> {};

// Each depth writes exactly the bytes of its encoding, clips at every edge and reads back.
TEST_P(PixelsDepth, WritesEncodingAndClips) {
    const int bpp = GetParam();
    rastertestsurface s(7, 5, bpp, 3, 0x11);
    if (bpp == 4)
        for (int y = 0; y < 5; ++y)
            for (int x = 0; x < 7; ++x) s.shad[y * s.pitch + x * 4 + 3] = 0x77;
    const std::vector<unsigned char> before = s.shad;

    // Outside: left, right, below, above, and far negative (must not wrap into the surface).
    for (auto [x, y] : {std::pair{-1, 0}, {7, 0}, {0, 5}, {0, -1}, {-2147483647, 2}, {3, 2147483647}}) {
        putpixel(x, y, 0x123456);
        EXPECT_EQ(getpixel(x, y), -1) << x << "," << y;
    }
    EXPECT_EQ(s.shad, before);

    putpixel(6, 4, 0x123456);  // last pixel
    putpixel(0, 0, 0x7F1F0);   // first pixel, colour with high bits
    putpixel(2, 1, 0xABCDEF);

    std::vector<unsigned char> expect = before;
    auto put = [&](int x, int y, int c) {
        unsigned char* p = expect.data() + y * s.pitch + x * bpp;
        p[0] = c & 0xFF;
        if (bpp > 1) {
            p[1] = (c >> 8) & 0xFF;
            p[2] = (c >> 16) & 0xFF;
        }
    };
    put(6, 4, 0x123456);
    put(0, 0, 0x7F1F0);
    put(2, 1, 0xABCDEF);
    EXPECT_EQ(s.shad, expect);
    EXPECT_TRUE(s.padintact(s.shad));

    const int mask = bpp == 1 ? 0xFF : 0xFFFFFF;
    EXPECT_EQ(getpixel(6, 4), 0x123456 & mask);
    EXPECT_EQ(getpixel(0, 0), 0x7F1F0 & mask);
    EXPECT_EQ(getpixel(2, 1), 0xABCDEF & mask);
    if (bpp == 4) {
        EXPECT_EQ(s.shad[4 * s.pitch + 6 * 4 + 3], 0x77);  // fourth byte untouched
    }
    if (bpp == 1) {
        EXPECT_EQ(s.shad[0], 0xF0);
    }

    // The primary-surface pair addresses frontpixels with the same clip window.
    putpixelfront(1, 3, 0x020406);
    putpixelfront(7, 3, 0x020406);
    EXPECT_EQ(s.at(s.front, 1, 3), 0x020406 & mask);
    EXPECT_EQ(getpixelfront(1, 3), 0x020406 & mask);
    EXPECT_EQ(getpixelfront(-1, 3), -1);
    EXPECT_EQ(s.shadat(1, 3), bpp == 1 ? 0x11 : 0x111111);  // shad untouched
    EXPECT_TRUE(s.padintact(s.front));
}

INSTANTIATE_TEST_SUITE_P(PixelsAllDepths, PixelsDepth, ::testing::Values(1, 3, 4));

// A target taken once writes exactly the pixels putpixel writes, clip window and viewport included.
TEST(PixelsTarget, WritesWhatPutpixelWrites) {
    const int points[][2] = {{0, 0},  {6, 4}, {7, 4},         {6, 5}, {-1, 2},
                             {3, -1}, {2, 3}, {INT32_MIN, 1}, {1, 1}};
    for (int bpp : {1, 3, 4})
        for (bool viewport : {false, true}) {
            std::vector<unsigned char> bytes[2];
            for (int way = 0; way < 2; ++way) {
                rastertestsurface s(7, 5, bpp);
                screen.cliptop = 1;
                if (viewport) pushviewport(2, 1, 6, 4);
                const pixeltarget t = shadtarget();
                ASSERT_EQ(t.bpp, bpp);
                int colour = 0x123456;
                for (auto& p : points) {
                    colour += 0x010203;
                    if (way == 0) putpixel(p[0], p[1], colour);
                    if (way == 1 && bpp == 1) t.put<1>(p[0], p[1], colour);
                    if (way == 1 && bpp == 3) t.put<3>(p[0], p[1], colour);
                    if (way == 1 && bpp == 4) t.put<4>(p[0], p[1], colour);
                }
                if (viewport) popviewport();
                EXPECT_TRUE(s.padintact(s.shad));
                bytes[way] = s.shad;
            }
            EXPECT_EQ(bytes[0], bytes[1]) << bpp << (viewport ? " in a viewport" : "");
            EXPECT_NE(bytes[0], std::vector<unsigned char>(bytes[0].size(), 0));
        }
    // Any other writer in the putpixel slot: no target, callers go through the table.
    rastertestsurface s(7, 5, 1);
    pixelroutines.putpixel = [](int, int, int) {};
    EXPECT_EQ(shadtarget().bpp, 0);
}

TEST(PixelsTable, SelectFillsOwnSlotsAndIgnoresOtherDepths) {
    rastertestsurface s(4, 4, 3);
    const pixelroutinetable three = pixelroutines;
    ASSERT_NE(three.putpixel, nullptr);
    ASSERT_NE(three.getpixelfront, nullptr);
    screen.bytesperpixel = 2;
    selectpixelroutines();
    EXPECT_EQ(pixelroutines.putpixel, three.putpixel);
    EXPECT_EQ(pixelroutines.getpixel, three.getpixel);
    screen.bytesperpixel = 1;
    selectpixelroutines();
    EXPECT_NE(pixelroutines.putpixel, three.putpixel);
    clearpixelroutines();
    EXPECT_EQ(pixelroutines.putpixel, nullptr);
    EXPECT_EQ(pixelroutines.getpixel, nullptr);
    EXPECT_EQ(pixelroutines.putpixelfront, nullptr);
    EXPECT_EQ(pixelroutines.getpixelfront, nullptr);
}

// addpixel saturates per channel; maxpixel keeps the larger channel. Both clip.
TEST(PixelsCombine, AddAndMaxPerDepth) {
    struct Case {
        int bpp, start, c, added, maxed;
    };
    const Case cases[] = {
        {3, 0x90A0B0, 0x808080, 0xFFFFFF, 0x90A0B0},
        {4, 0x102030, 0x05F001, 0x15FF31, 0x10F030},
        {1, 100, 200, 255, 200},
        {1, 100, 20, 120, 100},
        // A negative offset lowers the index and never wraps; for the maximum it compares as a
        // large unsigned value, so its low byte is kept.
        {1, 100, -30, 70, static_cast<unsigned char>(-30)},
        {1, 10, -30, 0, static_cast<unsigned char>(-30)},
    };
    for (const Case& k : cases) {
        rastertestsurface s(3, 2, k.bpp);
        putpixel(1, 1, k.start);
        addpixel(1, 1, k.c);
        EXPECT_EQ(getpixel(1, 1), k.added) << k.bpp << " " << k.start << " + " << k.c;
        putpixel(1, 1, k.start);
        maxpixel(1, 1, k.c);
        EXPECT_EQ(getpixel(1, 1), k.maxed) << k.bpp << " " << k.start << " max " << k.c;
        const std::vector<unsigned char> before = s.shad;
        addpixel(3, 1, 0xFFFFFF);
        maxpixel(-1, 0, 0xFFFFFF);
        addpixel(0, 2, 0xFFFFFF);
        EXPECT_EQ(s.shad, before);
    }
}

// A viewport moves the origin of every surface, narrows the window and shifts the mouse.
TEST(PixelsViewport, PushMovesOriginAndPopRestores) {
    rastertestsurface s(640, 480, 3, 7);
    unsigned char* backbuf = s.front.data();  // stands in for back
    screen.backpixels = backbuf;
    screen.backpitch = s.pitch;
    screen.frontpixels = nullptr;  // a null surface stays null
    mousex = 300;
    mousey = 200;

    pushviewport(10, 20, 110, 70);
    EXPECT_EQ(viewportdepth, 1);
    EXPECT_EQ(screen.clipleft, 0);
    EXPECT_EQ(screen.cliptop, 0);
    EXPECT_EQ(screen.width, 100);
    EXPECT_EQ(screen.height, 50);
    EXPECT_EQ(mousex, 290);
    EXPECT_EQ(mousey, 180);
    EXPECT_EQ(screen.frontpixels, nullptr);
    EXPECT_EQ(screen.backpixels, backbuf + 20 * s.pitch + 30);
    putpixel(0, 0, 0x010203);
    putpixel(99, 49, 0x040506);
    putpixel(100, 0, 0x070809);  // outside the viewport
    EXPECT_EQ(s.shadat(10, 20), 0x010203);
    EXPECT_EQ(s.shadat(109, 69), 0x040506);
    EXPECT_EQ(s.shadat(110, 20), 0);

    // Nested: partly off the outer window to the upper left.
    pushviewport(-50, -50, 20, 30);
    EXPECT_EQ(screen.clipleft, 50);
    EXPECT_EQ(screen.cliptop, 50);
    EXPECT_EQ(screen.width, 70);
    EXPECT_EQ(screen.height, 80);
    putpixel(50, 50, 0x0A0B0C);
    putpixel(49, 50, 0x0D0E0F);
    EXPECT_EQ(s.shadat(10, 20), 0x0A0B0C);
    EXPECT_EQ(s.shadat(9, 20), 0);
    EXPECT_EQ(mousex, 340);

    popviewport();
    popviewport();
    EXPECT_EQ(viewportdepth, 0);
    EXPECT_EQ(screen.shadpixels, s.shad.data());
    EXPECT_EQ(screen.backpixels, backbuf);
    EXPECT_EQ(screen.frontpixels, nullptr);
    EXPECT_EQ(screen.clipleft, 0);
    EXPECT_EQ(screen.cliptop, 0);
    EXPECT_EQ(screen.width, 640);
    EXPECT_EQ(screen.height, 480);
    EXPECT_EQ(mousex, 300);
    EXPECT_EQ(mousey, 200);
    popviewport();  // nothing pushed: nothing happens
    EXPECT_EQ(viewportdepth, 0);
    EXPECT_EQ(screen.width, 640);
    EXPECT_TRUE(s.padintact(s.shad));
}

TEST(PixelsViewport, NegativeOriginAndMissedWindow) {
    rastertestsurface s(640, 480, 1);
    pushviewport(-50, -50, 100, 100);
    EXPECT_EQ(screen.clipleft, 50);
    EXPECT_EQ(screen.cliptop, 50);
    EXPECT_EQ(screen.width, 150);
    EXPECT_EQ(screen.height, 150);
    putpixel(50, 50, 7);
    putpixel(149, 149, 8);
    putpixel(49, 60, 9);
    EXPECT_EQ(s.shadat(0, 0), 7);
    EXPECT_EQ(s.shadat(99, 99), 8);
    popviewport();

    const std::vector<unsigned char> before = s.shad;
    for (auto r :
         {std::array{700, 0, 800, 100}, std::array{10, 10, 10, 50}, std::array{-2147483647, 0, 100, 100}}) {
        pushviewport(r[0], r[1], r[2], r[3]);
        EXPECT_EQ(screen.shadpixels, s.shad.data());
        for (int y = -1; y < 480; y += 7)
            for (int x = -1; x < 640; x += 3) putpixel(x, y, 5);
        EXPECT_EQ(getpixel(0, 0), -1);
        popviewport();
        EXPECT_EQ(screen.width, 640);
        EXPECT_EQ(screen.height, 480);
    }
    EXPECT_EQ(s.shad, before);
}

// Pushes beyond the depth limit are counted and ignored; the ones below it undo normally.
TEST(PixelsViewport, DepthLimit) {
    rastertestsurface s(640, 480, 4);
    for (int i = 0; i < maxviewports; ++i) pushviewport(1, 1, 640, 480);
    EXPECT_EQ(screen.shadpixels, s.shad.data() + maxviewports * (s.pitch + 4));
    const int w = screen.width, h = screen.height;
    EXPECT_EQ(w, 640 - maxviewports);
    pushviewport(3, 3, 10, 10);  // the 201st
    EXPECT_EQ(viewportdepth, maxviewports + 1);
    EXPECT_EQ(screen.width, w);
    EXPECT_EQ(screen.height, h);
    EXPECT_EQ(screen.shadpixels, s.shad.data() + maxviewports * (s.pitch + 4));
    popviewport();
    EXPECT_EQ(screen.width, w);
    for (int i = 0; i < maxviewports; ++i) popviewport();
    EXPECT_EQ(viewportdepth, 0);
    EXPECT_EQ(screen.shadpixels, s.shad.data());
    EXPECT_EQ(screen.width, 640);
}

}  // namespace
