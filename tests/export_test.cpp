// Tests of the BMP and JASC-PAL export, with the BMP files read back by an independent reader.
#include "raster/export.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "display/graphics.h"
#include "display/screen.h"
#include "platform/headless/headless.h"
#include "rastersurface.h"
#include "tests/testbmp.h"
#include "tests/testfiles.h"
#include "tests/testpython.h"
#include "util/outputfile.h"

namespace {

// Default palette bytes (as loaded by the display set-up), for 8-bit fixtures.
void loaddefaultpalette() { makedefaultpalette(screen.palette); }

class ExportFiles : public tempdirtest {
  protected:
    std::string path(const char* name) { return (dir / name).string(); }
};

// A 6 x 5 'F' in two colours on a third: flips, channel swaps and row order show.
const char* const fshape[5] = {"AAAAA.", "A.....", "AAAB..", "A.....", "A....B"};
void drawf(rastersurface& s, int a, int b, int ground) {
    for (int y = 0; y < 5; y++)
        for (int x = 0; x < 6; x++) s.set(x, y, fshape[y][x] == 'A' ? a : fshape[y][x] == 'B' ? b : ground);
}

}  // namespace

TEST(ExportHeader, SizesAndPadding) {
    struct {
        int w, h, bits;
        unsigned filesize, datasize, offset, resolution;
    } cases[] = {
        {3, 2, 8, 1086, 8, 1078, 3780},  // rows of 3 bytes + 1 padding
        {3, 2, 24, 78, 24, 54, 2834},    // rows of 9 bytes + 3 padding
        {4, 1, 8, 1082, 4, 1078, 3780},  // no padding
        {1, 3, 24, 66, 12, 54, 2834},
    };
    for (auto& c : cases) {
        std::vector<unsigned char> h(54);
        EXPECT_EQ(bmpheader(h.data(), c.w, c.h, c.bits), static_cast<int>(c.offset));
        EXPECT_EQ(h[0], 'B');
        EXPECT_EQ(h[1], 'M');
        EXPECT_EQ(le32(h, 2), c.filesize);
        EXPECT_EQ(le32(h, 10), c.offset);
        EXPECT_EQ(le32(h, 14), 40u);
        EXPECT_EQ(le32(h, 18), static_cast<unsigned>(c.w));
        EXPECT_EQ(le32(h, 22), static_cast<unsigned>(c.h));
        EXPECT_EQ(le16(h, 26), 1u);
        EXPECT_EQ(le16(h, 28), static_cast<unsigned>(c.bits));
        EXPECT_EQ(le32(h, 30), 0u);
        EXPECT_EQ(le32(h, 34), c.datasize);
        EXPECT_EQ(le32(h, 38), c.resolution);
        EXPECT_EQ(le32(h, 42), c.resolution);
        EXPECT_EQ(le32(h, 46), 0u);
        EXPECT_EQ(le32(h, 50), 0u);
    }
    char name[20];
    screenshotname(1234567, name);
    EXPECT_STREQ(name, "screenshot04115.bmp");
    screenshotname(30000000 + 299, name);  // the number repeats after 30000 s
    EXPECT_STREQ(name, "screenshot00000.bmp");
}

