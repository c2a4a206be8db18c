#include "apps/WindowProjection.h"

bool WindowProjection::Transform(MMPoint3d<double>& out, const MMPoint3d<double>& in, bool direction) const {
    if (direction)
        return false;
    MMPoint3d<double> world = in;
    if (mp_panoramic != nullptr && !mp_panoramic->Transform(world, in, false))
        return false;
    const MMPoint3d<double> eye = mo_camera.ToEye(world);
    if (!(eye.z > 1e-9))
        return false;
    const MMPoint3d<double> window = mo_camera.EyeToWindow(eye);
    out = {window.x, window.y, eye.z};
    return true;
}

bool WindowProjection::InverseTransform(MMPoint3d<double>& out, const MMPoint3d<double>& in,
                                        bool direction) const {
    if (direction || !(in.z > 0.0))
        return false;
    const double focal = mo_camera.GetFocal();
    const MMPoint3d<double> eye{(in.x - 0.5 * mo_camera.GetWidth()) * in.z / focal,
                                (0.5 * mo_camera.GetHeight() - in.y) * in.z / focal, in.z};
    const MMPoint3d<double> world = mo_camera.FromEye(eye);
    if (mp_panoramic == nullptr) {
        out = world;
        return true;
    }
    return mp_panoramic->InverseTransform(out, world, false);
}
