// Tests of the glyph generator: scaling, emboldening, slanting, finishing, the round-robin.
#include "text/glyphgen.h"

#include <algorithm>

#include "tests/textfixture.h"

using namespace textfixture;

namespace {

class GlyphgenTest : public display {
  protected:
    // A font whose 512 glyphs are all `fill`, with some codes replaced.
    font* makeglyphfont(const record& fill, const std::vector<std::pair<int, record>>& changes = {}) {
        std::vector<uint8_t> bytes = filebytes(fontrecords(fill, changes));
        return makefont(bytes.data(), static_cast<int>(bytes.size()), "normal");
    }
    std::vector<uint8_t> pixelsof(const font* f, int code) {
        const unsigned char* g = f->glyphs[code];
        return std::vector<uint8_t>(g + 2, g + glyphblocksize(g));
    }
};

// 8 × 12 glyph with a white vertical bar in columns 2..4 and a grey (index 27) top row.
record bar8x12() {
    record r = solid(8, 12, 255);
    for (int y = 0; y < 12; y++)
        for (int x = 2; x <= 4; x++) r.pixels[y * 8 + x] = 15;
    for (int x = 0; x < 8; x++) r.pixels[x] = 27;
    return r;
}

}  // namespace

TEST_F(GlyphgenTest, ScaledSizesAndGreyLevels) {
    opendisplay(1);
    font* f = makeglyphfont(bar8x12());
    struct scalecase {
        float sx, sy;
        int width, height;
        bool reduced;  // the last pass reduced: grey ramp only
    };
    // floor(W × s) + 1 per axis. Mixed factors enlarge first: (2, 0.5) makes 17 × 13, then
    // 18 × floor(6.5) + 1; (0.5, 2) makes 9 × 25, then floor(4.5) + 1 × 26.
    const scalecase cases[] = {{0.5f, 0.5f, 5, 7, true},    {1.0f, 1.0f, 9, 13, true},
                               {2.0f, 0.5f, 18, 7, true},   {0.5f, 2.0f, 5, 26, true},
                               {1.5f, 1.0f, 13, 13, false}, {40.0f, 40.0f, 255, 255, false}};
    int code = 65;
    for (const scalecase& c : cases) {
        scaleglyph(f, code, c.sx, c.sy);
        EXPECT_EQ(f->glyphs[code][0], c.width) << c.sx << " x " << c.sy;
        EXPECT_EQ(f->glyphs[code][1], c.height) << c.sx << " x " << c.sy;
        std::vector<uint8_t> p = pixelsof(f, code);
        if (c.reduced) {
            EXPECT_TRUE(std::all_of(p.begin(), p.end(), [](uint8_t v) { return v >= 16 && v <= 39; }))
                << "grey ramp only for " << c.sx << " x " << c.sy;
            EXPECT_EQ(*std::max_element(p.begin(), p.end()), 39) << c.sx << " x " << c.sy;
        } else {
            // Enlargement: black and white from the threshold, ramp levels where the
            // sub-samples were counted (pixels next to changed ones are counted too).
            EXPECT_TRUE(std::all_of(p.begin(), p.end(),
                                    [](uint8_t v) { return v == 0 || v == 15 || (v >= 16 && v <= 39); }));
            EXPECT_NE(std::find_if(p.begin(), p.end(), [](uint8_t v) { return v == 15 || v == 39; }),
                      p.end());
            EXPECT_NE(std::find_if(p.begin(), p.end(), [](uint8_t v) { return v > 16 && v < 39; }), p.end());
        }
        code++;
    }
    // Factors of 0 or below are refused.
    std::vector<uint8_t> before = pixelsof(f, 66);
    scaleglyph(f, 66, 0.0f, 0.5f);
    scaleglyph(f, 66, 0.5f, -1.0f);
    EXPECT_EQ(pixelsof(f, 66), before);
}

