#include "tests/pano/PanoTestDevice.h"
#include "tests/support/PointTransforms.h"

#include <gtest/gtest.h>

#include <cmath>

namespace {

class PanoClipping : public ::testing::Test {
protected:
    const IVSoftRasterizer& Table() { return device.GetRasterizer(); }

    PanoTestDevice device; // identity matrices: raster = world coordinates, x-to-depth ratio 1
};

TEST_F(PanoClipping, OnlyEnabledPlanesReachTheTableAsDepthPlanesAndDisabledOnesKeepTheirIndexEntry) {
    for (size_t i = 0; i < 3; ++i)
        ASSERT_TRUE(device.SetClippingPlane(i, 0, 0, 1, -5.0f - float(i))); // z = 5 + i
    device.GetRasterizer().AddClippingPlane(1, 2, 3, 4);                    // the device's update replaces it
    device._UpdateClippingPlanes();
    EXPECT_FALSE(Table().mb_active) << "set but not enabled";
    EXPECT_TRUE(Table().mv_z0.empty() && Table().mv_gx.empty() && Table().mv_gy.empty() &&
                Table().mv_side.empty());

    device.mv_plane_indices[1] = 7;
    device.EnableClippingPlane(0, true);
    device.EnableClippingPlane(2, true);
    ASSERT_EQ(Table().mv_z0.size(), 2u);
    EXPECT_TRUE(Table().mb_active);
    EXPECT_EQ(Table().mv_z0[0], 5.0f);
    EXPECT_EQ(Table().mv_z0[1], 7.0f);
    EXPECT_EQ(Table().mv_gx[0], 0.0f);
    EXPECT_TRUE(std::signbit(Table().mv_gx[0])) << "-a/c with a = 0 is -0";
    EXPECT_TRUE(std::signbit(Table().mv_gy[0]));
    EXPECT_FALSE(Table().mv_side[0]);
    EXPECT_EQ(device.mv_plane_indices[0], 0);
    EXPECT_EQ(device.mv_plane_indices[1], 7);
    EXPECT_EQ(device.mv_plane_indices[2], 1);
}

TEST_F(PanoClipping, PlanePointLiesOnTheAxisOfTheLargestCoefficientAndFollowsTheTransformAtTheNextUpdate) {
    // The identity transform records the one plane point sent through it per plane.
    IdentityPointTransform identity;
    device.SetTransform(&identity);
    struct Case {
        float a, b, c, d;
        MMPoint3d<double> point;
    };
    const Case cases[] = {
        {0, 0, 1, -5, {0, 0, 5}},  // the plane z = 5
        {1, -1, 1, -3, {0, 0, 3}}, // all equal: z wins
        {2, -2, 1, 4, {0, 2, 0}},  // |a| = |b| > |c|: y wins
        {-4, 1, 2, 8, {2, 0, 0}},  // a largest
    };
    for (const Case& test : cases) {
        device.SetClippingPlane(0, test.a, test.b, test.c, test.d);
        device.EnableClippingPlane(0, true);
        identity.received.clear();
        device._UpdateClippingPlanes();
        ASSERT_EQ(identity.received.size(), 1u) << "only the point, never the normal";
        EXPECT_EQ(identity.received[0].x, test.point.x);
        EXPECT_EQ(identity.received[0].y, test.point.y);
        EXPECT_EQ(identity.received[0].z, test.point.z);
    }

    device.SetClippingPlane(0, 1, 0, 0, -4); // x = 4
    device.EnableClippingPlane(0, true);
    const float before = Table().mv_z0[0];
    FisheyePointTransform bent(0, 0, 4);
    device.SetTransform(&bent);
    EXPECT_EQ(Table().mv_z0[0], before);
    device._UpdateClippingPlanes();
    EXPECT_NE(Table().mv_z0[0], before);
}

TEST_F(PanoClipping, DepthPartOfTheNormalIsScaledByTheSquaredScaleRatio) {
    // x and y scaled by 2, depth by 1: the world plane x + z = 5 is raster depth = 5 - x / 2.
    const float eye_window[16] = {2, 0, 0, 0, 0, 2, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1};
    device.SetTransformEyeWindow(eye_window);
    device.SetClippingPlane(0, 1, 0, 1, -5);
    device.EnableClippingPlane(0, true);
    ASSERT_EQ(Table().mv_z0.size(), 1u);
    EXPECT_FLOAT_EQ(Table().mv_z0[0], 5.0f);
    EXPECT_EQ(Table().mv_gx[0], -0.5f);
    EXPECT_FALSE(Table().mv_side[0]);
}

TEST(SoftRasterizerPlanes, AddingAPlaneParallelToTheDepthAxisUsesATinyCoefficient) {
    IVSoftRasterizer rasterizer;
    rasterizer.AddClippingPlane(0, 0, 1, 0);
    EXPECT_EQ(rasterizer.AddClippingPlane(0, 0, 0, 3), 1);
    EXPECT_EQ(rasterizer.mv_z0[1], -3.0f / 1e-7f);
    EXPECT_EQ(rasterizer.mv_gx[1], 0.0f);
    EXPECT_TRUE(std::signbit(rasterizer.mv_gx[1]));
    EXPECT_TRUE(std::signbit(rasterizer.mv_gy[1]));
    EXPECT_FALSE(rasterizer.mv_side[1]);
    EXPECT_EQ(rasterizer.AddClippingPlane(0, 0, -0.0f, 3), 2) << "negative zero counts as zero";
    EXPECT_FALSE(rasterizer.mv_side[2]);
    rasterizer.AddClippingPlane(0, 0, -2, 3);
    rasterizer.AddClippingPlane(0, 0, std::nanf(""), 3);
    EXPECT_TRUE(rasterizer.mv_side[3]);
    EXPECT_TRUE(rasterizer.mv_side[4]) << "not a number counts as negative";
    EXPECT_TRUE(rasterizer.mb_active);
}

} // namespace
