// Colour-combination tables for the 8-bit mode, their cache file, and true-colour colour arithmetic.
#include "raster/blendtables.h"

#include <cmath>
#include <cstdio>
#include <string>

#include "display/graphics.h"
#include "display/palette.h"
#include "display/screen.h"
#include "raster/lines.h"
#include "util/outputfile.h"

unsigned char multiplytable[blendtablesize];
unsigned char screenblendtable[blendtablesize];
unsigned char inversetable[256];
unsigned char blendtablesbuilt;
bool blendtablesfor8bit;
const char* blendcachename = "crarray.cgf";

// ---------------------------------------------------------------------------------------------
// Nearest-colour search

// Squared distance: differences in single precision, squares and sum in double, result rounded
// to single precision.
static inline float colourdistance(float r, float g, float b, float pr, float pg, float pb) {
    float dr = r - pr, dg = g - pg, db = b - pb;
    double d = static_cast<double>(dr) * dr + static_cast<double>(dg) * dg + static_cast<double>(db) * db;
    return static_cast<float>(d);
}

// Exhaustive over the 16 basic colours and 24 greys, then one candidate from the 6x6x6 cube.
int nearestpaletteindex(float r, float g, float b, const float* red, const float* green, const float* blue) {
    float best = 1000000.0f;
    int result = 0;
    for (int k = 0; k < 40; k++) {
        float d = colourdistance(r, g, b, red[k], green[k], blue[k]);
        if (d < best) {
            best = d;
            result = k;
        }
    }
    int cell = 40 + static_cast<int>(std::floor(5.0 * r + 0.5)) +
               6 * static_cast<int>(std::floor(5.0 * g + 0.5)) +
               36 * static_cast<int>(std::floor(5.0 * b + 0.5));
    cell &= 255;  // modulo 256, non-negative
    float d = colourdistance(r, g, b, red[cell], green[cell], blue[cell]);
    if (d < best) result = cell;
    return result;
}

// ---------------------------------------------------------------------------------------------
// Table computation

// Multiply and screen entries of every unordered pair, mirrored into both halves; each pair is
// also stored at its place in the cache image.
void computeblendtables(const float* red, const float* green, const float* blue, unsigned char* multiply,
                        unsigned char* screenblend, unsigned char* file, void (*progress)(int i)) {
    for (int i = 0; i < 255; i++) {
        for (int j = 0; j <= i; j++) {
            float mr = red[i] * red[j], mg = green[i] * green[j], mb = blue[i] * blue[j];
            unsigned char m = static_cast<unsigned char>(nearestpaletteindex(mr, mg, mb, red, green, blue));
            multiply[blendentry(i, j)] = m;
            multiply[blendentry(j, i)] = m;
            file[255 * j + i] = m;
            float sr = 1.0f - (1.0f - red[i]) * (1.0f - red[j]);
            float sg = 1.0f - (1.0f - green[i]) * (1.0f - green[j]);
            float sb = 1.0f - (1.0f - blue[i]) * (1.0f - blue[j]);
            unsigned char s = static_cast<unsigned char>(nearestpaletteindex(sr, sg, sb, red, green, blue));
            screenblend[blendentry(i, j)] = s;
            screenblend[blendentry(j, i)] = s;
            file[255 * (i + 1) + j] = s;
        }
        if (progress) progress(i);
    }
}

// Row and column 255 are not in the cache file; they are computed as the other pairs are, and
// mirrored, so that a colour or pixel of index 255 blends like any other. The inverse of entry
// 255 stays 0.
void computeblendextras(const float* red, const float* green, const float* blue, unsigned char* multiply,
                        unsigned char* screenblend, unsigned char* inverse) {
    for (int b = 0; b < 256; b++) {
        unsigned char m = static_cast<unsigned char>(nearestpaletteindex(
            red[255] * red[b], green[255] * green[b], blue[255] * blue[b], red, green, blue));
        multiply[blendentry(255, b)] = multiply[blendentry(b, 255)] = m;
        float sr = 1.0f - (1.0f - red[255]) * (1.0f - red[b]);
        float sg = 1.0f - (1.0f - green[255]) * (1.0f - green[b]);
        float sb = 1.0f - (1.0f - blue[255]) * (1.0f - blue[b]);
        unsigned char s = static_cast<unsigned char>(nearestpaletteindex(sr, sg, sb, red, green, blue));
        screenblend[blendentry(255, b)] = screenblend[blendentry(b, 255)] = s;
    }
    for (int i = 0; i < 255; i++)
        inverse[i] = static_cast<unsigned char>(
            nearestpaletteindex(1.0f - red[i], 1.0f - green[i], 1.0f - blue[i], red, green, blue));
    inverse[255] = 0;
}

