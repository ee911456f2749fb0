// Tests of text drawing and measuring: layout, spacing, escapes, wrapping, clipping.
#include "text/textdraw.h"

#include <climits>
#include <cstring>
#include <memory>
#include <string>

#include "simulation/appmain.h"
#include "tests/textfixture.h"
#include "text/markup.h"
#include "text/styles.h"

using namespace textfixture;

namespace {

// 'A' is a 3 × 4 'F' shape; rows from the top: ###, #.., ##., #..
const std::vector<uint8_t> fshape{15, 15, 15, 15, 255, 255, 15, 15, 255, 15, 255, 255};

class TextdrawTest : public display {
  protected:
    // A font with 'A' the F shape, 'B' a solid 2 × 4 block, a 2-wide blank space, glyph 256
    // a solid 4 × 4 block, 'C' (cellwidth - 1) wide, and a blank 1 × 12 'M' so that
    // maxheight is 12 (lines 13 apart). Everything else is a blank 1 × 1.
    font* layoutfont(int cellwidth, const std::vector<uint8_t>& a = fshape) {
        std::vector<uint8_t> bytes =
            filebytes(fontrecords(solid(1, 1, 255), {{'A', record{3, 4, a}},
                                                     {'B', solid(2, 4, 15)},
                                                     {' ', solid(2, 4, 255)},
                                                     {'C', solid(cellwidth - 1, 1, 255)},
                                                     {'M', solid(1, 12, 255)},
                                                     {256, solid(4, 4, 15)}}));
        return makefont(bytes.data(), static_cast<int>(bytes.size()), "normal");
    }
    // Columns of row y that are lit, as a string of '#' and '.' over [x0, x1).
    std::string row(int y, int x0, int x1) const {
        std::string s;
        for (int x = x0; x < x1; x++) s += lit(x, y) ? '#' : '.';
        return s;
    }
    void draw(const std::string& text, int x = 0, int y = 0, int margin = 0, int c = 0xFFFFFF) {
        drawtext(x, y, margin, text.c_str(), c);
    }
};

std::string bytes(std::initializer_list<int> list) {
    std::string s;
    for (int b : list) s += static_cast<char>(b);
    return s;
}

}  // namespace

TEST_F(TextdrawTest, SpacingFollowsCellWidth) {
    opendisplay(4, 128, 64);
    struct spacingcase {
        int cellwidth, spacing;
    };
    // floor(cellwidth × 0.13f + 0.5): 9 → 1, 12 → 2, 50 → 6 (not 7: 0.13f is below 0.13).
    const spacingcase cases[] = {{9, 1}, {12, 2}, {50, 6}, {2, 0}};
    for (const spacingcase& c : cases) {
        clearstore();
        layoutfont(c.cellwidth);
        EXPECT_EQ(currentcellwidth, c.cellwidth);
        EXPECT_EQ(textwidth("AB"), 3 + c.spacing + 2 + c.spacing) << c.cellwidth;
        clearpixels();
        draw("AB");
        EXPECT_EQ(litbox().right, 3 + c.spacing + 1) << c.cellwidth;  // B's right column
    }
}

TEST_F(TextdrawTest, LinesAndFShape) {
    opendisplay(4, 128, 64);
    layoutfont(9);
    draw("A\nBA\nA", 5, 2);
    // Line pitch is maxheight + 1 = 13; every line starts at x = 5.
    for (int line = 0; line < 3; line++) EXPECT_EQ(row(2 + 13 * line, 0, 6), ".....#") << line;
    EXPECT_EQ(row(2, 5, 9), "###.");
    EXPECT_EQ(row(3, 5, 9), "#...");
    EXPECT_EQ(row(4, 5, 9), "##..");
    EXPECT_EQ(row(5, 5, 9), "#...");
    EXPECT_EQ(row(15, 5, 12), "##.###.");  // B, one pixel of spacing, A
    EXPECT_EQ(litbox().bottom, 2 + 26 + 3);
}

