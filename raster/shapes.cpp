// Shapes and fills: rectangles, spans, triangles, circles, ellipses, discs, the mouse pointer.
#include "raster/shapes.h"

#include <climits>
#include <cmath>
#include <cstddef>
#include <cstring>

#include "display/screen.h"
#include "raster/lines.h"
#include "raster/pixels.h"
#include "raster/sprites.h"

namespace {

// n pixels of colour c from p: one block fill in 8-bit mode, three bytes per pixel otherwise
// (the fourth byte of a 32-bit pixel untouched).
template <int B>
inline void fillpixels(unsigned char* p, int n, int c) {
    if constexpr (B == 1) {
        std::memset(p, c & 0xFF, static_cast<size_t>(n));
    } else {
        for (int i = 0; i < n; i++, p += B) storepixel<B>(p, c);
    }
}

// The w x h rectangle at (x, y) clipped once to the clip window, on the surface at pixels.
template <int B>
void fillclipped(unsigned char* pixels, int pitch, long long x, long long y, long long w, long long h,
                 int c) {
    const screenrecord& s = screen;
    if (!pixels) return;
    long long r0 = y > s.cliptop ? y : s.cliptop;
    long long r1 = y + h < s.height ? y + h : s.height;
    if (r0 >= s.height || r1 < s.cliptop) return;
    if (x < s.clipleft) {
        w -= s.clipleft - x;
        x = s.clipleft;
    }
    if (x + w < s.clipleft || x >= s.width || w <= 0) return;
    if (w > s.width - x) w = s.width - x;
    for (long long r = r0; r < r1; r++)
        fillpixels<B>(pixels + static_cast<ptrdiff_t>(r) * pitch + static_cast<ptrdiff_t>(x) * B,
                      static_cast<int>(w), c);
}

template <int B>
inline unsigned char* shadat(int x, int y) {
    return screen.shadpixels + static_cast<ptrdiff_t>(y) * screen.shadpitch + static_cast<ptrdiff_t>(x) * B;
}

// Columns lo..hi-1 of row y of shad, already inside the clip window.
template <int B>
void fillspan(int lo, int hi, int y, int c) {
    if (hi > lo) fillpixels<B>(shadat<B>(lo, y), hi - lo, c);
}

void fillspanany(int lo, int hi, int y, int c) {
    switch (screen.bytesperpixel) {
        case 1: fillspan<1>(lo, hi, y, c); break;
        case 3: fillspan<3>(lo, hi, y, c); break;
        case 4: fillspan<4>(lo, hi, y, c); break;
        default: break;
    }
}

inline int clampint(int v, int lo, int hi) { return v < lo ? lo : (v > hi ? hi : v); }

// A float coordinate rounded to its pixel as trunc(v + 0.5); a value that no int can hold (or
// NaN) becomes INT_MIN, which every clip test refuses.
inline int pixelof(float v) {
    float t = v + 0.5f;
    if (!(t > -2.0e9f && t < 2.0e9f)) return INT_MIN;
    return static_cast<int>(t);
}

// Radii beyond this (pixels) would step forever in single precision.
constexpr float largestradius = 16777216.0f;

}  // namespace

// ---------------------------------------------------------------------------------------------
// Rectangles

template <int B>
void fillrectdepth(int x, int y, int w, int h, int c) {
    fillclipped<B>(screen.shadpixels, screen.shadpitch, x, y, w, h, c);
}

template <int B>
void drawrectdepth(int x, int y, int w, int h, int c) {
    const screenrecord& s = screen;
    const long long right = static_cast<long long>(x) + w, bottom = static_cast<long long>(y) + h;
    if (w < 0 || h < 0 || x >= s.width || y >= s.height || right < s.clipleft || bottom < s.cliptop) return;
    const int rtop = y > s.cliptop ? y : s.cliptop;
    const int rbottom = static_cast<int>(bottom < s.height - 1 ? bottom : s.height - 1);
    const int cleft = x > s.clipleft ? x : s.clipleft;
    const int cright = static_cast<int>(right < s.width - 1 ? right : s.width - 1);
    auto column = [&](long long cx) {
        if (cx < s.clipleft || cx >= s.width) return;
        for (int r = rtop; r <= rbottom; r++) storepixel<B>(shadat<B>(static_cast<int>(cx), r), c);
    };
    auto row = [&](long long ry) {
        if (ry < s.cliptop || ry >= s.height || cright < cleft) return;
        fillpixels<B>(shadat<B>(cleft, static_cast<int>(ry)), cright - cleft + 1, c);
    };
    column(x);
    column(right);
    row(y);
    row(bottom);
}