void unpackblendcache(const unsigned char* file, unsigned char* multiply, unsigned char* screenblend) {
    for (int a = 0; a < 255; a++)
        for (int b = 0; b < 255; b++) {
            int lo = a < b ? a : b, hi = a < b ? b : a;
            multiply[blendentry(a, b)] = file[255 * lo + hi];
            screenblend[blendentry(a, b)] = file[255 * (hi + 1) + lo];
        }
}

// ---------------------------------------------------------------------------------------------
// Cache file

bool readblendcache(const char* path, unsigned char* file) {
    std::FILE* f = std::fopen(path, "rb");
    if (!f) return false;
    size_t got = std::fread(file, 1, blendcachesize, f);
    bool whole = got == static_cast<size_t>(blendcachesize) && std::fgetc(f) == EOF;
    std::fclose(f);
    return whole;
}

bool writeblendcache(const char* path, const unsigned char* file) {
    return writewholefile(path, file, blendcachesize);
}

// ---------------------------------------------------------------------------------------------
// True-colour arithmetic

int multiplycolour(int a, int b) {
    int r = ((a >> 16) * (b >> 16)) >> 8;
    int g = (((a >> 8) & 0xFF) * ((b >> 8) & 0xFF)) >> 8;
    int bl = ((a & 0xFF) * (b & 0xFF)) >> 8;
    return r << 16 | g << 8 | bl;
}

int screenblendcolour(int a, int b) { return multiplycolour(a ^ 0xFFFFFF, b ^ 0xFFFFFF) ^ 0xFFFFFF; }

int addcolour(int a, int b) {
    auto sat = [](int v) { return v > 255 ? 255 : v; };
    return sat((a >> 16) + (b >> 16)) << 16 | sat(((a >> 8) & 0xFF) + ((b >> 8) & 0xFF)) << 8 |
           sat((a & 0xFF) + (b & 0xFF));
}

int gammacolour(int c, double gamma) {
    auto channel = [gamma](int v) { return static_cast<int>(255.4 * std::pow(v / 255.0, 1 / gamma)); };
    return channel(c >> 16) << 16 | channel((c >> 8) & 0xFF) << 8 | channel(c & 0xFF);
}

// ---------------------------------------------------------------------------------------------
// The palette as floats, single entries

void palettefloats(float* red, float* green, float* blue) {
    for (int i = 0; i < 256; i++) {
        red[i] = screen.palette[i].red / 256.0f;
        green[i] = screen.palette[i].green / 256.0f;
        blue[i] = screen.palette[i].blue / 256.0f;
    }
}

void paletteentryfloats(int index, float* red, float* green, float* blue) {
    const pfpaletteentry& e = screen.palette[index & 255];
    *red = e.red / 256.0f;
    *green = e.green / 256.0f;
    *blue = e.blue / 256.0f;
}

// An index outside 0..255 names no entry and changes nothing.
void setpaletteentry(int index, unsigned char red, unsigned char green, unsigned char blue) {
    if (index < 0 || index > 255) return;
    screen.palette[index] = {red, green, blue, PF_PC_NOCOLLAPSE};
    updatepaletteentries(index, index);
}

// ---------------------------------------------------------------------------------------------
// Building the tables

static uint32_t progressstart;  // tick count of the last progress display, ms

// A red bar across the middle of the screen, at most about five times a second.
static void showblendprogress(int i) {
    if (!screen.shadpixels || pfgettickcount() - progressstart <= 200) return;
    float y = static_cast<float>(screen.height / 2);
    drawline(0, y, static_cast<float>(screen.width - 1), y, 42);
    drawline(0, y, static_cast<float>(static_cast<double>(i) * i * screen.width / (255.0 * 255.0)), y, 45);
    showframe(0);
    progressstart = pfgettickcount();
}

void makeblendtables() {
    if (blendtablesbuilt) return;
    static unsigned char file[blendcachesize];
    float red[256], green[256], blue[256];
    if (readblendcache(blendcachename, file)) {
        unpackblendcache(file, multiplytable, screenblendtable);
    } else if (screen.bytesperpixel == 1) {
        progressstart = pfgettickcount();
        palettefloats(red, green, blue);
        computeblendtables(red, green, blue, multiplytable, screenblendtable, file, showblendprogress);
        writeblendcache(blendcachename, file);  // the tables in memory are valid either way
    }
    if (screen.bytesperpixel == 1) {
        palettefloats(red, green, blue);
        computeblendextras(red, green, blue, multiplytable, screenblendtable, inversetable);
    }
    blendtablesbuilt = 1;
    blendtablesfor8bit = screen.bytesperpixel == 1;
}

void makeblendtablesfor8bit() {
    if (!blendtablesbuilt || blendtablesfor8bit || screen.bytesperpixel != 1) return;
    blendtablesbuilt = 0;
    makeblendtables();
}
