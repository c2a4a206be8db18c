// Deferred, tiled drawing: the same pictures for any thread count, submission order kept under
// blending, and every read of the surface seeing what was drawn before it.
#include "host/render/soft/IVDisplaySurfaceSoft.h"
#include "host/render/soft/IVSoftRasterizer.h"
#include "host/render/soft/IVTextureSoft.h"

#include <gtest/gtest.h>

#include <cstring>
#include <memory>
#include <random>
#include <vector>

namespace {

constexpr uint32_t BLACK = 0xFF000000u;

// A frame of many overlapping primitives of every kind, under changing state: opaque and
// transparent triangles with depth, textured triangles, lines and points, and clipping planes
// that change midway. Reads the surface once halfway, as a host may.
void DrawScene(IVSoftRasterizer& rasterizer, IVDisplaySurfaceSoft& surface, const IVTextureSoft& texture) {
    std::mt19937 random(7);
    std::uniform_real_distribution<float> x(-20.0f, 230.0f), y(-20.0f, 170.0f), depth(-1.0f, 1.0f);
    std::uniform_real_distribution<float> small(-6.0f, 6.0f), unit(-1.0f, 1.0f);
    surface.Clear(BLACK);
    rasterizer.SetSurface(&surface);
    rasterizer.SetTexture(&texture);
    for (int i = 0; i < 3000; ++i) {
        if (i == 1000)
            rasterizer.AddClippingPlane(1.0f, 0.3f, 0.0f, -40.0f);
        if (i == 1500)
            (void)surface.GetPixel(0, 0); // a read in the middle of the frame
        if (i == 2000) {
            rasterizer.ClearClippingPlanes();
            rasterizer.AddClippingPlane(-0.2f, 1.0f, 30.0f, -20.0f);
        }
        rasterizer.SetBlend(i % 3 == 0);
        rasterizer.SetShading(i % 2 == 0);
        rasterizer.SetDepthTest(i % 5 != 0, i % 7 != 0);
        rasterizer.SetColourWord(uint32_t(random()) | 0x40000000u);
        const float a[3] = {x(random), y(random), depth(random)};
        // Mostly small triangles, some spanning many tiles.
        const float spread = i % 50 == 0 ? 20.0f : 1.0f;
        const float b[3] = {a[0] + small(random) * spread, a[1] + small(random) * spread, depth(random)};
        const float c[3] = {a[0] + small(random) * spread, a[1] + small(random) * spread, depth(random)};
        const float normal[3] = {unit(random), unit(random), unit(random)};
        switch (i % 10) {
        case 0: {
            const float ta[3] = {0, 0, 1}, tb[3] = {3, 0, 2}, tc[3] = {0, 3, 0.5f};
            rasterizer.RasterTriangleTextured(a, b, c, normal, ta, tb, tc);
            break;
        }
        case 1:
            rasterizer.RasterLine(a, b);
            break;
        case 2:
            rasterizer.RasterPoint(a, i % 4);
            break;
        default:
            rasterizer.RasterTriangle(a, b, c, normal);
        }
    }
    const float rect[4] = {30.5f, 90.0f, 120.0f, 80.25f};
    rasterizer.RasterTextureRect(rect);
    rasterizer.Flush();
}

TEST(RasterThreads, PicturesAreTheSameBytesForOneTwoAndSevenThreads) {
    IVTextureSoft texture;
    const uint8_t texels[16] = {255, 0, 0, 255, 0, 255, 0, 255, 0, 0, 255, 255, 255, 255, 255, 255};
    texture.SetImage(2, 2, texels, sizeof texels);
    // 210 x 150 pixels: partial tiles on the right and at the bottom.
    std::vector<IVDisplaySurfaceSoft> surfaces(3, IVDisplaySurfaceSoft(210, 150));
    const int threads[3] = {1, 2, 7};
    for (int k = 0; k < 3; ++k) {
        IVSoftRasterizer rasterizer;
        rasterizer.SetThreadCount(threads[k]);
        ASSERT_EQ(rasterizer.GetThreadCount(), threads[k]);
        DrawScene(rasterizer, surfaces[k], texture);
    }
    const size_t pixels = 210u * 150u;
    size_t drawn = 0;
    for (size_t i = 0; i < pixels; ++i)
        drawn += surfaces[0].GetColourWords()[i] != BLACK ? 1 : 0;
    EXPECT_GT(drawn, pixels / 2) << "the scene covers the surface";
    for (int k = 1; k < 3; ++k) {
        EXPECT_EQ(std::memcmp(surfaces[0].GetPixels(), surfaces[k].GetPixels(), pixels * 4), 0)
            << "colour with " << threads[k] << " threads";
        EXPECT_EQ(std::memcmp(surfaces[0].GetDepth(), surfaces[k].GetDepth(), pixels * 4), 0)
            << "depth with " << threads[k] << " threads";
    }
}

TEST(RasterThreads, OverlappingTransparentTrianglesBlendInSubmissionOrder) {
    // Red then green over black, and green then red, at alpha 128: the later colour dominates,
    // 255 x 128 / 255 = 128 against 128 x 127 / 255 = 64 (rounded).
    const uint32_t red = 0x800000FFu, green = 0x8000FF00u;
    const struct {
        uint32_t first, second, expected;
    } orders[] = {{red, green, 0xFF008040u}, {green, red, 0xFF004080u}};
    for (const auto& order : orders) {
        IVDisplaySurfaceSoft surface(200, 100);
        surface.Clear(BLACK);
        IVSoftRasterizer rasterizer;
        rasterizer.SetThreadCount(2);
        rasterizer.SetSurface(&surface);
        rasterizer.SetBlend(true);
        rasterizer.SetDepthTest(false, false);
        const float a[3] = {0, 0, 0}, b[3] = {200, 0, 0}, c[3] = {0, 100, 0}, d[3] = {200, 100, 0};
        rasterizer.SetColourWord(order.first);
        rasterizer.RasterTriangle(a, b, c, a);
        rasterizer.SetColourWord(order.second);
        rasterizer.RasterTriangle(b, c, d, a); // overlaps nothing but the shared edge
        rasterizer.RasterTriangle(a, b, c, a);
        // (10, 10) has both in order; (199, 99) only the second.
        EXPECT_EQ(surface.GetPixel(10, 10), order.expected) << std::hex << order.first << " first";
        EXPECT_EQ(surface.GetPixel(199, 99), (order.second & 0xFFFFFFu) == 0xFFu ? 0xFF000080u : 0xFF008000u);
    }
}

TEST(RasterThreads, PendingWorkIsFinishedOrDroppedWhenTheSurfaceChangesOrGoes) {
    IVTextureSoft texture;
    const float a[3] = {0, 0, 0}, b[3] = {64, 0, 0}, c[3] = {0, 64, 0};
    IVDisplaySurfaceSoft first(70, 70), second(70, 70);
    auto rasterizer = std::make_unique<IVSoftRasterizer>();
    rasterizer->SetSurface(&first);
    rasterizer->SetColourWord(0xFF0000FFu);
    rasterizer->RasterTriangle(a, b, c, a);
    rasterizer->SetSurface(&second); // finishes the first surface's triangle
    rasterizer->RasterTriangle(a, b, c, a);
    rasterizer.reset(); // finishes the second's
    EXPECT_EQ(first.GetPixel(1, 1), 0xFF0000FFu);
    EXPECT_EQ(second.GetPixel(1, 1), 0xFF0000FFu);

    // A surface destroyed with work pending takes the work with it; the rasterizer draws on.
    IVSoftRasterizer survivor;
    {
        IVDisplaySurfaceSoft doomed(70, 70);
        survivor.SetSurface(&doomed);
        survivor.RasterTriangle(a, b, c, a);
    }
    EXPECT_EQ(survivor.GetSurface(), nullptr);
    survivor.SetSurface(&first);
    first.Clear(BLACK);
    survivor.RasterTriangle(a, b, c, a);
    EXPECT_EQ(first.GetPixel(2, 2), 0xFFFFFFFFu);

    // Two rasterizers on one surface keep their order.
    IVSoftRasterizer other;
    other.SetSurface(&first);
    other.SetColourWord(0xFF00FF00u);
    other.SetDepthTest(false, false);
    survivor.RasterTriangle(a, b, c, a);
    other.RasterTriangle(a, b, c, a);
    EXPECT_EQ(first.GetPixel(2, 2), 0xFF00FF00u);
}

} // namespace
