// Tests of the palette builders and the fodging array.
#include "display/palette.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <vector>

#include "display/graphics.h"
#include "display/screen.h"
#include "platform/headless/headless.h"
#include "raster/blendtables.h"
#include "rastersurface.h"

namespace {

struct rgb {
    int r, g, b;
    bool operator==(const rgb&) const = default;
};
std::ostream& operator<<(std::ostream& o, const rgb& c) { return o << c.r << "," << c.g << "," << c.b; }

struct bytepalette {
    rgb e[256];
};

bytepalette tobytes(void (*build)(float*, float*, float*), float gamma, bool invert) {
    float r[256], g[256], b[256];
    build(r, g, b);
    if (invert) invertpalettefloats(r, g, b);
    bytepalette p;
    for (int i = 0; i < 256; i++)
        p.e[i] = {palettebyte(r[i], gamma), palettebyte(g[i], gamma), palettebyte(b[i], gamma)};
    return p;
}

}  // namespace

TEST(PaletteFloats, StandardPaletteEntries) {
    struct {
        float gamma;
        bool invert;
        int index;
        rgb expected;
    } cases[] = {
        {1, false, 15, {255, 255, 255}}, {1, false, 7, {127, 127, 127}},   {1, false, 8, {63, 63, 63}},
        {1, false, 41, {51, 0, 0}},      {1, false, 255, {255, 255, 255}}, {1, false, 12, {255, 0, 0}},
        {1, false, 4, {127, 0, 0}},      {1, false, 0, {0, 0, 0}},         {1, false, 39, {255, 255, 255}},
        {1, false, 16, {0, 0, 0}},       {1, false, 76, {0, 0, 51}},       {1, false, 46, {0, 51, 0}},
        {1, true, 0, {255, 255, 255}},   {1, true, 15, {0, 0, 0}},         {1, true, 12, {255, 85, 85}},
        {1, true, 8, {191, 191, 191}},   // grey 0.25 mirrors to 0.75
        {2, false, 8, {127, 127, 127}},  // 255.4 * sqrt(0.25)
        {2, false, 15, {255, 255, 255}}, {2, false, 0, {0, 0, 0}},
    };
    for (auto& c : cases)
        EXPECT_EQ(tobytes(standardpalettefloats, c.gamma, c.invert).e[c.index], c.expected)
            << "index " << c.index << " gamma " << c.gamma << " invert " << c.invert;
}

TEST(PaletteFloats, GreyRampRunsFromBlackToWhite) {
    bytepalette p = tobytes(standardpalettefloats, 1, false);
    for (int i = 17; i < 40; i++) {
        EXPECT_EQ(p.e[i].r, p.e[i].g);
        EXPECT_EQ(p.e[i].r, p.e[i].b);
        EXPECT_GT(p.e[i].r, p.e[i - 1].r) << i;
    }
    EXPECT_EQ(p.e[27].r, static_cast<int>(255.4 * (11.0f / 23.0f)));
}

TEST(PaletteFloats, HuePaletteRingsAndCube) {
    bytepalette p = tobytes(huepalettefloats, 1, false);
    struct {
        int index;
        rgb expected;
    } cases[] = {
        {8, {63, 63, 63}},      {15, {255, 255, 255}}, {16, {0, 0, 0}},   {31, {255, 255, 255}},
        {32, {0, 0, 255}},      // ring 0 starts at blue
        {34, {127, 0, 255}},    // t = 0.5 towards magenta
        {36, {255, 0, 255}},    // magenta
        {40, {255, 0, 0}},      // sector 2, t = 0: red
        {44, {255, 255, 0}},    // sector 3 at t = 1: yellow
        {48, {0, 255, 0}},      // sector 4, t = 0: green
        {52, {0, 255, 255}},    // sector 5, t = 1: cyan
        {56, {127, 127, 255}},  // ring 1, pale blue
        {80, {0, 0, 63}},       // ring 2, dark blue
        {104, {0, 0, 127}},     // ring 3, medium blue
        {128, {0, 0, 0}},       {129, {63, 0, 0}},     {133, {0, 63, 0}}, {153, {0, 0, 63}},
        {252, {255, 255, 255}}, {253, {0, 0, 0}},      {255, {0, 0, 0}},
    };
    for (auto& c : cases) EXPECT_EQ(p.e[c.index], c.expected) << "index " << c.index;
}

TEST(PaletteFloats, SixteenBitValues) {
    EXPECT_EQ(sixteenbitvalue(255, 255, 255, 0x7E0), 0xFFFF);
    EXPECT_EQ(sixteenbitvalue(255, 0, 0, 0x7E0), 0xF800);
    EXPECT_EQ(sixteenbitvalue(0, 255, 0, 0x7E0), 0x07E0);
    EXPECT_EQ(sixteenbitvalue(0, 0, 255, 0x3E0), 0x001F);
    EXPECT_EQ(sixteenbitvalue(255, 255, 255, 0x3E0), 0x7FFF);
    EXPECT_EQ(sixteenbitvalue(8, 8, 8, 0x3E0), 1 << 10 | 1 << 5 | 1);
    EXPECT_EQ(sixteenbitvalue(255, 255, 255, 0), -1);
    EXPECT_EQ(sixteenbitvalue(255, 255, 255, 0xFF00), -1);
}

// ---------------------------------------------------------------------------------------------
// On a headless display