TEST_F(TextdrawTest, Escapes) {
    opendisplay(4, 128, 64);
    layoutfont(9);
    struct escapecase {
        const char* name;
        std::string text;
        int y;
        std::string expected;  // row y, columns 0..19
    };
    const escapecase cases[] = {
        {"glyph escape of a line feed", "B" + bytes({2, 0, 10}) + "B", 13, "##.................."},
        {"glyph escape above 255", bytes({2, 1, 0}) + "B", 0, "####.##............."},
        {"glyph number above 511 is skipped", "B" + bytes({2, 2, 0}) + "B", 0, "##.##..............."},
        {"tab moves the pen", "B" + bytes({5, 1, 12, 0, 0, 0}) + "B", 0, "##..........##......"},
        {"unknown selector is ignored", "B" + bytes({5, 9, 1, 1, 1, 1}) + "B", 0, "##.##..............."},
    };
    for (const escapecase& c : cases) {
        clearpixels();
        draw(c.text);
        EXPECT_EQ(row(c.y, 0, 20), c.expected) << c.name;
    }
    // A colour escape changes the colour for the rest of the call: blue only, in the
    // frame buffer's blue-green-red byte order.
    clearpixels();
    draw("B" + bytes({5, 0, 0xFF, 0, 0, 0}) + "B", 0, 0, 0, 0xFFFFFF);
    EXPECT_EQ(at(0, 0, 2), 255);
    EXPECT_EQ(at(3, 0, 0), 255);
    EXPECT_LT(at(3, 0, 2), 2);
}

// A pen near the int limits, from the caller or a tab escape, stops there: no wrap-around
// (the sanitizer build reports any signed overflow), nothing drawn off the screen, and the
// text goes on normally once a tab or line brings the pen back.
TEST_F(TextdrawTest, PenNearTheIntLimits) {
    opendisplay(4, 128, 64);
    layoutfont(9);
    auto tab = [](int32_t x) {
        uint32_t u = static_cast<uint32_t>(x);
        return bytes({5, 1, int(u & 0xFF), int(u >> 8 & 0xFF), int(u >> 16 & 0xFF), int(u >> 24)});
    };
    const std::string script = bytes({5, 2, 0, 1, 0xFF, 0x7F});  // full size, raised a whole line
    struct pencase {
        const char* name;
        int x, y, margin;
        std::string text;
        int litx, lity;  // top-left of the one B expected on the screen, or -1 for nothing
    };
    const pencase cases[] = {
        {"caller's x at the limit", INT_MAX - 1, 0, 0, "AAB" + tab(10) + "B", 10, 0},
        {"tab to the limit", 0, 0, 0, tab(INT_MAX - 2) + "AAAA" + tab(20) + "B", 20, 0},
        {"tab to the lower limit", 0, 0, 0, tab(INT_MIN + 1) + "AAAA" + tab(20) + "B", 20, 0},
        {"wrap measured from the limit", 0, 0, 50, tab(INT_MAX - 3) + "A MM" + tab(10) + "B", 10, 13},
        {"lines below the limit", 0, INT_MAX - 5, 0, "A\nA\nB\n" + script + "B", -1, -1},
        {"script above the lower limit", 0, INT_MIN + 2, 0, script + "B\nB", -1, -1},
        {"fixed lines from the caller", INT_MIN, INT_MIN, 20, "A A\nB B", -1, -1},
    };
    for (const pencase& c : cases) {
        clearpixels();
        draw(c.text, c.x, c.y, c.margin);
        box b = litbox();
        if (c.litx < 0) {
            EXPECT_EQ(b.left, -1) << c.name;
        } else {
            EXPECT_EQ(b.left, c.litx) << c.name;
            EXPECT_EQ(b.top, c.lity) << c.name;
            EXPECT_EQ(b.right, c.litx + 1) << c.name;
            EXPECT_EQ(b.bottom, c.lity + 3) << c.name;
        }
    }
    EXPECT_EQ(textwidth((tab(INT_MAX) + "A").c_str()), 3 + 1);  // escapes add no width
}

