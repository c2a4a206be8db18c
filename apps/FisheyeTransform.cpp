#include "apps/FisheyeTransform.h"

#include "apps/ArcTangent.h"

#include <cmath>
#include <numbers>

namespace {

// The mapping itself, for the virtual _ToImage and, inlined, for the per-point call.
inline void ToImage(const MMPoint3d<double>& d, double half_angle, double& u, double& v) {
    const double sideways = std::sqrt(d.x * d.x + d.y * d.y);
    if (sideways == 0.0) {
        // On the axis: the centre in front; behind, any point of the outer circle will do.
        u = d.z >= 0.0 ? 0.0 : std::numbers::pi / half_angle;
        v = 0.0;
        return;
    }
    // radius / sideways, with one division where three were: each sits on the point's chain.
    const double scale = ArcTangent2(sideways, d.z) / (half_angle * sideways);
    u = scale * d.x;
    v = scale * d.y;
}

// ToImage for two directions, the same operations; false where one lies on the axis.
inline bool ToImage(const DoublePair* d, double half_angle, DoublePair& u, DoublePair& v) {
    const DoublePair sideways = Sqrt(d[0] * d[0] + d[1] * d[1]);
    if (Any(sideways == Both(0.0)))
        return false;
    const DoublePair scale = ArcTangent2(sideways, d[2]) / (Both(half_angle) * sideways);
    u = scale * d[0];
    v = scale * d[1];
    return true;
}

} // namespace

void FisheyeTransform::_ToImage(const MMPoint3d<double>& d, double& u, double& v) const {
    ToImage(d, md_half_angle, u, v);
}

MMPoint3d<double> FisheyeTransform::_FromImage(double u, double v) const {
    const double radius = std::sqrt(u * u + v * v);
    if (radius == 0.0)
        return {0.0, 0.0, 1.0};
    const double angle = radius * md_half_angle;
    return {std::sin(angle) * u / radius, std::sin(angle) * v / radius, std::cos(angle)};
}

bool FisheyeTransform::Transform(float* out, float x, float y, float z, bool direction) const {
    return _TransformMapped<ToImage>(out, x, y, z, direction);
}

void FisheyeTransform::TransformPoints(float (*out)[3], const float (*in)[3], int count) const {
    _TransformPointsMapped<ToImage, ToImage>(out, in, count);
}
