// The panoramic point transforms: where each puts a direction on the image, that they keep the
// distance from the eye as depth, and that their inverses undo them.
#include "apps/CylindricalTransform.h"
#include "apps/EquirectTransform.h"
#include "apps/FisheyeTransform.h"
#include "apps/WindowProjection.h"

#include <gtest/gtest.h>

#include <cmath>
#include <memory>
#include <numbers>

namespace {

// Eye at (0, -100, 0) looking along +y, z up; 200 x 100 pixels.
Camera Viewer() {
    return Camera({0, -100, 0}, {0, 0, 0}, 200, 100, 60.0);
}

// The world point seen from the viewer's eye at `right` degrees to the right and `up` degrees up
// (longitude and latitude), `distance` away.
MMPoint3d<double> Seen(double right, double up, double distance) {
    const double longitude = right * std::numbers::pi / 180.0, latitude = up * std::numbers::pi / 180.0;
    return {distance * std::cos(latitude) * std::sin(longitude),
            -100.0 + distance * std::cos(latitude) * std::cos(longitude), distance * std::sin(latitude)};
}

MMPoint3d<double> OnImage(std::shared_ptr<const PanoramicTransform> transform,
                          const MMPoint3d<double>& world) {
    const WindowProjection projection(PanoramicTransform::MakeCanvasCamera(Viewer()), std::move(transform));
    MMPoint3d<double> window;
    EXPECT_TRUE(projection.Transform(window, world, false));
    return window;
}

} // namespace

TEST(ProjectionTest, FisheyeRadiusGrowsLinearlyWithTheAngleFromTheAxis) {
    auto fisheye = std::make_shared<FisheyeTransform>(Viewer(), 180.0);
    const MMPoint3d<double> ahead = OnImage(fisheye, Seen(0, 0, 30));
    EXPECT_NEAR(ahead.x, 100.0, 1e-9);
    EXPECT_NEAR(ahead.y, 50.0, 1e-9);
    EXPECT_NEAR(OnImage(fisheye, Seen(45, 0, 30)).x, 150.0, 1e-9);
    EXPECT_NEAR(OnImage(fisheye, Seen(0, 30, 30)).y, 50.0 - 100.0 / 3.0, 1e-9);
    // Straight to the side lies on the rim of a 180-degree fisheye, even slightly behind the eye.
    EXPECT_NEAR(OnImage(fisheye, Seen(90, 0, 30)).x, 200.0, 1e-9);
    EXPECT_NEAR(OnImage(fisheye, Seen(-120, 0, 30)).x, 100.0 - 100.0 * 120.0 / 90.0, 1e-9);
}

TEST(ProjectionTest, EquirectSpreadsLongitudeAndLatitudeEvenly) {
    auto equirect = std::make_shared<EquirectTransform>(Viewer(), 360.0);
    EXPECT_NEAR(OnImage(equirect, Seen(90, 0, 20)).x, 150.0, 1e-9);
    EXPECT_NEAR(OnImage(equirect, Seen(-170, 0, 20)).x, 100.0 - 100.0 * 170.0 / 180.0, 1e-9);
    const MMPoint3d<double> raised = OnImage(equirect, Seen(30, 45, 20));
    EXPECT_NEAR(raised.x, 100.0 + 100.0 * 30.0 / 180.0, 1e-9);
    EXPECT_NEAR(raised.y, 50.0 - 25.0, 1e-9);
}

TEST(ProjectionTest, CylindricalKeepsLongitudeLinearAndHeightAsTheTangent) {
    auto cylindrical = std::make_shared<CylindricalTransform>(Viewer(), 180.0);
    const MMPoint3d<double> point = OnImage(cylindrical, Seen(45, 45, 20));
    EXPECT_NEAR(point.x, 150.0, 1e-9);
    EXPECT_NEAR(point.y, 50.0 - 100.0 / (std::numbers::pi / 2.0), 1e-9);
}

TEST(ProjectionTest, DepthIsTheDistanceFromTheEyeAndInversesUndoTheTransforms) {
    const std::shared_ptr<PanoramicTransform> transforms[] = {
        std::make_shared<FisheyeTransform>(Viewer(), 200.0),
        std::make_shared<CylindricalTransform>(Viewer(), 180.0),
        std::make_shared<EquirectTransform>(Viewer(), 360.0)};
    for (const auto& transform : transforms)
        for (const auto& [right, up, distance] :
             {std::array<double, 3>{10, 5, 7}, {-80, -30, 55}, {150, 20, 12}, {0, -60, 3}}) {
            const MMPoint3d<double> world = Seen(right, up, distance);
            EXPECT_NEAR(OnImage(transform, world).z, distance, 1e-9);
            MMPoint3d<double> moved, back;
            ASSERT_TRUE(transform->Transform(moved, world, false));
            ASSERT_TRUE(transform->InverseTransform(back, moved, false));
            EXPECT_NEAR(back.x, world.x, 1e-9);
            EXPECT_NEAR(back.y, world.y, 1e-9);
            EXPECT_NEAR(back.z, world.z, 1e-9);
        }
}
