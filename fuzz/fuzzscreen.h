// A drawing surface for the fuzz targets: a plain pixel buffer of the given depth with the
// standard palette, the raster and blend routines of that depth and an empty font store.
#pragma once

#include <cmath>
#include <cstdlib>
#include <cstdint>
#include <vector>

#include "display/palette.h"
#include "display/screen.h"
#include "raster/blendtables.h"
#include "raster/pixels.h"
#include "raster/sprites.h"
#include "text/fontstore.h"
#include "text/glyphgen.h"
#include "text/textdraw.h"

inline void fuzzclearfonts() {
    while (fontcount() > 0) deletefont(fonttable[fontcount() - 1]);
    selectfont(nullptr);
    generationcursor = 0;
}

inline void fuzzscreen(int bpp, int w, int h) {
    static std::vector<uint8_t> pixels;
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
    blendtablesbuilt = 1;  // never compute or write the cache file
    selectpixelroutines();
    selectblendroutines();
    setglyphmode(3);
    fuzzclearfonts();
}

// Builds a font from file bytes at the current depth, then measures, draws and reshapes it.
inline void fuzzusefont(const uint8_t* data, size_t size, int colour) {
    font* f = makefont(data, static_cast<int>(size), "fuzz");
    if (!f || currentfont != f) std::abort();
    for (const unsigned char* g : f->glyphs)
        if (!g || g[0] > f->maxwidth || g[1] > f->maxheight) std::abort();
    const char text[] = "Fuzz\n\x02\x01\x05 text A\x02\x01\xff";
    (void)textwidth(text);
    drawtext(-3, 5, 40, text, colour);
    drawtext(30, -2, 0, text, colour);
    evendigits(f);
    reframeglyph(f, 'A', 20, 20);
    fontmetrics(f);
    drawtext(1, 1, 0, "0123456789 A", colour);
}
