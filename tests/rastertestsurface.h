// Test helper: points the screen record at an in-memory surface with padded rows.
#pragma once

#include "display/screen.h"
#include "raster/pixels.h"

#include <cstddef>
#include <vector>

// A w x h surface of depth bpp whose rows carry `pad` extra bytes, set as shad (and as the
// primary); the previous screen record and routine table are put back on destruction.
struct rastertestsurface {
    static constexpr unsigned char padbyte = 0xA5;
    int w, h, bpp, pitch;
    std::vector<unsigned char> shad, front;
    decltype(screen) savedscreen;
    pixelroutinetable savedroutines;

    rastertestsurface(int width, int height, int depth, int pad = 5, unsigned char fill = 0)
        : w(width),
          h(height),
          bpp(depth),
          pitch(width * depth + pad),
          shad(static_cast<std::size_t>(pitch) * height, fill),
          front(static_cast<std::size_t>(pitch) * height, fill),
          savedscreen(screen),
          savedroutines(pixelroutines) {
        for (int y = 0; y < h; ++y)
            for (int i = w * bpp; i < pitch; ++i) shad[y * pitch + i] = front[y * pitch + i] = padbyte;
        screen.width = w;
        screen.height = h;
        screen.clipleft = 0;
        screen.cliptop = 0;
        screen.bytesperpixel = bpp;
        screen.shadpixels = shad.data();
        screen.shadpitch = pitch;
        screen.frontpixels = front.data();
        screen.frontpitch = pitch;
        screen.backpixels = nullptr;
        screen.backpitch = 0;
        selectpixelroutines();
    }
    ~rastertestsurface() {
        screen = savedscreen;
        pixelroutines = savedroutines;
    }
    rastertestsurface(const rastertestsurface&) = delete;
    rastertestsurface& operator=(const rastertestsurface&) = delete;

    // Colour of surface pixel (x, y), read straight from the bytes (independent of getpixel).
    int at(const std::vector<unsigned char>& s, int x, int y) const {
        const unsigned char* p = s.data() + y * pitch + x * bpp;
        return bpp == 1 ? p[0] : (p[0] | p[1] << 8 | p[2] << 16);
    }
    int shadat(int x, int y) const { return at(shad, x, y); }
    // True when every row's padding still holds the pad byte.
    bool padintact(const std::vector<unsigned char>& s) const {
        for (int y = 0; y < h; ++y)
            for (int i = w * bpp; i < pitch; ++i)
                if (s[y * pitch + i] != padbyte) return false;
        return true;
    }
};
