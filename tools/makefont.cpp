// makefont: rasterises a TrueType font with FreeType into our font file format (font.dat).
//
// usage: makefont [output [ttf [pixel-size]]]
//   output      default assets/font.dat
//   ttf         default /usr/share/fonts/truetype/dejavu/DejaVuSans.ttf
//   pixel-size  default 12 (the em height in pixels; lines come out 15 pixels apart)
//
// The file holds 512 glyph records: width byte, height byte, width × height palette
// indices of the standard palette (255 transparent, greys 16..39 for partial coverage,
// 15 for full coverage). Codes 32..255 are the Windows-1252 characters, 256..279 the
// lower-case and 280..303 the upper-case Greek letters, 304..308 the variant forms
// (partial differential sign for delta, stigma for zeta, theta symbol, phi symbol,
// pi symbol for omega). Codes 0..31 and 309..511 are empty glyphs.
//
// Every glyph is as tall as the line (ascent + descent) and hangs from its top, because
// text drawing has no baseline; its width is the hinted advance less the one pixel of
// letter spacing that text drawing adds at this size.

#include <ft2build.h>
#include FT_FREETYPE_H

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "util/outputfile.h"

namespace {

// Unicode code points of Windows-1252 bytes 0x80..0x9F (0 where the byte is undefined).
const uint32_t cp1252high[32] = {0x20AC, 0,      0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021,
                                 0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0,      0x017D, 0,
                                 0,      0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,
                                 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0,      0x017E, 0};

// The code point drawn for glyph code i, or 0 for an empty glyph.
uint32_t codepointfor(int i) {
    if (i < 32) return 0;
    if (i < 127) return static_cast<uint32_t>(i);
    if (i == 127) return 0;  // delete: a control code
    if (i < 160) return cp1252high[i - 128];
    if (i < 256) return static_cast<uint32_t>(i);
    if (i < 304) {
        int k = (i - 256) % 24;  // alpha .. omega
        uint32_t first = i < 280 ? 0x03B1 : 0x0391;
        uint32_t cp = first + static_cast<uint32_t>(k);  // skip final sigma / the unused capital slot
        if (k >= 17) cp += 1;
        return cp;
    }
    static const uint32_t variants[5] = {0x2202, 0x03DB, 0x03D1, 0x03D5, 0x03D6};
    if (i < 309) return variants[i - 304];
    return 0;
}

// Standard-palette index for an 8-bit coverage value.
uint8_t coverageindex(int coverage) {
    int level = static_cast<int>(std::lround(coverage * 23.0 / 255.0));
    if (level <= 0) return 255;
    if (level >= 23) return 15;
    return static_cast<uint8_t>(16 + level);
}

struct glyphimage {
    int width = 0, height = 0;
    std::vector<uint8_t> pixels;
};

}  // namespace

int main(int argc, char** argv) {
    std::string outpath = argc > 1 ? argv[1] : "assets/font.dat";
    std::string ttfpath = argc > 2 ? argv[2] : "/usr/share/fonts/truetype/dejavu/DejaVuSans.ttf";
    int pixelsize = argc > 3 ? std::atoi(argv[3]) : 12;
    if (pixelsize < 4 || pixelsize > 100) {
        std::fprintf(stderr, "makefont: pixel size must be 4 to 100\n");
        return 1;
    }

    FT_Library library;
    FT_Face face;
    if (FT_Init_FreeType(&library)) {
        std::fprintf(stderr, "makefont: cannot start FreeType\n");
        return 1;
    }
    if (FT_New_Face(library, ttfpath.c_str(), 0, &face)) {
        std::fprintf(stderr, "makefont: cannot open font '%s'\n", ttfpath.c_str());
        return 1;
    }
    if (FT_Set_Pixel_Sizes(face, 0, static_cast<FT_UInt>(pixelsize))) {
        std::fprintf(stderr, "makefont: the font has no size %d\n", pixelsize);
        return 1;
    }

    // Line box in pixels: ascent above the baseline, descent below it.
    int ascent = static_cast<int>((face->size->metrics.ascender + 63) >> 6);
    int descent = static_cast<int>((-face->size->metrics.descender + 63) >> 6);
    int lineheight = std::min(255, ascent + descent);
    // Letter spacing that text drawing adds: floor(cellwidth × 0.13 + 0.5), estimated
    // from the advance of C.
    int spacing = 1;
    if (FT_Load_Char(face, 'C', FT_LOAD_DEFAULT) == 0) {
        int cadvance = static_cast<int>((face->glyph->advance.x + 32) >> 6);
        spacing = static_cast<int>(std::floor(cadvance * 0.13f + 0.5));
    }

    std::vector<glyphimage> glyphs(512);
    int missing = 0;
    for (int i = 0; i < 512; i++) {
        uint32_t cp = codepointfor(i);
        if (cp == 0) continue;
        FT_UInt index = FT_Get_Char_Index(face, cp);
        if (index == 0) {
            missing++;
            std::fprintf(stderr, "makefont: no glyph for U+%04X (code %d)\n", cp, i);
            continue;
        }
        if (FT_Load_Glyph(face, index, FT_LOAD_RENDER)) {
            missing++;
            continue;
        }
        FT_GlyphSlot slot = face->glyph;
        const FT_Bitmap& bm = slot->bitmap;
        int advance = static_cast<int>((slot->advance.x + 32) >> 6);
        int left = std::max(0, slot->bitmap_left);
        int width = std::max({1, advance - spacing, left + static_cast<int>(bm.width)});
        width = std::min(width, 255);
        glyphimage& g = glyphs[i];
        g.width = width;
        g.height = lineheight;
        g.pixels.assign(static_cast<size_t>(width) * lineheight, 255);
        int top = ascent - slot->bitmap_top;  // row of the bitmap's first line in the box
        for (unsigned r = 0; r < bm.rows; r++) {
            int y = top + static_cast<int>(r);
            if (y < 0 || y >= lineheight) continue;
            for (unsigned c = 0; c < bm.width; c++) {
                int x = left + static_cast<int>(c);
                if (x >= width) continue;
                int coverage = bm.pixel_mode == FT_PIXEL_MODE_MONO
                                   ? ((bm.buffer[r * bm.pitch + c / 8] >> (7 - c % 8)) & 1) * 255
                                   : bm.buffer[r * bm.pitch + c];
                g.pixels[static_cast<size_t>(y) * width + x] = coverageindex(coverage);
            }
        }
    }
    FT_Done_Face(face);
    FT_Done_FreeType(library);

    std::vector<uint8_t> bytes;
    for (const glyphimage& g : glyphs) {
        bytes.push_back(static_cast<uint8_t>(g.width));
        bytes.push_back(static_cast<uint8_t>(g.height));
        bytes.insert(bytes.end(), g.pixels.begin(), g.pixels.end());
    }

    // Write beside the target, then rename, so a failed run leaves the old file intact.
    if (!writewholefile(outpath.c_str(), bytes.data(), bytes.size())) {
        std::fprintf(stderr, "makefont: cannot write '%s'\n", outpath.c_str());
        return 1;
    }
    std::printf("makefont: wrote %s (%zu bytes, line height %d, %d glyphs missing)\n", outpath.c_str(),
                bytes.size(), lineheight, missing);
    return missing ? 1 : 0;
}
