#include "host/render/soft/IVDisplaySurfaceSoft.h"
#include "host/render/soft/IVTextureSoft.h"
#include "tests/pano/PanoTestDevice.h"
#include "tests/support/PointTransforms.h"

#include <gtest/gtest.h>

#include <array>
#include <cmath>
#include <string>

namespace {

using Point = std::array<float, 3>;

class PanoDrawing : public ::testing::Test {
protected:
    PanoDrawing() : recorder(device.Record()) {}

    const RecordingRasterizer::Primitive& Only() {
        EXPECT_EQ(recorder.primitives.size(), 1u);
        return recorder.primitives.back();
    }

    PanoTestDevice device; // identity matrices: raster = object coordinates
    RecordingRasterizer& recorder;
};

constexpr float A[3] = {0, 0, 0};
constexpr float B[3] = {1, 0, 0};
constexpr float C[3] = {0, 1, 0};
constexpr float UP[3] = {0, 0, 1};
constexpr float DOWN[3] = {0, 0, -1};

// The raster normal is the winding normal, turned to the supplied normal's side of the winding. A
// mirror reverses the raster winding; a zero normal takes the negated winding normal; a sliver's
// tiny normal (below 2^-26) is left unnormalised.
TEST_F(PanoDrawing, RasterNormalFollowsTheSuppliedNormalsSideOfTheWinding) {
    constexpr float ZERO[3] = {0, 0, 0}, SLIVER_B[3] = {1e-5f, 0, 0}, SLIVER_C[3] = {0, 1e-5f, 0};
    const float raw = float(double(1e-5f) * double(1e-5f));
    const struct {
        bool mirrored;
        const float *b, *c, *normal;
        Point expected, second_corner;
    } cases[] = {
        {false, B, C, UP, {0, 0, 1}, {1, 0, 0}},
        {false, B, C, DOWN, {0, 0, -1}, {1, 0, 0}},
        {true, B, C, UP, {0, 0, -1}, {-1, 0, 0}},
        {true, B, C, DOWN, {0, 0, 1}, {-1, 0, 0}},
        {false, B, C, ZERO, {0, 0, -1}, {1, 0, 0}},
        {false, SLIVER_B, SLIVER_C, UP, {0, 0, raw}, {1e-5f, 0, 0}},
    };
    MirrorXPointTransform mirror;
    for (const auto& c : cases) {
        recorder.primitives.clear();
        device.SetTransform(c.mirrored ? &mirror : nullptr);
        device.DrawTriangle(A, c.b, c.c, c.normal);
        const std::string where = "case " + std::to_string(&c - cases);
        EXPECT_EQ(Only().normal, c.expected) << where;
        EXPECT_EQ(Only().points[1], c.second_corner) << where;
    }
}

// Float colours keep the low byte of each channel, without clamping; the device's colour goes
// through the colour-word triangle too, an alpha-only one writing alpha 248.
TEST_F(PanoDrawing, ColoursBecomeColourWordsAndColourStateKeepingTheLowByte) {
    const float colour[3] = {1.0f, 0.5f, 0.0f}, unclamped[3] = {-0.5f, 2.0f, 1e30f}; // -127, 510, huge
    device.DrawTriangle(A, B, C, UP, colour);
    device.DrawTriangle(A, B, C, UP, unclamped);
    device.SetCurrentColour(0xFF000000u);
    device.DrawTriangle(A, B, C, UP);
    EXPECT_EQ(device.words, (std::vector<unsigned long>{0x00007FFFul, 0x0000FE81ul, 0xFF000000ul}));
    ASSERT_EQ(recorder.primitives.size(), 3u);
    // Red, its quarter, green, its quarter, blue, its quarter, alpha.
    EXPECT_EQ(recorder.primitives[0].colour.Values(), (std::array<uint32_t, 7>{255, 63, 127, 31, 0, 0, 0}));
    EXPECT_EQ(recorder.primitives[2].colour.Values(), (std::array<uint32_t, 7>{0, 0, 0, 0, 0, 0, 248}));
}

TEST_F(PanoDrawing, PointsGoThroughTheTransformWithTheirModesAndAnEmptyListDrawsNothing) {
    FisheyePointTransform fisheye(0, 0, 2);
    device.SetTransform(&fisheye);
    device.DrawPoint(1, 0, 0);
    const float list[6] = {0, 3, 1, 4, 0, 2};
    device.DrawPoints(list, 2);
    ASSERT_EQ(recorder.primitives.size(), 3u);
    const auto& drawn = recorder.primitives;
    EXPECT_EQ((std::array{drawn[0].mode, drawn[1].mode, drawn[2].mode}), (std::array{0, 3, 3}));
    EXPECT_EQ(recorder.primitives[0].points[0], (Point{float(2 * std::atan(0.5)), 0, 0}));
    EXPECT_EQ(recorder.primitives[2].points[0], (Point{float(2 * std::atan(2.0)), 0, 2}));
    device.DrawPoints(nullptr, 0);
    EXPECT_EQ(recorder.primitives.size(), 3u) << "an empty point list makes no rasterizer call";
}

class PanoTextureRect : public ::testing::Test {
protected:
    PanoTextureRect() : surface(8, 8) {
        const uint8_t red[4] = {255, 0, 0, 255};
        texture.SetImage(1, 1, red, sizeof red);
        surface.Clear(0u);
    }

