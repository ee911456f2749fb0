// Shared set-up for the font and text tests: a depth, the standard palette, a pixel buffer,
// an empty font store, and builders for small font files.
#pragma once

#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include <unistd.h>

#include "display/palette.h"
#include "display/screen.h"
#include "raster/blendtables.h"
#include "raster/pixels.h"
#include "raster/sprites.h"
#include "text/fontstore.h"
#include "text/glyphgen.h"
#include "tests/testfiles.h"

namespace textfixture {

// One glyph record of a font file.
struct record {
    int width, height;
    std::vector<uint8_t> pixels;
};

// Font-file bytes from records.
inline std::vector<uint8_t> filebytes(const std::vector<record>& records) {
    std::vector<uint8_t> bytes;
    for (const record& r : records) {
        bytes.push_back(static_cast<uint8_t>(r.width));
        bytes.push_back(static_cast<uint8_t>(r.height));
        bytes.insert(bytes.end(), r.pixels.begin(), r.pixels.end());
    }
    return bytes;
}

// A solid w × h record of one palette index.
inline record solid(int w, int h, uint8_t v) {
    return {w, h, std::vector<uint8_t>(static_cast<size_t>(w) * h, v)};
}

// 512 records, all `fill`, with some codes replaced.
inline std::vector<record> fontrecords(const record& fill,
                                       const std::vector<std::pair<int, record>>& changes = {}) {
    std::vector<record> records(512, fill);
    for (const auto& [code, r] : changes) records[code] = r;
    return records;
}

// Deletes every font and forgets the current one.
inline void clearstore() {
    while (fontcount() > 0) deletefont(fonttable[fontcount() - 1]);
    selectfont(nullptr);
    generationcursor = 0;
}

// A display of w × h pixels at the given depth in a plain buffer, with the standard
// palette as device palette, the raster routines chosen for that depth, and the blend
// tables of the 8-bit mode saved (they are process-wide) so a test may set its own.
class display : public ::testing::Test {
  protected:
    void opendisplay(int bpp, int w = 64, int h = 48) {
        saved = screen;
        screen.bytesperpixel = bpp;
        screen.width = w;
        screen.height = h;
        screen.clipleft = screen.cliptop = 0;
        screen.shadpitch = w * bpp;
        pixels.assign(static_cast<size_t>(screen.shadpitch) * h, 0);
        screen.shadpixels = pixels.data();
        float red[256], green[256], blue[256];
        standardpalettefloats(red, green, blue);
        for (int i = 0; i < 256; i++) {
            screen.palette[i].red = static_cast<uint8_t>(std::trunc(255.4 * red[i]));
            screen.palette[i].green = static_cast<uint8_t>(std::trunc(255.4 * green[i]));
            screen.palette[i].blue = static_cast<uint8_t>(std::trunc(255.4 * blue[i]));
            screen.palette[i].flags = 4;
        }
        std::memcpy(savedmultiply.data(), multiplytable, sizeof multiplytable);
        std::memcpy(savedscreenblend.data(), screenblendtable, sizeof screenblendtable);
        blendtablesbuilt = 1;  // tests never compute or write the cache file
        selectpixelroutines();
        selectblendroutines();
        setglyphmode(3);
        clearstore();
    }
    void TearDown() override {
        clearstore();
        std::memcpy(multiplytable, savedmultiply.data(), sizeof multiplytable);
        std::memcpy(screenblendtable, savedscreenblend.data(), sizeof screenblendtable);
        screen = saved;
        selectpixelroutines();
        selectblendroutines();
    }
    // Byte k of pixel (x, y).
    uint8_t at(int x, int y, int k = 0) const {
        return pixels[static_cast<size_t>(y) * screen.shadpitch +
                      static_cast<size_t>(x) * screen.bytesperpixel + k];
    }
    bool lit(int x, int y) const {
        for (int k = 0; k < (screen.bytesperpixel == 1 ? 1 : 3); k++)
            if (at(x, y, k)) return true;
        return false;
    }
    // Columns and rows that hold a non-black pixel, as a bounding box; {-1...} when none.
    struct box {
        int left = -1, top = -1, right = -1, bottom = -1;
    };
    box litbox() const {
        box b;
        for (int y = 0; y < screen.height; y++)
            for (int x = 0; x < screen.width; x++)
                if (lit(x, y)) {
                    if (b.left < 0 || x < b.left) b.left = x;
                    if (b.top < 0) b.top = y;
                    if (x > b.right) b.right = x;
                    b.bottom = y;
                }
        return b;
    }
    void clearpixels() { std::fill(pixels.begin(), pixels.end(), 0); }

    std::vector<uint8_t> pixels;
    screenrecord saved{};
    std::vector<uint8_t> savedmultiply = std::vector<uint8_t>(sizeof multiplytable);
    std::vector<uint8_t> savedscreenblend = std::vector<uint8_t>(sizeof screenblendtable);
};

}  // namespace textfixture
