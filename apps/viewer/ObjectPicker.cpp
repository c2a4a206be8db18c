#include "apps/viewer/ObjectPicker.h"

#include "host/mesh/MStlFeature.h"
#include "host/mesh/MStlPoint.h"
#include "host/mesh/MStlSurface.h"
#include "host/mesh/MStlTriangle.h"

#include <cmath>
#include <limits>

namespace {

using Vector = MMPoint3d<double>;

Vector Subtract(const Vector& a, const Vector& b) {
    return {a.x - b.x, a.y - b.y, a.z - b.z};
}
Vector Cross(const Vector& a, const Vector& b) {
    return {a.y * b.z - a.z * b.y, a.z * b.x - a.x * b.z, a.x * b.y - a.y * b.x};
}
double Dot(const Vector& a, const Vector& b) {
    return a.x * b.x + a.y * b.y + a.z * b.z;
}

// Ray parameter where the ray enters the box (slab test); false when it misses it.
bool HitsBox(const Ray& ray, const Bounds& box) {
    double enter = 0.0, leave = std::numeric_limits<double>::max();
    const double origin[3] = {ray.origin.x, ray.origin.y, ray.origin.z};
    const double direction[3] = {ray.direction.x, ray.direction.y, ray.direction.z};
    const double low[3] = {box.minimum.x, box.minimum.y, box.minimum.z};
    const double high[3] = {box.maximum.x, box.maximum.y, box.maximum.z};
    for (int axis = 0; axis < 3; ++axis) {
        if (direction[axis] == 0.0) {
            if (origin[axis] < low[axis] || origin[axis] > high[axis])
                return false;
            continue;
        }
        double first = (low[axis] - origin[axis]) / direction[axis];
        double second = (high[axis] - origin[axis]) / direction[axis];
        if (first > second)
            std::swap(first, second);
        enter = std::max(enter, first);
        leave = std::min(leave, second);
    }
    return enter <= leave;
}

// Möller-Trumbore: the ray parameter of the hit, or a negative value for none.
double HitTriangle(const Ray& ray, const Vector& a, const Vector& b, const Vector& c) {
    const Vector edge1 = Subtract(b, a), edge2 = Subtract(c, a);
    const Vector p = Cross(ray.direction, edge2);
    const double determinant = Dot(edge1, p);
    if (std::fabs(determinant) < 1e-300)
        return -1.0;
    const Vector offset = Subtract(ray.origin, a);
    const double u = Dot(offset, p) / determinant;
    if (u < 0.0 || u > 1.0)
        return -1.0;
    const Vector q = Cross(offset, edge1);
    const double v = Dot(ray.direction, q) / determinant;
    if (v < 0.0 || u + v > 1.0)
        return -1.0;
    return Dot(edge2, q) / determinant;
}

// Mesh points (integers in the mesh's own units) to world points: the mesh's point box maps onto the
// object's box in model units, then the placement applies. The scene keeps each mesh as a scaled and
// shifted copy of the model, so this reads the scene's own conversion back, whatever it chose.
class MeshToWorld {
public:
    MeshToWorld(MStlBase& mesh, const Bounds& bounds, const FrameRenderer::Placement& placement) {
        Bounds points;
        for (size_t i = 0; i < mesh.GetNumPoints(); ++i) {
            const MStlPoint* point = mesh.GetPoint(i);
            points.Add(Vector{double(point->x), double(point->y), double(point->z)});
        }
        const double low[3] = {bounds.minimum.x, bounds.minimum.y, bounds.minimum.z};
        const double high[3] = {bounds.maximum.x, bounds.maximum.y, bounds.maximum.z};
        const double mesh_low[3] = {points.minimum.x, points.minimum.y, points.minimum.z};
        const double mesh_high[3] = {points.maximum.x, points.maximum.y, points.maximum.z};
        for (int axis = 0; axis < 3; ++axis) {
            const double factor = mesh_high[axis] > mesh_low[axis]
                                      ? (high[axis] - low[axis]) / (mesh_high[axis] - mesh_low[axis])
                                      : 0.0;
            ma_scale[axis] = factor * placement.scale[axis];
            ma_offset[axis] =
                (low[axis] - mesh_low[axis] * factor) * placement.scale[axis] + placement.offset[axis];
        }
    }
    Vector operator()(const MStlPoint& point) const {
        return {point.x * ma_scale[0] + ma_offset[0], point.y * ma_scale[1] + ma_offset[1],
                point.z * ma_scale[2] + ma_offset[2]};
    }

private:
    double ma_scale[3] = {};
    double ma_offset[3] = {};
};

class TriangleVisitor {
public:
    TriangleVisitor(const Ray& ray, const MeshToWorld& to_world) : mo_ray(ray), mo_to_world(to_world) {}

    void Visit(const MStlFeature* feature) {
        for (size_t i = 0; i < feature->GetNumSurfaces(false); ++i)
            for (const MStlTriangle* triangle = feature->GetSurface(i)->GetFirstTriangle();
                 triangle != nullptr; triangle = triangle->mp_next)
                _Test(*triangle);
        for (size_t i = 0; i < feature->GetNumFeatures(false); ++i)
            Visit(feature->GetFeature(i));
    }
    double GetNearest() const { return md_nearest; }

private:
    void _Test(const MStlTriangle& triangle) {
        if (triangle.mp_points[0] == nullptr || triangle.mp_points[1] == nullptr ||
            triangle.mp_points[2] == nullptr)
            return;
        const double hit =
            HitTriangle(mo_ray, mo_to_world(*triangle.mp_points[0]), mo_to_world(*triangle.mp_points[1]),
                        mo_to_world(*triangle.mp_points[2]));
        if (hit > 0.0 && hit < md_nearest)
            md_nearest = hit;
    }

    const Ray& mo_ray;
    const MeshToWorld& mo_to_world;
    double md_nearest = std::numeric_limits<double>::max();
};

} // namespace

std::optional<size_t> ObjectPicker::Pick(const Scene& scene, const FrameRenderer& renderer, const Ray& ray) {
    std::optional<size_t> picked;
    double nearest = std::numeric_limits<double>::max();
    const auto& objects = scene.GetObjects();
    for (size_t index = 0; index < objects.size(); ++index) {
        const SceneObject& object = objects[index];
        const FrameRenderer::Placement& placement = renderer.GetPlacement(index);
        if (object.mesh == nullptr || object.mesh->GetRootFeature() == nullptr ||
            !HitsBox(ray, BoxEdit::Place(object.bounds, placement)))
            continue;
        const MeshToWorld to_world(*object.mesh, object.bounds, placement);
        TriangleVisitor visitor(ray, to_world);
        visitor.Visit(object.mesh->GetRootFeature());
        if (visitor.GetNearest() < nearest) {
            nearest = visitor.GetNearest();
            picked = index;
        }
    }
    return picked;
}
