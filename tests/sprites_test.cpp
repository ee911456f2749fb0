// Tests of sprite and glyph blitting, the per-pixel blends, the blended line and sprite reading.
#include "raster/sprites.h"

#include <gtest/gtest.h>

#include <climits>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <set>
#include <vector>

#include "raster/blendtables.h"
#include "raster/lines.h"
#include "raster/pixels.h"
#include "rastersurface.h"

namespace {

using pixelset = std::set<std::pair<int, int>>;

pixelset changedset(rastersurface& s, int background) {
    auto v = s.changed(background);
    return pixelset(v.begin(), v.end());
}

// A sprite image: width, height, pixels of 1 byte (8-bit) or 3 bytes (true colour).
struct spriteimage {
    std::vector<unsigned char> bytes;
    int bpp;
    spriteimage(int w, int h, int b) : bytes(2 + static_cast<size_t>(w) * h * (b == 1 ? 1 : 3)), bpp(b) {
        bytes[0] = static_cast<unsigned char>(w), bytes[1] = static_cast<unsigned char>(h);
    }
    void set(int i, int r, int c) {  // c: index in 8-bit, 0xRRGGBB otherwise; -1 transparent
        int w = bytes[0];
        unsigned char* p = bytes.data() + 2 + (r * w + i) * (bpp == 1 ? 1 : 3);
        if (bpp == 1) {
            *p = static_cast<unsigned char>(c < 0 ? 255 : c);
        } else if (c < 0) {
            p[0] = transparentkey[0], p[1] = transparentkey[1], p[2] = transparentkey[2];
        } else {
            p[0] = static_cast<unsigned char>(c), p[1] = static_cast<unsigned char>(c >> 8),
            p[2] = static_cast<unsigned char>(c >> 16);
        }
    }
    const unsigned char* data() const { return bytes.data(); }
};

// A 6 x 5 'F' in two colours on a transparent ground: flips and channel swaps show.
const char* const fshape[5] = {"AAAAA.", "A.....", "AAAB..", "A.....", "A....B"};

spriteimage fsprite(int bpp, int ca, int cb) {
    spriteimage s(6, 5, bpp);
    for (int r = 0; r < 5; r++)
        for (int i = 0; i < 6; i++) s.set(i, r, fshape[r][i] == 'A' ? ca : fshape[r][i] == 'B' ? cb : -1);
    return s;
}

const int depths[] = {1, 3, 4};

// Saves and restores the global blend tables around a test that fills them with its own pattern.
struct savedtables {
    std::vector<unsigned char> m, s, i;
    savedtables()
        : m(multiplytable, multiplytable + blendtablesize),
          s(screenblendtable, screenblendtable + blendtablesize),
          i(inversetable, inversetable + 256) {}
    ~savedtables() {
        std::copy(m.begin(), m.end(), multiplytable);
        std::copy(s.begin(), s.end(), screenblendtable);
        std::copy(i.begin(), i.end(), inversetable);
    }
};

// Asymmetric synthetic tables with entries in 0..254, so no lookup needs a column 255.
int synthm(int a, int b) { return (a * 3 + b * 5 + 1) % 255; }
int synths(int a, int b) { return (a * 7 + b * 11 + 2) % 255; }
int synthi(int v) { return (v * 13 + 4) % 255; }
void fillsynthetic() {
    for (int a = 0; a < 256; a++)
        for (int b = 0; b < 255; b++) {
            multiplytable[blendentry(a, b)] = static_cast<unsigned char>(synthm(a, b));
            screenblendtable[blendentry(a, b)] = static_cast<unsigned char>(synths(a, b));
        }
    for (int v = 0; v < 256; v++) inversetable[v] = static_cast<unsigned char>(synthi(v));
}

}  // namespace

TEST(SpritesOpaque, TransparentPixelIsSkipped) {
    rastersurface s(8, 4, 1, 0, 3);
    spriteimage sp(2, 1, 1);
    sp.set(0, 0, -1);
    sp.set(1, 0, 7);
    drawsprite(0, 0, sp.data());
    EXPECT_EQ(changedset(s, 3), (pixelset{{1, 0}}));
    EXPECT_EQ(s.get(1, 0), 7);
}

