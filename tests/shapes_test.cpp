// Tests of the shape routines: rectangles, spans, triangles, circles, discs, the blended outline.
#include "raster/shapes.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <set>
#include <utility>

#include "raster/blendtables.h"
#include "raster/pixels.h"
#include "rastersurface.h"

namespace {

using pixelset = std::set<std::pair<int, int>>;

pixelset changedset(rastersurface& s, int background) {
    auto v = s.changed(background);
    return pixelset(v.begin(), v.end());
}

pixelset rectangle(int x0, int y0, int x1, int y1) {  // inclusive corners
    pixelset out;
    for (int y = y0; y <= y1; y++)
        for (int x = x0; x <= x1; x++) out.insert({x, y});
    return out;
}

const int depths[] = {1, 3, 4};

}  // namespace

TEST(ShapesRect, FillrectClipsOnceInEveryDepth) {
    struct {
        int x, y, w, h;
        pixelset expected;
    } cases[] = {
        {-5, -5, 10, 10, rectangle(0, 0, 4, 4)},
        {2, 1, 3, 2, rectangle(2, 1, 4, 2)},
        {10, 8, 100, 100, rectangle(10, 8, 11, 9)},  // clipped at the right and bottom
        {3, 3, 0, 4, {}},
        {3, 3, 4, 0, {}},
        {3, 3, -2, 4, {}},
        {-20, 0, 5, 5, {}},
        {0, 10, 5, 5, {}},
    };
    for (int bpp : depths)
        for (auto& c : cases) {
            rastersurface s(12, 10, bpp);
            const int colour = testcolour(bpp, 0x1F3, 0x123457);
            fillrect(c.x, c.y, c.w, c.h, colour);
            EXPECT_EQ(changedset(s, 0), c.expected) << "bpp " << bpp << " at " << c.x << "," << c.y;
            EXPECT_EQ(s.count(bpp == 1 ? 0xF3 : 0x123457), static_cast<int>(c.expected.size()));
            EXPECT_TRUE(s.intact());
        }
}

TEST(ShapesRect, DrawrectOutlines) {
    auto outline = [](int x0, int y0, int x1, int y1) {
        pixelset all = rectangle(x0, y0, x1, y1), inner = rectangle(x0 + 1, y0 + 1, x1 - 1, y1 - 1), out;
        for (auto p : all)
            if (!inner.count(p)) out.insert(p);
        return out;
    };
    struct {
        int x, y, w, h;
        pixelset expected;
    } cases[] = {
        {0, 0, 9, 9, outline(0, 0, 9, 9)},
        {4, 3, 0, 0, {{4, 3}}},
        {-1, -1, 13, 11, {}},  // every edge just outside a 12 x 10 window
        {-3, 2, 5, 3, {{2, 2}, {2, 3}, {2, 4}, {2, 5}, {0, 2}, {1, 2}, {0, 5}, {1, 5}}},
        {1, 1, -1, 3, {}},
    };
    for (int bpp : depths)
        for (auto& c : cases) {
            rastersurface s(12, 10, bpp);
            drawrect(c.x, c.y, c.w, c.h, testcolour(bpp, 9, 0xA0B0C0));
            EXPECT_EQ(changedset(s, 0), c.expected) << "bpp " << bpp << " at " << c.x << "," << c.y;
            EXPECT_TRUE(s.intact());
        }
    rastersurface s(12, 10, 1);
    drawbox(7, 6, 2, 1, 5);  // corners in either order
    EXPECT_EQ(changedset(s, 0), outline(2, 1, 7, 6));
}

TEST(ShapesRect, FrontAndBoxFillsNeverLeaveTheSurface) {
    const int args[][4] = {{-5, -5, 4, 4}, {10, 8, 50, 50}, {-100, 3, 1000, 2},       {3, 3, -7, -7},
                           {11, 9, 1, 1},  {12, 0, 5, 5},   {0, -1000000, 4, 2000000}};
    for (int bpp : depths) {
        rastersurface s(12, 10, bpp);
        for (auto& a : args) {
            fillbox(a[0], a[1], a[0] + a[2], a[1] + a[3], 7);
            screen.frontpixels = s.pixels();
            screen.frontpitch = s.pitch;
            fillrectfront(a[0], a[1], a[2], a[3], 7);
            screen.frontpixels = nullptr;
        }
        EXPECT_TRUE(s.intact()) << bpp;
        EXPECT_EQ(s.get(11, 9), 7);
        EXPECT_EQ(s.get(0, 0), 7);
    }
    rastersurface s(12, 10, 1);
    fillbox(2, 3, 5, 4, 9);  // the second corner is exclusive
    EXPECT_EQ(changedset(s, 0), rectangle(2, 3, 4, 3));
}

