#include "apps/PanoramicTransform.h"

#include <cmath>
#include <numbers>

PanoramicTransform::PanoramicTransform(const Camera& camera, double horizontal_fov_degrees)
    : mo_camera(camera), md_half_angle(horizontal_fov_degrees * std::numbers::pi / 360.0) {
    const MMPoint3d<double>* axes[3] = {&camera.GetRight(), &camera.GetUp(), &camera.GetForward()};
    ma_eye[0] = camera.GetEye().x;
    ma_eye[1] = camera.GetEye().y;
    ma_eye[2] = camera.GetEye().z;
    for (int i = 0; i < 3; ++i) {
        ma_axes[i][0] = axes[i]->x;
        ma_axes[i][1] = axes[i]->y;
        ma_axes[i][2] = axes[i]->z;
    }
}

Camera PanoramicTransform::MakeCanvasCamera(const Camera& camera) {
    return Camera(camera.GetEye(), camera.GetTarget(), camera.GetWidth(), camera.GetHeight(), 90.0);
}

inline bool PanoramicTransform::_Move(const double* p, double* out) const {
    // Camera::ToEye and FromEye, written out in the same order of operations.
    const double offset[3] = {p[0] - ma_eye[0], p[1] - ma_eye[1], p[2] - ma_eye[2]};
    double local[3];
    for (int i = 0; i < 3; ++i)
        local[i] = (offset[0] * ma_axes[i][0] + offset[1] * ma_axes[i][1]) + offset[2] * ma_axes[i][2];
    const double distance = std::sqrt(local[0] * local[0] + local[1] * local[1] + local[2] * local[2]);
    if (!(distance > 0.0) || !std::isfinite(distance)) {
        // The eye itself has no direction: it stays where it is (the device gets depth 1/0 there).
        out[0] = p[0];
        out[1] = p[1];
        out[2] = p[2];
        return false;
    }
    double u = 0.0, v = 0.0;
    _ToImage({local[0] / distance, local[1] / distance, local[2] / distance}, u, v);
    const double eye[3] = {u * distance, v * distance, distance};
    for (int i = 0; i < 3; ++i)
        out[i] = ma_eye[i] + ma_axes[0][i] * eye[0] + ma_axes[1][i] * eye[1] + ma_axes[2][i] * eye[2];
    return true;
}

bool PanoramicTransform::Transform(MMPoint3d<double>& out, const MMPoint3d<double>& in,
                                   bool direction) const {
    if (direction) {
        out = in;
        return true;
    }
    const double p[3] = {in.x, in.y, in.z};
    double moved[3];
    const bool result = _Move(p, moved);
    out = {moved[0], moved[1], moved[2]};
    return result;
}

bool PanoramicTransform::Transform(float* out, float x, float y, float z, bool direction) const {
    const double p[3] = {double(x), double(y), double(z)};
    double moved[3] = {p[0], p[1], p[2]};
    const bool result = direction || _Move(p, moved);
    for (int i = 0; i < 3; ++i)
        out[i] = float(moved[i]);
    return result;
}

bool PanoramicTransform::InverseTransform(MMPoint3d<double>& out, const MMPoint3d<double>& in,
                                          bool direction) const {
    if (direction) {
        out = in;
        return true;
    }
    const MMPoint3d<double> local = mo_camera.ToEye(in);
    if (!(local.z > 0.0)) {
        out = in;
        return false;
    }
    const MMPoint3d<double> unit = _FromImage(local.x / local.z, local.y / local.z);
    out = mo_camera.FromEye({unit.x * local.z, unit.y * local.z, unit.z * local.z});
    return true;
}
