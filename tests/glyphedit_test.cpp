// Tests of the glyph editor on the headless display: painting, colour picking, resizing keys.
#include "text/glyphedit.h"

#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <functional>
#include <vector>

#include <unistd.h>

#include "display/graphics.h"
#include "display/screen.h"
#include "display/window.h"
#include "platform/headless/headless.h"
#include "raster/blendtables.h"
#include "raster/pixels.h"
#include "tests/displaytestsetup.h"
#include "tests/textfixture.h"
#include "text/fontstore.h"

using namespace textfixture;

namespace {

constexpr int keyQ = 'Q', keyD = 'D', keyT = 'T';
constexpr int arrowleft = 0x25, arrowup = 0x26, arrowright = 0x27, arrowdown = 0x28;

// A 640 × 480 8-bit headless display in a fresh working directory, and a font whose glyphs
// are 8 × 12 (glyph 0: transparent but for pixel (1, 0) = 15 and (3, 5) = 0).
class GlypheditTest : public displaytest {
  protected:
    void SetUp() override {
        displaytest::SetUp();
        if (HasFatalFailure()) return;
        pfheadlesssetdesktop(640, 480);
        GRAPHICS(nullptr, 640, 480, "t", 1, 0);
        ASSERT_EQ(screen.width, 640);
        clearstore();
        blendtablesbuilt = 1;  // the editor draws opaque sprites only: no tables needed
        record g0 = solid(8, 12, 255);
        g0.pixels[1] = 15;
        g0.pixels[5 * 8 + 3] = 0;
        std::vector<uint8_t> bytes = filebytes(fontrecords(solid(8, 12, 255), {{0, g0}}));
        f = makefont(bytes.data(), static_cast<int>(bytes.size()), "normal");
    }
    void TearDown() override {
        clearstore();
        displaytest::TearDown();
    }
    // Runs action at the n-th keyboard read from now.
    void at(int n, std::function<void()> action) {
        pfheadlessatpump(pfheadlesspumps() + n, std::move(action));
    }
    uint8_t pixel(int x, int y) const { return f->glyphs[0][2 + y * f->glyphs[0][0] + x]; }

    font* f = nullptr;
};

}  // namespace

TEST_F(GlypheditTest, PaintPickAndSelect) {
    // The layout for 8 × 12 glyphs on 640 × 480: zoom min(320 / 8, 480 / 12) = 40; table
    // cells min(9, (320 - 160) / 16) = 9 by min(13, 480 / 32) = 13.
    at(1, [] {
        pfheadlessmouse(445, 5, 0);         // the first message without buttons unlatches the mouse
        pfheadlessbutton(0, true, 445, 5);  // palette swatch (445 - 320) / 10 = 12
    });
    at(2, [] {
        pfheadlessbutton(0, false, 445, 5);
        pfheadlessbutton(0, true, 100, 140);  // glyph pixel (100 / 40, 140 / 40) = (2, 3)
    });
    at(3, [] {
        pfheadlessbutton(0, false, 100, 140);
        pfheadlessbutton(1, true, 20, 20);  // take the colour of pixel (0, 0): transparent
    });
    at(4, [] {
        pfheadlessbutton(1, false, 20, 20);
        pfheadlessbutton(0, true, 60, 10);  // paint pixel (1, 0) transparent
    });
    at(5, [] {
        pfheadlessbutton(0, false, 60, 10);
        pfheadlessbutton(0, true, 640 - 16 * 9 + 9 * 2 + 4, 480 - 32 * 13 + 13 * 3 + 6);  // glyph 3 × 16 + 2
    });
    at(6, [] {
        pfheadlessbutton(0, false, 0, 0);
        pfheadlesskey(keyQ, true);
    });
    pfheadlessrecord(true);
    editfont();
    EXPECT_EQ(pixel(2, 3), 12);
    EXPECT_EQ(pixel(1, 0), 255);
    EXPECT_EQ(pixel(3, 5), 0);
    const std::vector<pfheadlessframe>& frames = pfheadlessframes();
    ASSERT_FALSE(frames.empty());
    auto index = [](const pfheadlessframe& frame, int x, int y) {
        return frame.pixels[static_cast<size_t>(y) * frame.pitch + x];
    };
    // Some frame showed the painted pixel magnified to 41 × 41 (x 80..120, y 120..160).
    bool painted = false;
    for (const pfheadlessframe& frame : frames)
        painted = painted || (index(frame, 81, 121) == 12 && index(frame, 119, 159) == 12 &&
                              index(frame, 79, 121) != 12);
    EXPECT_TRUE(painted);
    const pfheadlessframe& last = frames.back();
    EXPECT_EQ(index(last, 320 + 10 * 12 + 5, 5), 12);  // palette swatches
    EXPECT_EQ(index(last, 320 + 10 * 7 + 5, 10 * 3 + 5), 7 + 16 * 3);
    // Glyph 50 was selected: the last frame shows it, blank, as small outlined squares in
    // colour 1 (pixel (2, 3): outline from (90, 130) to (110, 150)).
    EXPECT_EQ(index(last, 100, 140), 0);
    EXPECT_EQ(index(last, 90, 140), 1);
}