TEST(SpritesOpaque, ClippedFMatchesAPixelByPixelCopy) {
    const int positions[][2] = {{1, 1},  {-2, 0}, {0, -3}, {5, 4},       {-5, -4},
                                {10, 2}, {3, 8},  {-6, 0}, {INT_MAX, 0}, {0, INT_MIN + 1}};
    for (int bpp : depths)
        for (auto& p : positions) {
            const int ca = testcolour(bpp, 12, 0x123400), cb = testcolour(bpp, 40, 0x0000FE);
            spriteimage f = fsprite(bpp, ca, cb);
            rastersurface s(10, 8, bpp, 4, testcolour(bpp, 1, 0x010101));
            drawsprite(p[0], p[1], f.data());
            for (int y = 0; y < 8; y++)
                for (int x = 0; x < 10; x++) {
                    long long i = static_cast<long long>(x) - p[0], r = static_cast<long long>(y) - p[1];
                    int expected = testcolour(bpp, 1, 0x010101);
                    if (i >= 0 && i < 6 && r >= 0 && r < 5 && fshape[r][i] != '.')
                        expected = fshape[r][i] == 'A' ? ca : cb;
                    ASSERT_EQ(s.get(x, y), expected) << "bpp " << bpp << " sprite at " << p[0] << "," << p[1]
                                                     << " pixel " << x << "," << y;
                }
            EXPECT_TRUE(s.intact());
            // Inside the window the wrap-around copy draws the same pixels.
            if (p[0] >= 0 && p[1] >= 0 && p[0] <= 10 - 6 && p[1] <= 8 - 5) {
                rastersurface t(10, 8, bpp, 4, testcolour(bpp, 1, 0x010101));
                drawspritewrap(p[0], p[1], f.data());
                EXPECT_EQ(changedset(t, testcolour(bpp, 1, 0x010101)),
                          changedset(s, testcolour(bpp, 1, 0x010101)));
            }
        }
}

TEST(SpritesWrap, LeftEdgeWrapsIntoTheRowAbove) {
    for (int bpp : depths) {
        const int c[3] = {testcolour(bpp, 21, 0x110000), testcolour(bpp, 22, 0x002200),
                          testcolour(bpp, 23, 0x000033)};
        spriteimage sp(3, 1, bpp);
        for (int i = 0; i < 3; i++) sp.set(i, 0, c[i]);
        {
            rastersurface s(8, 4, bpp, 0);
            drawsprite(-1, 0, sp.data());
            EXPECT_EQ(s.get(0, 0), c[1]);
            EXPECT_EQ(s.get(1, 0), c[2]);
            EXPECT_EQ(s.changed(0).size(), 2u);
        }
        {
            rastersurface s(8, 4, bpp, 0);  // pitch exactly width x bpp
            drawspritewrap(-1, 0, sp.data());
            EXPECT_EQ(s.get(7, 0), c[0]);
            EXPECT_EQ(s.get(0, 1), c[1]);
            EXPECT_EQ(s.get(1, 1), c[2]);
            EXPECT_EQ(s.changed(0).size(), 3u);
            EXPECT_TRUE(s.intact());
        }
    }
}

TEST(SpritesWrap, RowFormsDifferAtTheBottomRightCorner) {
    savedtables keep;
    fillsynthetic();
    spriteimage sp(2, 1, 1);
    sp.set(0, 0, 9);
    sp.set(1, 0, 10);
    {
        // Before-row: a row starting at or beyond the last row's last full position moves up
        // height - 1 rows, to row 0.
        rastersurface s(8, 4, 1, 4);
        drawspritewrap(6, 3, sp.data());
        EXPECT_EQ(changedset(s, 0), (pixelset{{6, 0}, {7, 0}}));
    }
    {
        // After-row A (8-bit light glyph): the first row is not moved.
        rastersurface s(8, 4, 1, 4);
        drawglyphlight(6, 3, sp.data(), 5);
        EXPECT_EQ(changedset(s, 0), (pixelset{{6, 3}, {7, 3}}));
        EXPECT_EQ(s.get(6, 3), synths(0, synthm(5, 9)));
    }
    {
        // After-row B (front copy): the first row is not moved either.
        rastersurface s(8, 4, 1, 4);
        screen.frontpixels = s.pixels();
        screen.frontpitch = s.pitch;
        drawspritefront(6, 3, sp.data());
        EXPECT_EQ(changedset(s, 0), (pixelset{{6, 3}, {7, 3}}));
    }
    // The move is height - 1 rows: a second row below the last one lands on row 1.
    spriteimage tall(1, 2, 1);
    tall.set(0, 0, 4);
    tall.set(0, 1, 6);
    for (int form = 0; form < 3; form++) {
        rastersurface s(8, 4, 1, 4);
        screen.frontpixels = s.pixels();
        screen.frontpitch = s.pitch;
        if (form == 0) drawspritewrap(2, 3, tall.data());
        if (form == 1) drawglyphdark(2, 3, tall.data(), 7);
        if (form == 2) drawspritefront(2, 3, tall.data());
        EXPECT_EQ(changedset(s, 0), (pixelset{{2, 3}, {2, 1}})) << "form " << form;
    }
}

