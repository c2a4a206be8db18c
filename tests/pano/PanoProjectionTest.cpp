#include "tests/pano/PanoTestDevice.h"
#include "tests/support/PointTransforms.h"

#include <gtest/gtest.h>

#include <array>
#include <bit>
#include <cmath>
#include <cstdint>
#include <random>

namespace {

using Point = std::array<float, 3>;

// Small integer matrices keep every product exact, so routes with and without a transform can be
// compared bit for bit. The eye-to-window matrix is a perspective one: window w = -eye z.
constexpr float OBJECT_WORLD[16] = {2, 0, 0, 1, 0, 2, 0, 2, 0, 0, 2, 3, 0, 0, 0, 1};
constexpr float WORLD_EYE[16] = {0, 1, 0, 0, -1, 0, 0, 0, 0, 0, 1, -4, 0, 0, 0, 1};
constexpr float EYE_WINDOW[16] = {100, 0, 0, 50, 0, -100, 0, 40, 0, 0, 1, 0, 0, 0, -1, 0};

enum class Route { eObjectRaster, eWorldRaster, eObjectWindow };
constexpr Route ROUTES[] = {Route::eObjectRaster, Route::eWorldRaster, Route::eObjectWindow};

class PanoProjection : public ::testing::Test {
protected:
    PanoProjection() {
        device.SetTransformObjectWorld(OBJECT_WORLD);
        device.SetTransformWorldEye(WORLD_EYE);
        device.SetTransformEyeWindow(EYE_WINDOW);
    }

    Point Project(Route route, float x, float y, float z, float w) {
        Point out{};
        switch (route) {
        case Route::eObjectRaster:
            device._TransformObjectRaster(out.data(), x, y, z, w);
            break;
        case Route::eWorldRaster:
            device._TransformWorldRaster(out.data(), x, y, z, w);
            break;
        case Route::eObjectWindow:
            device._TransformObjectWindow(out.data(), x, y, z, w);
            break;
        }
        return out;
    }
    Point Combined(Route route, float x, float y, float z, float w) {
        const float* matrix = route == Route::eObjectRaster  ? device.ma_object_raster
                              : route == Route::eWorldRaster ? device.ma_world_raster
                                                             : device.ma_object_window;
        Point out{};
        PanoTestDevice::_Transform(out.data(), matrix, x, y, z, w, true);
        return out;
    }