TEST_F(ExportFiles, EightBitFileBytesAndIndependentReader) {
    rastersurface s(8, 6, 1);
    loaddefaultpalette();
    drawf(s, 12, 10, 1);
    ASSERT_EQ(savebmp(0, 0, 3, 2, path("small.bmp").c_str()), 1);
    std::vector<unsigned char> f = readbytes(path("small.bmp"));
    ASSERT_EQ(f.size(), 1086u);
    EXPECT_EQ(le32(f, 2), 1086u);
    EXPECT_EQ(le32(f, 34), 8u);
    // Colour table: blue, green, red, 0 of palette entries 12 and 10.
    EXPECT_EQ(std::vector<unsigned char>(f.begin() + 54 + 48, f.begin() + 54 + 52),
              (std::vector<unsigned char>{0, 0, 255, 0}));
    EXPECT_EQ(std::vector<unsigned char>(f.begin() + 54 + 40, f.begin() + 54 + 44),
              (std::vector<unsigned char>{0, 255, 0, 0}));
    // Bottom row first, each padded to 4 bytes with zeros.
    EXPECT_EQ(std::vector<unsigned char>(f.begin() + 1078, f.end()),
              (std::vector<unsigned char>{12, 1, 1, 0, 12, 12, 12, 0}));

    ASSERT_EQ(savebmp(0, 0, 6, 5, path("f.bmp").c_str()), 1);
    std::string python = pilpython();
    if (python.empty())
        GTEST_SKIP() << "python3 with PIL is not installed; the independent read-back is skipped";
    int w = 0, h = 0;
    std::string mode;
    std::vector<unsigned> rgb;
    ASSERT_TRUE(pilreadrgb(path("f.bmp"), w, h, mode, rgb));
    EXPECT_EQ(w, 6);
    EXPECT_EQ(h, 5);
    EXPECT_EQ(mode, "P");
    ASSERT_EQ(rgb.size(), 30u);
    for (int y = 0; y < 5; y++)
        for (int x = 0; x < 6; x++) {
            unsigned expected = fshape[y][x] == 'A' ? 0xFF0000u : fshape[y][x] == 'B' ? 0x00FF00u : 0x000080u;
            EXPECT_EQ(rgb[y * 6 + x], expected) << x << "," << y;
        }
}

TEST_F(ExportFiles, TrueColourFilesReadBackInBothDepths) {
    std::string python = pilpython();
    for (int bpp : {3, 4}) {
        rastersurface s(8, 6, bpp);
        drawf(s, 0x123456, 0xFEDCBA, 0x010203);
        ASSERT_EQ(savebmp(0, 0, 3, 2, path("small.bmp").c_str()), 1);
        std::vector<unsigned char> f = readbytes(path("small.bmp"));
        ASSERT_EQ(f.size(), 78u);
        EXPECT_EQ(le32(f, 2), 78u);
        EXPECT_EQ(le32(f, 34), 24u);
        EXPECT_EQ(le16(f, 28), 24u);
        // Row 1 (A, ground, ground) first, as blue, green, red, then 3 zero bytes.
        EXPECT_EQ(std::vector<unsigned char>(f.begin() + 54, f.begin() + 66),
                  (std::vector<unsigned char>{0x56, 0x34, 0x12, 3, 2, 1, 3, 2, 1, 0, 0, 0}));

        ASSERT_EQ(savebmp(0, 0, 6, 5, path("f.bmp").c_str()), 1);
        if (python.empty()) continue;
        int w = 0, h = 0;
        std::string mode;
        std::vector<unsigned> rgb;
        ASSERT_TRUE(pilreadrgb(path("f.bmp"), w, h, mode, rgb));
        EXPECT_EQ(w, 6);
        EXPECT_EQ(h, 5);
        EXPECT_EQ(mode, "RGB");
        ASSERT_EQ(rgb.size(), 30u);
        for (int y = 0; y < 5; y++)
            for (int x = 0; x < 6; x++)
                EXPECT_EQ(rgb[y * 6 + x], static_cast<unsigned>(s.get(x, y)))
                    << "bpp " << bpp << " " << x << "," << y;
    }
    if (python.empty())
        GTEST_SKIP() << "python3 with PIL is not installed; the independent read-back is skipped";
}

TEST_F(ExportFiles, OutsideTheWindowReadsAsFF) {
    rastersurface s(4, 3, 3, 4, 0x102030);
    ASSERT_EQ(savebmp(2, 2, 3, 2, path("edge.bmp").c_str()), 1);
    std::vector<unsigned char> f = readbytes(path("edge.bmp"));
    ASSERT_EQ(f.size(), 78u);
    // Bottom row (y = 3) lies below the display: white; top row (y = 2): two pixels, then white.
    std::vector<unsigned char> expected = {0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0, 0, 0,
                                           0x30, 0x20, 0x10, 0x30, 0x20, 0x10, 0xFF, 0xFF, 0xFF, 0, 0, 0};
    EXPECT_EQ(std::vector<unsigned char>(f.begin() + 54, f.end()), expected);
}

