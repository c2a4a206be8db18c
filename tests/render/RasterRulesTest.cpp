// The rasterizer's fill, depth, blending and clipping rules, checked pixel by pixel against
// what the rules say, on corners that sit exactly on pixel centres as well as between them.
#include "host/render/soft/IVDisplaySurfaceSoft.h"
#include "host/render/soft/IVSoftRasterizer.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <random>
#include <string>

namespace {

constexpr uint32_t BLACK = 0xFF000000u;
constexpr float FACING[3] = {0, 0, 1};

// Red at alpha 128 blended over black: 128 once, 191 twice, 0 never.
constexpr uint32_t ONCE = 128u;
constexpr uint32_t TWICE = 191u;

struct Point {
    float x, y;
};

// Where the pixel centre (x, y) lies against the convex polygon's boundary: 1 strictly inside,
// 0 on it, -1 outside. Corners run either way round.
int Inside(const Point* polygon, int count, double x, double y) {
    int sign = 0;
    bool on_edge = false;
    for (int i = 0; i < count; ++i) {
        const Point& p = polygon[i];
        const Point& q = polygon[(i + 1) % count];
        const double cross = (double(q.x) - p.x) * (y - p.y) - (double(q.y) - p.y) * (x - p.x);
        if (cross == 0.0) {
            on_edge = true;
            continue;
        }
        const int side = cross > 0.0 ? 1 : -1;
        if (sign != 0 && side != sign)
            return -1;
        sign = side;
    }
    return on_edge ? 0 : 1;
}

class RasterRules : public ::testing::Test {
protected:
    RasterRules() : surface(48, 40) {
        rasterizer.SetSurface(&surface);
        rasterizer.SetThreadCount(2);
    }

    void Triangle(Point a, Point b, Point c, float depth = 0.0f) {
        const float ra[3] = {a.x, a.y, depth}, rb[3] = {b.x, b.y, depth}, rc[3] = {c.x, c.y, depth};
        rasterizer.RasterTriangle(ra, rb, rc, FACING);
    }

    // Draws the convex quad as two half-transparent triangles split along the diagonal
    // corner[0]-corner[2] and checks every pixel: once inside, never outside, at most once on the
    // outer boundary.
    void ExpectQuadCoveredOnce(const Point (&quad)[4], const std::string& what) {
        surface.Clear(BLACK);
        rasterizer.SetBlend(true);
        rasterizer.SetDepthTest(false, false);
        rasterizer.SetColourWord(0x800000FFu);
        Triangle(quad[0], quad[1], quad[2]);
        Triangle(quad[0], quad[2], quad[3]);
        for (int y = 0; y < surface.GetHeight(); ++y)
            for (int x = 0; x < surface.GetWidth(); ++x) {
                const uint32_t red = surface.GetPixel(x, y) & 0xFFu;
                const int inside = Inside(quad, 4, x + 0.5, y + 0.5);
                if (inside > 0)
                    ASSERT_EQ(red, ONCE) << what << ": pixel " << x << "," << y << " inside";
                else if (inside < 0)
                    ASSERT_EQ(red, 0u) << what << ": pixel " << x << "," << y << " outside";
                else
                    ASSERT_NE(red, TWICE) << what << ": pixel " << x << "," << y << " on the boundary";
            }
    }