namespace {

struct paletted {
    explicit paletted(int depth) {
        pfheadlessstart();
        pfheadlesssetdesktop(64, 48);
        GRAPHICS(nullptr, 0, 0, "palette test", depth, 0);
        fodgingarray = nullptr;  // each test builds its own table
    }
    ~paletted() {
        fodgingarray = nullptr;
        endgraphics();
    }
    // The palette the screen shows, read back from the device.
    rgb device(int i) {
        pfpaletteentry e[256];
        pfpalettegetentries(screen.ddpalette, 0, 0, 256, e);
        return {e[i].red, e[i].green, e[i].blue};
    }
};

}  // namespace

TEST(PaletteDevice, BuildersWriteTheCopyAndTheDevice) {
    paletted d(1);
    standardpalette(1.0f, 0);
    EXPECT_EQ(d.device(8), (rgb{63, 63, 63}));
    EXPECT_EQ(screen.palette[8].red, 63);
    EXPECT_EQ(screen.palette[8].flags, 4);
    standardpalette(1.0f, 1);
    EXPECT_EQ(d.device(12), (rgb{255, 85, 85}));
    huepalette(1.0f);
    EXPECT_EQ(d.device(32), (rgb{0, 0, 255}));
    setpaletteentry(200, 1, 2, 3);
    EXPECT_EQ(d.device(200), (rgb{1, 2, 3}));
    EXPECT_EQ(screen.palette[200].flags, 4);
    setpaletteentry(256, 9, 9, 9);  // no such entry: nothing changes
    setpaletteentry(-1, 9, 9, 9);
    EXPECT_EQ(d.device(0), (rgb{0, 0, 0}));
    float r, g, b;
    paletteentryfloats(200 + 256, &r, &g, &b);  // the index is taken modulo 256
    EXPECT_EQ(r, 1 / 256.0f);
    EXPECT_EQ(b, 3 / 256.0f);
}

TEST(PaletteDevice, UpdateHoldsItsRangeToThePalette) {
    paletted d(1);
    screen.palette[0] = {1, 2, 3, 4};
    screen.palette[255] = {7, 8, 9, 4};
    updatepaletteentries(-40, 300);  // held to 0..255
    EXPECT_EQ(d.device(0), (rgb{1, 2, 3}));
    EXPECT_EQ(d.device(255), (rgb{7, 8, 9}));
    screen.palette[5] = {50, 60, 70, 4};
    updatepaletteentries(9, 5);  // an empty range changes nothing
    EXPECT_NE(d.device(5), (rgb{50, 60, 70}));
}

TEST(PaletteDevice, TrueColourHasOnlyTheCopy) {
    paletted d(4);
    ASSERT_EQ(screen.ddpalette, nullptr);
    standardpalette(2.0f, 0);
    EXPECT_EQ(screen.palette[8].red, 127);
    setpaletteentry(3, 7, 8, 9);
    EXPECT_EQ(screen.palette[3].blue, 9);
    updatepaletteentries(0, 255);  // no device palette: only the copy, and no error
    EXPECT_EQ(screen.palette[3].blue, 9);
}

TEST(PaletteFodging, EightBitMapsToTheLowestEqualDeviceEntry) {
    paletted d(1);
    unsigned char* table = getpalettefodgingarray(1);
    ASSERT_NE(table, nullptr);
    EXPECT_EQ(table[8], 0);
    EXPECT_EQ(table[40], 0);
    EXPECT_EQ(table[255], 15);
    EXPECT_EQ(table[12], 12);
    EXPECT_EQ(table[45], 12);  // cube red equals basic red
    EXPECT_EQ(table[100], 100);
    // The first table is kept whatever kind is asked for later.
    EXPECT_EQ(getpalettefodgingarray(3), table);
    EXPECT_EQ(table[255], 15);
}

TEST(PaletteFodging, TrueColourKinds) {
    paletted d(3);
    makedefaultpalette(screen.palette);
    EXPECT_EQ(getpalettefodgingarray(9), nullptr);  // no table for an unknown kind
    unsigned char* t4 = getpalettefodgingarray(4);
    ASSERT_NE(t4, nullptr);
    EXPECT_EQ(std::vector<unsigned char>(t4 + 4 * 12, t4 + 4 * 13),
              (std::vector<unsigned char>{0, 0, 255, 0}));
    EXPECT_EQ(std::vector<unsigned char>(t4 + 4 * 41, t4 + 4 * 42),
              (std::vector<unsigned char>{0, 0, 51, 0}));
    fodgingarray = nullptr;
    unsigned char* t3 = getpalettefodgingarray(3);
    EXPECT_EQ(std::vector<unsigned char>(t3 + 3 * 76, t3 + 3 * 77), (std::vector<unsigned char>{51, 0, 0}));
    fodgingarray = nullptr;
    screen.primarydesc.format.greenmask = 0x7E0;
    unsigned char* t2 = getpalettefodgingarray(2);
    EXPECT_EQ(t2[2 * 15], 0xFF);
    EXPECT_EQ(t2[2 * 15 + 1], 0xFF);
    EXPECT_EQ(t2[2 * 12], 0x00);
    EXPECT_EQ(t2[2 * 12 + 1], 0xF8);
}

TEST(PaletteFodgingDeathTest, UnknownSixteenBitMaskIsFatal) {
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    auto dir = rasterdeathdir("palette-death");
    EXPECT_EXIT(
        {
            std::filesystem::current_path(dir);
            paletted d(3);
            screen.primarydesc.format.greenmask = 0;
            getpalettefodgingarray(2);
        },
        ::testing::ExitedWithCode(1),
        "Oh sod it: Your graphics card fell off the back of a truck in Novosibirsk");
    rasterdeathdirdone(dir);
}