template void fillrectdepth<1>(int, int, int, int, int);
template void fillrectdepth<3>(int, int, int, int, int);
template void fillrectdepth<4>(int, int, int, int, int);
template void drawrectdepth<1>(int, int, int, int, int);
template void drawrectdepth<3>(int, int, int, int, int);
template void drawrectdepth<4>(int, int, int, int, int);

void fillrect(int x, int y, int w, int h, int c) { pixelroutines.fillrect(x, y, w, h, c); }
void drawrect(int x, int y, int w, int h, int c) { pixelroutines.drawrect(x, y, w, h, c); }

void drawbox(int x1, int y1, int x2, int y2, unsigned char c) {
    int x = x1 < x2 ? x1 : x2, y = y1 < y2 ? y1 : y2;
    long long w = static_cast<long long>(x2) - x1, h = static_cast<long long>(y2) - y1;
    if (w < 0) w = -w;
    if (h < 0) h = -h;
    if (w > INT_MAX || h > INT_MAX) return;
    pixelroutines.drawrect(x, y, static_cast<int>(w), static_cast<int>(h), c);
}

void fillrectfront(int x, int y, int w, int h, unsigned char c) {
    switch (screen.bytesperpixel) {
        case 1: fillclipped<1>(screen.frontpixels, screen.frontpitch, x, y, w, h, c); break;
        case 3: fillclipped<3>(screen.frontpixels, screen.frontpitch, x, y, w, h, c); break;
        case 4: fillclipped<4>(screen.frontpixels, screen.frontpitch, x, y, w, h, c); break;
        default: break;
    }
}

void fillbox(int x1, int y1, int x2, int y2, unsigned char c) {
    long long w = static_cast<long long>(x2) - x1, h = static_cast<long long>(y2) - y1;
    switch (screen.bytesperpixel) {
        case 1: fillclipped<1>(screen.shadpixels, screen.shadpitch, x1, y1, w, h, c); break;
        case 3: fillclipped<3>(screen.shadpixels, screen.shadpitch, x1, y1, w, h, c); break;
        case 4: fillclipped<4>(screen.shadpixels, screen.shadpitch, x1, y1, w, h, c); break;
        default: break;
    }
}

// ---------------------------------------------------------------------------------------------
// Spans and triangles

void hspan(int x1, int x2, int y, int c) {
    const screenrecord& s = screen;
    if (y < s.cliptop || y >= s.height || s.width <= s.clipleft) return;
    int lo = x1 < x2 ? x1 : x2, hi = x1 < x2 ? x2 : x1;
    if (hi < 0 || lo >= s.width) return;
    int start = clampint(lo, s.clipleft, s.width - 1);
    int end = clampint(hi, s.clipleft, s.width);
    fillspanany(start, end, y, c);
}

void hspaninclusive(int x1, int x2, int y, int c) {
    if (x2 == INT_MAX) return hspan(x1, x2, y, c);
    hspan(x1, x2 + 1, y, c);
}

// Vertices sorted by y; each row's span runs from the long edge (1 to 3) to the short edge.
// Rows are limited to the drawing area, so far-off vertices cost no empty rows.
void filltriangle(int x1, int y1, int x2, int y2, int x3, int y3, int c) {
    auto swapvertex = [](int& ax, int& ay, int& bx, int& by) {
        int t = ax;
        ax = bx, bx = t;
        t = ay;
        ay = by, by = t;
    };
    if (y2 <= y1 && y2 <= y3)
        swapvertex(x1, y1, x2, y2);
    else if (y3 <= y1)
        swapvertex(x1, y1, x3, y3);
    if (y3 <= y2) swapvertex(x2, y2, x3, y3);
    // Edge x at row y; 64-bit so that far-off vertices cannot overflow the product.
    auto edge = [](long long xa, long long ya, long long xb, long long yb, long long y) {
        return static_cast<int>(xa + (xb - xa) * (y - ya) / (yb - ya));
    };
    const int height = screen.height;
    int y = y1 > 0 ? y1 : 0;
    if (screen.cliptop > y) y = screen.cliptop;  // rows above the window draw nothing anyway
    for (; y < y2 && y < height; y++) hspan(edge(x1, y1, x3, y3, y), edge(x1, y1, x2, y2, y), y, c);
    for (; y < y3 && y < height; y++) hspan(edge(x1, y1, x3, y3, y), edge(x2, y2, x3, y3, y), y, c);
}

// ---------------------------------------------------------------------------------------------
// Circles, ellipses, discs

// The four mirror images of the offset (dx, dy) about the centre, in the order +-, then -+.
static inline void putmirrored(putpixelroutine put, float cx, float cy, float dx, float dy, int c) {
    put(pixelof(cx + dx), pixelof(cy + dy), c);
    put(pixelof(cx + dx), pixelof(cy - dy), c);
    put(pixelof(cx - dx), pixelof(cy + dy), c);
    put(pixelof(cx - dx), pixelof(cy - dy), c);
}

