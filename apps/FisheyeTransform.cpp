#include "apps/FisheyeTransform.h"

#include <cmath>
#include <numbers>

void FisheyeTransform::_ToImage(const MMPoint3d<double>& d, double& u, double& v) const {
    const double sideways = std::sqrt(d.x * d.x + d.y * d.y);
    if (sideways == 0.0) {
        // On the axis: the centre in front; behind, any point of the outer circle will do.
        u = d.z >= 0.0 ? 0.0 : std::numbers::pi / md_half_angle;
        v = 0.0;
        return;
    }
    const double radius = std::atan2(sideways, d.z) / md_half_angle;
    u = radius * d.x / sideways;
    v = radius * d.y / sideways;
}

MMPoint3d<double> FisheyeTransform::_FromImage(double u, double v) const {
    const double radius = std::sqrt(u * u + v * v);
    if (radius == 0.0)
        return {0.0, 0.0, 1.0};
    const double angle = radius * md_half_angle;
    return {std::sin(angle) * u / radius, std::sin(angle) * v / radius, std::cos(angle)};
}

bool FisheyeTransform::Transform(float* out, float x, float y, float z, bool direction) const {
    return _TransformWith(out, x, y, z, direction,
                          [this](const MMPoint3d<double>& unit, double& u, double& v) {
                              FisheyeTransform::_ToImage(unit, u, v);
                          });
}
