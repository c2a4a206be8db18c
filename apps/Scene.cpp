#include "apps/Scene.h"

#include "host/base/MUnit.h"
#include "host/mesh/MStlMeshBuilder.h"

#include <cmath>

namespace {

void IterateSurfaceTriangles(MStlBase& mesh, const std::function<void(MStlTriangle&)>& visit) {
    // MStlMeshBuilder::Make puts every triangle, in order, in the one surface of the root feature.
    MStlFeature* root = mesh.GetRootFeature();
    for (MStlTriangle* triangle = root->GetSurface(0)->mp_first_triangle; triangle != nullptr;
         triangle = triangle->mp_next)
        visit(*triangle);
}

} // namespace

SceneObject& Scene::AddMesh(const StlMesh& data, const std::string& name, uint32_t colour, bool transparent,
                            const std::function<double(double, double, double)>& wave) {
    SceneObject object;
    object.name = name;
    object.colour = colour;
    object.transparent = transparent;
    object.mesh = MStlMeshBuilder::Make(data.points, data.triangles);
    object.triangles = data.triangles.size();

    // The file's facet normals replace the computed ones where the file gave one.
    size_t index = 0;
    IterateSurfaceTriangles(*object.mesh, [&](MStlTriangle& triangle) {
        const auto& normal = data.normals[index++];
        if (normal[0] != 0.0f || normal[1] != 0.0f || normal[2] != 0.0f) {
            triangle.ma_normal[0] = normal[0];
            triangle.ma_normal[1] = normal[1];
            triangle.ma_normal[2] = normal[2];
        }
    });

    const double internal_units = double(MUnit::GetIE());
    for (const auto& point : data.points)
        object.bounds.Add({point[0] / internal_units, point[1] / internal_units, point[2] / internal_units});

    // Point normals: the unweighted mean of the adjacent facet normals; the animation pushes
    // points along them, so a closed surface swells or shrinks without tearing.
    std::vector<std::array<double, 3>> sums(data.points.size(), {0.0, 0.0, 0.0});
    IterateSurfaceTriangles(*object.mesh, [&](MStlTriangle& triangle) {
        for (const MStlPoint* point : triangle.mp_points)
            for (int axis = 0; axis < 3; ++axis)
                sums[point->mn_index][axis] += triangle.ma_normal[axis];
    });
    object.displacement = std::make_unique<MStlVectorMaskPoints>(data.points.size());
    for (size_t point = 0; point < sums.size(); ++point) {
        auto& sum = sums[point];
        const double length = std::sqrt(sum[0] * sum[0] + sum[1] * sum[1] + sum[2] * sum[2]);
        double scale = length > 0.0 ? internal_units / length : 0.0;
        if (wave)
            scale *= wave(data.points[point][0] / internal_units, data.points[point][1] / internal_units,
                          data.points[point][2] / internal_units);
        object.displacement->Set(point, float(sum[0] * scale), float(sum[1] * scale), float(sum[2] * scale));
    }
    mv_objects.push_back(std::move(object));
    return mv_objects.back();
}

Bounds Scene::GetBounds() const {
    Bounds bounds;
    for (const SceneObject& object : mv_objects)
        bounds.Add(object.bounds);
    return bounds;
}

Bounds Scene::GetTransparentBounds() const {
    Bounds bounds;
    for (const SceneObject& object : mv_objects)
        if (object.transparent)
            bounds.Add(object.bounds);
    return bounds;
}

uint64_t Scene::GetNumTriangles() const {
    uint64_t total = 0;
    for (const SceneObject& object : mv_objects)
        total += object.triangles;
    return total;
}
