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

bool PanoramicTransform::_Move(const double* p, double* out) const {
    return _Move(p, out, [this](const MMPoint3d<double>& direction, double& u, double& v) {
        _ToImage(direction, u, v);
    });
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
    return _TransformWith(
        out, x, y, z, direction,
        [this](const MMPoint3d<double>& direction, double& u, double& v) { _ToImage(direction, u, v); });
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