TEST(ShapesSpan, HalfOpenAndInclusiveSpans) {
    struct {
        void (*span)(int, int, int, int);
        int x1, x2, y;
        pixelset expected;
    } cases[] = {
        {hspan, 5, 2, 0, {{2, 0}, {3, 0}, {4, 0}}},
        {hspan, 2, 5, 1, {{2, 1}, {3, 1}, {4, 1}}},
        {hspaninclusive, 2, 5, 0, {{2, 0}, {3, 0}, {4, 0}, {5, 0}}},
        {hspaninclusive, 5, 2, 0, {{3, 0}, {4, 0}}},
        {hspan, -4, 3, 2, {{0, 2}, {1, 2}, {2, 2}}},
        {hspan, 9, 40, 2, {{9, 2}, {10, 2}, {11, 2}}},
        {hspan, 0, 12, -1, {}},
        {hspan, 0, 12, 10, {}},
        {hspan, -9, -1, 3, {}},
    };
    for (int bpp : depths)
        for (auto& c : cases) {
            rastersurface s(12, 10, bpp);
            c.span(c.x1, c.x2, c.y, testcolour(bpp, 3, 0x010203));
            EXPECT_EQ(changedset(s, 0), c.expected) << "bpp " << bpp << " " << c.x1 << ".." << c.x2;
            EXPECT_TRUE(s.intact());
        }
}

TEST(ShapesTriangle, RowsAndFlatTriangles) {
    for (int bpp : depths) {
        rastersurface s(16, 12, bpp);
        const int c = testcolour(bpp, 4, 0x0F0E0D);
        filltriangle(0, 0, 10, 10, 0, 10, c);
        pixelset expected;
        for (int y = 0; y < 10; y++)
            for (int x = 0; x < y; x++) expected.insert({x, y});
        EXPECT_EQ(changedset(s, 0), expected) << bpp;
        EXPECT_TRUE(s.intact());
    }
    rastersurface s(16, 12, 1);
    filltriangle(1, 4, 9, 4, 5, 4, 2);
    EXPECT_TRUE(s.changed(0).empty());
    // The same triangle in any vertex order.
    filltriangle(0, 10, 10, 10, 0, 0, 2);
    int n = s.count(2);
    EXPECT_EQ(n, 45);
    rastersurface t(16, 12, 1);
    filltriangle(10, 10, 0, 0, 0, 10, 2);
    EXPECT_EQ(changedset(t, 0), changedset(s, 0));
    // Far-off vertices cost no rows outside the surface and write nothing outside it.
    filltriangle(-2000000000, -2000000000, 2000000000, 5, 3, 2000000000, 6);
    EXPECT_TRUE(t.intact());
}

