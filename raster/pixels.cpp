// Pixel writers: the per-depth routine table, the clip window and the viewport stack.
#include "raster/pixels.h"

#include "display/screen.h"
#include "raster/modefollow.h"
#include "raster/shapes.h"
#include "raster/sprites.h"

#include <climits>
#include <cstddef>

pixelroutinetable pixelroutines = {};
viewportrecord viewportstack[maxviewports] = {};

// The display reaches the routines through its hooks, filled as the program starts; every program
// that draws links this file, as it holds the routine table.
[[maybe_unused]] static const bool drawinglayerregistered = registerdrawinglayer();

namespace {

// True when (x, y) lies in the clip window clipleft <= x < width, cliptop <= y < height.
inline bool inclip(int x, int y) {
    return x >= screen.clipleft && x < screen.width && y >= screen.cliptop && y < screen.height;
}

// Byte offset of pixel (x, y) on a surface of the given pitch, in 64 bits so that far viewports
// cannot overflow the product.
inline std::ptrdiff_t pixeloffset(int x, int y, int pitch, int bpp) {
    return static_cast<std::ptrdiff_t>(y) * pitch + static_cast<std::ptrdiff_t>(x) * bpp;
}

// Read the colour at p in depth B.
template <int B>
inline int loadpixel(const unsigned char* p) {
    if constexpr (B == 1) {
        return p[0];
    } else {
        return p[0] | p[1] << 8 | p[2] << 16;
    }
}

template <int B>
void putpixelshad(int x, int y, int c) {
    if (!inclip(x, y)) return;
    storepixel<B>(screen.shadpixels + pixeloffset(x, y, screen.shadpitch, B), c);
}

template <int B>
int getpixelshad(int x, int y) {
    if (!inclip(x, y)) return -1;
    return loadpixel<B>(screen.shadpixels + pixeloffset(x, y, screen.shadpitch, B));
}

template <int B>
void putpixelprimary(int x, int y, int c) {
    if (!inclip(x, y)) return;
    storepixel<B>(screen.frontpixels + pixeloffset(x, y, screen.frontpitch, B), c);
}

template <int B>
int getpixelprimary(int x, int y) {
    if (!inclip(x, y)) return -1;
    return loadpixel<B>(screen.frontpixels + pixeloffset(x, y, screen.frontpitch, B));
}

// The table for depth B. Slots whose routines live elsewhere are filled where they are defined.
template <int B>
constexpr pixelroutinetable routinesfor() {
    pixelroutinetable t = {};
    t.putpixel = putpixelshad<B>;
    t.getpixel = getpixelshad<B>;
    t.drawspritewrap = drawspritewrapdepth<B>;
    t.drawsprite = drawspritedepth<B>;
    t.fillrect = fillrectdepth<B>;
    t.drawrect = drawrectdepth<B>;
    t.putpixelfront = putpixelprimary<B>;
    t.getpixelfront = getpixelprimary<B>;
    return t;
}

// Move each existing surface pointer by (dx, dy) pixels, each with its own pitch.
void shiftsurfaces(int dx, int dy) {
    const int bpp = screen.bytesperpixel;
    if (screen.shadpixels) screen.shadpixels += pixeloffset(dx, dy, screen.shadpitch, bpp);
    if (screen.backpixels) screen.backpixels += pixeloffset(dx, dy, screen.backpitch, bpp);
    if (screen.frontpixels) screen.frontpixels += pixeloffset(dx, dy, screen.frontpitch, bpp);
}

int clampint(int v, int lo, int hi) { return v < lo ? lo : (v > hi ? hi : v); }

}  // namespace

// Fill every slot for the current depth, once, so that no caller tests the depth per pixel.
void selectpixelroutines() {
    switch (screen.bytesperpixel) {
        case 1: pixelroutines = routinesfor<1>(); break;
        case 3: pixelroutines = routinesfor<3>(); break;
        case 4: pixelroutines = routinesfor<4>(); break;
        default: break;
    }
}

// Empty every slot.
void clearpixelroutines() { pixelroutines = {}; }

