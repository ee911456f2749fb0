// Test helper: a drawing surface in plain memory with guard bytes, installed as shad in screen.
#pragma once

#include <unistd.h>

#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "display/screen.h"
#include "raster/pixels.h"
#include "raster/sprites.h"
#include "tests/testfiles.h"

// Every byte that is not a colour byte of a pixel (the guard bands before and after, the row
// padding and the fourth byte of 32-bit pixels) holds the sentinel, so a write outside the
// surface or into a pixel's fourth byte shows in intact().
struct rastersurface {
    static constexpr int guard = 256;
    static constexpr unsigned char sentinel = 0xA5;
    int width, height, bpp, pitch;
    std::vector<unsigned char> memory;
    screenrecord savedscreen;
    pixelroutinetable savedroutines;
    blendpixelroutine savedmultiply, savedscreenblend, savedglyphpixel;
    glyphroutine saveddrawglyph;
    int savedglyphmode;

    rastersurface(int w, int h, int b, int padding = 4, int fill = 0)
        : width(w),
          height(h),
          bpp(b),
          pitch(w * b + padding),
          memory(static_cast<size_t>(2 * guard + h * (w * b + padding)), sentinel) {
        savedscreen = screen;
        savedroutines = pixelroutines;
        savedmultiply = multiplypixel, savedscreenblend = screenblendpixel, savedglyphpixel = glyphpixel;
        saveddrawglyph = drawglyph, savedglyphmode = glyphmode;
        screen.width = w, screen.height = h, screen.clipleft = 0, screen.cliptop = 0;
        screen.bytesperpixel = b;
        screen.shadpixels = pixels();
        screen.shadpitch = pitch;
        screen.frontpixels = nullptr;
        for (int y = 0; y < h; y++)
            for (int x = 0; x < w; x++) set(x, y, fill);
        selectpixelroutines();
        selectblendroutines();
    }
    ~rastersurface() {
        screen = savedscreen;
        pixelroutines = savedroutines;
        multiplypixel = savedmultiply, screenblendpixel = savedscreenblend, glyphpixel = savedglyphpixel;
        drawglyph = saveddrawglyph, glyphmode = savedglyphmode;
    }
    rastersurface(const rastersurface&) = delete;
    rastersurface& operator=(const rastersurface&) = delete;

    unsigned char* pixels() { return memory.data() + guard; }
    unsigned char* at(int x, int y) { return pixels() + y * pitch + x * bpp; }
    int get(int x, int y) {
        unsigned char* p = at(x, y);
        return bpp == 1 ? p[0] : p[0] | p[1] << 8 | p[2] << 16;
    }
    void set(int x, int y, int c) {
        unsigned char* p = at(x, y);
        p[0] = static_cast<unsigned char>(c);
        if (bpp != 1) p[1] = static_cast<unsigned char>(c >> 8), p[2] = static_cast<unsigned char>(c >> 16);
    }
    // Pixels whose colour differs from background.
    std::vector<std::pair<int, int>> changed(int background) {
        std::vector<std::pair<int, int>> out;
        for (int y = 0; y < height; y++)
            for (int x = 0; x < width; x++)
                if (get(x, y) != background) out.push_back({x, y});
        return out;
    }
    int count(int colour) {
        int n = 0;
        for (int y = 0; y < height; y++)
            for (int x = 0; x < width; x++) n += get(x, y) == colour;
        return n;
    }
    // No byte before or after the surface's memory was written (a row that wraps past the right
    // edge may write the row padding, which lies inside it).
    bool insidememory() {
        const size_t end = guard + static_cast<size_t>(height) * pitch;
        for (size_t i = 0; i < memory.size(); i++)
            if ((i < guard || i >= end) && memory[i] != sentinel) return false;
        return true;
    }
    // No byte outside the colour bytes of the pixels was written.
    bool intact() {
        for (size_t i = 0; i < memory.size(); i++) {
            long off = static_cast<long>(i) - guard;
            bool colourbyte = false;
            if (off >= 0 && off < static_cast<long>(height) * pitch) {
                long inrow = off % pitch;
                colourbyte = inrow < static_cast<long>(width) * bpp && (bpp == 1 || inrow % bpp < 3);
            }
            if (!colourbyte && memory[i] != sentinel) return false;
        }
        return true;
    }
};

// Colours that are distinct and asymmetric in every depth.
inline int testcolour(int bpp, int index8, int rgb) { return bpp == 1 ? index8 : rgb; }

// A temporary directory path of this process for a test (not created), so that test runs of
// several builds at once never share files.
inline std::filesystem::path rastertempdir(const std::string& name) { return testdirpath("raster-" + name); }

// The working directory of a death test: made by the test process and inherited by the child
// that re-runs the test (through the environment), so the error log of the child lands in a
// directory that the test process removes afterwards.
inline std::filesystem::path rasterdeathdir(const std::string& name) {
    if (const char* inherited = std::getenv("VOXDA_RASTER_DEATHDIR")) return inherited;
    std::filesystem::path dir = rastertempdir(name);
    std::filesystem::create_directories(dir);
    setenv("VOXDA_RASTER_DEATHDIR", dir.c_str(), 1);
    return dir;
}
inline void rasterdeathdirdone(const std::filesystem::path& dir) {
    unsetenv("VOXDA_RASTER_DEATHDIR");
    std::filesystem::remove_all(dir);
}
