// The panoramic device's opt-in extensions, seen through what reaches the rasterizer: near
// clipping, the subdivision of bending primitives and the triangle count.
#include "host/render/soft/HomogeneousClipper.h"
#include "host/render/soft/IVDisplaySurfaceSoft.h"
#include "host/render/soft/IVTextureSoft.h"
#include "tests/pano/PanoTestDevice.h"
#include "tests/support/PointTransforms.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <limits>
#include <numeric>

namespace {

// Eye space to raster: x' = 100 x / z + 50, y' = -100 y / z + 40, depth 100 / z, w = z.
constexpr float PERSPECTIVE[16] = {100, 0, 50, 0, 0, -100, 40, 0, 0, 0, 0, 100, 0, 0, 1, 0};
constexpr float TOWARD_EYE[3] = {0, 0, -1};
// 2 x 2 texels: red, green, blue, white.
constexpr uint8_t TEXELS[16] = {255, 0, 0, 255, 0, 255, 0, 255, 0, 0, 255, 255, 255, 255, 255, 255};

// A jump of 300 in x where x changes sign: the seam of a panorama in miniature.
class SeamTransform : public RecordingPointTransform {
protected:
    MMPoint3d<double> _Map(const MMPoint3d<double>& in) const override {
        return {in.x < 0.0 ? in.x + 3.0 : in.x, in.y, in.z};
    }
};

class PanoExtensions : public ::testing::Test {
protected:
    PanoExtensions() : surface(100, 80) {
        device.SetTransformEyeWindow(PERSPECTIVE);
        device.StartFrame(&surface, nullptr);
    }

    std::vector<RecordingRasterizer::Primitive> Draw(const float* a, const float* b, const float* c) {
        RecordingRasterizer& recorder = device.Record();
        device.DrawTriangle(a, b, c, TOWARD_EYE);
        return recorder.primitives;
    }

    IVDisplaySurfaceSoft surface;
    PanoTestDevice device;
};

// Exactly the same floats (-0 apart from 0); a failure shows both points.
::testing::AssertionResult SameBits(const std::array<float, 3>& p, const std::array<float, 3>& q) {
    if (std::memcmp(p.data(), q.data(), sizeof p) == 0)
        return ::testing::AssertionSuccess();
    return ::testing::AssertionFailure()
           << ::testing::PrintToString(p) << " against " << ::testing::PrintToString(q);
}

} // namespace

TEST_F(PanoExtensions, NearClippingKeepsFrontTrianglesExactAndCutsOrDropsTheRest) {
    // The supplied normal lies on the negative side of each winding; the depths differ.
    struct Case {
        const char* name;
        float a[3], b[3], c[3];
        bool kept;
    };
    const Case cases[] = {
        {"in front", {-1, -1, 2}, {1, -1, 2}, {0, 1, 4}, true},
        {"behind", {-1, -1, -2}, {1, -1, -2}, {0, 1, -4}, false},
        {"one corner behind", {-1, -1, 2}, {1, -1, 2}, {0, 1, -4}, true},
        {"two corners behind", {-1, -1, 2}, {1, -1, -2}, {0, 1, -4}, true},
    };
    size_t drawn = 0;
    for (const Case& test : cases) {
        device.SetNearClipping(false);
        const auto literal = Draw(test.a, test.b, test.c);
        device.SetNearClipping(true);
        const auto clipped = Draw(test.a, test.b, test.c);
        ASSERT_EQ(literal.size(), 1u) << test.name;
        // Cut at the near plane, and then at the guard band, the polygon fans into pieces.
        ASSERT_EQ(!clipped.empty(), test.kept) << test.name << ": " << clipped.size() << " pieces";
        drawn += literal.size() + clipped.size();
        if (&test == &cases[0]) {
            ASSERT_EQ(clipped.size(), 1u);
            for (int k = 0; k < 3; ++k)
                EXPECT_TRUE(SameBits(literal[0].points[k], clipped[0].points[k])) << "corner " << k;
        }
        // Each piece: in front, and its normal is its own raster normal turned to the side the
        // supplied normal chose for the whole triangle (here the negative side of the winding).
        for (const auto& piece : clipped) {
            const auto& [ra, rb, rc] = piece.points;
            const double u[3] = {rb[0] - ra[0], rb[1] - ra[1], rb[2] - ra[2]};
            const double v[3] = {rc[0] - ra[0], rc[1] - ra[1], rc[2] - ra[2]};
            const double m[3] = {u[1] * v[2] - u[2] * v[1], u[2] * v[0] - u[0] * v[2],
                                 u[0] * v[1] - u[1] * v[0]};
            const double length = std::sqrt(m[0] * m[0] + m[1] * m[1] + m[2] * m[2]);
            for (int k = 0; k < 3; ++k) {
                EXPECT_GT(piece.points[k][2], 0.0f) << test.name << ": depth of a piece corner";
                EXPECT_NEAR(piece.normal[k], -m[k] / length, 1e-5) << test.name << ": normal component " << k;
            }
        }
    }
    EXPECT_EQ(device.GetNumRasterTriangles(), drawn);
    device.StopFrame();
    device.StartFrame(&surface, nullptr);
    EXPECT_EQ(device.GetNumRasterTriangles(), 0u) << "the count starts again with each frame";
}