pixeltarget shadtarget() {
    pixeltarget t{screen.shadpixels, screen.shadpitch, 0, screen.clipleft, screen.cliptop,
                  screen.width,      screen.height};
    const putpixelroutine put = pixelroutines.putpixel;
    if (put == putpixelshad<1>) t.bpp = 1;
    if (put == putpixelshad<3>) t.bpp = 3;
    if (put == putpixelshad<4>) t.bpp = 4;
    if (!t.pixels) t.bpp = 0;
    return t;
}

// Saturating add. In 8-bit mode the colour is an index offset; the sum is kept within 0..255.
void addpixel(int x, int y, int c) {
    if (!inclip(x, y)) return;
    const int bpp = screen.bytesperpixel;
    unsigned char* p = screen.shadpixels + pixeloffset(x, y, screen.shadpitch, bpp);
    if (bpp == 1) {
        const long long sum = static_cast<long long>(p[0]) + c;
        p[0] = static_cast<unsigned char>(sum > 255 ? 255 : (sum < 0 ? 0 : sum));
        return;
    }
    for (int k = 0; k < 3; ++k) {
        const int sum = p[k] + ((c >> (8 * k)) & 0xFF);
        p[k] = static_cast<unsigned char>(sum > 255 ? 255 : sum);
    }
}

// Per-channel maximum (in 8-bit mode the larger index, compared unsigned).
void maxpixel(int x, int y, int c) {
    if (!inclip(x, y)) return;
    const int bpp = screen.bytesperpixel;
    unsigned char* p = screen.shadpixels + pixeloffset(x, y, screen.shadpitch, bpp);
    if (bpp == 1) {
        if (static_cast<unsigned>(p[0]) < static_cast<unsigned>(c)) p[0] = static_cast<unsigned char>(c);
        return;
    }
    for (int k = 0; k < 3; ++k) {
        const unsigned char ch = static_cast<unsigned char>(c >> (8 * k));
        if (p[k] < ch) p[k] = ch;
    }
}

// Push a viewport: origin to (x1, y1), clip window narrowed to its intersection with the rectangle.
void pushviewport(int x1, int y1, int x2, int y2) {
    if (viewportdepth >= maxviewports) {
        ++viewportdepth;  // counted so that the matching pop stays paired
        return;
    }
    const int l = screen.clipleft, t = screen.cliptop, r = screen.width, b = screen.height;
    const int x1c = clampint(x1, l, r), y1c = clampint(y1, t, b);
    const int x2c = clampint(x2, l, r), y2c = clampint(y2, t, b);
    // A window whose edges would not fit an int in the new coordinates is refused like an empty one.
    const long long newright = static_cast<long long>(x2c) - x1, newbottom = static_cast<long long>(y2c) - y1;
    constexpr int farthest = 1 << 30;  // origins beyond this would overflow the mouse and window ints
    const bool toofar = x1 < -farthest || x1 > farthest || y1 < -farthest || y1 > farthest ||
                        newright > INT_MAX || newbottom > INT_MAX ||
                        static_cast<long long>(x1c) - x1 > INT_MAX ||
                        static_cast<long long>(y1c) - y1 > INT_MAX;
    if (x1c >= x2c || y1c >= y2c || toofar) {
        viewportstack[viewportdepth++] = {l, t, r, b, 0, 0};
        screen.clipleft = screen.cliptop = screen.width = screen.height = 0;
        return;
    }
    shiftsurfaces(x1, y1);
    screen.clipleft = x1c - x1;
    screen.cliptop = y1c - y1;
    screen.width = x2c - x1;
    screen.height = y2c - y1;
    mousex -= x1;
    mousey -= y1;
    viewportstack[viewportdepth++] = {l, t, r, b, x1, y1};
}

// Pop the innermost viewport, restoring the pointers, the clip window and the mouse position.
void popviewport() {
    if (viewportdepth == 0) return;
    --viewportdepth;
    if (viewportdepth >= maxviewports) return;
    const viewportrecord v = viewportstack[viewportdepth];
    shiftsurfaces(-v.dx, -v.dy);
    screen.clipleft = v.clipleft;
    screen.cliptop = v.cliptop;
    screen.width = v.width;
    screen.height = v.height;
    mousex += v.dx;
    mousey += v.dy;
}