TEST(ShapesRound, CircleEllipseAndDiscPoints) {
    for (int bpp : depths) {
        rastersurface s(120, 120, bpp);
        const int c = testcolour(bpp, 5, 0x808080);
        drawcircle(100.0f, 100.0f, 10.0f, c);
        for (auto p : {std::pair{100, 110}, {110, 100}, {100, 90}, {90, 100}})
            EXPECT_EQ(s.get(p.first, p.second), c);
        // Every point lies within half a pixel (plus rounding) of the circle.
        for (auto [x, y] : s.changed(0)) {
            double d = std::hypot(x - 100.0, y - 100.0);
            EXPECT_NEAR(d, 10.0, 0.75) << x << "," << y;
        }
        EXPECT_EQ(s.get(100, 100), 0);
        EXPECT_TRUE(s.intact());
    }
    {
        rastersurface s(40, 40, 1);
        drawellipse(20.0f, 20.0f, 12.0f, 5.0f, 9);
        for (auto p : {std::pair{32, 20}, {8, 20}, {20, 25}, {20, 15}})
            EXPECT_EQ(s.get(p.first, p.second), 9);
        for (auto [x, y] : s.changed(0)) {
            double e = std::pow((x - 20.0) / 12.0, 2) + std::pow((y - 20.0) / 5.0, 2);
            EXPECT_NEAR(e, 1.0, 0.25) << x << "," << y;
        }
        drawcircle(20.0f, 20.0f, 0.0f, 3);
        EXPECT_EQ(s.count(3), 0);
    }
    for (int bpp : depths) {
        rastersurface s(20, 20, bpp);
        const int c = testcolour(bpp, 6, 0x00FF00);
        filldisc(10.0f, 10.0f, 0.4f, c);
        EXPECT_TRUE(s.changed(0).empty());
        // Rows 3..7; row 3 and 7 are single points that round to nothing, rows 4 to 6 span 3..6.
        filldisc(5.0f, 5.0f, 2.0f, c);
        pixelset expected = rectangle(3, 4, 6, 6);
        EXPECT_EQ(changedset(s, 0), expected) << bpp;
        // A disc over the right edge never fills the last column.
        filldisc(19.0f, 15.0f, 3.0f, c);
        EXPECT_EQ(s.get(19, 15), 0);
        EXPECT_EQ(s.get(18, 15), c);
        EXPECT_TRUE(s.intact());
    }
    rastersurface s(20, 20, 3);
    drawcircle(10.0f, 10.0f, std::numeric_limits<float>::infinity(), 1);
    filldisc(10.0f, 10.0f, std::numeric_limits<float>::quiet_NaN(), 1);
    drawellipse(1e30f, 10.0f, 3.0f, 3.0f, 1);
    EXPECT_TRUE(s.changed(0).empty());
}

TEST(ShapesBlend, ScreenblendRectBlendsEveryOutlinePixelOnce) {
    struct {
        int x, y, w, h;
    } cases[] = {{2, 1, 6, 4}, {3, 3, 0, 0}, {1, 2, 5, 0}, {4, 1, 0, 3}, {-2, -1, 20, 20}, {6, 2, -3, 2}};
    for (int bpp : {3, 4})
        for (auto& c : cases) {
            rastersurface s(12, 10, bpp);
            screenblendrect(c.x, c.y, c.w, c.h, 0x404040);
            pixelset expected;
            for (int y = c.y; y <= c.y + c.h; y++)
                for (int x = c.x; x <= c.x + c.w; x++)
                    if ((y == c.y || y == c.y + c.h || x == c.x || x == c.x + c.w) && x >= 0 && x < 12 &&
                        y >= 0 && y < 10)
                        expected.insert({x, y});
            EXPECT_EQ(changedset(s, 0), expected) << c.x << "," << c.y << " " << c.w << "x" << c.h;
            EXPECT_EQ(s.count(0x414141), static_cast<int>(expected.size()));  // 0x727272 if blended twice
            EXPECT_TRUE(s.intact());
        }
}

TEST(ShapesViewport, ShapesFollowTheViewport) {
    rastersurface s(20, 16, 1);
    pushviewport(4, 3, 10, 9);
    fillrect(-2, -2, 100, 100, 7);
    hspan(-5, 50, 0, 8);
    filldisc(3.0f, 3.0f, 50.0f, 9);
    popviewport();
    pixelset window = rectangle(4, 3, 9, 8);
    EXPECT_EQ(changedset(s, 0), window);
    EXPECT_TRUE(s.intact());
}

TEST(ShapesMouse, PointerIsThreeWhiteLines) {
    rastersurface s(20, 16, 4);
    int savedx = mousex, savedy = mousey;
    mousex = 5, mousey = 6;
    drawmousepointer();
    mousex = savedx, mousey = savedy;
    pixelset expected = {{5, 6}, {6, 6}, {7, 6}, {5, 7}, {5, 8}, {6, 7}, {7, 8}, {8, 9}, {9, 10}};
    EXPECT_EQ(changedset(s, 0), expected);
    EXPECT_EQ(s.count(0xFFFFFF), 9);
}