    PanoTestDevice device;
};

TEST_F(PanoProjection, EachRouteIsItsCombinedMatrixAndATransformMovesPointsButNeverDirections) {
    // World (1, 2, 3), object (0, 0, 0): eye (2, -1, -1, 1), window (250, 140, -1); mirrored to
    // world (-1, 2, 3): eye (2, 1, -1, 1), window (250, -60, -1).
    MirrorXPointTransform mirror;
    for (MirrorXPointTransform* transform : {static_cast<MirrorXPointTransform*>(nullptr), &mirror}) {
        device.SetTransform(transform);
        const Point expected = transform ? Point{250, -60, -1} : Point{250, 140, -1};
        for (Route route : ROUTES) {
            const float x = route == Route::eWorldRaster ? 1.0f : 0.0f, y = 2.0f * x, z = 3.0f * x;
            EXPECT_EQ(Project(route, x, y, z, 1), expected)
                << "route " << int(route) << (transform ? " mirrored" : "");
            for (float w : {1.0f, 0.5f, 0.0f, -0.0f})
                if (!transform || w == 0.0f) {
                    EXPECT_EQ(Project(route, 0.25f, -3.0f, 7.0f, w), Combined(route, 0.25f, -3.0f, 7.0f, w))
                        << "route " << int(route) << " w " << w << (transform ? " mirrored" : "");
                }
        }
    }
    ASSERT_EQ(mirror.received.size(), 3u) << "the three points, none of the directions";
    for (size_t i = 0; i < 3; ++i) {
        EXPECT_EQ((std::array{mirror.received[i].x, mirror.received[i].y, mirror.received[i].z}),
                  (std::array{1.0, 2.0, 3.0}));
        EXPECT_FALSE(mirror.directions[i]);
    }
}

TEST_F(PanoProjection, ZeroFourthComponentBecomesUnitDirectionAndTheTexturePathFlagsATransformedDirection) {
    // World (1, 2, 4) lies in the eye plane z = 0, where the perspective fourth component is 0.
    IdentityPointTransform identity;
    device.SetTransform(&identity);
    const Point direction = Project(Route::eWorldRaster, 1, 2, 4, 1);
    const float length = std::sqrt(250.0f * 250.0f + 140.0f * 140.0f);
    EXPECT_EQ(direction, (Point{250.0f / length, 140.0f / length, 0.0f / length}));
    EXPECT_EQ(direction, Combined(Route::eWorldRaster, 1, 2, 4, 1)) << "agrees with the host's _Transform";

    // An object-to-world matrix with a zero last row turns every point into a direction after
    // the first stage; the transform is then told so.
    const float flatten[16] = {1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 0};
    device.SetTransformObjectWorld(flatten);
    IdentityPointTransform flagged;
    device.SetTransform(&flagged);
    Project(Route::eObjectWindow, 1, 2, 3, 1);
    ASSERT_EQ(flagged.directions.size(), 1u);
    EXPECT_TRUE(flagged.directions[0]);
}

TEST(PanoMatrices, ProductsSumRowsLeftToRightAndDehomogenisingDividesOrNormalisesAtZero) {
    float out[3];
    const float point[4] = {3, -6, 9, 3};
    PanoTestDevice::_Dehomogenise(out, point);
    EXPECT_EQ((Point{out[0], out[1], out[2]}), (Point{1, -2, 3}));
    for (float zero : {0.0f, -0.0f}) {
        const float direction[4] = {3, 0, -4, zero};
        PanoTestDevice::_Dehomogenise(out, direction);
        EXPECT_EQ((Point{out[0], out[1], out[2]}), (Point{0.6f, 0.0f, -0.8f})) << "fourth " << zero;
    }
    // The product sums each row left to right: 1 + 1e8 - 1e8 is 0 so in single precision, 1 otherwise.
    const float matrix[16] = {1, 1e8f, -1e8f, 0, 0, 0, 0, 1, 0, 0, 0, 0, 0, 0, 0, 0};
    float product[4];
    PanoTestDevice::_MultiplyMatrix(product, matrix, 1, 1, 1, 5);
    EXPECT_EQ((Point{product[0], product[1], product[2]}), (Point{0, 5, 0}));
}

} // namespace

TEST(PanoRouteA, IsTheStepByStepChainBitForBitOnRandomMatrices) {
    // Irregular matrices and points, so that any change of rounding or summation order shows.
    std::mt19937 random(7);
    std::uniform_real_distribution<float> value(-3.0f, 3.0f);
    FisheyePointTransform fisheye(0.3, -0.2, 1.5);
    for (int trial = 0; trial < 200; ++trial) {
        float matrices[3][16];
        for (auto& matrix : matrices)
            for (float& element : matrix)
                element = value(random) * (trial % 3 == 0 ? 1e3f : 1.0f);
        PanoTestDevice device;
        device.SetTransformObjectWorld(matrices[0]);
        device.SetTransformWorldEye(matrices[1]);
        device.SetTransformEyeWindow(matrices[2]);
        device.SetTransform(&fisheye);
        for (int k = 0; k < 10; ++k) {
            const float x = value(random), y = value(random), z = value(random);
            float world[4], moved[3], eye[4], raster[4], expected[3], actual[3];
            PanoTestDevice::_MultiplyMatrix(world, matrices[0], x, y, z, 1.0f);
            fisheye.Transform(moved, world[0], world[1], world[2], false);
            PanoTestDevice::_MultiplyMatrix(eye, matrices[1], moved[0], moved[1], moved[2], 1.0f);
            PanoTestDevice::_MultiplyMatrix(raster, device.ma_eye_raster, eye[0], eye[1], eye[2], eye[3]);
            PanoTestDevice::_Dehomogenise(expected, raster);
            device._TransformObjectRaster(actual, x, y, z, 1.0f);
            for (int i = 0; i < 3; ++i)
                ASSERT_EQ(std::bit_cast<uint32_t>(actual[i]), std::bit_cast<uint32_t>(expected[i]))
                    << "trial " << trial << " point " << k << " component " << i << ": " << actual[i]
                    << " vs " << expected[i];
        }
    }
}