TEST_F(GlyphgenTest, ReductionNormalisesAndBrightensDigits) {
    opendisplay(1);
    // A 2 × 2 glyph with one pixel of grey 27 (brightness 11 × 11 × 10 / 2550 = 0.4745...):
    // at half size it is the only cell, so it becomes the brightest level whatever its
    // coverage. A 4 × 2 glyph, left half white, right half transparent, at (0.5, 1): cell 0
    // holds 2, cell 1 holds 0, cell 2 holds 0 (the extra column).
    font* f = makeglyphfont(record{2, 2, {27, 255, 255, 255}}, {{'A', record{4, 1, {15, 15, 255, 255}}},
                                                                {'4', record{4, 1, {15, 39, 27, 255}}},
                                                                {'B', record{4, 1, {15, 39, 27, 255}}},
                                                                {'C', solid(2, 2, 255)}});
    scaleglyph(f, 0, 0.5f, 0.5f);
    EXPECT_EQ(pixelsof(f, 0), (std::vector<uint8_t>{39, 16, 16, 16}));
    scaleglyph(f, 'A', 0.5f, 1.0f);
    EXPECT_EQ(pixelsof(f, 'A'), (std::vector<uint8_t>{39, 16, 16, 16, 16, 16}));
    // Digits take the power 5/9: cell 1 holds brightness b of grey 27 over the maximum 2.
    scaleglyph(f, '4', 0.5f, 1.0f);
    scaleglyph(f, 'B', 0.5f, 1.0f);
    float b = static_cast<float>(10 * screen.palette[27].red) / 2550.0f;
    float ratio = b / 2.0f;
    EXPECT_EQ(pixelsof(f, 'B')[1], static_cast<uint8_t>(std::floor(23.9 * ratio + 16.0)));
    EXPECT_EQ(pixelsof(f, '4')[1],
              static_cast<uint8_t>(std::floor(23.9 * std::pow(ratio, 5.0f / 9.0f) + 16.0)));
    EXPECT_GT(pixelsof(f, '4')[1], pixelsof(f, 'B')[1]);
    // A glyph with no brightness at all stays at level 0.
    scaleglyph(f, 'C', 0.5f, 0.5f);
    EXPECT_EQ(pixelsof(f, 'C'), (std::vector<uint8_t>{16, 16, 16, 16}));
}

TEST_F(GlyphgenTest, EnlargementGradesEdgesInTrueColour) {
    opendisplay(4);
    // One white pixel doubled: the bilinear threshold keeps the inner cells, the border
    // gets sub-sample counts; the inside reads as full white, not dimmer than the edges.
    font* f = makeglyphfont(record{2, 1, {15, 255}});
    scaleglyph(f, 0, 3.0f, 3.0f);
    const unsigned char* g = f->glyphs[0];
    ASSERT_EQ(g[0], 7);
    ASSERT_EQ(g[1], 4);
    int brightest = 0;
    for (int k = 0; k < 7 * 4; k++) {
        const unsigned char* p = g + 2 + 3 * k;
        EXPECT_TRUE(p[0] == p[1] && p[1] == p[2]) << "grey pixel " << k;
        brightest = std::max<int>(brightest, p[0]);
    }
    EXPECT_EQ(brightest, 255);
    EXPECT_EQ(g[2 + 3 * (1 * 7 + 1)], 255);  // pixel (1, 1) lies inside the enlarged pixel
    EXPECT_EQ(g[2 + 3 * (0 * 7 + 6)], 0);    // the far corner stays dark
}

TEST_F(GlyphgenTest, EmboldenAndThin) {
    opendisplay(1);
    // maxwidth 8 (glyph 1), b = 0.05: h = 0.2, one extra tap, kernel (1, 0.4).
    font* f = makeglyphfont(record{3, 1, {15, 255, 255}},
                            {{1, solid(8, 1, 255)}, {2, record{5, 1, {255, 15, 15, 15, 255}}}});
    auto level = [](double v) { return static_cast<uint8_t>(std::floor(23.9 * v + 16.0)); };
    emboldenglyph(f, 0, 0.05f);
    EXPECT_EQ(pixelsof(f, 0), (std::vector<uint8_t>{39, level(0.4f), 16, 16}));
    // b = -0.25: h = -1, c = 1, n = 2 taps of weight 1, floor(2c) even so p = 1: new pixel
    // t is the minimum of old pixels t - 1, t and t + 1, and the glyph is two columns narrower.
    // Row {0 1 1 1 0} becomes {min(0,0,1), min(0,1,1), min(1,1,1)}.
    emboldenglyph(f, 2, -0.25f);
    EXPECT_EQ(pixelsof(f, 2), (std::vector<uint8_t>{16, 16, 39}));
}