    PanoTestDevice device;
    IVDisplaySurfaceSoft surface;
    IVTextureSoft texture;
};

constexpr float ORIGIN[3] = {2, 2, 0};
constexpr float TO_END[3] = {3, 3, 0};
constexpr float TO_START[3] = {0, 0, 0};

TEST_F(PanoTextureRect, CopiesTheTextureOrNothingOffTheSurfaceAndUnbinds) {
    device.StartFrame(&surface, nullptr);
    EXPECT_TRUE(device.DrawTextureRect(ORIGIN, TO_END, TO_START, &texture));
    EXPECT_EQ(device.GetTextureSoft(), nullptr);
    device.StopFrame();
    EXPECT_EQ(surface.GetPixel(2, 2), 0xFF0000FFu);
    EXPECT_EQ(surface.GetPixel(4, 4), 0xFF0000FFu);
    EXPECT_EQ(surface.GetPixel(5, 5), 0u);
    EXPECT_EQ(surface.GetPixel(1, 2), 0u);

    surface.Clear(0u);
    const float far_origin[3] = {20, 2, 0};
    device.StartFrame(&surface, nullptr);
    EXPECT_TRUE(device.DrawTextureRect(far_origin, TO_END, TO_START, &texture)) << "off the surface";
    EXPECT_EQ(device.GetTextureSoft(), nullptr);
    device.StopFrame();
    for (int y = 0; y < 8; ++y)
        for (int x = 0; x < 8; ++x)
            ASSERT_EQ(surface.GetPixel(x, y), 0u) << x << "," << y;
}

TEST_F(PanoTextureRect, UnbindableTextureKeepsTheBindingAndAForeignOrMissingSurfaceUnbindsIt) {
    IVTexture foreign;
    device.StartFrame(&surface, nullptr);
    ASSERT_TRUE(device.SetTexture(&texture));
    EXPECT_FALSE(device.DrawTextureRect(ORIGIN, TO_END, TO_START, &foreign));
    EXPECT_EQ(device.GetTextureSoft(), &texture);
    device.StopFrame();
    EXPECT_EQ(surface.GetPixel(3, 3), 0u);

    EXPECT_FALSE(device.DrawTextureRect(ORIGIN, TO_END, TO_START, &texture)) << "no frame";
    EXPECT_EQ(device.GetTextureSoft(), nullptr);
    IVDisplaySurface foreign_surface;
    device.StartFrame(&foreign_surface, nullptr);
    EXPECT_FALSE(device.DrawTextureRect(ORIGIN, TO_END, TO_START, &texture)) << "foreign surface";
    EXPECT_EQ(device.GetTextureSoft(), nullptr);
    device.StopFrame();
}

} // namespace
