#include "host/render/soft/IVDisplaySurfaceSoft.h"
#include "host/render/soft/IVRenderSoft.h"
#include "host/render/soft/IVSoftRasterizer.h"
#include "host/render/soft/IVTextureSoft.h"
#include "tests/pano/PanoTestDevice.h"
#include "tests/support/PointTransforms.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <limits>
#include <string>

namespace {

constexpr uint32_t BLACK = 0xFF000000u;
constexpr uint32_t RED = 0xFF0000FFu;
constexpr float UP[3] = {0, 0, 1};

// Identity matrices make raster space world space: x, y in pixels, depth = z.
class SoftPixels : public ::testing::Test {
protected:
    SoftPixels() : surface(8, 8) {
        surface.Clear(BLACK);
        device.SetCurrentColour(RED);
        device.StartFrame(&surface, nullptr);
    }

    // The pixels that are not the background, as rows of '#' and '.', top row first.
    std::string Picture() const {
        std::string picture;
        for (int y = 0; y < surface.GetHeight(); ++y) {
            for (int x = 0; x < surface.GetWidth(); ++x)
                picture += surface.GetPixel(x, y) == BLACK ? '.' : '#';
            picture += '\n';
        }
        return picture;
    }

    IVDisplaySurfaceSoft surface;
    PanoTestDevice device;
};

TEST_F(SoftPixels, NearerDepthWinsAndRenderModeOneShadesByTheRasterNormal) {
    const float a[3] = {0, 0, 1}, b[3] = {8, 0, 1}, c[3] = {0, 8, 1};
    const float far_a[3] = {0, 0, -1}, far_b[3] = {8, 0, -1}, far_c[3] = {0, 8, -1};
    const float green[3] = {0, 1, 0};
    device.DrawTriangle(a, b, c, UP);
    device.DrawTriangle(far_a, far_b, far_c, UP, green);
    EXPECT_EQ(surface.GetPixel(1, 1), RED) << "larger depth is nearer";

    // The device hands the normal of the projected corners, turned to the supplied normal's
    // side, to the rasterizer's lights: a face nearly edge-on to the right gets the fill light.
    device.SetRenderMode(1);
    device.EnableZBuffer(false, false);
    const float side_a[3] = {2, 0, 0}, side_b[3] = {2, 8, 0}, side_c[3] = {6, 0, 100};
    const float x_axis[3] = {1, 0, 0};
    device.DrawTriangle(side_a, side_b, side_c, x_axis, green);
    const float side_normal[3] = {-0.99920f, 0.0f, 0.03997f}; // (-100, 0, 4) / |.|
    const uint32_t side_green = 63u + uint32_t(192.0f * IVSoftRasterizer::Light(side_normal));
    EXPECT_EQ(surface.GetPixel(3, 1), 0xFF000000u | side_green << 8);
    device.DrawTriangle(a, b, c, UP, green);
    EXPECT_EQ(surface.GetPixel(1, 1), 0xFF00FF00u) << "facing the viewer: full intensity";
}

TEST_F(SoftPixels, ClippingPlaneFollowsTheFisheye) {
    // The plane x = 6 is fitted at its point (6, 0, 0), which the fisheye about (0, 0) pulls to
    // x = 16 atan(6 / 16) = 5.76: the raster cut lies there.
    FisheyePointTransform fisheye(0, 0, 16);
    device.SetTransform(&fisheye);
    device.SetClippingPlane(0, 1, 0, 0, -6);
    device.EnableClippingPlane(0, true);
    const float a[3] = {-8, -8, 0}, b[3] = {24, -8, 0}, c[3] = {-8, 24, 0};
    device.DrawTriangle(a, b, c, UP);
    const double cut = fisheye.Map({6, 0, 0}).x;
    ASSERT_GT(cut, 5.5);
    ASSERT_LT(cut, 6.0);
    // Right of the cut, the fisheye-bent hypotenuse (x + y = 10.2 here) bounds the triangle.
    EXPECT_EQ(Picture(), "......##\n"
                         "......##\n"
                         "......##\n"
                         "......#.\n"
                         "........\n"
                         "........\n"
                         "........\n"
                         "........\n");
}

TEST_F(SoftPixels, LinesAndPointsLandOnTheirPixels) {
    const float blue[3] = {0, 0, 1};
    device.DrawLine(0.5f, 2.5f, 0, 7.5f, 2.5f, 0, blue);
    const float points[6] = {1.5f, 5.5f, 0, 6.5f, 6.5f, 0};
    device.DrawPoint(4.5f, 4.5f, 0);
    device.DrawPoints(points, 2);
    EXPECT_EQ(Picture(), "........\n"
                         "........\n"
                         "########\n"
                         "........\n"
                         "###.#...\n"
                         "###..###\n"
                         "###..###\n"
                         ".....###\n");
}

TEST_F(SoftPixels, NonFiniteOrHugePrimitivesDrawNothing) {
    const float inf = std::numeric_limits<float>::infinity();
    const float nan = std::numeric_limits<float>::quiet_NaN();
    const float a[3] = {0, 0, 0}, b[3] = {8, 0, 0}, bad[3] = {nan, 4, 0}, far[3] = {4, 1e30f, 0};
    device.DrawTriangle(a, b, bad, UP);
    device.DrawTriangle(a, b, far, UP);
    device.DrawLine(0, 0, 0, inf, 4, 0);
    device.DrawLine(0, 0, nan, 4, 4, 0);
    const float point[3] = {nan, 0, 0};
    device.DrawPoints(point, 1);
    const float line[3] = {1, 1, 1};
    device.DrawLine(-1e30f, -1e30f, 0, 1e30f, 1e30f, 0, line); // collapses when clipped; no long walk
    device.DrawLine(-1e6f, -1e6f, 0, 1e6f, 1e6f, 0, line);     // clipped to the diagonal
    std::string picture = Picture();
    EXPECT_EQ(std::count(picture.begin(), picture.end(), '#'), 8) << picture;
}

TEST(SoftDevice, PlainDeviceClipsThroughTheInverseWorldToRasterMatrixAndDrawsAsThePanoramicOne) {
    // Window = 2 x world: the world plane x = 2 (keeping x >= 2) cuts at pixel x = 4.
    IVDisplaySurfaceSoft surface(8, 2);
    surface.Clear(BLACK);
    IVRenderSoft device;
    const float eye_window[16] = {2, 0, 0, 0, 0, 2, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1};
    device.SetTransformEyeWindow(eye_window);
    device.SetClippingPlane(0, 1, 0, 0, -2);
    device.EnableClippingPlane(0, true);
    device.StartFrame(&surface, nullptr);
    const float a[3] = {-4, -4, 0}, b[3] = {12, -4, 0}, c[3] = {-4, 12, 0};
    device.DrawTriangle(a, b, c, UP);
    device.StopFrame();
    for (int x = 0; x < 8; ++x)
        EXPECT_EQ(surface.GetPixel(x, 1) != BLACK, x >= 4) << x;

    // Without planes or transforms the plain and the panoramic device draw the same pixels.
    IVDisplaySurfaceSoft plain_surface(16, 16), pano_surface(16, 16);
    IVRenderSoft plain;
    IVRenderSoftPano pano;
    const float p[3] = {1.3f, 0.7f, 0}, q[3] = {14.1f, 3.2f, 1}, r[3] = {5.5f, 15.2f, 2};
    for (auto [drawing, target] : {std::pair<IVRender*, IVDisplaySurfaceSoft*>{&plain, &plain_surface},
                                   std::pair<IVRender*, IVDisplaySurfaceSoft*>{&pano, &pano_surface}}) {
        target->Clear(BLACK);
        drawing->StartFrame(target, nullptr);
        drawing->DrawTriangle(p, q, r, UP);
        drawing->StopFrame();
    }
    for (int y = 0; y < 16; ++y)
        for (int x = 0; x < 16; ++x) {
            ASSERT_EQ(plain_surface.GetPixel(x, y), pano_surface.GetPixel(x, y)) << x << "," << y;
            ASSERT_EQ(plain_surface.GetDepthAt(x, y), pano_surface.GetDepthAt(x, y)) << x << "," << y;
        }
}

TEST(SoftTexture, ScalesByNearestSamplingAndClipsToTheSurfaceAndBadSizesGiveEmptyImages) {
    const uint8_t texels[16] = {1, 0, 0, 0, 2, 0, 0, 0, 3, 0, 0, 0, 4, 0, 0, 0}; // 2 x 2, red 1..4
    IVTextureSoft texture;
    texture.SetImage(2, 2, texels, sizeof texels);
    IVDisplaySurfaceSoft surface(5, 5);
    const float rect[4] = {1, 5, -1, 3}; // x0, x1, y0, y1: the top rows fall off the surface
    texture.DrawIntoSurface(surface, rect);
    const uint32_t expected[5][5] = {
        {0, 1, 1, 2, 2}, {0, 3, 3, 4, 4}, {0, 3, 3, 4, 4}, {0, 0, 0, 0, 0}, {0, 0, 0, 0, 0}};
    for (int y = 0; y < 5; ++y)
        for (int x = 0; x < 5; ++x)
            EXPECT_EQ(surface.GetPixel(x, y), expected[y][x]) << x << "," << y;

    texture.SetImage(2, 2, texels, 15); // short buffer: an empty image that draws nothing
    EXPECT_EQ(texture.GetWidth(), 0);
    const IVDisplaySurfaceSoft negative(-4, 5); // a negative size: an empty surface, no allocation
    EXPECT_EQ(negative.GetWidth(), 0);
    EXPECT_EQ(negative.GetPixels(), nullptr);
}

} // namespace
