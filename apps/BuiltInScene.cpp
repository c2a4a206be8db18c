#include "apps/BuiltInScene.h"

#include "apps/PrimitiveBuilder.h"

#include <algorithm>
#include <cmath>

Scene BuiltInScene::Make(int /*internal_units: every object picks its own*/, double detail) {
    auto count = [detail](int base) { return std::max(4, int(std::lround(base * detail))); };
    Scene scene;
    {
        PrimitiveBuilder plate;
        plate.AddBox({-80, -80, -4}, {80, 80, 0}, count(32));
        scene.AddMesh(plate.Take(), "plate", PLATE_COLOUR, false);
    }
    {
        PrimitiveBuilder blob;
        blob.AddSphere({0, 35, 32}, 28, count(72), count(36));
        // Bumps that swell and shrink with the animation scale; zero at the equator's nodes.
        scene.AddMesh(blob.Take(), "blob", BLOB_COLOUR, false, [](double x, double, double z) {
            return DEFAULT_ANIMATION_SCALE * std::sin(0.3 * x) * std::sin(0.3 * (z - 32.0));
        });
    }
    {
        PrimitiveBuilder sphere;
        sphere.AddSphere({-30, -25, 26}, 22, count(56), count(28));
        scene.AddMesh(sphere.Take(), "sphere", SPHERE_COLOUR, true);
    }
    {
        PrimitiveBuilder torus;
        torus.AddTorus({5, -30, 26}, 22, 8, count(72), count(24));
        scene.AddMesh(torus.Take(), "torus", TORUS_COLOUR, true);
    }
    {
        PrimitiveBuilder box;
        box.AddBox({18, -52, 6}, {56, -16, 46}, count(10));
        scene.AddMesh(box.Take(), "box", BOX_COLOUR, true);
    }
    scene.SetDefaultAnimationScale(1.0);
    return scene;
}
