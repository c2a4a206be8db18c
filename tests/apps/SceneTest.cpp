// Each object in internal units of its own: the scale and origin the scene picks, and pictures
// that stay the same wherever a scene sits and whatever unit it is modelled in.
#include "apps/Scene.h"
#include "apps/FrameRenderer.h"
#include "apps/PrimitiveBuilder.h"
#include "apps/SceneLoader.h"
#include "tests/apps/StlTestFiles.h"

#include "host/base/MMaterial.h"

#include <gtest/gtest.h>

#include <array>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <sstream>

namespace {

StlMesh Box(const MMPoint3d<double>& minimum, const MMPoint3d<double>& maximum) {
    PrimitiveBuilder builder;
    builder.AddBox(minimum, maximum, 2);
    return builder.Take();
}

// A mesh's points moved and scaled: model point * scale + offset.
StlMesh Placed(StlMesh mesh, double scale, const MMPoint3d<double>& offset) {
    for (auto& point : mesh.points)
        point = {point[0] * scale + offset.x, point[1] * scale + offset.y, point[2] * scale + offset.z};
    return mesh;
}

// An opaque box behind a transparent sphere and a transparent box, about 60 units across at the
// origin, then moved and scaled.
Scene MakeScene(double scale, const MMPoint3d<double>& offset) {
    Scene scene;
    PrimitiveBuilder sphere;
    sphere.AddSphere({-8, 0, 4}, 12, 24, 12);
    scene.AddMesh(Placed(Box({-30, 15, -20}, {30, 25, 25}), scale, offset), "wall",
                  MMaterial::MakeColour(200, 120, 40, 255), false);
    scene.AddMesh(Placed(sphere.Take(), scale, offset), "sphere", MMaterial::MakeColour(40, 60, 220, 140),
                  true);
    scene.AddMesh(Placed(Box({5, -10, -10}, {20, 5, 12}), scale, offset), "box",
                  MMaterial::MakeColour(40, 200, 60, 120), true);
    scene.Recentre(); // as the loader does
    return scene;
}

std::vector<uint8_t> Render(double scale, const MMPoint3d<double>& offset, Projection projection,
                            bool clipped = false) {
    Scene scene = MakeScene(scale, offset);
    Options options;
    options.width = 160;
    options.height = 120;
    options.projection = projection;
    options.eye = MMPoint3d<double>{25 * scale + offset.x, -45 * scale + offset.y, 20 * scale + offset.z};
    options.target = offset;
    if (clipped) // through the sphere and the near box, in model units
        options.clip = std::array<double, 4>{0.0, -1.0, 0.0, 5.0 * scale + offset.y};
    FrameRenderer renderer(scene, options);
    renderer.Render(0);
    return {renderer.GetPixels(), renderer.GetPixels() + 160 * 120 * 4};
}

} // namespace

TEST(SceneTest, EachMeshSpansAboutTwoToTheTwentyOneUnitsAndTrianglesBelowThatResolutionAreDegenerate) {
    for (const double size : {2e-3, 1.0, 3.0, 7e4}) {
        for (const MMPoint3d<double>& offset :
             {MMPoint3d<double>{0, 0, 0}, MMPoint3d<double>{1e6, -2e7, 5e5}}) {
            Scene scene;
            const StlMesh mesh = Placed(Box({0, 0, 0}, {1, 0.5, 0.25}), size, offset);
            const SceneObject& object = scene.AddMesh(mesh, "box", 0xFFFFFFFFu, false);
            SCOPED_TRACE(std::to_string(size) + " at " + std::to_string(offset.x));
            int exponent = 0;
            EXPECT_EQ(std::frexp(object.units_per_model, &exponent), 0.5) << "a power of two";
            const double span = size * object.units_per_model;
            EXPECT_GE(span, 1 << 21);
            EXPECT_LT(span, 1 << 22);
            const auto matrix = object.GetMeshToWorld();
            const MStlPoint& corner = *object.mesh->GetPoint(0);
            EXPECT_LE(std::abs(corner.x), 1 << 22);
            // The matrix takes the mesh point back to the model point it came from.
            const double world = matrix[0] * double(corner.x) + matrix[3];
            EXPECT_NEAR(world, mesh.points[0][0], size * 1e-6 + std::abs(offset.x) * 1e-7);
            EXPECT_EQ(object.degenerate, 0u);
        }
    }

    StlMesh small = Box({0, 0, 0}, {1, 1, 1});
    const auto first = uint32_t(small.points.size());
    small.points.push_back({0.5, 0.5, 0.5});
    small.points.push_back({0.5 + 1e-9, 0.5, 0.5});
    small.points.push_back({0.5, 0.75, 0.5});
    small.triangles.push_back({first, first + 1, first + 2});
    small.normals.push_back({0, 0, 0});
    small.degenerate = 3; // left out by a reader
    Scene tiny;
    const SceneObject& counted = tiny.AddMesh(small, "box", 0xFFFFFFFFu, false);
    EXPECT_EQ(counted.degenerate, 4u);
    EXPECT_EQ(counted.triangles, small.triangles.size() - 1);
    EXPECT_EQ(tiny.GetNumDegenerateTriangles(), 4u);
}

