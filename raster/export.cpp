// Screenshot and palette export: BMP files of the drawing surface, JASC-PAL palette files.
#include "raster/export.h"

#include <climits>
#include <cstdio>
#include <string>
#include <vector>

#include "display/screen.h"
#include "display/surfaces.h"
#include "raster/lines.h"
#include "raster/pixels.h"
#include "util/bmp.h"
#include "util/outputfile.h"

// Our screenshots say 96 dots per inch when indexed, 72 in true colour.
static bmplayout screenimage(int w, int h, int bits) {
    return {w, h, bits, bits == 8 ? 3780u : 2834u, 0, nullptr};
}

int bmpheader(unsigned char* out, int w, int h, int bits) { return bmpheader(out, screenimage(w, h, bits)); }

// ---------------------------------------------------------------------------------------------
// Screenshots

int savebmp(int x, int y, int w, int h, const char* path) {
    if (w <= 0 || h <= 0 || !path || !pixelroutines.getpixel) return 0;
    const int bits = screen.bytesperpixel == 1 ? 8 : 24;
    // In 64 bits: three bytes a pixel of a width near the int limit do not fit in an int.
    const long long rowbytes = ((bits == 8 ? 1LL : 3LL) * w + 3) & ~3LL;
    if (rowbytes > (0x7FFFFFFFLL - 54 - bmpcolourtablesize) / h) return 0;  // beyond what a BMP can hold
    outputfile out;
    if (!openoutput(&out, path)) return 0;

    unsigned char colours[bmpcolourtablesize];
    for (int k = 0; k < 256; k++) {
        unsigned char* e = colours + 4 * k;
        e[0] = screen.palette[k].blue, e[1] = screen.palette[k].green, e[2] = screen.palette[k].red, e[3] = 0;
    }
    bmplayout image = screenimage(w, h, bits);
    image.colours = colours;
    auto row = [&](int r, unsigned char* p) {
        const long long py = static_cast<long long>(y) + r;
        for (int i = 0; i < w; i++) {
            const long long px = static_cast<long long>(x) + i;
            // Outside the clip window (or beyond any coordinate) a pixel reads as -1: 0xFF bytes.
            int v = (px >= INT_MIN && px <= INT_MAX && py >= INT_MIN && py <= INT_MAX)
                        ? pixelroutines.getpixel(static_cast<int>(px), static_cast<int>(py))
                        : -1;
            if (bits == 8) {
                *p++ = static_cast<unsigned char>(v & 0xFF);
            } else {
                *p++ = static_cast<unsigned char>(v & 0xFF);
                *p++ = static_cast<unsigned char>((v >> 8) & 0xFF);
                *p++ = static_cast<unsigned char>((v >> 16) & 0xFF);
            }
        }
    };
    // Progress along the bottom row of the display, once that row can no longer be saved, so
    // the bar never appears in the file.
    auto progress = [&](int done) {
        const long long py = static_cast<long long>(y) + (h - done);
        if (done % 50 == 49 && screen.shadpixels && py <= screen.height - 1) {
            const float bottom = static_cast<float>(screen.height - 1);
            drawline(0, bottom, static_cast<float>(screen.width - 1), bottom, 0);
            drawline(0, bottom, static_cast<float>(static_cast<long long>(done) * screen.width / h), bottom,
                     15);
            showshad();
        }
    };
    if (!writebmp(out.file, image, row, progress)) {
        abortoutput(&out);
        return 0;
    }
    return commitoutput(&out) ? 1 : 0;
}

int savescreenbmp(const char* path) { return savebmp(0, 0, screen.width, screen.height, path); }

void screenshotname(unsigned ticks, char* out) {
    std::snprintf(out, 20, "screenshot%05u.bmp", (ticks / 300) % 100000);
}

int screenshot() {
    char name[20];
    screenshotname(pfgettickcount(), name);
    return savescreenbmp(name);
}

// ---------------------------------------------------------------------------------------------
// Palette files

int savepalette(const char* path) {
    if (!path) return 0;
    std::string text = "JASC-PAL\n0100\n256\n";
    char line[16];
    for (int k = 0; k < 256; k++) {
        std::snprintf(line, sizeof line, "%d %d %d\n", screen.palette[k].red, screen.palette[k].green,
                      screen.palette[k].blue);
        text += line;
    }
    return writewholefile(path, text.data(), text.size()) ? 1 : 0;
}