TEST(HomogeneousClipperTest, TrianglesSharingACutEdgeGetTheSameCutPoint) {
    // Edge p -> q crosses the near plane; the two triangles run along it in opposite directions.
    const HomogeneousClipper::Vertex p{{1, 1, 5, 2}, {0, 0}}, q{{-0.5f, -0.5f, 1, -1}, {1, 1}};
    const HomogeneousClipper::Vertex left{{0, 5, 2, 1}, {0, 1}}, right{{4, -5, 2, 1}, {1, 0}};
    HomogeneousClipper first, second;
    const int first_count = first.ClipTriangle(p, q, left);
    const int second_count = second.ClipTriangle(q, p, right);
    ASSERT_GE(first_count, 4);
    ASSERT_GE(second_count, 4);
    int shared = 0;
    for (int i = 0; i < first_count; ++i)
        for (int k = 0; k < second_count; ++k)
            shared +=
                std::equal(first.GetCorner(i).h, first.GetCorner(i).h + 4, second.GetCorner(k).h) ? 1 : 0;
    EXPECT_GE(shared, 2) << "p and the cut point on p -> q";
    for (int i = 0; i < first_count; ++i)
        EXPECT_GE(first.GetCorner(i).h[3], HomogeneousClipper::NEAR_W);
    // Texture coordinates move with the position, linearly in homogeneous space.
    HomogeneousClipper::Vertex front{{0, 0, 0, 1}, {0, 0}}, back{{0, 0, 0, -1}, {1, 2}};
    ASSERT_TRUE(HomogeneousClipper::ClipSegment(front, back));
    EXPECT_NEAR(back.attribute[0], 0.5, 1e-5);
    EXPECT_NEAR(back.attribute[1], 1.0, 1e-5);
    // A segment beyond the guard band keeps only its part inside it.
    HomogeneousClipper::Vertex a{{0, 0, 0, 1}, {0, 0}}, b{{1e7f, 0, 0, 1}, {0, 0}};
    ASSERT_TRUE(HomogeneousClipper::ClipSegment(a, b));
    EXPECT_EQ(b.h[0], HomogeneousClipper::GUARD_BAND);
    HomogeneousClipper::Vertex c{{0, 0, 0, -1}, {0, 0}},
        d{{0, 0, 0, std::numeric_limits<float>::quiet_NaN()}, {0, 0}};
    EXPECT_FALSE(HomogeneousClipper::ClipSegment(c, d)) << "behind the eye, or not a number";
}

