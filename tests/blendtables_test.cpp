// Tests of the colour-combination tables, their cache file and the true-colour arithmetic.
#include "raster/blendtables.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <algorithm>
#include <vector>

#include "display/screen.h"
#include "raster/sprites.h"
#include "rastersurface.h"
#include "tests/testfiles.h"
#include "util/outputfile.h"

namespace {

// The default 8-bit palette as floats (bytes / 256), built here from its definition.
struct defaultfloats {
    float r[256], g[256], b[256];
    unsigned char bytes[256][3];
    defaultfloats() {
        for (int i = 0; i < 256; i++) {
            int rr, gg, bb;
            if (i < 16) {
                int level = (i & 8) ? 255 : 128;
                rr = (i & 4) ? level : 0, gg = (i & 2) ? level : 0, bb = (i & 1) ? level : 0;
            } else if (i < 40) {
                rr = gg = bb = 11 * (i - 16);
            } else {
                int k = i - 40;
                rr = 51 * (k % 6), gg = 51 * ((k / 6) % 6), bb = 51 * (k / 36);
            }
            bytes[i][0] = rr, bytes[i][1] = gg, bytes[i][2] = bb;
            r[i] = rr / 256.0f, g[i] = gg / 256.0f, b[i] = bb / 256.0f;
        }
    }
};

struct computedtables {
    std::vector<unsigned char> multiply = std::vector<unsigned char>(blendtablesize);
    std::vector<unsigned char> screen = std::vector<unsigned char>(blendtablesize);
    std::vector<unsigned char> file = std::vector<unsigned char>(blendcachesize);
    unsigned char inverse[256] = {};
    explicit computedtables(const defaultfloats& p) {
        computeblendtables(p.r, p.g, p.b, multiply.data(), screen.data(), file.data(), nullptr);
        computeblendextras(p.r, p.g, p.b, multiply.data(), screen.data(), inverse);
    }
};

const defaultfloats& palette() {
    static defaultfloats p;
    return p;
}
const computedtables& tables() {
    static computedtables t(palette());
    return t;
}

// Straightforward squared distance between a float colour and palette entry k.
float distance(float r, float g, float b, int k) {
    const defaultfloats& p = palette();
    float dr = r - p.r[k], dg = g - p.g[k], db = b - p.b[k];
    return static_cast<float>(double(dr) * dr + double(dg) * dg + double(db) * db);
}

}  // namespace

TEST(BlendtablesNearest, ExactColoursPreferBasicAndGreyEntries) {
    const defaultfloats& p = palette();
    // Entry -> expected nearest index: exact colours among 0..39 map to the lowest index with
    // that colour; cube colours that equal no fixed entry map to themselves.
    const int cases[][2] = {{0, 0},    {8, 0},   {40, 0},    {12, 12}, {15, 15},
                            {255, 15}, {41, 41}, {100, 100}, {39, 39}};
    for (auto& c : cases) {
        int k = c[0];
        EXPECT_EQ(nearestpaletteindex(p.r[k], p.g[k], p.b[k], p.r, p.g, p.b), c[1]) << "entry " << k;
    }
}

TEST(BlendtablesNearest, NoFixedEntryOrCubeCellIsStrictlyNearer) {
    const defaultfloats& p = palette();
    // Sampled colours: the result must be at least as near as every entry 0..39 and the rounded cube
    // cell, and among equally near fixed entries the lowest index.
    for (int ri = 0; ri < 256; ri += 37)
        for (int gi = 0; gi < 256; gi += 41)
            for (int bi = 0; bi < 256; bi += 43) {
                float r = ri / 256.0f, g = gi / 256.0f, b = bi / 256.0f;
                int got = nearestpaletteindex(r, g, b, p.r, p.g, p.b);
                float dgot = distance(r, g, b, got);
                for (int k = 0; k < 40; k++) {
                    ASSERT_LE(dgot, distance(r, g, b, k)) << ri << "," << gi << "," << bi;
                    if (got < 40 && k < got) {
                        ASSERT_LT(dgot, distance(r, g, b, k));
                    }
                }
            }
}

