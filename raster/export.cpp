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

static_assert(bmpfileheadersize + bmpinfoheadersize == 54, "BMP headers are 54 bytes");

// ---------------------------------------------------------------------------------------------
// BMP layout

int bmprowbytes(int w, int bits) {
    int bytes = bits == 8 ? w : 3 * w;
    return (bytes + 3) & ~3;
}

static void put16(unsigned char* p, unsigned v) {
    p[0] = static_cast<unsigned char>(v), p[1] = static_cast<unsigned char>(v >> 8);
}
static void put32(unsigned char* p, unsigned v) {
    for (int k = 0; k < 4; k++) p[k] = static_cast<unsigned char>(v >> (8 * k));
}

int bmpheader(unsigned char* out, int w, int h, int bits) {
    const unsigned offset = bits == 8 ? 54 + bmpcolourtablesize : 54;
    const unsigned datasize = static_cast<unsigned>(h) * static_cast<unsigned>(bmprowbytes(w, bits));
    const unsigned resolution = bits == 8 ? 3780 : 2834;  // pixels per metre
    out[0] = 'B', out[1] = 'M';
    put32(out + 2, offset + datasize);
    put16(out + 6, 0);
    put16(out + 8, 0);
    put32(out + 10, offset);
    put32(out + 14, bmpinfoheadersize);
    put32(out + 18, static_cast<unsigned>(w));
    put32(out + 22, static_cast<unsigned>(h));  // positive: rows stored bottom-up
    put16(out + 26, 1);
    put16(out + 28, static_cast<unsigned>(bits));
    put32(out + 30, 0);
    put32(out + 34, datasize);
    put32(out + 38, resolution);
    put32(out + 42, resolution);
    put32(out + 46, 0);
    put32(out + 50, 0);
    return static_cast<int>(offset);
}

// ---------------------------------------------------------------------------------------------
// Writing through a temporary file

namespace {

// A file written under a temporary name and renamed into place only when complete, so a failed
// or interrupted save never leaves a partial file at the target path.
struct safefile {
    std::string target, temp;
    std::FILE* f = nullptr;
    bool ok = true;
    safefile(const char* path, const char* mode) : target(path), temp(std::string(path) + ".tmp") {
        f = std::fopen(temp.c_str(), mode);
    }
    void write(const void* data, size_t n) {
        if (ok && std::fwrite(data, 1, n, f) != n) ok = false;
    }
    int finish() {
        ok = (std::fclose(f) == 0) && ok;
        f = nullptr;
        if (ok) ok = std::rename(temp.c_str(), target.c_str()) == 0;
        if (!ok) std::remove(temp.c_str());
        return ok ? 1 : 0;
    }
    ~safefile() {
        if (f) {
            std::fclose(f);
            std::remove(temp.c_str());
        }
    }
};

}  // namespace

// ---------------------------------------------------------------------------------------------
// Screenshots

int savebmp(int x, int y, int w, int h, const char* path) {
    if (w <= 0 || h <= 0 || !path || !pixelroutines.getpixel) return 0;
    const int bits = screen.bytesperpixel == 1 ? 8 : 24;
    // In 64 bits: three bytes a pixel of a width near the int limit do not fit in an int.
    const long long rowbytes = ((bits == 8 ? 1LL : 3LL) * w + 3) & ~3LL;
    if (rowbytes > (0x7FFFFFFFLL - 54 - bmpcolourtablesize) / h) return 0;  // beyond what a BMP can hold
    safefile out(path, "wb");
    if (!out.f) return 0;

    unsigned char header[54 + bmpcolourtablesize];
    int offset = bmpheader(header, w, h, bits);
    if (bits == 8) {
        for (int k = 0; k < 256; k++) {
            unsigned char* e = header + 54 + 4 * k;
            e[0] = screen.palette[k].blue, e[1] = screen.palette[k].green, e[2] = screen.palette[k].red,
            e[3] = 0;
        }
    }
    out.write(header, static_cast<size_t>(offset));

    std::vector<unsigned char> row(static_cast<size_t>(rowbytes), 0);
    for (int r = h - 1; r >= 0; r--) {
        const long long py = static_cast<long long>(y) + r;
        unsigned char* p = row.data();
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
        out.write(row.data(), row.size());
        const int done = h - r;
        // Progress along the bottom row of the display, once that row can no longer be saved, so
        // the bar never appears in the file.
        if (done % 50 == 49 && screen.shadpixels && py <= screen.height - 1) {
            const float bottom = static_cast<float>(screen.height - 1);
            drawline(0, bottom, static_cast<float>(screen.width - 1), bottom, 0);
            drawline(0, bottom, static_cast<float>(static_cast<long long>(done) * screen.width / h), bottom,
                     15);
            showshad();
        }
    }
    return out.finish();
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
    safefile out(path, "wt");
    if (!out.f) return 0;
    std::string text = "JASC-PAL\n0100\n256\n";
    char line[16];
    for (int k = 0; k < 256; k++) {
        std::snprintf(line, sizeof line, "%d %d %d\n", screen.palette[k].red, screen.palette[k].green,
                      screen.palette[k].blue);
        text += line;
    }
    out.write(text.data(), text.size());
    return out.finish();
}