TEST_F(PanoExtensions, LinesAndPointsBehindTheEyeAreClippedOnlyWhenAsked) {
    const float white[3] = {1, 1, 1};
    for (const bool clipping : {false, true}) {
        device.SetNearClipping(clipping);
        RecordingRasterizer& recorder = device.Record();
        device.DrawLine(0, 0, 2, 0, 1, -2, white);
        device.SetCurrentColour(0x000000FFu); // not the rasterizer's state: the plain line leaves it alone
        device.DrawLine(0, 0, 2, 0, 1, -2);
        device.DrawPoint(0, 0, -1);
        const float points[6] = {0, 0, 3, 0, 0, -3};
        device.DrawPoints(points, 2);
        ASSERT_EQ(recorder.primitives.size(), clipping ? 3u : 5u);
        // The plain line stays 1.0 nearer in raster depth than the coloured one, in its colour.
        EXPECT_EQ(recorder.primitives[1].colour.Values(), recorder.primitives[0].colour.Values());
        EXPECT_EQ(recorder.primitives[0].colour.Values(),
                  (std::array<uint32_t, 7>{255, 63, 255, 63, 255, 63, 0}));
        EXPECT_EQ(recorder.primitives[1].points[0][2], recorder.primitives[0].points[0][2] + 1.0f);
        EXPECT_EQ(recorder.primitives[1].points[1][2], recorder.primitives[0].points[1][2] + 1.0f);
        if (clipping) {
            EXPECT_GT(recorder.primitives[0].points[1][2], 0.0f) << "the clipped end lies in front";
        }
    }
}

TEST_F(PanoExtensions, SubdivisionFollowsTheTransformAndKeepsTheSide) {
    const float a[3] = {-2, -2, 3}, b[3] = {2, -2, 3}, c[3] = {0, 2, 3};
    // Switched off by a tolerance of zero or less, or not a number; the depth is clamped.
    for (const float tolerance : {0.0f, -1.0f, std::numeric_limits<float>::quiet_NaN()}) {
        device.SetSubdivision(tolerance, 5);
        EXPECT_EQ(device.GetSubdivisionTolerance(), 0.0f);
    }
    device.SetSubdivision(0.25f, 99);
    EXPECT_EQ(device.GetSubdivisionDepth(), IVRenderSoftPano::MAX_SUBDIVISION_DEPTH);
    EXPECT_EQ(Draw(a, b, c).size(), 1u) << "without a transform nothing bends";

    FisheyePointTransform fisheye(0, 0, 1);
    device.SetTransform(&fisheye);
    device.SetSubdivision(0.0f, 6);
    const auto whole = Draw(a, b, c);
    ASSERT_EQ(whole.size(), 1u);
    device.SetSubdivision(0.25f, 6);
    const auto pieces = Draw(a, b, c);
    EXPECT_GT(pieces.size(), 16u);
    // One normal for the whole source triangle: pieces lit by their own bent corners would
    // break a flat face into facets of different tones.
    for (const auto& piece : pieces) {
        EXPECT_TRUE(SameBits(piece.normal, pieces.front().normal)) << "against the first piece's";
        EXPECT_GT(piece.normal[2] * whole[0].normal[2], 0.0f)
            << "every piece faces the supplied normal's side";
    }
    for (int k = 0; k < 3; ++k)
        EXPECT_TRUE(std::any_of(pieces.begin(), pieces.end(),
                                [&](const auto& piece) {
                                    return std::any_of(piece.points.begin(), piece.points.end(),
                                                       [&](const auto& point) {
                                                           return bool(SameBits(point, whole[0].points[k]));
                                                       });
                                }))
            << "corner " << k << " of the whole triangle is a corner of a piece";
}