TEST(BlendtablesCompute, KnownEntriesWithDefaultPalette) {
    const computedtables& t = tables();
    EXPECT_EQ(t.multiply[blendentry(15, 12)], 12);  // white x red is the basic red, not cube 45
    EXPECT_EQ(t.screen[blendentry(0, 15)], 15);
    EXPECT_EQ(t.inverse[0], 15);  // white among the fixed entries beats cube 255
    EXPECT_EQ(t.inverse[15], 0);
    EXPECT_EQ(t.inverse[255], 0);
    for (int a = 0; a < 255; a++) {
        ASSERT_EQ(t.multiply[blendentry(0, a)], 0) << a;
        ASSERT_EQ(t.multiply[blendentry(a, 0)], 0) << a;
        // Screen with black is the nearest index to a's own colour.
        const defaultfloats& p = palette();
        ASSERT_EQ(t.screen[blendentry(a, 0)], nearestpaletteindex(p.r[a], p.g[a], p.b[a], p.r, p.g, p.b))
            << a;
    }
    EXPECT_EQ(t.screen[blendentry(45, 0)], 12);  // cube red equals basic red
}

TEST(BlendtablesCompute, TablesAreSymmetricAndMatchTheSearch) {
    const computedtables& t = tables();
    const defaultfloats& p = palette();
    for (int a = 0; a < 255; a++)
        for (int b = 0; b < 255; b += 7) {
            ASSERT_EQ(t.multiply[blendentry(a, b)], t.multiply[blendentry(b, a)]);
            ASSERT_EQ(t.screen[blendentry(a, b)], t.screen[blendentry(b, a)]);
            int m = nearestpaletteindex(p.r[a] * p.r[b], p.g[a] * p.g[b], p.b[a] * p.b[b], p.r, p.g, p.b);
            ASSERT_EQ(t.multiply[blendentry(a, b)], m) << a << "," << b;
        }
    // Row and column 255 blend palette entry 255 (white) like entry 15, as either index.
    for (int b = 0; b < 256; b++) {
        const int other = b == 255 ? 15 : b;
        ASSERT_EQ(t.multiply[blendentry(255, b)], t.multiply[blendentry(15, other)]) << b;
        ASSERT_EQ(t.multiply[blendentry(b, 255)], t.multiply[blendentry(other, 15)]) << b;
        ASSERT_EQ(t.screen[blendentry(255, b)], t.screen[blendentry(15, other)]) << b;
        ASSERT_EQ(t.screen[blendentry(b, 255)], t.screen[blendentry(other, 15)]) << b;
    }
}

TEST(BlendtablesCompute, ColourAndPixel255BlendLikeWhite) {
    // Palette entry 255 is white, as entry 15 is: as the colour or as the pixel, 255 must give
    // what 15 gives (white x 100 is 100, never the entry of another row).
    const computedtables& t = tables();
    std::vector<unsigned char> m(multiplytable, multiplytable + blendtablesize);
    std::vector<unsigned char> s(screenblendtable, screenblendtable + blendtablesize);
    std::copy(t.multiply.begin(), t.multiply.end(), multiplytable);
    std::copy(t.screen.begin(), t.screen.end(), screenblendtable);
    const int pixels[] = {0, 12, 100, 200, 254, 255};
    for (int pixel : pixels)
        for (int colour : {15, 255}) {
            rastersurface sf(3, 1, 1, 1, pixel);
            multiplypixel(0, 0, colour);
            screenblendpixel(1, 0, colour);
            multiplypixel(2, 0, 100);
            const int white = pixel == 255 ? 15 : pixel;
            EXPECT_EQ(sf.get(0, 0), t.multiply[blendentry(white, 15)]) << pixel << " x " << colour;
            EXPECT_EQ(sf.get(1, 0), t.screen[blendentry(white, 15)]) << pixel << " + " << colour;
            EXPECT_EQ(sf.get(2, 0), t.multiply[blendentry(100, white)]) << pixel << " x 100";
        }
    EXPECT_EQ(t.multiply[blendentry(100, 255)], 100);
    std::copy(m.begin(), m.end(), multiplytable);
    std::copy(s.begin(), s.end(), screenblendtable);
}

TEST(BlendtablesCache, ImageUnpacksToTheSameTables) {
    const computedtables& t = tables();
    std::vector<unsigned char> m(blendtablesize), s(blendtablesize);
    unpackblendcache(t.file.data(), m.data(), s.data());
    for (int a = 0; a < 255; a++)
        for (int b = 0; b < 255; b++) {
            ASSERT_EQ(m[blendentry(a, b)], t.multiply[blendentry(a, b)]) << a << "," << b;
            ASSERT_EQ(s[blendentry(a, b)], t.screen[blendentry(a, b)]) << a << "," << b;
        }
    // Triangle layout: multiply on and above the diagonal, screen below it one row down.
    EXPECT_EQ(t.file[255 * 12 + 15], t.multiply[blendentry(12, 15)]);
    EXPECT_EQ(t.file[255 * (15 + 1) + 0], t.screen[blendentry(15, 0)]);
    EXPECT_EQ(t.file[255 * 255 + 254], t.screen[blendentry(254, 254)]);
}

