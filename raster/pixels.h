// Pixel writers: the per-depth routine table, the clip window and the viewport stack.
#pragma once

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