// A text in a buffer without a terminating zero ends at the buffer's end; an escape cut off
// there ends it before its data bytes are read (each buffer is its own exact-size heap block,
// so a read past it is caught by the address checks of the sanitizer build).
TEST_F(TextdrawTest, TextInABufferEndsAtItsSize) {
    opendisplay(4, 128, 64);
    layoutfont(9);  // B advances 3
    struct buffercase {
        const char* name;
        std::string bytes;
        int margin;
        std::string line0, line1;  // rows 0 and 13, columns 0..15
        int width;                 // textwidthin of the buffer
    };
    const buffercase cases[] = {
        {"bare text escape at the end", "BB" + bytes({5}), 0, "##.##...........", "................", 6},
        {"bare glyph escape at the end", "BB" + bytes({2}), 0, "##.##...........", "................", 6},
        {"glyph escape one byte short", "B" + bytes({2, 1}), 0, "##..............", "................", 3},
        {"colour escape two bytes short", "B" + bytes({5, 0, 12, 0}), 0, "##..............",
         "................", 3},
        {"whole tab escape and glyph", "B" + bytes({5, 1, 12, 0, 0, 0}) + "B", 0, "##..........##..",
         "................", 6},
        {"zero before the end", "B" + bytes({0}) + "B", 0, "##..............", "................", 3},
        {"wrapped word ends at a cut-off escape", "B B" + bytes({5, 0}), 4, "##..............",
         "##..............", 9},
    };
    for (const buffercase& c : cases) {
        size_t size = c.bytes.size();
        auto buffer = std::make_unique<char[]>(size);
        std::memcpy(buffer.get(), c.bytes.data(), size);
        clearpixels();
        drawtextin(0, 0, c.margin, buffer.get(), size, 0xFFFFFF);
        EXPECT_EQ(row(0, 0, 16), c.line0) << c.name;
        EXPECT_EQ(row(13, 0, 16), c.line1) << c.name;
        EXPECT_EQ(textwidthin(buffer.get(), size), c.width) << c.name;
        // The same bytes cut one short lose their last byte's worth and nothing more.
        clearpixels();
        drawtextin(0, 0, c.margin, buffer.get(), size - 1, 0xFFFFFF);
        EXPECT_LE(litbox().right, 4) << c.name;
    }
    // A whole escape at the very end of the buffer still takes effect: blue only.
    const std::string coloured = "B" + bytes({5, 0, 0xFF, 0, 0, 0}) + "B";
    auto buffer = std::make_unique<char[]>(coloured.size());
    std::memcpy(buffer.get(), coloured.data(), coloured.size());
    clearpixels();
    drawtextin(0, 0, 0, buffer.get(), coloured.size(), 0xFFFFFF);
    EXPECT_EQ(at(3, 0, 0), 255);
    EXPECT_LT(at(3, 0, 2), 2);
}

TEST_F(TextdrawTest, WrapAtMargin) {
    opendisplay(4, 128, 64);
    layoutfont(9);  // A advances 4, a space 3
    // "AA" ends at 8; the next word would end at 8 + 8 = 16.
    draw("AA AA", 0, 0, 12);
    EXPECT_EQ(row(0, 0, 20), "###.###.............");
    EXPECT_EQ(row(13, 0, 20), "###.###.............");
    clearpixels();
    draw("AA AA", 0, 0, 16);  // just fits: 16 is not beyond the margin
    EXPECT_EQ(row(0, 0, 20), "###.###....###.###..");
    EXPECT_EQ(row(13, 0, 20), "....................");
    // A space at the very end: an empty next word, nothing read beyond the text.
    clearpixels();
    std::string tail = "AA ";
    draw(tail, 0, 0, 5);
    EXPECT_EQ(row(0, 0, 12), "###.###.....");
    // A word measured for wrapping steps over escapes whole: a colour escape whose data
    // bytes look like a space and a line feed does not split it.
    clearpixels();
    draw("AA A" + bytes({5, 0, 32, 10, 0, 0}) + "AA", 0, 0, 16);
    EXPECT_EQ(row(13, 0, 20), "###.###.###.........");
    EXPECT_EQ(row(0, 0, 20), "###.###.............");
}

TEST_F(TextdrawTest, ClippingAtTheLeftEdge) {
    opendisplay(4, 128, 64);
    layoutfont(9);
    draw("A", -1, 0);
    EXPECT_EQ(row(0, 0, 4), "##..");
    EXPECT_EQ(row(1, 0, 4), "....");
    EXPECT_EQ(row(2, 0, 4), "#...");
    // The text indent moves the left limit for text only.
    clearpixels();
    textindent = 2;
    draw("BA", 1, 20);
    textindent = 0;
    EXPECT_EQ(row(20, 0, 8), "..#.###.");
    // The per-pixel path tints by channel: red text keeps the red byte (byte 2) only.
    clearpixels();
    draw("B", -1, 30, 0, 0xFF0000);
    EXPECT_EQ(at(0, 30, 2), 255);
    EXPECT_LT(at(0, 30, 0), 2);
    EXPECT_FALSE(lit(1, 30));
    // Off the bottom: only the rows inside the window.
    clearpixels();
    draw("B", 0, 62);
    EXPECT_EQ(row(62, 0, 3), "##.");
    EXPECT_EQ(row(63, 0, 3), "##.");
}