TEST_F(PanoExtensions, LineAcrossADiscontinuityIsCutThereNotDrawnAcross) {
    SeamTransform seam;
    device.SetTransform(&seam);
    device.SetSubdivision(0.5f, 6);
    RecordingRasterizer& recorder = device.Record();
    device.DrawLine(-0.5f, 0, 2, 0.5f, 0, 2);
    ASSERT_GE(recorder.primitives.size(), 2u);
    // Raster x is 50 + 50 x' at depth 2, x' = x + 3 left of the seam: the right half lies on
    // 50 .. 75, the left half on 175 .. 200, and nothing may bridge the gap between.
    float lowest = 1e9f, highest = -1e9f;
    for (const auto& line : recorder.primitives) {
        const float low = std::min(line.points[0][0], line.points[1][0]);
        const float high = std::max(line.points[0][0], line.points[1][0]);
        EXPECT_FALSE(low < 100.0f && high > 150.0f) << "a piece from " << low << " to " << high;
        lowest = std::min(lowest, low);
        highest = std::max(highest, high);
    }
    EXPECT_NEAR(lowest, 50.0f, 0.1f);
    EXPECT_NEAR(highest, 200.0f, 0.1f);
}

TEST_F(PanoExtensions, TexturedTrianglesCarryTheirCoordinatesIntoEveryPiece) {
    IVTextureSoft texture;
    texture.SetImage(2, 2, TEXELS, sizeof TEXELS);
    ASSERT_TRUE(device.SetTexture(&texture));
    const float a[3] = {-2, -2, 3}, b[3] = {2, -2, 3}, c[3] = {0, 2, 5};
    const float ta[2] = {0, 0}, tb[2] = {1, 0}, tc[2] = {0.5f, 1};
    FisheyePointTransform fisheye(0, 0, 1);
    device.SetTransform(&fisheye);
    for (const bool extended : {false, true}) {
        device.SetSubdivision(extended ? 0.25f : 0.0f, 6);
        device.SetNearClipping(extended);
        RecordingRasterizer& recorder = device.Record();
        device.DrawTriangleTextured(a, b, c, TOWARD_EYE, ta, tb, tc);
        ASSERT_EQ(recorder.textures.size(), recorder.primitives.size());
        ASSERT_EQ(recorder.textures.size() > 1, extended);
        for (size_t k = 0; k < recorder.textures.size(); ++k)
            for (int corner = 0; corner < 3; ++corner) {
                const auto& t = recorder.textures[k][corner];
                // u, v stay inside the triangle's texture range; w is the corner's clip w,
                // which the camera makes its eye depth. The corners' depths are 3, 3 and 5 where
                // v is 0, 0 and 1, and both are linear over the triangle: w follows v.
                EXPECT_TRUE(t[0] >= 0.0f && t[0] <= 1.0f && t[1] >= 0.0f && t[1] <= 1.0f)
                    << t[0] << "," << t[1];
                EXPECT_NEAR(t[2], 3.0f + 2.0f * t[1], 1e-4f) << "v " << t[1];
            }
        if (!extended) {
            // The literal projection, textured.
            float ra[3];
            device._TransformObjectRaster(ra, a[0], a[1], a[2], 1.0f);
            EXPECT_TRUE(SameBits(recorder.primitives[0].points[0], {ra[0], ra[1], ra[2]}));
            EXPECT_EQ(recorder.textures[0][2][2], 5.0f);
        }
        // The coordinates were for that one triangle only.
        const size_t textured = recorder.textures.size(), drawn = recorder.primitives.size();
        device.DrawTriangle(a, b, c, TOWARD_EYE);
        EXPECT_EQ(recorder.textures.size(), textured);
        EXPECT_GT(recorder.primitives.size(), drawn);
    }
}

