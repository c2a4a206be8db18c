// Textured drawing: perspective-correct texture coordinates, bilinear sampling with wrap and
// clamp addressing, and every textured entry of the software device reaching the sampler.
#include "host/render/soft/IVDisplaySurfaceSoft.h"
#include "host/render/soft/IVRenderSoft.h"
#include "host/render/soft/IVSoftRasterizer.h"
#include "host/render/soft/IVTextureSoft.h"

#include <gtest/gtest.h>

#include <cmath>
#include <vector>

namespace {

constexpr uint32_t BLACK = 0xFF000000u;
constexpr uint32_t RED = 0xFF0000FFu;
constexpr uint32_t BLUE = 0xFFFF0000u;
constexpr float UP[3] = {0, 1, 0};

// 8 x 8 texels: 2 x 2 squares of 4 x 4 texels, red at the top left.
IVTextureSoft Checker() {
    std::vector<uint32_t> texels(64);
    for (int y = 0; y < 8; ++y)
        for (int x = 0; x < 8; ++x)
            texels[size_t(y * 8 + x)] = ((x / 4 + y / 4) % 2 == 0) ? RED : BLUE;
    IVTextureSoft texture;
    texture.SetImage(8, 8, reinterpret_cast<const uint8_t*>(texels.data()), texels.size() * 4);
    return texture;
}

TEST(Texture, CheckerFloorInPerspectiveMatchesTheProjectionAndShrinksWithDistance) {
    // Window = (32 x / z + 32, 32 y / z + 32), depth 1 / z, clip w = z. The floor y = 1 runs
    // from z = 1 to 17 and x = -4 to 4, with u = (x + 4) / 4 and v = (z - 1) / 4: one checker
    // square is 2 units across and 2 deep.
    constexpr float F = 32.0f, C = 32.0f;
    const float eye_window[16] = {F, 0, C, 0, 0, F, C, 0, 0, 0, 0, 1, 0, 0, 1, 0};
    IVDisplaySurfaceSoft surface(64, 64);
    surface.Clear(BLACK);
    IVRenderSoft device;
    device.SetTransformEyeWindow(eye_window);
    IVTextureSoft texture = Checker();
    device.StartFrame(&surface, nullptr);
    ASSERT_TRUE(device.SetTexture(&texture));
    const float a[3] = {-4, 1, 1}, b[3] = {4, 1, 1}, c[3] = {4, 1, 17}, d[3] = {-4, 1, 17};
    const float ta[2] = {0, 0}, tb[2] = {2, 0}, tc[2] = {2, 4}, td[2] = {0, 4};
    device.DrawTriangleTextured(a, b, c, UP, ta, tb, tc);
    device.DrawTriangleTextured(a, c, d, UP, ta, tc, td);
    device.StopFrame();

    int checked = 0;
    for (int py = 0; py < 64; ++py)
        for (int px = 0; px < 64; ++px) {
            const double below = py + 0.5 - C;
            if (below <= 0.0)
                continue;
            const double z = F / below, x = (px + 0.5 - C) * z / F;
            if (z < 1.2 || z > 16.5 || std::fabs(x) > 3.8)
                continue;
            // Texel units within a square: skip samples within 0.6 texel of a square's edge,
            // where bilinear filtering mixes the two colours.
            const double tu = (x + 4.0) / 4.0 * 8.0, tv = (z - 1.0) / 4.0 * 8.0;
            const double inside_u = std::fmod(tu, 4.0), inside_v = std::fmod(tv, 4.0);
            if (inside_u < 0.6 || inside_u > 3.4 || inside_v < 0.6 || inside_v > 3.4)
                continue;
            const bool red = (int(tu / 4.0) + int(tv / 4.0)) % 2 == 0;
            ASSERT_EQ(surface.GetPixel(px, py), red ? RED : BLUE)
                << "pixel " << px << "," << py << " at x " << x << " z " << z;
            ++checked;
        }
    EXPECT_GT(checked, 400);

    // Up the column at x = 0.14 z (within one column of squares) the squares' heights in pixels
    // fall with distance, as 32 / z does: row centres for z = 1 to 3 are rows 63 to 43, for
    // z = 3 to 5 rows 42 to 38, for z = 5 to 7 row 37.
    std::vector<int> runs;
    bool previous_red = false;
    for (int py = 63; py >= 36; --py) {
        const uint32_t pixel = surface.GetPixel(36, py);
        const bool red = (pixel & 0xFFu) > (pixel >> 16 & 0xFFu); // filtered edges count by majority
        if (runs.empty() || red != previous_red)
            runs.push_back(0);
        ++runs.back();
        previous_red = red;
    }
    const std::vector<int> whole(runs.begin(), runs.end() - 1); // the last square is cut at row 36
    EXPECT_EQ(whole, (std::vector<int>{21, 5, 1}));
}

TEST(Texture, BilinearSamplesAgreeWithExactInterpolationUnderWrapAndClamp) {
    // 2 x 1 texels, red 0 and 255: texel centres at u = 0.25 and 0.75.
    const uint8_t texels[8] = {0, 10, 20, 255, 255, 30, 40, 255};
    IVTextureSoft texture;
    texture.SetImage(2, 1, texels, sizeof texels);
    EXPECT_EQ(texture.GetAddressing(), IVTextureSoft::EAddressing::eWrap) << "the default";
    using A = IVTextureSoft::EAddressing;
    const struct {
        float u;
        A addressing;
        uint32_t red;
    } cases[] = {
        {0.25f, A::eWrap, 0},   {0.75f, A::eWrap, 255},  {0.5f, A::eWrap, 128}, // the midpoint rounds up
        {0.0f, A::eWrap, 128},  {1.0f, A::eWrap, 128},   {1.25f, A::eWrap, 0},  {-3.75f, A::eWrap, 0},
        {0.0f, A::eClamp, 0},   {1.0f, A::eClamp, 255},  {-3.0f, A::eClamp, 0}, {7.0f, A::eClamp, 255},
        {0.375f, A::eWrap, 64}, {0.375f, A::eClamp, 64},
    };
    for (const auto& sample : cases) {
        const uint32_t word = texture.Sample(sample.u, 0.5f, sample.addressing);
        EXPECT_EQ(word & 0xFFu, sample.red)
            << "u " << sample.u << (sample.addressing == A::eWrap ? " wrap" : " clamp");
        EXPECT_EQ(word >> 24, 255u) << "u " << sample.u;
    }

    // A 3 x 3 image against exact bilinear interpolation (weights quantised to 1/256: within 1).
    uint8_t grid[36];
    for (int i = 0; i < 36; ++i)
        grid[i] = uint8_t((i * 97 + 31) % 256);
    texture.SetImage(3, 3, grid, sizeof grid);
    for (float u = 0.17f; u < 0.84f; u += 0.0625f)
        for (float v = 0.17f; v < 0.84f; v += 0.0625f) {
            const double x = u * 3.0 - 0.5, y = v * 3.0 - 0.5;
            const int x0 = int(std::floor(x)), y0 = int(std::floor(y));
            const double fx = x - x0, fy = y - y0;
            const auto texel = [&](int tx, int ty) { return double(grid[(ty * 3 + tx) * 4 + 1]); };
            const double exact = (texel(x0, y0) * (1 - fx) + texel(x0 + 1, y0) * fx) * (1 - fy) +
                                 (texel(x0, y0 + 1) * (1 - fx) + texel(x0 + 1, y0 + 1) * fx) * fy;
            const double green = double((texture.Sample(u, v, A::eClamp) >> 8) & 0xFFu);
            ASSERT_NEAR(green, exact, 1.0) << "u " << u << " v " << v;
        }
}

TEST(Texture, EveryTexturedEntryOfTheDeviceSamplesTheTexture) {
    // A 2 x 1 texture, red | blue, over a 16 x 8 surface with identity matrices (raster = object).
    const uint32_t texels[2] = {RED, BLUE};
    IVTextureSoft texture;
    texture.SetImage(2, 1, reinterpret_cast<const uint8_t*>(texels), sizeof texels);
    texture.SetAddressing(IVTextureSoft::EAddressing::eClamp);
    const float p0[3] = {0, 0, 0}, p1[3] = {16, 0, 0}, p2[3] = {16, 8, 0}, p3[3] = {0, 8, 0};
    const float t0[2] = {0, 0}, t1[2] = {1, 0}, t2[2] = {1, 1}, t3[2] = {0, 1};
    const float facing[3] = {0, 0, 1};
    const auto draw = [&](int entry, IVRenderSoft& device) {
        switch (entry) {
        case 0:
            device.DrawQuad(p0, p1, p2, p3, t0, t1, t2, t3, facing, texture);
            break;
        case 1: {
            device.SetTexture(&texture);
            auto stream = device.CreateVertexStream<IVVertexPNT>();
            const IVVertexPNT a{0, 0, 0, 0, 0, 1, 0, 0}, b{16, 0, 0, 0, 0, 1, 1, 0},
                c{16, 8, 0, 0, 0, 1, 1, 1}, d{0, 8, 0, 0, 0, 1, 0, 1};
            stream->BeginTriangles();
            stream->AddTriangle(a, b, c);
            stream->AddTriangle(a, c, d);
            stream->End();
            stream->Render(device);
            break;
        }
        case 2: {
            const float origin[3] = {0, 0, 0}, to_end[3] = {16, 8, 0}, to_start[3] = {0, 0, 0};
            EXPECT_TRUE(device.DrawTextureRect(origin, to_end, to_start, &texture));
            break;
        }
        }
    };
    const char* names[3] = {"DrawQuad", "PNT stream", "DrawTextureRect"};
    for (int entry = 0; entry < 3; ++entry) {
        IVDisplaySurfaceSoft surface(16, 8);
        surface.Clear(BLACK);
        IVRenderSoft device;
        device.SetCurrentColour(0xFF00FF00u); // green: must not show
        device.StartFrame(&surface, nullptr);
        draw(entry, device);
        device.StopFrame();
        // Clamped: the left quarter is pure red, the right quarter pure blue, between them a ramp.
        EXPECT_EQ(surface.GetPixel(1, 4), RED) << names[entry];
        EXPECT_EQ(surface.GetPixel(14, 4), BLUE) << names[entry];
        const uint32_t middle = surface.GetPixel(7, 4);
        EXPECT_EQ(middle & 0xFF00u, 0u) << names[entry];
        EXPECT_NEAR(double(middle & 0xFFu), 255.0 * 9.0 / 16.0, 1.0) << names[entry] << " at u = 7.5 / 16";
    }
}

} // namespace