class BlendtablesCacheFile : public tempdirtest {
  protected:
    void writebytes(const std::filesystem::path& p, size_t n, unsigned char v) {
        std::ofstream(p, std::ios::binary) << std::string(n, static_cast<char>(v));
    }
};

TEST_F(BlendtablesCacheFile, RoundTripIsByteForByte) {
    const computedtables& t = tables();
    auto path = (dir / "crarray.cgf").string();
    ASSERT_TRUE(writeblendcache(path.c_str(), t.file.data()));
    EXPECT_EQ(std::filesystem::file_size(path), 65280u);
    EXPECT_FALSE(std::filesystem::exists(path + ".tmp"));
    EXPECT_EQ(temporariesin(dir), std::vector<std::string>{});
    std::vector<unsigned char> back(blendcachesize);
    ASSERT_TRUE(readblendcache(path.c_str(), back.data()));
    EXPECT_EQ(back, t.file);
}

TEST_F(BlendtablesCacheFile, WrongSizesAndMissingFilesAreRejected) {
    std::vector<unsigned char> buffer(blendcachesize);
    const size_t sizes[] = {0, 65279, 65281, 2 * 65280};
    for (size_t n : sizes) {
        auto p = dir / ("c" + std::to_string(n));
        writebytes(p, n, 7);
        EXPECT_FALSE(readblendcache(p.string().c_str(), buffer.data())) << n;
    }
    EXPECT_FALSE(readblendcache((dir / "missing").string().c_str(), buffer.data()));
    auto whole = dir / "whole";
    writebytes(whole, 65280, 7);
    ASSERT_TRUE(readblendcache(whole.string().c_str(), buffer.data()));
    EXPECT_EQ(buffer, std::vector<unsigned char>(blendcachesize, 7));
}

TEST_F(BlendtablesCacheFile, FailedOpenWritesNothing) {
    std::vector<unsigned char> image(blendcachesize, 3);
    auto path = (dir / "no-such-dir" / "crarray.cgf").string();
    EXPECT_FALSE(writeblendcache(path.c_str(), image.data()));
    EXPECT_FALSE(std::filesystem::exists(dir / "no-such-dir"));
}

TEST(BlendtablesColour, TrueColourArithmetic) {
    struct {
        int (*op)(int, int);
        int a, b, expected;
    } cases[] = {
        {multiplycolour, 0xFFFFFF, 0x804020, 0x7F3F1F},  // 255 * v >> 8 = v - 1 for v > 0
        {multiplycolour, 0x123456, 0x000000, 0x000000},
        {multiplycolour, 0x800000, 0x008080, 0x000000},  // channels do not mix
        {screenblendcolour, 0x000000, 0x404040, 0x414141},
        {screenblendcolour, 0xFFFFFF, 0x123456, 0xFFFFFF},
        {addcolour, 0x808080, 0x90A0B0, 0xFFFFFF},
        {addcolour, 0x010203, 0x102030, 0x112233},
        {addcolour, 0xF00001, 0x2000FF, 0xFF00FF},
    };
    for (auto& c : cases) EXPECT_EQ(c.op(c.a, c.b), c.expected) << std::hex << c.a << " " << c.b;
    EXPECT_EQ(gammacolour(0x40FF00, 2.0), 0x7FFF00);  // 255.4 * sqrt(64 / 255) = 127.9
    EXPECT_EQ(gammacolour(0xFF8000, 1.0), 0xFF8000);
}

// ---------------------------------------------------------------------------------------------
// makeblendtables with the cache file in the working directory