TEST_F(GlyphgenTest, SkewShiftsTopRowMost) {
    opendisplay(1);
    record r = solid(1, 12, 15);
    font* f = makeglyphfont(r);
    skewglyph(f, 0, 0.4f);
    const unsigned char* g = f->glyphs[0];
    ASSERT_EQ(g[0], 6);  // floor(4.4 + 0.75) = 5 more columns
    ASSERT_EQ(g[1], 12);
    auto level = [](double v) { return static_cast<uint8_t>(std::floor(23.9 * v + 16.0)); };
    // Top row shifted 4.4: 0.6 at column 4, 0.4 at column 5; bottom row unshifted.
    float fr = 11 * 0.4f - 4.0f;
    EXPECT_EQ(pixelsof(f, 0)[4], level(1 - fr));
    EXPECT_EQ(pixelsof(f, 0)[5], level(fr));
    EXPECT_EQ(pixelsof(f, 0)[11 * 6 + 0], 39);
    EXPECT_EQ(pixelsof(f, 0)[11 * 6 + 1], 16);
    // A negative slant moves the bottom row most.
    skewglyph(f, 1, -0.4f);
    EXPECT_EQ(pixelsof(f, 1)[0], 39);
    EXPECT_EQ(pixelsof(f, 1)[11 * 6 + 4], level(1 - fr));
}

TEST_F(GlyphgenTest, SteepSkewStaysOnTheGreyRamp) {
    // When the most shifted row's shift has a fraction below 0.25 (11 x 0.92 = 10.12), its
    // last pixel lands in the last column whole and the pixel before adds its share: a cover
    // above 1. The grey level is held to full brightness, so no pixel lands past the ramp in
    // the colour cube.
    opendisplay(1);
    font* f = makeglyphfont(solid(3, 12, 15));
    for (float a : {0.92f, -1.01f, 0.7f}) {
        skewglyph(f, 0, a);
        for (uint8_t v : pixelsof(f, 0)) ASSERT_TRUE(v == 255 || (v >= 16 && v <= 39)) << a << " " << int(v);
    }
}

TEST_F(GlyphgenTest, FinishThresholdAndTrim) {
    opendisplay(1);
    // Ink at (1, 0) = index 22 (grey 66, kept) and (2, 1) = 39; index 21 (grey 55) at (3, 0)
    // is at most the threshold and goes; the transparent right and left columns and the
    // bottom row are trimmed, the top row stays.
    record r{5, 3, {16, 22, 255, 21, 255, 255, 255, 39, 255, 255, 255, 255, 255, 255, 255}};
    font* f = makeglyphfont(solid(2, 2, 16), {{0, r}});
    finishglyph(f, 0, 0.25f);
    EXPECT_EQ(f->glyphs[0][0], 2);
    EXPECT_EQ(f->glyphs[0][1], 2);
    EXPECT_EQ(pixelsof(f, 0), (std::vector<uint8_t>{22, 255, 255, 39}));
    // Nothing brighter than the threshold: all transparent, size kept.
    finishglyph(f, 1, 0.25f);
    EXPECT_EQ(pixelsof(f, 1), (std::vector<uint8_t>{255, 255, 255, 255}));
    // finishfont does every glyph and the metrics.
    finishfont(nullptr, 0.25f);
    EXPECT_EQ(f->maxwidth, 2);
}

TEST_F(GlyphgenTest, RoundRobinOverIncompleteFonts) {
    opendisplay(1);
    font* base = makeglyphfont(bar8x12());
    font* a = copyfont(base);
    font* b = copyfont(base);
    for (font* f : {a, b}) {
        f->style.glyphsdone = 0;
        f->style.widthscale = 0.5f;
    }
    generationcursor = 0;
    // One stage per font in turn: base is complete and is skipped.
    EXPECT_EQ(generateglyphs(3), 3);
    EXPECT_EQ(a->style.stage, 2);
    EXPECT_EQ(b->style.stage, 1);
    EXPECT_EQ(a->style.glyphsdone, 0);
    // The second glyph of a font is glyph 81, then 162: the scattered order.
    generateglyphs(5);
    EXPECT_EQ(a->style.glyphsdone, 1);
    EXPECT_EQ(b->style.glyphsdone, 1);
    EXPECT_EQ(a->glyphs[0][0], 4);   // glyph 0 finished: reduced and trimmed
    EXPECT_EQ(a->glyphs[81][0], 8);  // glyph 81 not yet touched
    // Resumed, both run to completion, still interleaved.
    EXPECT_EQ(generateglyphs(), 2 * (4 * 512 - 4));
    EXPECT_EQ(a->style.glyphsdone, 512);
    EXPECT_EQ(b->style.glyphsdone, 512);
    EXPECT_EQ(a->maxwidth, 4);
    EXPECT_EQ(base->glyphs[81][0], 8);  // the base is never touched
    EXPECT_EQ(generateglyphs(), 0);
}