TEST(SceneTest, ModelFilesTakeTheirAlphaByteRoundedToNearest) {
    const ScratchDirectory folder;
    Options options;
    options.meshes = {folder.Write("square.stl", MakeBinaryStl(UnitSquare()))};
    for (const auto& [alpha, byte] : {std::pair{0.5, 128u}, {0.3, 77u}, {1.0, 255u}}) {
        options.alpha = alpha;
        std::ostringstream errors;
        const Scene scene = SceneLoader::Load(options, "test", errors);
        EXPECT_EQ(scene.GetObjects().at(0).colour >> 24, byte) << "alpha " << alpha;
        EXPECT_EQ(scene.GetObjects().at(0).transparent, alpha < 1.0) << "alpha " << alpha;
    }
}

TEST(SceneTest, FarFromTheOriginAndInOtherUnitsTheSceneLooksTheSame) {
    struct Placement {
        const char* name;
        double scale;
        MMPoint3d<double> offset;
    };
    const Placement placements[] = {
        {"2e6 units away", 1.0, {2e6, -1.5e6, 3e5}},
        {"in metres", 1e-3, {0, 0, 0}},
        {"in metres, 2 km away", 1e-3, {2000, -1500, 300}},
        {"in metres, in survey coordinates 2,600 km out", 1e-3, {2.6e6, 1.2e6, 450}},
        {"a thousand times larger", 1e3, {0, 0, 0}},
    };
    for (const Projection projection : {Projection::eNone, Projection::eFisheye}) {
        const std::vector<uint8_t> reference = Render(1.0, {0, 0, 0}, projection);
        int drawn = 0;
        for (size_t pixel = 0; pixel < reference.size(); pixel += 4)
            drawn += std::memcmp(&reference[pixel], &FrameRenderer::BACKGROUND, 3) != 0;
        EXPECT_GT(drawn, 19200 / 15) << "the scene fills a good part of the image";
        for (const Placement& placement : placements) {
            const std::vector<uint8_t> image = Render(placement.scale, placement.offset, projection);
            // Pixels whose colour is found nowhere within one pixel of the same place in the
            // reference: edges that rounding moves by a pixel do not count. (The device's world
            // coordinates are floats: without the scene's world offset, the survey placement
            // would reach it in steps of a fifth of the sphere, and the fisheye's bent edges would
            // fall apart.)
            auto close = [&](size_t pixel, int x, int y) {
                if (x < 0 || y < 0 || x >= 160 || y >= 120)
                    return false;
                const size_t other = 4 * (size_t(y) * 160 + size_t(x));
                for (size_t channel = 0; channel < 3; ++channel)
                    if (std::abs(int(image[pixel + channel]) - int(reference[other + channel])) > 24)
                        return false;
                return true;
            };
            int different = 0;
            for (int y = 0; y < 120; ++y)
                for (int x = 0; x < 160; ++x) {
                    bool found = false;
                    for (int dy = -1; dy <= 1 && !found; ++dy)
                        for (int dx = -1; dx <= 1 && !found; ++dx)
                            found = close(4 * (size_t(y) * 160 + size_t(x)), x + dx, y + dy);
                    different += !found;
                }
            EXPECT_LE(different, 8) << placement.name << ", projection " << int(projection)
                                    << " (of 19200 pixels)";
        }
    }
}

// Moved by whole multiples of a power of two above its size, a scene lands on the same world
// coordinates as at the origin: the same bytes, also where a clipping plane given in model units
// cuts it.
TEST(SceneTest, MovedByMultiplesOfItsWorldGridTheSceneDrawsTheSameBytes) {
    const MMPoint3d<double> far{3.0 * 1048576.0, -5.0 * 1048576.0, 262144.0};
    for (const Projection projection : {Projection::eNone, Projection::eFisheye}) {
        const std::vector<uint8_t> moved = Render(1.0, far, projection, true);
        const std::vector<uint8_t> reference = Render(1.0, {0, 0, 0}, projection, true);
        int different = 0;
        for (size_t pixel = 0; pixel < reference.size(); pixel += 4)
            different += std::memcmp(&moved[pixel], &reference[pixel], 4) != 0;
        EXPECT_EQ(different, 0) << "pixels of 19200, projection " << int(projection);
    }
}