TEST_F(ExportFiles, RefusedRectanglesAndFailedOpensWriteNothing) {
    rastersurface s(4, 3, 1);
    const int sizes[][2] = {{0, 2}, {2, 0}, {-1, 2}, {3, -5}};
    for (auto& sz : sizes) EXPECT_EQ(savebmp(0, 0, sz[0], sz[1], path("empty.bmp").c_str()), 0);
    EXPECT_FALSE(std::filesystem::exists(path("empty.bmp")));
    EXPECT_EQ(savebmp(0, 0, 2, 2, path("no-such-dir/x.bmp").c_str()), 0);
    EXPECT_EQ(savepalette(path("no-such-dir/x.pal").c_str()), 0);
    EXPECT_FALSE(std::filesystem::exists(path("no-such-dir")));
    // A failed save leaves an existing file as it was.
    std::ofstream(path("keep.bmp")) << "old";
    std::filesystem::create_directory(
        temporaryname(path("keep.bmp")));  // the temporary name cannot be created
    EXPECT_EQ(savebmp(0, 0, 2, 2, path("keep.bmp").c_str()), 0);
    EXPECT_EQ(readbytes(path("keep.bmp")).size(), 3u);
}

TEST_F(ExportFiles, JascPaletteText) {
    rastersurface s(4, 3, 1);
    loaddefaultpalette();
    ASSERT_EQ(savepalette(path("default.pal").c_str()), 1);
    std::ifstream in(path("default.pal"));
    std::vector<std::string> lines;
    for (std::string line; std::getline(in, line);) lines.push_back(line);
    ASSERT_EQ(lines.size(), 259u);
    EXPECT_EQ(lines[0], "JASC-PAL");
    EXPECT_EQ(lines[1], "0100");
    EXPECT_EQ(lines[2], "256");
    EXPECT_EQ(lines[3 + 0], "0 0 0");
    EXPECT_EQ(lines[3 + 15], "255 255 255");
    EXPECT_EQ(lines[3 + 255], "255 255 255");
    EXPECT_EQ(lines[3 + 39], "253 253 253");
    EXPECT_EQ(lines[3 + 12], "255 0 0");
    EXPECT_EQ(lines[3 + 41], "51 0 0");
    EXPECT_EQ(lines[3 + 76], "0 0 51");
}

TEST_F(ExportFiles, ScreenshotOfTheHeadlessDisplayMatchesTheScreen) {
    std::string python = pilpython();
    if (python.empty()) GTEST_SKIP() << "python3 with PIL is not installed";
    for (int depth : {1, 4}) {
        ASSERT_EQ(pfheadlessstart(), 1);
        pfheadlesssetdesktop(160, 120);
        GRAPHICS(nullptr, 0, 0, "export test", depth, 0);
        ASSERT_EQ(screen.width, 160);
        const int c1 = depth == 1 ? 12 : 0xFF0000, c2 = depth == 1 ? 41 : 0x3300AA;
        for (int y = 0; y < 120; y++)
            for (int x = 0; x < 160; x++)
                pixelroutines.putpixel(x, y, (x * 7 + y * 3) % 5 == 0 ? c1 : (x < y ? c2 : 0));
        auto cwd = std::filesystem::current_path();
        std::filesystem::current_path(dir);
        pfheadlessadvance(1234567ull * 1000000ull);
        int written = screenshot();
        std::filesystem::current_path(cwd);
        ASSERT_EQ(written, 1);
        // The progress bar shows on the screen after the rows it would cover were saved.
        const pfheadlessframe& frame = pfheadlesslastframe();
        ASSERT_GT(frame.number, 0);
        char name[20];
        screenshotname(pfgettickcount(), name);
        int w = 0, h = 0;
        std::string mode;
        std::vector<unsigned> rgb;
        ASSERT_TRUE(pilreadrgb((dir / name).string(), w, h, mode, rgb));
        ASSERT_EQ(w, 160);
        ASSERT_EQ(h, 120);
        // Every pixel matches the screen, except the bottom row where the bar now shows.
        for (int y = 0; y < 119; y++)
            for (int x = 0; x < 160; x++)
                ASSERT_EQ(rgb[y * 160 + x], frame.rgb(x, y)) << depth << ": " << x << "," << y;
        // Colour 15: white in the default palette, a dark blue in true colour; the bar ends at
        // 99 of 120 rows.
        EXPECT_EQ(frame.rgb(0, 119), depth == 1 ? 0xFFFFFFu : 0x00000Fu);
        EXPECT_EQ(frame.rgb(159, 119), 0u);
        endgraphics();
    }
}
