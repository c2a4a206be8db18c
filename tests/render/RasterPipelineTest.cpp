// Batches filled by other threads while the caller records the next: a frame of several batches
// gives the same bytes for any thread count, also when the surface is read, cleared, swapped or
// destroyed, or the thread count changes, while a batch is being filled.
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
constexpr size_t BATCH = IVSoftRasterizer::BATCH_PRIMITIVES;

enum class EEvent { eRead, eClear, eSwapSurface, eThreads, eDestroySurface };
const char* const EVENT_NAMES[] = {"read", "clear", "swap surface", "thread count", "destroy surface"};

struct Frame {
    std::vector<uint8_t> midway; // the pixels read by eRead
    std::vector<uint8_t> first;  // colour then depth bytes; empty when destroyed
    std::vector<uint8_t> second;
};

std::vector<uint8_t> Bytes(const IVDisplaySurfaceSoft* surface) {
    std::vector<uint8_t> bytes;
    if (surface == nullptr)
        return bytes;
    const size_t pixels = size_t(WIDTH) * HEIGHT;
    const auto* depth = reinterpret_cast<const uint8_t*>(surface->GetDepth());
    bytes.assign(surface->GetPixels(), surface->GetPixels() + pixels * 4);
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

// Two and a half batches of small overlapping primitives under changing state, the event
// halfway through the second batch (the first being filled then), and the rasterizer destroyed
// with work still pending.
Frame Draw(int threads, EEvent event, const IVTextureSoft& texture) {
    auto first = std::make_unique<IVDisplaySurfaceSoft>(WIDTH, HEIGHT);
    IVDisplaySurfaceSoft second(WIDTH, HEIGHT);
    first->Clear(BLACK);
    second.Clear(BLACK);
    Frame frame;
    {
        IVSoftRasterizer rasterizer;
        rasterizer.SetThreadCount(threads);
        rasterizer.SetSurface(first.get());
        rasterizer.SetTexture(&texture);
        std::mt19937 random(5);
        std::uniform_real_distribution<float> x(-5.0f, 155.0f), y(-5.0f, 105.0f), small(-4.0f, 4.0f);
        std::uniform_real_distribution<float> depth(-1.0f, 1.0f);
        for (size_t i = 0; i < BATCH * 5 / 2; ++i) {
            if (i == BATCH * 3 / 2) {
                switch (event) {
                case EEvent::eRead:
                    frame.midway = Bytes(first.get());
                    break;
                case EEvent::eClear:
                    first->Clear(0xFF306090u, 0.5f);
                    break;
                case EEvent::eSwapSurface:
                    rasterizer.SetSurface(&second);
                    break;
                case EEvent::eThreads:
                    rasterizer.SetThreadCount(threads + 1);
                    break;
                case EEvent::eDestroySurface:
                    first.reset();
                    EXPECT_EQ(rasterizer.GetSurface(), nullptr);
                    rasterizer.SetSurface(&second);
                    break;
                }
            }
            if (i == BATCH / 2)
                rasterizer.AddClippingPlane(0.5f, 1.0f, 40.0f, -60.0f);
            if (i == BATCH * 2)
                rasterizer.ClearClippingPlanes();
            rasterizer.SetBlend(i % 3 == 0);
            rasterizer.SetShading(i % 2 == 0);
            rasterizer.SetDepthTest(i % 5 != 0, i % 3 != 0);
            rasterizer.SetColourWord(uint32_t(random()) | 0x20000000u);
            const float a[3] = {x(random), y(random), depth(random)};
            const float b[3] = {a[0] + small(random), a[1] + small(random), depth(random)};
            const float c[3] = {a[0] + small(random), a[1] + small(random), depth(random)};
            const float normal[3] = {small(random), small(random), 1.0f};
            if (i % 11 == 0) {
                rasterizer.RasterLine(a, b);
            } else if (i % 13 == 0) {
                rasterizer.RasterPoint(a, 3);
            } else if (i % 7 == 0) {
                const float ta[3] = {0, 0, 1}, tb[3] = {1, 0, 2}, tc[3] = {0, 1, 0.5f};
                rasterizer.RasterTriangleTextured(a, b, c, normal, ta, tb, tc);
            } else {
                rasterizer.RasterTriangle(a, b, c, normal);
            }
        }
    }
    frame.first = Bytes(first.get());
    frame.second = Bytes(&second);
    return frame;
}

TEST(RasterPipeline, FramesOfSeveralBatchesAreTheSameBytesForAnyThreadCountWhateverHappensMidway) {
    IVTextureSoft texture;
    const uint8_t texels[16] = {255, 0, 0, 255, 0, 255, 0, 255, 0, 0, 255, 255, 255, 255, 255, 255};
    texture.SetImage(2, 2, texels, sizeof texels);
    for (int e = 0; e < 5; ++e) {
        const auto event = EEvent(e);
        const Frame expected = Draw(1, event, texture);
        const std::vector<uint8_t>& last = event == EEvent::eSwapSurface || event == EEvent::eDestroySurface
                                               ? expected.second
                                               : expected.first;
        size_t drawn = 0;
        for (size_t i = 0; i < size_t(WIDTH) * HEIGHT; ++i)
            drawn += last[4 * i] != 0 || last[4 * i + 1] != 0 || last[4 * i + 2] != 0 ? 1 : 0;
        EXPECT_GT(drawn, size_t(WIDTH) * HEIGHT / 2) << EVENT_NAMES[e] << ": the frame covers the surface";
        for (int threads : {2, 3}) {
            const Frame frame = Draw(threads, event, texture);
            const std::pair<const char*, std::string> checks[] = {
                {"the surface read midway", Difference(expected.midway, frame.midway)},
                {"the first surface", Difference(expected.first, frame.first)},
                {"the second surface", Difference(expected.second, frame.second)}};
            for (const auto& [what, difference] : checks)
                EXPECT_EQ(difference, "") << EVENT_NAMES[e] << ", " << threads << " threads: " << what;
        }
    }
}

} // namespace