TEST_F(PanoExtensions, ReusedProjectionsGiveTheSameBitsAndFollowMatrixAndTransformChanges) {
    // A strip of triangles sharing corners and edges, drawn under two object matrices and two
    // transforms; with reuse every piece must be the bits it is without.
    std::vector<std::array<float, 3>> corners;
    for (int i = 0; i < 6; ++i)
        corners.push_back({float(i) * 0.7f - 2.0f, float(i % 2) * 1.5f - 0.75f, 3.0f + float(i) * 0.1f});
    const float moved[16] = {1, 0, 0, 0.3f, 0, 1, 0, -0.2f, 0, 0, 1, 0.5f, 0, 0, 0, 1};
    const float identity[16] = {1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1};
    FisheyePointTransform fisheye(0, 0, 1), other(0.5, 0, 2);
    device.SetSubdivision(0.25f, 6);
    auto draw = [&](bool reuse) {
        device.SetProjectionReuse(reuse);
        RecordingRasterizer& recorder = device.Record();
        // Each step changes one thing: the matrix alone, then the transform alone.
        const std::pair<MMTransform*, const float*> steps[] = {
            {&fisheye, identity}, {&fisheye, moved}, {&other, moved}};
        for (size_t step = 0; step < 3; ++step) {
            const auto& [transform, matrix] = steps[step];
            if (step == 0 || transform != steps[step - 1].first)
                device.SetTransform(transform);
            if (step == 0 || matrix != steps[step - 1].second)
                device.SetTransformObjectWorld(matrix);
            for (size_t i = 0; i + 2 < corners.size(); ++i)
                device.DrawTriangle(corners[i].data(), corners[i + 1].data(), corners[i + 2].data(),
                                    TOWARD_EYE);
        }
        return recorder.primitives;
    };
    const auto literal = draw(false);
    const size_t computed = fisheye.received.size() + other.received.size();
    const auto reused = draw(true);
    ASSERT_EQ(reused.size(), literal.size());
    for (size_t k = 0; k < literal.size(); ++k)
        for (int corner = 0; corner < 3; ++corner)
            ASSERT_TRUE(SameBits(reused[k].points[corner], literal[k].points[corner]))
                << "piece " << k << " corner " << corner;
    const size_t transformed = fisheye.received.size() + other.received.size() - computed;
    EXPECT_LT(transformed * 2, computed)
        << "points sent through the transforms: " << transformed << " with reuse, " << computed << " without";
}

TEST_F(PanoExtensions, ACornerInTheEyePlaneBecomesTheHostsDirectionOnBothPaths) {
    // At w = 0 there is nothing to divide by: the host scales the point to a unit direction, and
    // the extended path, which otherwise divides all lanes at once, must give the same bits.
    IdentityPointTransform identity;
    device.SetTransform(&identity);
    const float a[3] = {1, 0, 0}, b[3] = {0, 1, 2}, c[3] = {1, 1, 2};
    const auto literal = Draw(a, b, c);
    device.SetSubdivision(1e9f, 1); // the extended path, with nothing to split
    const auto extended = Draw(a, b, c);
    ASSERT_EQ(literal.size(), 1u);
    ASSERT_EQ(extended.size(), 1u);
    for (int corner = 0; corner < 3; ++corner)
        EXPECT_TRUE(SameBits(extended[0].points[corner], literal[0].points[corner])) << "corner " << corner;
}