TEST(SpritesWrap, RowsPastTheRightEdgeRunIntoThePadding) {
    // A 62-pixel-wide 8-bit surface of three rows whose pitch is 64: a row that runs past the
    // right edge but stays inside the surface's memory is drawn, into the padding or the next
    // row; a row that would leave the memory is skipped.
    savedtables keep;
    std::fill(multiplytable, multiplytable + blendtablesize, 9);
    std::fill(screenblendtable, screenblendtable + blendtablesize, 9);
    std::fill(inversetable, inversetable + 256, 9);
    enum routine { wrapcopy, light, front, tint, dark, glyphlight, cover };
    const char* names[] = {"drawspritewrap", "drawspritelight", "drawspritefront", "tint", "dark", "light",
                           "cover"};
    struct {
        routine r;
        int x, y, w;
        int firstbyte;  // offset of the first byte written from the surface's start, -1 none
    } cases[] = {
        // Rows above the last run into the padding and on into the next row.
        {tint, 60, 0, 4, 60},
        {glyphlight, 60, 1, 4, 64 + 60},
        {cover, 61, 0, 5, 61},
        {wrapcopy, 60, 1, 4, 64 + 60},
        // On the last row the before-row form moves the row up to row 0 ...
        {wrapcopy, 60, 2, 4, 60},
        {light, 60, 2, 4, 60},
        {tint, 60, 2, 4, 60},
        // ... the after-row forms keep it there, and its padding still lies inside the memory.
        {glyphlight, 60, 2, 4, 128 + 60},
        {dark, 60, 2, 4, 128 + 60},
        {cover, 60, 2, 4, 128 + 60},
        {front, 60, 2, 4, 128 + 60},
        // Past the last row's padding the row would leave the memory: nothing is drawn.
        {glyphlight, 60, 2, 5, -1},
        {front, 59, 2, 6, -1},
    };
    for (auto& c : cases) {
        rastersurface s(62, 3, 1, 2);
        ASSERT_EQ(s.pitch, 64);
        screen.frontpixels = s.pixels();
        screen.frontpitch = s.pitch;
        spriteimage sp(c.w, 1, 1);
        for (int i = 0; i < c.w; i++) sp.set(i, 0, 5);
        switch (c.r) {
            case wrapcopy: drawspritewrap(c.x, c.y, sp.data()); break;
            case light: drawspritelight(c.x, c.y, sp.data()); break;
            case front: drawspritefront(c.x, c.y, sp.data()); break;
            case tint: drawglyphtint(c.x, c.y, sp.data(), 3); break;
            case dark: drawglyphdark(c.x, c.y, sp.data(), 3); break;
            case glyphlight: drawglyphlight(c.x, c.y, sp.data(), 3); break;
            case cover: drawglyphcover(c.x, c.y, sp.data(), 3); break;
        }
        const int expected = c.r == wrapcopy || c.r == front ? 5 : 9;
        std::vector<int> written;
        for (int i = 0; i < 3 * s.pitch; i++)
            if (s.pixels()[i] != (i % 64 < 62 ? 0 : rastersurface::sentinel)) written.push_back(i);
        std::vector<int> want;
        for (int i = 0; c.firstbyte >= 0 && i < c.w; i++) want.push_back(c.firstbyte + i);
        EXPECT_EQ(written, want) << names[c.r] << " at " << c.x << "," << c.y << " width " << c.w;
        for (int i : written) EXPECT_EQ(s.pixels()[i], expected) << names[c.r] << " byte " << i;
        EXPECT_TRUE(s.insidememory()) << names[c.r];
    }
}

