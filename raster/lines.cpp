// Line drawing: a single-precision DDA, clipped as a segment (drawline) or per pixel (drawlinefront).
#include "raster/lines.h"

#include "display/screen.h"
#include "raster/pixels.h"

#include <cmath>
#include <cstddef>
#include <utility>

namespace {

// Squared length below which a line is one pixel (pixels squared).
constexpr float singlepixel = 0.1f;

// Coordinates beyond this (pixels) make the unclipped front line walk millions of empty steps,
// and beyond 2^24 a float step of 1 no longer advances; such lines are clipped first.
constexpr float frontwalklimit = 4194304.0f;

inline int clampint(int v, int lo, int hi) { return v < lo ? lo : (v > hi ? hi : v); }

inline bool finite4(float a, float b, float c, float d) {
    return std::isfinite(a) && std::isfinite(b) && std::isfinite(c) && std::isfinite(d);
}

// The DDA over an already clipped segment, writing straight into shad. The minor coordinate is
// clamped to the window, since its float accumulation can step a hair past a clip edge.
template <int B>
void drawclipped(float x1, float y1, float x2, float y2, int c, int xl, int xr, int yt, int yb) {
    unsigned char* const pixels = screen.shadpixels;
    const std::ptrdiff_t pitch = screen.shadpitch;
    auto put = [&](int x, int y) {
        storepixel<B>(pixels + y * pitch + static_cast<std::ptrdiff_t>(x) * B, c);
    };

    float dx = x2 - x1, dy = y2 - y1;
    if (dx * dx + dy * dy < singlepixel) {
        put(clampint(static_cast<int>(x1), xl, xr), clampint(static_cast<int>(y1), yt, yb));
        return;
    }
    if (dx + dy < 0.0f) {
        std::swap(x1, x2);
        std::swap(y1, y2);
        dx = -dx;
        dy = -dy;
    }
    if (dy < dx) {
        const float slope = dy / dx;
        if constexpr (B == 1) {
            while (x1 <= x2) {
                put(static_cast<int>(x1), clampint(static_cast<int>(y1), yt, yb));
                y1 += slope;
                x1 += 1.0f;
            }
        } else {
            // The column is snapped to its pixel and carried as a byte offset.
            float xb = std::floor(x1) * B;
            const float xe = x2 * B;
            while (xb <= xe) {
                storepixel<B>(pixels + clampint(static_cast<int>(y1), yt, yb) * pitch + static_cast<int>(xb),
                              c);
                y1 += slope;
                xb += B;
            }
        }
    } else {
        const float slope = dx / dy;
        while (y1 <= y2) {
            put(clampint(static_cast<int>(x1), xl, xr), static_cast<int>(y1));
            x1 += slope;
            y1 += 1.0f;
        }
    }
}

}  // namespace

// Clips the ends (a, b) of a segment against the edge a = e: Low keeps a >= e, else a <= e.
// The other coordinate moves along the unclipped slope db / da; false when both ends lie beyond.
template <bool Low>
static bool clipedge(float& a1, float& b1, float& a2, float& b2, float e, float da, float db) {
    auto beyond = [e](float a) { return Low ? e > a : a > e; };
    if (beyond(a1)) {
        if (beyond(a2)) return false;
        b1 = b1 - (a1 - e) * db / da;
        a1 = e;
    } else if (beyond(a2)) {
        b2 = b2 - (a2 - e) * db / da;
        a2 = e;
    }
    return true;
}

// Clip against each edge in turn, with the slope of the unclipped segment. A division by dx
// happens only when exactly one end lies beyond a vertical edge, so dx is not 0 there.
bool cliplinesegment(float& x1, float& y1, float& x2, float& y2, float xl, float xr, float yt, float yb) {
    const float dx = x2 - x1, dy = y2 - y1;
    return clipedge<true>(x1, y1, x2, y2, xl, dx, dy) && clipedge<false>(x1, y1, x2, y2, xr, dx, dy) &&
           clipedge<true>(y1, x1, y2, x2, yt, dy, dx) && clipedge<false>(y1, x1, y2, x2, yb, dy, dx) &&
           finite4(x1, y1, x2, y2);
}

// Clip the segment to the window, then step it pixel by pixel into shad.
void drawline(float x1, float y1, float x2, float y2, int c) {
    if (!finite4(x1, y1, x2, y2)) return;
    const int xl = screen.clipleft, xr = screen.width - 1, yt = screen.cliptop, yb = screen.height - 1;
    if (xl > xr || yt > yb) return;  // empty window
    const float fxl = static_cast<float>(xl), fxr = static_cast<float>(xr);
    const float fyt = static_cast<float>(yt), fyb = static_cast<float>(yb);
    if (!cliplinesegment(x1, y1, x2, y2, fxl, fxr, fyt, fyb)) return;
    // Rounding in the clip can leave an end a hair outside; pull it back onto the edge.
    x1 = std::fmin(std::fmax(x1, fxl), fxr);
    x2 = std::fmin(std::fmax(x2, fxl), fxr);
    y1 = std::fmin(std::fmax(y1, fyt), fyb);
    y2 = std::fmin(std::fmax(y2, fyt), fyb);
    switch (screen.bytesperpixel) {
        case 1: drawclipped<1>(x1, y1, x2, y2, c, xl, xr, yt, yb); break;
        case 3: drawclipped<3>(x1, y1, x2, y2, c, xl, xr, yt, yb); break;
        case 4: drawclipped<4>(x1, y1, x2, y2, c, xl, xr, yt, yb); break;
        default: break;
    }
}

// The same DDA without segment clipping; every pixel goes through putpixelfront, which clips it.
void drawlinefront(float x1, float y1, float x2, float y2, unsigned char c) {
    if (!finite4(x1, y1, x2, y2)) return;
    if (std::fabs(x1) > frontwalklimit || std::fabs(y1) > frontwalklimit || std::fabs(x2) > frontwalklimit ||
        std::fabs(y2) > frontwalklimit) {
        // Only the part inside the window can show; cut the walk down to it.
        if (!cliplinesegment(x1, y1, x2, y2, static_cast<float>(screen.clipleft),
                             static_cast<float>(screen.width - 1), static_cast<float>(screen.cliptop),
                             static_cast<float>(screen.height - 1)))
            return;
    }
    const putpixelroutine put = pixelroutines.putpixelfront;
    float dx = x2 - x1, dy = y2 - y1;
    if (static_cast<double>(dx) * dx + static_cast<double>(dy) * dy < 0.1) {
        put(static_cast<int>(x1), static_cast<int>(y1), c);
        return;
    }
    if (dx + dy < 0.0f) {
        std::swap(x1, x2);
        std::swap(y1, y2);
        dx = -dx;
        dy = -dy;
    }
    if (dy < dx) {
        const float slope = dy / dx;
        while (x1 <= x2) {
            put(static_cast<int>(x1), static_cast<int>(y1), c);
            y1 += slope;
            x1 += 1.0f;
        }
    } else {
        const float slope = dx / dy;
        while (y1 <= y2) {
            put(static_cast<int>(x1), static_cast<int>(y1), c);
            x1 += slope;
            y1 += 1.0f;
        }
    }
}
