#include "apps/EquirectTransform.h"

#include <cmath>

void EquirectTransform::_ToImage(const MMPoint3d<double>& d, double& u, double& v) const {
    u = std::atan2(d.x, d.z) / md_half_angle;
    v = std::atan2(d.y, std::sqrt(d.x * d.x + d.z * d.z)) / md_half_angle;
}

MMPoint3d<double> EquirectTransform::_FromImage(double u, double v) const {
    const double longitude = u * md_half_angle, latitude = v * md_half_angle;
    return {std::cos(latitude) * std::sin(longitude), std::sin(latitude),
            std::cos(latitude) * std::cos(longitude)};
}

bool EquirectTransform::Transform(float* out, float x, float y, float z, bool direction) const {
    return _TransformWith(out, x, y, z, direction,
                          [this](const MMPoint3d<double>& unit, double& u, double& v) {
                              EquirectTransform::_ToImage(unit, u, v);
                          });
}
