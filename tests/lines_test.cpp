// Tests of the clipped DDA line and the per-pixel-clipped front line.
#include "raster/lines.h"

#include "display/screen.h"
#include "raster/pixels.h"
#include "tests/rastertestsurface.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <set>
#include <utility>
#include <vector>

namespace {

using pixelset = std::set<std::pair<int, int>>;

// Pixels of the surface that differ from the background 0, as (x, y).
pixelset litpixels(const rastertestsurface& s, const std::vector<unsigned char>& buf) {
    pixelset lit;
    for (int y = 0; y < s.h; ++y)
        for (int x = 0; x < s.w; ++x)
            if (s.at(buf, x, y) != 0) lit.insert({x, y});
    return lit;
}

pixelset row(int y, int x0, int x1) {
    pixelset p;
    for (int x = x0; x <= x1; ++x) p.insert({x, y});
    return p;
}

pixelset column(int x, int y0, int y1) {
    pixelset p;
    for (int y = y0; y <= y1; ++y) p.insert({x, y});
    return p;
}

pixelset diagonal(int n) {
    pixelset p;
    for (int i = 0; i <= n; ++i) p.insert({i, i});
    return p;
}

struct LineCase {
    const char* what;
    float x1, y1, x2, y2;
    pixelset eightbit, truecolour;  // expected pixels on a 20 x 12 surface
};

TEST(LinesDrawline, EdgeCasesInEveryDepth) {
    const LineCase cases[] = {
        {"zero length", 4.5f, 6.2f, 4.5f, 6.2f, {{4, 6}}, {{4, 6}}},
        {"shorter than the threshold", 4.1f, 6.1f, 4.3f, 6.3f, {{4, 6}}, {{4, 6}}},
        {"diagonal forward", 0, 0, 10, 10, diagonal(10), diagonal(10)},
        {"diagonal backward", 10, 10, 0, 0, diagonal(10), diagonal(10)},
        {"short x-major", 0.5f, 3, 2.2f, 3, row(3, 0, 1), row(3, 0, 2)},
        {"x-major reversed", 2.2f, 3, 0.5f, 3, row(3, 0, 1), row(3, 0, 2)},
        {"from left of the window", -10, 5, 10, 5, row(5, 0, 10), row(5, 0, 10)},
        {"past the right edge", 0, 5, 120, 5, row(5, 0, 19), row(5, 0, 19)},
        {"vertical at 3.7", 3.7f, 0, 3.7f, 4, column(3, 0, 4), column(3, 0, 4)},
        {"vertical through both edges", 7, -30, 7, 40, column(7, 0, 11), column(7, 0, 11)},
        {"both ends left", -5, 1, -1, 9, {}, {}},
        {"both ends below", 2, 12, 15, 30, {}, {}},
        {"both ends above", 2, -0.5f, 15, -3, {}, {}},
        {"not finite", 1, 1, NAN, 5, {}, {}},
        {"infinite end", -INFINITY, 2, 5, 2, {}, {}},
    };
    for (int bpp : {1, 3, 4}) {
        for (const LineCase& k : cases) {
            rastertestsurface s(20, 12, bpp);
            drawline(k.x1, k.y1, k.x2, k.y2, 0x5A3C1E);
            EXPECT_EQ(litpixels(s, s.shad), bpp == 1 ? k.eightbit : k.truecolour)
                << k.what << " depth " << bpp;
            EXPECT_TRUE(s.padintact(s.shad)) << k.what;
            for (auto [x, y] : litpixels(s, s.shad)) EXPECT_EQ(s.shadat(x, y), bpp == 1 ? 0x1E : 0x5A3C1E);
        }
    }
}

// The x-major pixel counts of the two rules: floor(x2 - x1) + 1 in 8-bit,
// floor(x2) - floor(x1) + 1 in true colour; the y-major branch has floor(y2 - y1) + 1 rows.
TEST(LinesDrawline, PixelCountsFollowTheTwoRules) {
    const float ends[][4] = {{0.5f, 2, 9.4f, 3},   {1.9f, 8, 12.1f, 4},       {3.25f, 1.5f, 17.75f, 9.0f},
                             {0.0f, 0, 19.0f, 11}, {2.6f, 6.6f, 2.9f, 10.5f}, {12.3f, 0.2f, 13.9f, 11.1f}};
    for (int bpp : {1, 3, 4}) {
        for (const auto& e : ends) {
            rastertestsurface s(20, 12, bpp);
            drawline(e[0], e[1], e[2], e[3], 0xFFFFFF);
            const double dx = std::fabs(e[2] - e[0]), dy = std::fabs(e[3] - e[1]);
            const double lo = std::fmin(e[0], e[2]), hi = std::fmax(e[0], e[2]);
            std::size_t expect;
            if (dy >= dx)
                expect = static_cast<std::size_t>(std::floor(dy)) + 1;
            else if (bpp == 1)
                expect = static_cast<std::size_t>(std::floor(dx)) + 1;
            else
                expect = static_cast<std::size_t>(std::floor(hi) - std::floor(lo)) + 1;
            const pixelset lit = litpixels(s, s.shad);
            EXPECT_EQ(lit.size(), expect)
                << e[0] << "," << e[1] << " " << e[2] << "," << e[3] << " depth " << bpp;
            // Every pixel lies within one pixel of the ideal line.
            for (auto [x, y] : lit) {
                const double nx = e[3] - e[1], ny = -(e[2] - e[0]);
                const double dist =
                    std::fabs((x + 0.5 - e[0]) * nx + (y + 0.5 - e[1]) * ny) / std::hypot(nx, ny);
                EXPECT_LT(dist, 1.5) << x << "," << y;
            }
        }
    }
}

// Lines of every direction through a viewport never touch a pixel outside it: the rounding of
// the clip and of the accumulated minor coordinate stays inside the window.
TEST(LinesDrawline, StaysInsideAViewport) {
    for (int bpp : {1, 3, 4}) {
        rastertestsurface s(64, 48, bpp);
        pushviewport(7, 5, 51, 37);
        pushviewport(-20, -13, 30, 25);  // origin above and left: the window starts at (20, 13)
        std::uint32_t seed = 12345;
        auto next = [&] {
            seed = seed * 1103515245u + 12345u;
            return static_cast<float>((seed >> 8) % 20000) / 100.0f - 60.0f;  // -60 .. 140
        };
        for (int i = 0; i < 3000; ++i) drawline(next(), next(), next(), next(), 0x808080);
        // Lines ending exactly on the top and left edges, where accumulated steps land a hair short.
        for (int i = 0; i < 400; ++i) {
            const float a = 20.0f + static_cast<float>(i % 37) * 0.731f,
                        b = 13.0f + static_cast<float>(i % 23) * 0.519f;
            drawline(a + 9.3f, b + 3.1f * static_cast<float>(i % 5), a - 7.7f, 13.0f, 0x808080);
            drawline(a + 2.9f * static_cast<float>(i % 7), b + 11.3f, 20.0f, b - 5.9f, 0x808080);
        }
        popviewport();
        popviewport();
        for (auto [x, y] : litpixels(s, s.shad)) {
            EXPECT_TRUE(x >= 7 && x < 37 && y >= 5 && y < 30) << x << "," << y << " depth " << bpp;
        }
        EXPECT_FALSE(litpixels(s, s.shad).empty());
        EXPECT_TRUE(s.padintact(s.shad));
    }
}

TEST(LinesDrawlinefront, ClipsPerPixelAndTakesAByte) {
    for (int bpp : {1, 3, 4}) {
        rastertestsurface s(20, 12, bpp);
        drawlinefront(-5.0f, 2.0f, 30.0f, 2.0f, static_cast<unsigned char>(300));
        EXPECT_EQ(litpixels(s, s.front), row(2, 0, 19)) << bpp;
        EXPECT_EQ(s.at(s.front, 3, 2), 44);
        EXPECT_TRUE(litpixels(s, s.shad).empty());
        drawlinefront(10.0f, 10.0f, 0.0f, 0.0f, 1);
        for (int i = 0; i <= 10; ++i) EXPECT_NE(s.at(s.front, i, i), 0);
        // A line of astronomical length finishes and draws what lies in the window.
        drawlinefront(-1e30f, 7.0f, 1e30f, 7.0f, 9);
        EXPECT_EQ(s.at(s.front, 0, 7), 9);
        EXPECT_EQ(s.at(s.front, 19, 7), 9);
        EXPECT_TRUE(s.padintact(s.front));
    }
}

}  // namespace
