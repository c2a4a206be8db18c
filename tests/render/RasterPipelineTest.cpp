// Batches filled by other threads while the caller records the next, each binned into tiles:
// submission order kept under blending; pending work finished or dropped as the surface changes;
// and a frame of several batches gives the same bytes for any thread count, also when, while a
// batch is being filled, the surface is read, cleared, swapped or destroyed, or the thread count
// changes.
#include "host/render/soft/IVDisplaySurfaceSoft.h"
#include "host/render/soft/IVSoftRasterizer.h"
#include "host/render/soft/IVTextureSoft.h"

#include <gtest/gtest.h>

#include <memory>
#include <random>
#include <string>
#include <utility>
#include <vector>

namespace {

constexpr uint32_t BLACK = 0xFF000000u;
constexpr int WIDTH = 150;
constexpr int HEIGHT = 100;
// After a flush the first batch is handed over at FIRST_BATCH_PRIMITIVES and each next at twice
// the size: an event just after the third hand-over finds that batch of four times the first
// size still being filled (it may find all of them filled, which is fine, only rarer).
constexpr size_t SEGMENT = IVSoftRasterizer::FIRST_BATCH_PRIMITIVES * 7 + 64;

struct Frame {
    std::vector<uint8_t> midway; // the first surface read midway
    std::vector<uint8_t> first;
    std::vector<uint8_t> second;
};

// Colour then depth bytes of a surface.
std::vector<uint8_t> Bytes(const IVDisplaySurfaceSoft& surface) {
    std::vector<uint8_t> bytes;
    const size_t pixels = size_t(WIDTH) * HEIGHT;
    const auto* depth = reinterpret_cast<const uint8_t*>(surface.GetDepth());
    bytes.assign(surface.GetPixels(), surface.GetPixels() + pixels * 4);
    bytes.insert(bytes.end(), depth, depth + pixels * 4);
    return bytes;
}

// Empty when equal, else where and how the bytes first differ.
std::string Difference(const std::vector<uint8_t>& expected, const std::vector<uint8_t>& actual) {
    if (expected.size() != actual.size())
        return "expected " + std::to_string(expected.size()) + " bytes, got " + std::to_string(actual.size());
    for (size_t i = 0; i < expected.size(); ++i)
        if (expected[i] != actual[i])
            return "byte " + std::to_string(i) + ": expected " + std::to_string(expected[i]) + ", got " +
                   std::to_string(actual[i]);
    return {};
}

// Primitives scattered over the surface (each touching it, so that every one counts towards a
// batch; most small, some spanning many tiles and the surface's edges) as lines, points, textured
// and plain triangles under changing state, with an event at the end of every segment: the first
// surface is read, cleared, the thread count changes, the drawing moves to a surface that is
// destroyed, then to the second surface, where a texture rectangle lands; the rasterizer is
// destroyed with one batch being filled and another pending. The surfaces end in partial tiles.
Frame Draw(int threads, const IVTextureSoft& texture) {
    IVDisplaySurfaceSoft first(WIDTH, HEIGHT), second(WIDTH, HEIGHT);
    auto doomed = std::make_unique<IVDisplaySurfaceSoft>(WIDTH, HEIGHT);
    first.Clear(BLACK);
    second.Clear(BLACK);
    Frame frame;
    {
        IVSoftRasterizer rasterizer;
        rasterizer.SetThreadCount(threads);
        rasterizer.SetSurface(&first);
        rasterizer.SetTexture(&texture);
        std::mt19937 random(5);
        std::uniform_real_distribution<float> x(4.5f, 145.5f), y(4.5f, 95.5f), small(-4.0f, 4.0f);
        std::uniform_real_distribution<float> depth(-1.0f, 1.0f);
        for (size_t i = 0; i < SEGMENT * 5 + IVSoftRasterizer::FIRST_BATCH_PRIMITIVES * 7 / 2; ++i) {
            if (i == SEGMENT) {
                frame.midway = Bytes(first);
            } else if (i == SEGMENT * 2) {
                first.Clear(0xFF306090u, 0.5f);
            } else if (i == SEGMENT * 3) {
                rasterizer.SetThreadCount(threads == 1 ? 1 : threads + 1);
            } else if (i == SEGMENT * 4) {
                rasterizer.SetSurface(doomed.get());
            } else if (i == SEGMENT * 5) {
                doomed.reset();
                EXPECT_EQ(rasterizer.GetSurface(), nullptr) << "a destroyed surface is let go";
                rasterizer.SetSurface(&second);
                const float rect[4] = {30.5f, 90.0f, 80.25f, 20.0f};
                rasterizer.RasterTextureRect(rect);
            }
            if (i % SEGMENT == SEGMENT / 3)
                rasterizer.AddClippingPlane(0.5f, 1.0f, 40.0f, -60.0f);
            if (i % SEGMENT == SEGMENT * 2 / 3)
                rasterizer.ClearClippingPlanes();
            rasterizer.SetBlend(i % 3 == 0);
            rasterizer.SetShading(i % 2 == 0);
            rasterizer.SetDepthTest(i % 5 != 0, i % 3 != 0);
            rasterizer.SetColourWord(uint32_t(random()) | 0x20000000u);
            const float a[3] = {x(random), y(random), depth(random)};
            const float spread = i % 50 == 0 ? 30.0f : 1.0f;
            const float b[3] = {a[0] + small(random) * spread, a[1] + small(random) * spread, depth(random)};
            const float c[3] = {a[0] + small(random) * spread, a[1] + small(random) * spread, depth(random)};
            const float normal[3] = {small(random), small(random), small(random)};
            if (i % 11 == 0) {
                rasterizer.RasterLine(a, b);
            } else if (i % 13 == 0) {
                rasterizer.RasterPoint(a, int(i % 4));
            } else if (i % 7 == 0) {
                const float ta[3] = {0, 0, 1}, tb[3] = {3, 0, 2}, tc[3] = {0, 3, 0.5f};
                rasterizer.RasterTriangleTextured(a, b, c, normal, ta, tb, tc);
            } else {
                rasterizer.RasterTriangle(a, b, c, normal);
            }
        }
    }
    frame.first = Bytes(first);
    frame.second = Bytes(second);
    return frame;
}

size_t Drawn(const std::vector<uint8_t>& bytes, uint32_t background) {
    size_t drawn = 0;
    for (size_t i = 0; i < size_t(WIDTH) * HEIGHT; ++i)
        drawn += (uint32_t(bytes[4 * i]) | uint32_t(bytes[4 * i + 1]) << 8 |
                  uint32_t(bytes[4 * i + 2]) << 16) != (background & 0xFFFFFFu)
                     ? 1
                     : 0;
    return drawn;
}

TEST(RasterPipeline, FramesOfSeveralBatchesAreTheSameBytesForAnyThreadCountWhateverHappensMidway) {
    IVTextureSoft texture;
    const uint8_t texels[16] = {255, 0, 0, 255, 0, 255, 0, 255, 0, 0, 255, 255, 255, 255, 255, 255};
    texture.SetImage(2, 2, texels, sizeof texels);
    const Frame expected = Draw(1, texture);
    const size_t half = size_t(WIDTH) * HEIGHT / 2;
    EXPECT_GT(Drawn(expected.midway, BLACK), half) << "drawn before the read";
    EXPECT_GT(Drawn(expected.first, 0xFF306090u), half) << "drawn after the clear";
    EXPECT_GT(Drawn(expected.second, BLACK), half) << "drawn after the destroyed surface";
    for (int threads : {2, 7}) {
        const Frame frame = Draw(threads, texture);
        const std::pair<const char*, std::string> checks[] = {
            {"the surface read midway", Difference(expected.midway, frame.midway)},
            {"the first surface", Difference(expected.first, frame.first)},
            {"the second surface", Difference(expected.second, frame.second)}};
        for (const auto& [what, difference] : checks)
            EXPECT_EQ(difference, "") << threads << " threads: " << what;
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
