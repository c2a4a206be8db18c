#include "apps/CylindricalTransform.h"

#include "apps/ArcTangent.h"

#include <cmath>

namespace {

// The mapping itself, for the virtual _ToImage and, inlined, for the per-point call.
inline void ToImage(const MMPoint3d<double>& d, double half_angle, double& u, double& v) {
    const double horizontal = std::sqrt(d.x * d.x + d.z * d.z);
    u = ArcTangent2(d.x, d.z) / half_angle;
    // Straight up or down has no finite height; a large one keeps the point off the image. (The
    // bound is relative, as d has any length: within 1e-12 of the vertical.)
    v = (horizontal > 1e-12 * std::abs(d.y) ? d.y / horizontal : std::copysign(1e12, d.y)) / half_angle;
}

// ToImage for two directions, the same operations; false where one points straight up or down.
inline bool ToImage(const DoublePair* d, double half_angle, DoublePair& u, DoublePair& v) {
    if (Any((d[0] == Both(0.0)) & (d[2] == Both(0.0))))
        return false;
    const DoublePair horizontal = Sqrt(d[0] * d[0] + d[2] * d[2]);
    u = ArcTangent2(d[0], d[2]) / Both(half_angle);
    v = Select(horizontal > Both(1e-12) * Abs(d[1]), d[1] / horizontal, CopySign(Both(1e12), d[1])) /
        Both(half_angle);
    return true;
}

} // namespace

void CylindricalTransform::_ToImage(const MMPoint3d<double>& d, double& u, double& v) const {
    ToImage(d, md_half_angle, u, v);
}

MMPoint3d<double> CylindricalTransform::_FromImage(double u, double v) const {
    const double longitude = u * md_half_angle;
    const double height = v * md_half_angle;
    const double length = std::sqrt(1.0 + height * height);
    return {std::sin(longitude) / length, height / length, std::cos(longitude) / length};
}

bool CylindricalTransform::Transform(float* out, float x, float y, float z, bool direction) const {
    return _TransformMapped<ToImage>(out, x, y, z, direction);
}

void CylindricalTransform::TransformPoints(float (*out)[3], const float (*in)[3], int count) const {
    _TransformPointsMapped<ToImage, ToImage>(out, in, count);
}
