// Pixel writers: the per-depth routine table, the clip window and the viewport stack.
#pragma once

#include <cstddef>

#include "display/screen.h"  // viewportdepth

// Slot signatures of the routine table. A sprite is a byte record: width, height, pixels.
using putpixelroutine = void (*)(int x, int y, int c);
using getpixelroutine = int (*)(int x, int y);
using spriteroutine = void (*)(int x, int y, const unsigned char* sprite);
using rectroutine = void (*)(int x, int y, int w, int h, int c);

// The eight routines of the current depth, filled by selectpixelroutines.
struct pixelroutinetable {
    putpixelroutine putpixel;       // one clipped pixel of shad
    getpixelroutine getpixel;       // one pixel of shad, -1 outside the clip window
    spriteroutine drawspritewrap;   // sprite with wrap-around, no clipping
    spriteroutine drawsprite;       // sprite clipped pixel by pixel
    rectroutine fillrect;           // filled w x h rectangle
    rectroutine drawrect;           // outline with corners (x, y) and (x + w, y + h)
    putpixelroutine putpixelfront;  // putpixel on the primary surface
    getpixelroutine getpixelfront;  // getpixel on the primary surface
};
extern pixelroutinetable pixelroutines;

// Store colour c at p in depth B: one palette byte, or blue, green, red (a 4th byte is left alone).
template <int B>
inline void storepixel(unsigned char* p, int c) {
    p[0] = static_cast<unsigned char>(c);
    if constexpr (B != 1) {
        p[1] = static_cast<unsigned char>(c >> 8);
        p[2] = static_cast<unsigned char>(c >> 16);
    }
}

// Fill every slot for screen.bytesperpixel (1, 3 or 4); any other depth leaves the table as it is.
void selectpixelroutines();
// Empty every slot.
void clearpixelroutines();

// Calls through the table (the slot must be filled).
inline void putpixel(int x, int y, int c) { pixelroutines.putpixel(x, y, c); }
inline int getpixel(int x, int y) { return pixelroutines.getpixel(x, y); }
inline void putpixelfront(int x, int y, int c) { pixelroutines.putpixelfront(x, y, c); }
inline int getpixelfront(int x, int y) { return pixelroutines.getpixelfront(x, y); }

// shad and its clip window, taken once for a batch of clipped pixels written without a call per
// pixel; the same pixels as putpixel while neither the screen record nor the table changes.
struct pixeltarget {
    unsigned char* pixels;         // shad
    std::ptrdiff_t pitch;          // bytes per row
    int bpp;                       // 1, 3 or 4; 0 when the putpixel slot is not the plain shad writer
    int left, top, right, bottom;  // clip window: left <= x < right, top <= y < bottom
    template <int B>
    void put(int x, int y, int c) const {
        if (x < left || x >= right || y < top || y >= bottom) return;
        storepixel<B>(pixels + static_cast<std::ptrdiff_t>(y) * pitch + static_cast<std::ptrdiff_t>(x) * B,
                      c);
    }
};
pixeltarget shadtarget();

// Saturating per-channel add of c into one pixel of shad (clipped).
void addpixel(int x, int y, int c);
// Per-channel maximum of c and one pixel of shad (clipped).
void maxpixel(int x, int y, int c);

// Viewports: nest up to maxviewports deep; deeper pushes are counted and ignored.
constexpr int maxviewports = 200;
struct viewportrecord {
    int clipleft, cliptop, width, height;  // the clip window before the push
    int dx, dy;                            // origin offset the push applied
};
static_assert(sizeof(viewportrecord) == 6 * sizeof(int));
extern viewportrecord viewportstack[maxviewports];

// Move the origin to (x1, y1) and narrow the clip window to x1 <= x < x2, y1 <= y < y2.
void pushviewport(int x1, int y1, int x2, int y2);
// Undo the innermost pushviewport.
void popviewport();
