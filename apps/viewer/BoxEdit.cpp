#include "apps/viewer/BoxEdit.h"

#include <cmath>

namespace {

double Get(const MMPoint3d<double>& point, int axis) {
    return axis == 0 ? point.x : axis == 1 ? point.y : point.z;
}

void Set(MMPoint3d<double>& point, int axis, double value) {
    (axis == 0 ? point.x : axis == 1 ? point.y : point.z) = value;
}

double Dot(const MMPoint3d<double>& a, const MMPoint3d<double>& b) {
    return a.x * b.x + a.y * b.y + a.z * b.z;
}

} // namespace

bool BoxEdit::Unproject(const WindowProjection& projection, double x, double y, double depth,
                        MMPoint3d<double>& world) {
    return projection.InverseTransform(world, MMPoint3d<double>{x, y, depth}, false);
}

bool BoxEdit::MakeRay(const WindowProjection& projection, const MMPoint3d<double>& eye, double x, double y,
                      Ray& ray) {
    // Window depth is the distance along the view (the panoramic canvas keeps the distance from
    // the eye), so two depths give two points on the ray from the eye.
    MMPoint3d<double> near_point, far_point;
    if (!Unproject(projection, x, y, 1.0, near_point) || !Unproject(projection, x, y, 2.0, far_point))
        return false;
    ray.origin = eye;
    ray.direction = {far_point.x - near_point.x, far_point.y - near_point.y, far_point.z - near_point.z};
    return std::isfinite(Dot(ray.direction, ray.direction)) && Dot(ray.direction, ray.direction) > 0.0;
}

bool BoxEdit::LevelPoint(const Ray& ray, double height, MMPoint3d<double>& point) {
    const MMPoint3d<double>& d = ray.direction;
    if (!(std::abs(d.z) > 0.02 * std::sqrt(Dot(d, d))))
        return false;
    const double s = (height - ray.origin.z) / d.z;
    point = {ray.origin.x + s * d.x, ray.origin.y + s * d.y, height};
    return s > 0.0 && std::isfinite(point.x) && std::isfinite(point.y);
}

bool BoxEdit::AxisParameter(const Ray& ray, const MMPoint3d<double>& point, int world_axis,
                            double& parameter) {
    // Nearest points of the lines point + s·e and origin + r·d.
    MMPoint3d<double> axis{0.0, 0.0, 0.0};
    Set(axis, world_axis, 1.0);
    const MMPoint3d<double> between{point.x - ray.origin.x, point.y - ray.origin.y, point.z - ray.origin.z};
    const double b = Dot(axis, ray.direction), c = Dot(ray.direction, ray.direction);
    const double d = Dot(axis, between), e = Dot(ray.direction, between);
    const double denominator = c - b * b; // |e|² = 1
    if (!(denominator > 1e-9 * c))
        return false;
    parameter = (b * e - c * d) / denominator;
    return std::isfinite(parameter);
}

Bounds BoxEdit::MoveFace(const Bounds& box, int world_axis, bool maximum_side, double delta) {
    Bounds moved = box;
    const double low = Get(box.minimum, world_axis), high = Get(box.maximum, world_axis);
    const double keep = (high - low) * 1e-3;
    if (maximum_side)
        Set(moved.maximum, world_axis, std::max(high + delta, low + keep));
    else
        Set(moved.minimum, world_axis, std::min(low + delta, high - keep));
    return moved;
}

Bounds BoxEdit::Translate(const Bounds& box, const MMPoint3d<double>& offset) {
    Bounds moved = box;
    moved.minimum = {box.minimum.x + offset.x, box.minimum.y + offset.y, box.minimum.z + offset.z};
    moved.maximum = {box.maximum.x + offset.x, box.maximum.y + offset.y, box.maximum.z + offset.z};
    return moved;
}

FrameRenderer::Placement BoxEdit::Map(const FrameRenderer::Placement& start, const Bounds& from,
                                      const Bounds& to) {
    // Per axis: world' = low_to + (world - low_from) · factor, composed with world = s·model + t.
    FrameRenderer::Placement placement = start;
    for (int axis = 0; axis < 3; ++axis) {
        const double low_from = Get(from.minimum, axis), high_from = Get(from.maximum, axis);
        const double low_to = Get(to.minimum, axis), high_to = Get(to.maximum, axis);
        const double factor = high_from > low_from ? (high_to - low_to) / (high_from - low_from) : 1.0;
        placement.scale[axis] = start.scale[axis] * factor;
        placement.offset[axis] = low_to + (start.offset[axis] - low_from) * factor;
    }
    return placement;
}

Bounds BoxEdit::Place(const Bounds& bounds, const FrameRenderer::Placement& placement) {
    if (bounds.IsEmpty())
        return bounds;
    Bounds placed;
    for (int axis = 0; axis < 3; ++axis) {
        Set(placed.minimum, axis, Get(bounds.minimum, axis) * placement.scale[axis] + placement.offset[axis]);
        Set(placed.maximum, axis, Get(bounds.maximum, axis) * placement.scale[axis] + placement.offset[axis]);
    }
    return placed;
}