TEST_F(TextdrawTest, GlyphWiderThanItsCellAtTheRightEdgeNeverWraps) {
    // In fixed pitch glyph 256 (4 wide) is centred in a 2-pixel cell, one pixel left of it:
    // the cell ends at the right edge but the glyph does not, so it is drawn pixel by pixel
    // and nothing runs on into the next row.
    opendisplay(4, 128, 64);
    layoutfont(2);
    fixedpitch = true;
    draw(bytes({2, 1, 0}), 126, 0);
    fixedpitch = false;
    for (int y = 0; y < 4; y++) EXPECT_EQ(row(y, 123, 128), "..###") << y;
    EXPECT_EQ(row(1, 0, 2), "..");
    EXPECT_EQ(row(4, 0, 2), "..");
}

TEST_F(TextdrawTest, MeasuringText) {
    opendisplay(4, 128, 64);
    layoutfont(9);
    EXPECT_EQ(textwidth("AB\nAAAA"), 4 + 3);
    EXPECT_EQ(textwidth(("A" + bytes({2, 1, 0}) + bytes({5, 1, 7, 0, 0, 0}) + "B").c_str()), 4 + 3);
    // Other control bytes below 8 are zero-width single bytes: nothing after them is skipped.
    EXPECT_EQ(textwidth("A\x07"
                        "B\x01"),
              4 + 3);
    EXPECT_EQ(textprefixwidth("ABA", 2), 7);
    EXPECT_EQ(textprefixwidth("ABA", -1), 11);
    EXPECT_EQ(textprefixwidth("ABA", 3), 11);
    fixedpitch = true;
    EXPECT_EQ(textwidth("ABA"), 3 * 9 - 1);
    fixedpitch = false;
}

TEST_F(TextdrawTest, ScriptEscapeRaisesAndScales) {
    opendisplay(4, 128, 64);
    font* normal = layoutfont(9, std::vector<uint8_t>(12, 15));  // 'A' a solid 3 × 4 block
    // Size 128, offset 128: half size, raised by trunc((128 × 12 + 128) / 256) = 6 pixels;
    // then size 256, offset 0 returns to the line.
    draw("B" + bytes({5, 2, 128, 0, 128, 0}) + "A" + bytes({5, 2, 0, 1, 0, 0}) + "B", 0, 20);
    EXPECT_EQ(currentfont, normal);
    EXPECT_EQ(row(20, 0, 3), "##.");
    EXPECT_FALSE(lit(3, 13));
    EXPECT_TRUE(lit(3, 14));  // the half-size A starts at 20 - 6
    EXPECT_FALSE(lit(3, 16));
    // advance of the half-size A: floor(3 × 0.5 + 0.5) + 1 = 3; B follows at 3 + 3 = 6
    EXPECT_EQ(row(20, 3, 9), "...##.");
    ASSERT_NE(findfont("normal:width=0.5:height=0.5"), nullptr);
    // Markup makes the same escapes.
    char text[64] = "B^A";
    markup(text, sizeof text, 1);
    clearpixels();
    drawtext(0, 40, 0, text, 0xFFFFFF);
    EXPECT_EQ(row(40, 0, 2), "##");
    // Size 179, offset 38: raised by trunc((38 × 12 + 128) / 256) = 2 pixels.
    EXPECT_FALSE(lit(3, 37));
    EXPECT_TRUE(lit(3, 38));
}

// Script escapes of many distinct sizes keep only a bounded number of fonts, while the
// sizes a text keeps using stay cached and draw exactly as before.
TEST_F(TextdrawTest, ScriptSizesKeepABoundedFontCache) {
    opendisplay(4, 128, 64);
    layoutfont(9, std::vector<uint8_t>(12, 15));
    const int basefonts = fontcount();
    auto sized = [](int s) { return bytes({5, 2, s & 0xFF, s >> 8, 0, 0}) + "AB"; };
    // Markup's nested sizes (179 and 128): drawn twice, made once.
    char text[64] = "B^{A^A}";
    markup(text, sizeof text, 2);
    drawtext(0, 30, 0, text, 0xFFFFFF);
    const std::vector<uint8_t> first = pixels;
    const int withmarkup = fontcount();
    EXPECT_EQ(withmarkup, basefonts + 2);
    clearpixels();
    drawtext(0, 30, 0, text, 0xFFFFFF);
    EXPECT_EQ(fontcount(), withmarkup);
    EXPECT_EQ(pixels, first);
    // Forty distinct sizes, from a tenth to six times the base (far apart enough that no
    // font made for one serves another): the store stays within a few fonts.
    for (int k = 0; k < 40; ++k) {
        draw(sized(26 + k * 38), 0, 0);
        ASSERT_LE(fontcount(), basefonts + 2 + 8) << k;
    }
    // The markup text draws the same after its fonts were dropped and made again.
    clearpixels();
    drawtext(0, 30, 0, text, 0xFFFFFF);
    EXPECT_EQ(pixels, first);
}

