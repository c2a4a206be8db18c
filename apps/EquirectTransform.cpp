#include "apps/EquirectTransform.h"

#include "apps/ArcTangent.h"

#include <cmath>

namespace {

// The mapping itself, for the virtual _ToImage and, inlined, for the per-point call.
inline void ToImage(const MMPoint3d<double>& d, double half_angle, double& u, double& v) {
    u = ArcTangent2(d.x, d.z) / half_angle;
    v = ArcTangent2(d.y, std::sqrt(d.x * d.x + d.z * d.z)) / half_angle;
}

// ToImage for two directions, the same operations; false where one points straight up or down.
inline bool ToImage(const DoublePair* d, double half_angle, DoublePair& u, DoublePair& v) {
    if (Any((d[0] == Both(0.0)) & (d[2] == Both(0.0))))
        return false;
    u = ArcTangent2(d[0], d[2]) / Both(half_angle);
    v = ArcTangent2(d[1], Sqrt(d[0] * d[0] + d[2] * d[2])) / Both(half_angle);
    return true;
}

} // namespace

void EquirectTransform::_ToImage(const MMPoint3d<double>& d, double& u, double& v) const {
    ToImage(d, md_half_angle, u, v);
}

MMPoint3d<double> EquirectTransform::_FromImage(double u, double v) const {
    const double longitude = u * md_half_angle, latitude = v * md_half_angle;
    return {std::cos(latitude) * std::sin(longitude), std::sin(latitude),
            std::cos(latitude) * std::cos(longitude)};
}

bool EquirectTransform::Transform(float* out, float x, float y, float z, bool direction) const {
    return _TransformMapped<ToImage>(out, x, y, z, direction);
}

void EquirectTransform::TransformPoints(float (*out)[3], const float (*in)[3], int count) const {
    _TransformPointsMapped<ToImage, ToImage>(out, in, count);
}