TEST(SpritesWrap, EntryFormsDifferInsideAWindow) {
    spriteimage sp(1, 1, 3);
    sp.set(0, 0, 0x808080);
    {
        // Zero-relative (tint): x = 1 is not negative and stays.
        rastersurface s(8, 4, 3);
        screen.clipleft = 2;
        drawglyphtint(1, 1, sp.data(), 0xFFFFFF);
        EXPECT_EQ(changedset(s, 0), (pixelset{{1, 1}}));
    }
    {
        // Window-relative (light in true colour): x = 1 is left of the window and moves by 6.
        rastersurface s(8, 4, 3);
        screen.clipleft = 2;
        drawglyphlight(1, 1, sp.data(), 0xFFFFFF);
        EXPECT_EQ(changedset(s, 0), (pixelset{{7, 1}}));
    }
}

TEST(SpritesWrap, WildPositionsNeverWriteOutsideTheSurface) {
    const int positions[][2] = {{100, 0}, {0, 100}, {-100, -100}, {7, 3}, {-1, -1}, {2000000000, 5}, {-8, 3}};
    savedtables keep;
    fillsynthetic();
    for (int bpp : depths) {
        spriteimage big = fsprite(bpp, testcolour(bpp, 12, 0x123400), testcolour(bpp, 40, 0x0000FE));
        spriteimage wide(20, 2, bpp);
        for (int i = 0; i < 20; i++)
            wide.set(i, 0, testcolour(bpp, 30, 0x303030)), wide.set(i, 1, testcolour(bpp, 31, 0x313131));
        std::vector<unsigned char> alpha(2 + 6 * 5 * 4, 200);
        alpha[0] = 6, alpha[1] = 5;
        rastersurface s(8, 6, bpp, 4);
        screen.frontpixels = s.pixels();
        screen.frontpitch = s.pitch;
        for (auto& p : positions)
            for (const spriteimage* sp : {&big, &wide}) {
                drawspritewrap(p[0], p[1], sp->data());
                drawspritelight(p[0], p[1], sp->data());
                drawspritefront(p[0], p[1], sp->data());
                for (int mode = 1; mode <= 4; mode++) {
                    setglyphmode(mode);
                    drawglyph(p[0], p[1], sp->data(), testcolour(bpp, 200, 0xFFFFFF));
                }
                drawspritealpha(p[0], p[1], alpha.data());
            }
        EXPECT_TRUE(s.insidememory()) << bpp;
    }
}

TEST(SpritesGlyph, TrueColourArithmeticOfEachMode) {
    // Per channel: colour c, glyph g, destination d, expected result, each worked out by hand.
    struct channelcase {
        int c, g, d, expected;
    };
    struct {
        int mode;
        channelcase ch[3];  // blue, green, red
    } cases[] = {
        {1, {{255, 255, 9, 254}, {0, 200, 50, 0}, {128, 128, 9, 64}}},
        {2, {{255, 77, 200, 199}, {255, 0, 0, 0}, {0, 255, 200, 0}}},
        {2, {{0, 0, 200, 199}, {255, 255, 1, 0}, {255, 40, 255, 254}}},
        {3, {{255, 128, 0, 128}, {17, 200, 255, 255}, {0, 200, 90, 91}}},
        {4, {{99, 0, 100, 100}, {255, 255, 0, 255}, {40, 0, 0, 1}}},
    };
    for (int bpp : {3, 4})
        for (auto& c : cases) {
            rastersurface s(4, 3, bpp);
            int colour = 0, dest = 0;
            spriteimage g(1, 1, bpp);
            unsigned char* gp = g.bytes.data() + 2;
            for (int k = 0; k < 3; k++) {
                colour |= c.ch[k].c << (8 * k);
                dest |= c.ch[k].d << (8 * k);
                gp[k] = static_cast<unsigned char>(c.ch[k].g);
            }
            s.set(1, 1, dest);
            setglyphmode(c.mode);
            drawglyph(1, 1, g.data(), colour);
            for (int k = 0; k < 3; k++)
                EXPECT_EQ((s.get(1, 1) >> (8 * k)) & 0xFF, c.ch[k].expected)
                    << "mode " << c.mode << " channel " << k;
            EXPECT_TRUE(s.intact());
        }
}

