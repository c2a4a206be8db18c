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
    return _MapPoint(out, in,
                     [this](const MMPoint3d<double>& unit, double& u, double& v) { _ToImage(unit, u, v); });
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
