#include "apps/PanoramicTransform.h"

#include <cmath>
#include <numbers>

PanoramicTransform::PanoramicTransform(const Camera& camera, double horizontal_fov_degrees)
    : mo_camera(camera), md_half_angle(horizontal_fov_degrees * std::numbers::pi / 360.0) {}

Camera PanoramicTransform::MakeCanvasCamera(const Camera& camera) {
    return Camera(camera.GetEye(), camera.GetTarget(), camera.GetWidth(), camera.GetHeight(), 90.0);
}

bool PanoramicTransform::Transform(MMPoint3d<double>& out, const MMPoint3d<double>& in,
                                   bool direction) const {
    if (direction) {
        out = in;
        return true;
    }
    const MMPoint3d<double> local = mo_camera.ToEye(in);
    const double distance = std::sqrt(local.x * local.x + local.y * local.y + local.z * local.z);
    if (!(distance > 0.0) || !std::isfinite(distance)) {
        // The eye itself has no direction: it stays where it is (the device gets depth 1/0 there).
        out = in;
        return false;
    }
    double u = 0.0, v = 0.0;
    _ToImage({local.x / distance, local.y / distance, local.z / distance}, u, v);
    out = mo_camera.FromEye({u * distance, v * distance, distance});
    return true;
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