TEST(SpritesGlyph, EightBitModesComposeTheTables) {
    savedtables keep;
    fillsynthetic();
    const unsigned char values[8] = {0, 255, 17, 200, 1, 254, 128, 3};
    const int c = 77;
    for (int mode = 1; mode <= 4; mode++) {
        rastersurface s(6, 4, 1);
        spriteimage g(4, 2, 1);
        for (int k = 0; k < 8; k++) g.bytes[2 + k] = values[k];
        int dest[8];
        for (int k = 0; k < 8; k++) dest[k] = (k * 31 + 5) % 255, s.set(1 + k % 4, 1 + k / 4, dest[k]);
        setglyphmode(mode);
        drawglyph(1, 1, g.data(), c);
        for (int k = 0; k < 8; k++) {
            int v = values[k], d = dest[k], expected = d;
            if (mode == 1 && v != 255) expected = synthm(c, v);
            if (mode == 2 && v != 0 && v != 255) expected = synthm(d, synths(c, synthi(v)));
            if (mode == 3 && v != 0 && v != 255) expected = synths(d, synthm(c, v));
            if (mode == 4 && v != 0 && v != 255) expected = synths(synthm(d, synthi(v)), synthm(c, v));
            EXPECT_EQ(s.get(1 + k % 4, 1 + k / 4), expected) << "mode " << mode << " value " << v;
        }
    }
}

TEST(SpritesGlyph, TransparentKeyIsNeverWrittenExceptByAlpha) {
    spriteimage sp(2, 1, 3);
    sp.set(0, 0, -1);
    sp.set(1, 0, 0x204060);
    for (int bpp : {3, 4}) {
        rastersurface s(6, 3, bpp, 4, 0x0A0B0C);
        drawsprite(1, 1, sp.data());
        drawspritewrap(1, 1, sp.data());
        drawspritelight(1, 1, sp.data());
        for (int mode = 1; mode <= 4; mode++) {
            setglyphmode(mode);
            drawglyph(1, 1, sp.data(), 0xFFFFFF);
        }
        EXPECT_EQ(s.get(1, 1), 0x0A0B0C) << bpp;
        EXPECT_NE(s.get(2, 1), 0x0A0B0C);
        // The alpha sprite has no key: every pixel blends, d = ((255 - a) d + a s) >> 8.
        const unsigned char alpha[2 + 8] = {2, 1, 0x56, 0x34, 0x12, 64, 10, 20, 30, 0};
        s.set(1, 1, 0xC8C8C8);
        s.set(2, 1, 0x6496C8);
        drawspritealpha(1, 1, alpha);
        EXPECT_EQ(s.get(1, 1), (((191 * 200 + 64 * 0x12) >> 8) << 16) |
                                   (((191 * 200 + 64 * 0x34) >> 8) << 8) | ((191 * 200 + 64 * 0x56) >> 8));
        EXPECT_EQ(s.get(2, 1),
                  ((0x64 * 255) >> 8) << 16 | ((0x96 * 255) >> 8) << 8 | ((0xC8 * 255) >> 8));  // alpha 0
        EXPECT_TRUE(s.intact());
    }
}

TEST(SpritesBlend, SpriteLightAndClippedPixels) {
    {
        rastersurface s(6, 3, 3, 4, 0x0000FF);
        spriteimage sp(1, 1, 3);
        sp.set(0, 0, 0x808080);
        drawspritelight(2, 1, sp.data());
        // 255 - ((255 - d)(255 - 0x80) >> 8) per channel: 255 - (255 * 127 >> 8) = 129 over 0, 255 over 255.
        EXPECT_EQ(s.get(2, 1), 0x8181FF);
    }
    for (int bpp : depths) {
        rastersurface s(6, 3, bpp, 4, testcolour(bpp, 20, 0x405060));
        screenblendpixelclipped(1, 1, 0);
        screenblendpixelclipped(-1, 1, testcolour(bpp, 9, 0xFFFFFF));
        screenblendpixelclipped(6, 1, testcolour(bpp, 9, 0xFFFFFF));
        multiplypixelclipped(1, 3, 0);
        EXPECT_TRUE(s.changed(testcolour(bpp, 20, 0x405060)).empty()) << bpp;
        multiplypixelclipped(2, 2, 0);
        if (bpp != 1) {
            EXPECT_EQ(s.get(2, 2), 0);  // multiplying by black blacks the pixel
        }
        EXPECT_TRUE(s.intact());
    }
}