TEST_F(TextdrawTest, EightBitUsesTheMultiplyTable) {
    opendisplay(1, 64, 32);
    // Test tables: multiplying colour 12 by value v gives 100 + v; a screen blend onto
    // black gives the other value unchanged.
    for (int v = 0; v < 255; v++) {
        multiplytable[blendentry(12, v)] = static_cast<uint8_t>(100 + v % 100);
        screenblendtable[blendentry(0, v)] = static_cast<uint8_t>(v);
    }
    layoutfont(9, {20, 21, 22, 23, 255, 255, 24, 25, 255, 26, 255, 255});
    draw("A", 0, 0, 0, 12);    // whole glyph
    draw("A", -1, 10, 0, 12);  // pixel by pixel
    const std::vector<uint8_t> expected{120, 121, 122};
    EXPECT_EQ(std::vector<uint8_t>({at(0, 0), at(1, 0), at(2, 0)}), expected);
    EXPECT_EQ(std::vector<uint8_t>({at(0, 10), at(1, 10), at(2, 10)}), (std::vector<uint8_t>{121, 122, 0}));
    EXPECT_EQ(at(0, 12), 125);
    EXPECT_EQ(at(0, 13), 0);  // glyph column 0 of row 3 lies left of the window
    // Bits above the palette index are dropped on both paths, never indexing past the table.
    draw("A", 10, 20, 0, 12 | 0x7FFFFF00);
    draw("A", -1, 20, 0, 12 | 0x7FFFFF00);
    EXPECT_EQ(std::vector<uint8_t>({at(10, 20), at(11, 20), at(12, 20)}), expected);
    EXPECT_EQ(std::vector<uint8_t>({at(0, 20), at(1, 20), at(2, 20)}), (std::vector<uint8_t>{121, 122, 0}));
}

TEST_F(TextdrawTest, NullTextAndBox) {
    opendisplay(4, 128, 64);
    layoutfont(9);
    drawtext(0, 0, 0, nullptr, 0xFFFFFF);  // draws "NULL?": blank glyphs here, but no crash
    EXPECT_EQ(litbox().left, -1);
    drawtextbox(2, 3, "AB", 0xFFFFFF, 0x000080);
    // The box spans the text's width (7) and maxheight (12) rows; the glyphs lie on it.
    EXPECT_EQ(at(2 + 6, 3 + 11, 0), 0x80);
    EXPECT_EQ(at(2 + 7, 3, 0), 0);
    EXPECT_EQ(at(2 + 6, 3 + 12, 0), 0);
    EXPECT_EQ(at(2, 3, 0), 255);
}

TEST_F(TextdrawTest, DemoStatusTextInTheShippedFont) {
    opendisplay(1, 320, 64);
    for (int v = 0; v < 255; v++) {  // test tables: white keeps a value, black takes it
        multiplytable[blendentry(15, v)] = static_cast<uint8_t>(v);
        screenblendtable[blendentry(0, v)] = static_cast<uint8_t>(v);
    }
    ASSERT_EQ(loadfont(VOXDA_SOURCE_DIR "/assets/font.dat", "normal"), 1);
    EXPECT_EQ(currentmaxheight, 15);
    // The first frame: distance -2 m, time -2 / 252368289.06897998 / 0.001 ms, all 10000 left.
    drawtext(0, 0, 0, "distance=-2m\ntime=-7.92493e-06ms\nbeam=100%", 15);
    std::vector<uint8_t> expected = pixels;
    clearpixels();
    drawstatustext(-2.0, 10000);
    EXPECT_EQ(pixels, expected);
    // Three lines 16 pixels apart, each starting at the left edge.
    for (int line = 0; line < 3; line++) {
        bool any = false, left = false;
        for (int y = 16 * line; y < 16 * line + 15; y++)
            for (int x = 0; x < 320; x++) {
                any = any || lit(x, y);
                left = left || (x < 3 && lit(x, y));
            }
        EXPECT_TRUE(any && left) << line;
    }
    EXPECT_GT(litbox().bottom, 32);
    EXPECT_LT(litbox().bottom, 48);
}