void drawcircle(float cx, float cy, float r, int c) {
    if (!std::isfinite(cx) || !std::isfinite(cy) || !(r < largestradius)) return;
    const putpixelroutine put = pixelroutines.putpixel;
    const float limit = std::fmin(r, r / std::sqrt(2.0f) + 1.0f);
    for (int t = 0; static_cast<float>(t) < limit; t++) {
        const float ft = static_cast<float>(t);
        const float s = std::sqrt(std::fmax(r * r - ft * ft, 0.0f));
        putmirrored(put, cx, cy, ft, s, c);
        putmirrored(put, cx, cy, s, ft, c);
    }
}

void drawellipse(float cx, float cy, float rx, float ry, int c) {
    if (!std::isfinite(cx) || !std::isfinite(cy) || !(rx < largestradius) || !(ry < largestradius)) return;
    const putpixelroutine put = pixelroutines.putpixel;
    const float diagonal = std::sqrt(rx * rx + ry * ry);
    const float l1 = std::fmin(rx * rx / diagonal, rx), l2 = std::fmin(ry * ry / diagonal, ry);
    // The flat part is stepped in x, the steep part in y.
    for (int t = 0; static_cast<float>(t) < l1 + 0.5f; t++) {
        const float ft = static_cast<float>(t), q = ft / rx;
        const float s = ry * std::sqrt(1.0f - q * q);
        putmirrored(put, cx, cy, ft, s, c);
    }
    for (int t = 0; static_cast<float>(t) < l2 + 0.5f; t++) {
        const float ft = static_cast<float>(t), q = ft / ry;
        const float s = rx * std::sqrt(1.0f - q * q);
        putmirrored(put, cx, cy, s, ft, c);
    }
}

void filldisc(float cx, float cy, float r, int c) {
    const screenrecord& s = screen;
    if (!std::isfinite(cx) || !std::isfinite(cy) || !std::isfinite(r) || s.width <= s.clipleft ||
        s.height <= s.cliptop)
        return;
    auto clampfloat = [](float v, int lo, int hi) {
        return v < static_cast<float>(lo) ? lo : (v > static_cast<float>(hi) ? hi : static_cast<int>(v));
    };
    const int y0 = clampfloat(std::ceil(cy - r), s.cliptop, s.height - 1);
    const int y1 = clampfloat(std::floor(cy + r), s.cliptop, s.height - 1);
    for (int y = y0; y <= y1; y++) {
        const float dy = static_cast<float>(y) - cy;
        const float q = r * r - dy * dy;
        if (q < 0.0f) continue;
        const float v = std::sqrt(q);
        const int xl = clampfloat(std::floor(cx + 0.5f - v), s.clipleft, s.width - 1);
        const int xr = clampfloat(std::floor(cx + 0.5f + v), s.clipleft, s.width - 1);
        fillspanany(xl, xr, y, c);
    }
}

// ---------------------------------------------------------------------------------------------
// Blended outline and mouse pointer

// The corners belong to the rows; a zero height has one row and a zero width one column, so
// no pixel is blended twice.
void screenblendrect(int x, int y, int w, int h, int c) {
    const screenrecord& s = screen;
    if (!screenblendpixel) selectblendroutines();  // not chosen yet: take the current depth's
    if (w < 0 || h < 0 || !screenblendpixel) return;
    const long long right = static_cast<long long>(x) + w, bottom = static_cast<long long>(y) + h;
    const long long c0 = x > s.clipleft ? x : s.clipleft;
    const long long c1 = right < s.width - 1 ? right : s.width - 1;
    auto row = [&](long long ry) {
        if (ry < s.cliptop || ry >= s.height) return;
        for (long long i = c0; i <= c1; i++) screenblendpixel(static_cast<int>(i), static_cast<int>(ry), c);
    };
    const long long r0 = y + 1LL > s.cliptop ? y + 1LL : s.cliptop;
    const long long r1 = bottom < s.height ? bottom : s.height;
    auto column = [&](long long cx) {
        if (cx < s.clipleft || cx >= s.width) return;
        for (long long r = r0; r < r1; r++) screenblendpixel(static_cast<int>(cx), static_cast<int>(r), c);
    };
    row(y);
    if (h > 0) row(bottom);
    column(x);
    if (w > 0) column(right);
}

void drawmousepointer() {
    const int c = screen.bytesperpixel == 1 ? 15 : 0xFFFFFF;
    const float mx = static_cast<float>(mousex), my = static_cast<float>(mousey);
    drawline(mx, my, mx + 2, my, c);
    drawline(mx, my, mx, my + 2, c);
    drawline(mx, my, mx + 4, my + 4, c);
}