TEST(SpritesModes, UnknownModeKeepsTheRoutines) {
    rastersurface s(4, 4, 3);
    setglyphmode(2);
    glyphroutine blitter = drawglyph;
    blendpixelroutine pixel = glyphpixel;
    EXPECT_EQ(pixel, multiplypixelclipped);
    setglyphmode(7);
    EXPECT_EQ(glyphmode, 7);
    EXPECT_EQ(drawglyph, blitter);
    EXPECT_EQ(glyphpixel, pixel);
    selectblendroutines();
    EXPECT_EQ(glyphmode, 7);
    EXPECT_EQ(drawglyph, blitter);
    EXPECT_EQ(glyphpixel, pixel);
    setglyphmode(1);
    EXPECT_EQ(glyphpixel, pixelroutines.putpixel);
    setglyphmode(3);
    EXPECT_EQ(glyphpixel, screenblendpixelclipped);
}

TEST(SpritesLine, BlendedLineStepsLikeDrawline) {
    savedtables keep;
    for (int v = 0; v < 255; v++)
        screenblendtable[blendentry(0, v)] = static_cast<unsigned char>(v);  // S[0][c] = c
    const float lines[][4] = {{0.5f, 3, 2.2f, 3}, {10, 10, 0, 0}, {-10, 5, 30, 5},  {3.7f, 0, 3.7f, 4},
                              {2, 2, 2.1f, 2.1f}, {0, 0, 11, 9},  {-5, -8, 40, 30}, {15, 1, -3, 7},
                              {-1, -1, -5, -9},   {0, 20, 5, 30}};
    for (auto& l : lines) {
        rastersurface a(16, 12, 1), b(16, 12, 1);
        screen.shadpixels = a.pixels();
        drawline(l[0], l[1], l[2], l[3], 5);
        screen.shadpixels = b.pixels();
        screenblendline(l[0], l[1], l[2], l[3], 5);
        EXPECT_EQ(changedset(b, 0), changedset(a, 0)) << l[0] << "," << l[1] << " to " << l[2] << "," << l[3];
        EXPECT_EQ(b.count(5), static_cast<int>(b.changed(0).size()));
        EXPECT_TRUE(b.intact());
    }
    // True colour: every pixel, the ends included, is blended once.
    rastersurface t(16, 12, 4);
    screenblendline(1, 2, 9, 2, 0x404040);
    EXPECT_EQ(t.count(0x414141), 9);
    EXPECT_EQ(t.changed(0).size(), 9u);
}

class SpritesFile : public tempdirtest {
  protected:
    std::string write(const char* name, std::vector<unsigned char> bytes) {
        auto p = (dir / name).string();
        std::ofstream(p, std::ios::binary).write(reinterpret_cast<const char*>(bytes.data()), bytes.size());
        return p;
    }
};

TEST_F(SpritesFile, WholeShortAndMissingFiles) {
    std::string whole = write("whole", {9, 9, 9, 3, 2, 1, 2, 3, 4, 5, 6});
    unsigned char buffer[16];
    std::fill(buffer, buffer + 16, 0xEE);
    EXPECT_EQ(loadsprite(buffer, whole.c_str(), 3), 1);
    EXPECT_EQ(std::vector<unsigned char>(buffer, buffer + 8),
              (std::vector<unsigned char>{3, 2, 1, 2, 3, 4, 5, 6}));
    EXPECT_EQ(buffer[8], 0xEE);  // nothing beyond the sprite

    std::string shortfile = write("short", {3, 2, 1, 2, 3, 4});
    std::fill(buffer, buffer + 16, 0xEE);
    EXPECT_EQ(loadsprite(buffer, shortfile.c_str(), 0), 0);
    EXPECT_EQ(std::vector<unsigned char>(buffer, buffer + 8),
              (std::vector<unsigned char>{3, 2, 1, 2, 3, 4, 255, 255}));

    std::fill(buffer, buffer + 16, 0xEE);
    EXPECT_EQ(loadsprite(buffer, shortfile.c_str(), 6), 0);  // offset at the end: no size
    EXPECT_EQ(buffer[0], 0);
    EXPECT_EQ(buffer[1], 0);
    EXPECT_EQ(buffer[2], 0xEE);

    std::fill(buffer, buffer + 16, 0xEE);
    EXPECT_EQ(loadsprite(buffer, (dir / "missing").string().c_str(), 0), 0);
    EXPECT_EQ(std::vector<unsigned char>(buffer, buffer + 16), std::vector<unsigned char>(16, 0xEE));

    std::FILE* f = std::fopen(whole.c_str(), "rb");
    ASSERT_NE(f, nullptr);
    EXPECT_EQ(readsprite(buffer, f, 3), 1);
    std::fclose(f);
    EXPECT_EQ(buffer[0], 3);
}
