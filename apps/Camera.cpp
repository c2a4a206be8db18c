#include "apps/Camera.h"

#include <algorithm>
#include <cmath>
#include <numbers>

namespace {

using Vector = MMPoint3d<double>;

Vector Subtract(const Vector& a, const Vector& b) {
    return {a.x - b.x, a.y - b.y, a.z - b.z};
}
double Dot(const Vector& a, const Vector& b) {
    return a.x * b.x + a.y * b.y + a.z * b.z;
}
Vector Cross(const Vector& a, const Vector& b) {
    return {a.y * b.z - a.z * b.y, a.z * b.x - a.x * b.z, a.x * b.y - a.y * b.x};
}
Vector Normalised(const Vector& v) {
    const double length = std::sqrt(Dot(v, v));
    return length > 0.0 ? Vector{v.x / length, v.y / length, v.z / length} : v;
}
double Radians(double degrees) {
    return degrees * std::numbers::pi / 180.0;
}

// Default viewing direction of the automatic framing: from the front left, 28 degrees above.
constexpr double FRAME_AZIMUTH_DEGREES = -110.0;
constexpr double FRAME_ELEVATION_DEGREES = 28.0;

} // namespace

Camera::Camera(const MMPoint3d<double>& eye, const MMPoint3d<double>& target, int width, int height,
               double horizontal_fov_degrees)
    : mo_eye(eye), mo_target(target), mn_width(width), mn_height(height),
      md_fov_degrees(horizontal_fov_degrees) {
    mo_forward = Normalised(Subtract(target, eye));
    // Looking straight up or down: the world y axis stands in for the vertical.
    Vector vertical{0.0, 0.0, 1.0};
    if (std::fabs(Dot(mo_forward, vertical)) > 0.999999)
        vertical = {0.0, 1.0, 0.0};
    mo_right = Normalised(Cross(mo_forward, vertical));
    mo_up = Cross(mo_right, mo_forward);
    md_focal = 0.5 * width / std::tan(Radians(horizontal_fov_degrees) * 0.5);
    const double distance = std::sqrt(Dot(Subtract(target, eye), Subtract(target, eye)));
    SetDepthRange(std::max(distance * 1e-3, 1e-6), std::max(distance * 100.0, 1.0));
}

MMPoint3d<double> Camera::FrameDirection() {
    const double azimuth = Radians(FRAME_AZIMUTH_DEGREES), elevation = Radians(FRAME_ELEVATION_DEGREES);
    return {std::cos(elevation) * std::cos(azimuth), std::cos(elevation) * std::sin(azimuth),
            std::sin(elevation)};
}

Camera Camera::Orbit(double degrees) const {
    const double angle = Radians(degrees);
    const Vector offset = Subtract(mo_eye, mo_target);
    const Vector turned{offset.x * std::cos(angle) - offset.y * std::sin(angle),
                        offset.x * std::sin(angle) + offset.y * std::cos(angle), offset.z};
    Camera result(Vector{mo_target.x + turned.x, mo_target.y + turned.y, mo_target.z + turned.z}, mo_target,
                  mn_width, mn_height, md_fov_degrees);
    result.SetDepthRange(md_near, md_far);
    return result;
}

void Camera::SetDepthRange(double near_distance, double far_distance) {
    md_near = near_distance;
    md_far = std::max(far_distance, near_distance * 2.0);
}

void Camera::GetWorldEye(float* m) const {
    const Vector rows[3] = {mo_right, mo_up, mo_forward};
    for (int row = 0; row < 3; ++row) {
        m[4 * row + 0] = float(rows[row].x);
        m[4 * row + 1] = float(rows[row].y);
        m[4 * row + 2] = float(rows[row].z);
        m[4 * row + 3] = float(-Dot(rows[row], mo_eye));
    }
    m[12] = m[13] = m[14] = 0.0f;
    m[15] = 1.0f;
}

void Camera::GetEyeWindow(float* m) const {
    const double centre_x = 0.5 * mn_width, centre_y = 0.5 * mn_height;
    const double scale = _GetDepthScale();
    const float values[16] = {float(md_focal),
                              0.0f,
                              float(centre_x),
                              0.0f, //
                              0.0f,
                              float(-md_focal),
                              float(centre_y),
                              0.0f, //
                              0.0f,
                              0.0f,
                              float(-scale / md_far),
                              float(scale), //
                              0.0f,
                              0.0f,
                              1.0f,
                              0.0f};
    std::copy(values, values + 16, m);
}

double Camera::_GetDepthScale() const {
    const Vector offset = Subtract(mo_target, mo_eye);
    return md_focal * std::max(std::sqrt(Dot(offset, offset)), md_near);
}

MMPoint3d<double> Camera::ToEye(const MMPoint3d<double>& world) const {
    const Vector offset = Subtract(world, mo_eye);
    return {Dot(offset, mo_right), Dot(offset, mo_up), Dot(offset, mo_forward)};
}

MMPoint3d<double> Camera::FromEye(const MMPoint3d<double>& p) const {
    return {mo_eye.x + mo_right.x * p.x + mo_up.x * p.y + mo_forward.x * p.z,
            mo_eye.y + mo_right.y * p.x + mo_up.y * p.y + mo_forward.y * p.z,
            mo_eye.z + mo_right.z * p.x + mo_up.z * p.y + mo_forward.z * p.z};
}

MMPoint3d<double> Camera::EyeToWindow(const MMPoint3d<double>& p) const {
    const double scale = _GetDepthScale();
    return {0.5 * mn_width + md_focal * p.x / p.z, 0.5 * mn_height - md_focal * p.y / p.z,
            scale / p.z - scale / md_far};
}