TEST_F(GlypheditTest, ResizingKeysActOncePerPress) {
    at(1, [] { pfheadlesskey(arrowdown, true); });
    at(6, [] { pfheadlesskey(arrowdown, false); });  // held over several pumps: one row
    at(8, [] { pfheadlesskey(arrowright, true); });
    at(10, [] { pfheadlesskey(arrowright, false); });
    at(12, [] { pfheadlesskey(keyD, true); });
    at(14, [] { pfheadlesskey(keyD, false); });
    at(16, [] { pfheadlesskey(keyQ, true); });
    editfont();
    // 8 × 12 → 8 × 13 → 9 × 13 → 18 × 26; the old pixels kept, doubled into 2 × 2 blocks.
    EXPECT_EQ(f->glyphs[0][0], 18);
    EXPECT_EQ(f->glyphs[0][1], 26);
    EXPECT_EQ(pixel(2, 0), 15);
    EXPECT_EQ(pixel(3, 1), 15);
    EXPECT_EQ(pixel(4, 0), 255);
    EXPECT_EQ(pixel(6, 10), 0);
    EXPECT_EQ(pixel(17, 25), 255);
    EXPECT_EQ(f->maxwidth, 18);
    EXPECT_EQ(f->maxheight, 26);
    EXPECT_EQ(currentmaxheight, 26);
}

TEST_F(GlypheditTest, SizeLimitsAndTrim) {
    struct limitcase {
        int width, height, key;
        int newwidth, newheight;
    };
    const limitcase cases[] = {
        {51, 2, keyD, 51, 2},    {50, 2, keyD, 100, 4}, {100, 3, arrowright, 100, 3},
        {1, 3, arrowleft, 1, 3}, {4, 1, arrowup, 4, 1}, {4, 100, arrowdown, 4, 100},
    };
    for (const limitcase& c : cases) {
        replaceglyph(f, 0, newglyph(c.width, c.height));
        at(1, [&] { pfheadlesskey(c.key, true); });
        at(3, [&] { pfheadlesskey(c.key, false); });
        at(5, [] { pfheadlesskey(keyQ, true); });
        editfont();
        EXPECT_EQ(f->glyphs[0][0], c.newwidth) << c.width << " x " << c.height << " key " << c.key;
        EXPECT_EQ(f->glyphs[0][1], c.newheight) << c.width << " x " << c.height << " key " << c.key;
        at(1, [] { pfheadlesskey(keyQ, false); });
        dealwithmessages();
        dealwithmessages();
    }
    // T makes black pixels transparent and trims every glyph.
    replaceglyph(f, 0, newglyph(5, 4));
    f->glyphs[0][2 + 1 * 5 + 2] = 15;
    f->glyphs[0][2 + 0 * 5 + 4] = 0;
    at(1, [] { pfheadlesskey(keyT, true); });
    at(3, [] {
        pfheadlesskey(keyT, false);
        pfheadlesskey(keyQ, true);
    });
    editfont();
    EXPECT_EQ(f->glyphs[0][0], 1);
    EXPECT_EQ(f->glyphs[0][1], 2);
    EXPECT_EQ(pixel(0, 1), 15);
}
