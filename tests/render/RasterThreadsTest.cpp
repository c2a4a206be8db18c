// Deferred, tiled drawing: submission order kept under blending, and pending work finished or
// dropped as the surface changes. (The same pictures for any thread count: RasterPipelineTest.)
#include "host/render/soft/IVDisplaySurfaceSoft.h"
#include "host/render/soft/IVSoftRasterizer.h"
#include "host/render/soft/IVTextureSoft.h"

#include <gtest/gtest.h>

#include <memory>

namespace {

constexpr uint32_t BLACK = 0xFF000000u;

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