    IVDisplaySurfaceSoft surface;
    IVSoftRasterizer rasterizer;
};

TEST_F(RasterRules, RandomQuadsSplitInTwoCoverEveryPixelExactlyOnce) {
    std::mt19937 random(12);
    // Corners on a quarter-pixel lattice, so a good share fall exactly on pixel centres (x.5).
    auto coordinate = [&](int low, int high) {
        return float(std::uniform_int_distribution<int>(low * 4, high * 4)(random)) / 4.0f;
    };
    for (int round = 0; round < 60; ++round) {
        // Up to 26 pixels wide: wide rows find their span in one go, narrow ones pixel by pixel.
        const float left = coordinate(1, 20), right = left + coordinate(2, 26);
        const float top = coordinate(1, 16), bottom = top + coordinate(2, 16);
        const float middle_x = (left + right) / 2.0f, middle_y = (top + bottom) / 2.0f;
        const std::string at = " at round " + std::to_string(round);
        // Shared edge along a row: a diamond split between its left and right corners.
        const Point row[4] = {{left, middle_y}, {middle_x, top}, {right, middle_y}, {middle_x, bottom}};
        ExpectQuadCoveredOnce(row, "row edge" + at);
        // Along a column: split between its top and bottom corners.
        const Point column[4] = {{middle_x, top}, {right, middle_y}, {middle_x, bottom}, {left, middle_y}};
        ExpectQuadCoveredOnce(column, "column edge" + at);
        // A diagonal: a rectangle split corner to corner, and a skewed quad.
        const Point diagonal[4] = {{left, top}, {right, top}, {right, bottom}, {left, bottom}};
        ExpectQuadCoveredOnce(diagonal, "diagonal edge" + at);
        const Point skewed[4] = {
            {left, top}, {right, top + 1.25f}, {right - 0.5f, bottom}, {left + 0.75f, bottom}};
        ExpectQuadCoveredOnce(skewed, "skewed quad" + at);
    }
}

TEST_F(RasterRules, CentresOnTopAndLeftEdgesAreDrawnAndCornersSnapToTheNearestStep) {
    // Which of two triangles sharing an edge draws it is fixed by the top-left rule: a pixel whose
    // centre lies on a top or left edge is drawn, on a bottom or right edge not. Corners snap to
    // the nearest 1/256 pixel: a right edge at 10.502 snaps to 10.50390625 and covers the centre
    // 10.5, where truncation would put it on that centre and leave the pixel out.
    const struct {
        Point from, to;
        int left, top, right, bottom; // pixels expected drawn, inclusive
    } rectangles[] = {{{2.5f, 2.5f}, {6.5f, 5.5f}, 2, 2, 5, 4}, {{2.0f, 1.0f}, {10.502f, 3.0f}, 2, 1, 10, 2}};
    for (const auto& [from, to, left, top, right, bottom] : rectangles) {
        for (bool clockwise : {false, true}) {
            surface.Clear(BLACK);
            rasterizer.SetBlend(false);
            rasterizer.SetDepthTest(false, false);
            rasterizer.SetColourWord(0xFF0000FFu);
            const Point corners[4] = {from, {to.x, from.y}, to, {from.x, to.y}};
            const int order[4] = {0, clockwise ? 3 : 1, 2, clockwise ? 1 : 3};
            Triangle(corners[order[0]], corners[order[1]], corners[order[2]]);
            Triangle(corners[order[0]], corners[order[2]], corners[order[3]]);
            for (int y = 0; y < 12; ++y)
                for (int x = 0; x < 14; ++x) {
                    const bool expected = x >= left && x <= right && y >= top && y <= bottom;
                    ASSERT_EQ((surface.GetPixel(x, y) & 0xFFu) != 0, expected)
                        << "pixel " << x << "," << y << " of the rectangle to " << to.x << "," << to.y
                        << (clockwise ? " (clockwise)" : "");
                }
        }
    }
}

TEST_F(RasterRules, DepthTiesKeepTheStoredPixel) {
    // Larger depth is nearer; an equal depth does not pass, a nearer one does, a farther does not.
    surface.Clear(BLACK);
    const Point a{0, 0}, b{48, 0}, c{0, 40};
    rasterizer.SetColourWord(0xFF0000FFu);
    Triangle(a, b, c, 0.25f);
    const struct {
        float depth;
        uint32_t expected;
    } cases[] = {{0.25f, 0xFF0000FFu}, {0.2499999f, 0xFF0000FFu}, {0.2500001f, 0xFF00FF00u}};
    for (const auto& [depth, expected] : cases) {
        rasterizer.SetColourWord(0xFF00FF00u);
        Triangle(a, b, c, depth);
        EXPECT_EQ(surface.GetPixel(3, 3), expected) << "depth " << depth;
        EXPECT_EQ(surface.GetDepthAt(3, 3), expected == 0xFF0000FFu ? 0.25f : depth) << "depth " << depth;
    }
    // With the test off the tie is drawn, and without writing the depth stays.
    rasterizer.SetColourWord(0xFFFF0000u);
    rasterizer.SetDepthTest(false, false);
    Triangle(a, b, c, -5.0f);
    EXPECT_EQ(surface.GetPixel(3, 3), 0xFFFF0000u);
    EXPECT_EQ(surface.GetDepthAt(3, 3), 0.2500001f);
}

TEST_F(RasterRules, BlendingRoundsToNearestOverEveryAlpha) {
    rasterizer.SetBlend(true);
    rasterizer.SetDepthTest(false, false);
    const Point a{0, 0}, b{2, 0}, c{0, 2};
    for (uint32_t alpha = 0; alpha < 256; alpha += 8) // the colour state keeps alpha's top five bits
        for (uint32_t source = 0; source < 256; source += 15)
            for (uint32_t target : {0u, 1u, 64u, 127u, 128u, 200u, 254u, 255u}) {
                surface.Clear(target | target << 8 | 0x80u << 16 | 0xFF000000u);
                rasterizer.SetColourWord(source | (255u - source) << 8 | 0x80u << 16 | alpha << 24);
                Triangle(a, b, c);
                const uint32_t pixel = surface.GetPixel(0, 0);
                const auto exact = [&](uint32_t s, uint32_t t) {
                    return uint32_t(std::lround(double(s * alpha + t * (255u - alpha)) / 255.0));
                };
                ASSERT_EQ(pixel & 0xFFu, exact(source, target))
                    << "alpha " << alpha << " source " << source << " over " << target;
                ASSERT_EQ((pixel >> 8) & 0xFFu, exact(255u - source, target)) << "alpha " << alpha;
                ASSERT_EQ((pixel >> 16) & 0xFFu, 0x80u) << "alpha " << alpha;
            }
}

TEST_F(RasterRules, ClippingPlanesThroughPixelCentresKeepThePixelsOnThem) {
    // Depth 0 everywhere; each plane's zero crossing runs through pixel centres, and a pixel
    // exactly on a plane is kept whichever side the plane keeps.
    const struct {
        float a, b, c, d;
        const char* what;
        bool (*kept)(int x, int y);
    } planes[] = {
        {-1, 0, 1, 4.5f, "x <= 4.5", [](int x, int) { return x <= 4; }},
        {1, 0, -1, -4.5f, "x >= 4.5 (depth coefficient negative)", [](int x, int) { return x >= 4; }},
        {0, 1, 1, -10.5f, "y >= 10.5", [](int, int y) { return y >= 10; }},
        {1, -1, 1, 0, "x >= y", [](int x, int y) { return x >= y; }},
    };
    rasterizer.SetColourWord(0xFF0000FFu);
    for (const auto& plane : planes) {
        surface.Clear(BLACK);
        rasterizer.ClearClippingPlanes();
        rasterizer.AddClippingPlane(plane.a, plane.b, plane.c, plane.d);
        Triangle({-1, -1}, {100, -1}, {-1, 100});
        for (int y = 0; y < 40; ++y)
            for (int x = 0; x < 48; ++x)
                ASSERT_EQ(surface.GetPixel(x, y) != BLACK, plane.kept(x, y))
                    << plane.what << " at " << x << "," << y;
    }
}

TEST(RasterShading, ThreeFacesOfABoxSeenFromAboveAndASideGetThreeTonesFromEitherSide) {
    // Raster normals (x right, y down, depth towards the viewer) of a box's top and two side
    // faces seen from above, once from the front right and once from the front left.
    const float views[2][3][3] = {{{0.0f, -0.906f, 0.423f}, {-0.5f, 0.35f, 0.79f}, {0.8f, 0.25f, 0.55f}},
                                  {{0.0f, -0.906f, 0.423f}, {0.5f, 0.35f, 0.79f}, {-0.8f, 0.25f, 0.55f}}};
    IVDisplaySurfaceSoft surface(4, 4);
    IVSoftRasterizer rasterizer;
    rasterizer.SetSurface(&surface);
    rasterizer.SetShading(true);
    rasterizer.SetColourWord(0xFFC8C8C8u); // grey 200: ambient floor 50
    const float a[3] = {0, 0, 0}, b[3] = {4, 0, 0}, c[3] = {0, 4, 0};
    for (const auto& view : views) {
        uint32_t tone[3];
        for (int face = 0; face < 3; ++face) {
            const float* n = view[face];
            const float back[3] = {-n[0], -n[1], -n[2]};
            EXPECT_EQ(IVSoftRasterizer::Light(n), IVSoftRasterizer::Light(back))
                << "two-sided, face " << face;
            rasterizer.RasterTriangle(a, b, c, back);
            tone[face] = surface.GetPixel(0, 0) & 0xFFu;
            EXPECT_EQ(surface.GetPixel(0, 0), tone[face] * 0x010101u | 0xFF000000u) << "grey stays grey";
            EXPECT_GE(tone[face], 50u) << "face " << face;
            surface.Clear(0);
        }
        for (int i = 0; i < 3; ++i)
            EXPECT_GE(std::abs(int(tone[i]) - int(tone[(i + 1) % 3])), 25)
                << "faces " << i << " and " << (i + 1) % 3 << ": " << tone[i] << " against "
                << tone[(i + 1) % 3];
    }
    const float nan = std::nanf("");
    const float broken[3] = {nan, 0, 1}, edge_on[3] = {1, 0, 0}, facing[3] = {0, 0, 1};
    EXPECT_EQ(IVSoftRasterizer::Light(broken), 0.0f);
    EXPECT_EQ(IVSoftRasterizer::Light(facing), 1.0f) << "a face turned to the viewer keeps its colour";
    EXPECT_LT(IVSoftRasterizer::Light(edge_on), 0.5f);
}

} // namespace