TEST(PanoVertexThreads, HeldTrianglesGiveTheSameBytesCountsAndReadsForAnyThreadCount) {
    // A bent grid of 27,200 overlapping triangles, the first 17,600 uninterrupted (more than two
    // batches, so that one is projected while the next fills), drawn first without
    // the z-buffer so that their order shows, with everything that must see the triangles drawn
    // before it interleaved: colours, lines, points, textured triangles, a matrix, a transform and
    // a plane change, the z-buffer switch and surface reads.
    IVTextureSoft texture;
    texture.SetImage(2, 2, TEXELS, sizeof TEXELS);
    IVTextureSoft other_texture;
    other_texture.SetImage(1, 1, TEXELS + 4, 4);
    FisheyePointTransform fisheye(0, 0, 1), other(0.3, -0.2, 2);
    fisheye.recording = other.recording = false;
    const float moved[16] = {1, 0, 0, 0.3f, 0, 1, 0, -0.2f, 0, 0, 1, 0.5f, 0, 0, 0, 1};
    struct Result {
        std::vector<uint8_t> pixels;
        std::vector<uint32_t> reads;
        size_t pieces = 0;
    };
    auto render = [&](int threads) {
        IVDisplaySurfaceSoft surface(100, 80);
        IVRenderSoftPano device;
        device.SetTransformEyeWindow(PERSPECTIVE);
        device.SetTransform(&fisheye);
        device.SetNearClipping(true);
        device.SetSubdivision(0.25f, 6);
        device.SetProjectionReuse(true);
        device.SetVertexThreads(threads);
        device.StartFrame(&surface, nullptr);
        device.EnableZBuffer(false, true);
        device.SetTexture(&texture);
        Result result;
        const auto checksum = [&surface] {
            const uint8_t* pixels = surface.GetPixels();
            return uint32_t(std::accumulate(pixels, pixels + 100 * 80 * 4, uint64_t(0),
                                            [](uint64_t sum, uint8_t value) { return sum * 31 + value; }));
        };
        constexpr int COLUMNS = 80, ROWS = 170;
        for (int row = 0; row < ROWS; ++row) {
            for (int column = 0; column < COLUMNS; ++column) {
                const float x = float(column - COLUMNS / 2) * 0.08f, y = float(row - ROWS / 2) * 0.04f;
                const float z = 2.0f + 0.3f * std::sin(x * 3.0f) + (row % 7 == 3 ? -2.5f : 0.0f);
                const float a[3] = {x, y, z}, b[3] = {x + 0.13f, y, z}, c[3] = {x, y + 0.13f, z + 0.05f};
                const float d[3] = {x + 0.13f, y + 0.13f, z + 0.05f};
                const float colour[3] = {float(row) / ROWS, float(column) / COLUMNS, 0.5f};
                device.DrawTriangle(a, b, c, TOWARD_EYE, colour);
                if (column % 9 == 0) {
                    const float ta[2] = {0, 0}, tb[2] = {1, 0}, tc[2] = {0, 1};
                    device.DrawTriangleTextured(b, d, c, TOWARD_EYE, ta, tb, tc);
                } else {
                    device.DrawTriangle(b, d, c, TOWARD_EYE);
                }
            }
            if (row < 109)
                continue;
            if (row % 10 == 8 || row == 109)
                result.reads.push_back(checksum());
            if (row == 114 || row == 117)
                device.SetTexture(row == 114 ? &other_texture : &texture);
            if (row % 10 == 5) {
                result.reads.push_back(checksum());
                device.DrawLine(-2, float(row) * 0.05f - 2, 2.5f, 2, 1, 3);
                device.DrawPoint(0.1f * float(row % 13), 0.2f, 2.0f);
            }
            if (row == 120)
                device.SetTransformObjectWorld(moved);
            if (row == 140)
                device.SetTransform(&other);
            if (row == 150) {
                device.SetClippingPlane(0, 0.3f, 1, 0, 0.5f);
                device.EnableClippingPlane(0, true);
            }
            if (row == 160)
                device.EnableZBuffer(true, true);
        }
        result.pieces = device.GetNumRasterTriangles();
        device.StopFrame();
        result.pixels.assign(surface.GetPixels(), surface.GetPixels() + 100 * 80 * 4);
        return result;
    };
    const Result one = render(1);
    ASSERT_GT(one.pieces, 27200u);
    for (const int threads : {2, 7}) {
        const Result many = render(threads);
        EXPECT_EQ(many.pieces, one.pieces) << threads << " threads";
        EXPECT_EQ(many.reads, one.reads) << threads << " threads: reads during the frame differ";
        EXPECT_TRUE(many.pixels == one.pixels) << threads << " threads: the images differ";
    }
}