namespace {

// Runs in a fresh working directory with a 8-bit (or true-colour) screen holding the default
// palette; the global tables and their flag are restored afterwards for the other tests.
class BlendtablesMake : public BlendtablesCacheFile {
  protected:
    std::vector<unsigned char> savedm, saveds, savedi;
    unsigned char savedflag = 0;
    bool savedfor8bit = false;
    std::filesystem::path cwd;
    screenrecord savedscreen;
    void SetUp() override {
        BlendtablesCacheFile::SetUp();
        savedm.assign(multiplytable, multiplytable + blendtablesize);
        saveds.assign(screenblendtable, screenblendtable + blendtablesize);
        savedi.assign(inversetable, inversetable + 256);
        savedflag = blendtablesbuilt;
        savedfor8bit = blendtablesfor8bit;
        savedscreen = screen;
        cwd = std::filesystem::current_path();
        std::filesystem::current_path(dir);
        screen.bytesperpixel = 1;
        screen.shadpixels = nullptr;  // no progress display
        const defaultfloats& p = palette();
        for (int i = 0; i < 256; i++) screen.palette[i] = {p.bytes[i][0], p.bytes[i][1], p.bytes[i][2], 4};
    }
    void TearDown() override {
        std::filesystem::current_path(cwd);
        screen = savedscreen;
        std::copy(savedm.begin(), savedm.end(), multiplytable);
        std::copy(saveds.begin(), saveds.end(), screenblendtable);
        std::copy(savedi.begin(), savedi.end(), inversetable);
        blendtablesbuilt = savedflag;
        blendtablesfor8bit = savedfor8bit;
        BlendtablesCacheFile::TearDown();
    }
    void rebuild() {
        blendtablesbuilt = 0;
        std::fill(multiplytable, multiplytable + blendtablesize, 0);
        std::fill(screenblendtable, screenblendtable + blendtablesize, 0);
        std::fill(inversetable, inversetable + 256, 0);
        makeblendtables();
    }
};

}  // namespace

TEST_F(BlendtablesMake, CacheOfSevensIsUsedAsItIs) {
    writebytes("crarray.cgf", 65280, 7);
    rebuild();
    EXPECT_EQ(blendtablesbuilt, 1);
    for (int a = 0; a < 255; a++)
        for (int b = 0; b < 255; b++) {
            ASSERT_EQ(multiplytable[blendentry(a, b)], 7) << a << "," << b;
            ASSERT_EQ(screenblendtable[blendentry(a, b)], 7) << a << "," << b;
        }
    EXPECT_EQ(inversetable[0], 15);  // computed from the palette, not read
    EXPECT_EQ(inversetable[15], 0);
}

TEST_F(BlendtablesMake, ComputedTablesRoundTripThroughTheCache) {
    rebuild();
    ASSERT_TRUE(std::filesystem::exists("crarray.cgf"));
    EXPECT_EQ(std::filesystem::file_size("crarray.cgf"), 65280u);
    EXPECT_FALSE(std::filesystem::exists("crarray.cgf.tmp"));
    EXPECT_EQ(temporariesin("."), std::vector<std::string>{});
    const computedtables& t = tables();
    EXPECT_TRUE(std::equal(multiplytable, multiplytable + blendtablesize, t.multiply.begin()));
    EXPECT_TRUE(std::equal(screenblendtable, screenblendtable + blendtablesize, t.screen.begin()));
    std::vector<unsigned char> m(multiplytable, multiplytable + blendtablesize);
    std::vector<unsigned char> s(screenblendtable, screenblendtable + blendtablesize);
    std::vector<unsigned char> i(inversetable, inversetable + 256);
    // A second run reads the file back into byte-identical tables.
    rebuild();
    EXPECT_EQ(std::vector<unsigned char>(multiplytable, multiplytable + blendtablesize), m);
    EXPECT_EQ(std::vector<unsigned char>(screenblendtable, screenblendtable + blendtablesize), s);
    EXPECT_EQ(std::vector<unsigned char>(inversetable, inversetable + 256), i);
}

TEST_F(BlendtablesMake, WrongSizedCacheIsRebuilt) {
    for (size_t n : {size_t{100}, size_t{65281}}) {
        writebytes("crarray.cgf", n, 7);
        rebuild();
        EXPECT_EQ(multiplytable[blendentry(15, 12)], 12) << n;
        EXPECT_EQ(std::filesystem::file_size("crarray.cgf"), 65280u);
    }
}

TEST_F(BlendtablesMake, OnlyTheFirstCallDoesAnything) {
    screen.bytesperpixel = 3;
    rebuild();  // true colour, no file: nothing is computed or written
    EXPECT_EQ(blendtablesbuilt, 1);
    EXPECT_FALSE(std::filesystem::exists("crarray.cgf"));
    EXPECT_EQ(multiplytable[blendentry(15, 12)], 0);
    writebytes("crarray.cgf", 65280, 7);
    makeblendtables();
    EXPECT_EQ(multiplytable[0], 0);
    screen.bytesperpixel = 1;
    makeblendtables();
    EXPECT_EQ(multiplytable[0], 0);
    EXPECT_EQ(inversetable[0], 0);
}

TEST_F(BlendtablesMake, UnwritableCacheLeavesValidTables) {
    std::filesystem::create_directory(temporaryname("crarray.cgf"));  // the temporary file cannot be created
    rebuild();
    EXPECT_EQ(multiplytable[blendentry(15, 12)], 12);
    EXPECT_FALSE(std::filesystem::exists("crarray.cgf"));
}
