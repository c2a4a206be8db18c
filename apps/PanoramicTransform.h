#pragma once
// PanoramicTransform: the common part of the panoramic point transforms handed to the panoramic
// device (IVRenderSoftPano::SetTransform). The device sends every world point through the
// transform and then through the ordinary linear camera, so the transform moves each point to
// where the linear camera shows it at its panoramic place:
//
//   d = p − eye in camera axes (x right, y up, z forward), ρ = |d|
//   (u, v) = ToImage(d / ρ)           the panoramic image position, ±1 at the image's left/right edge
//   p′ = eye + ρ·(u·right + v·up + forward)
//
// The linear camera (focal length half the image width, i.e. a 90 degree canvas) maps p′ to
// pixel (W/2 + u·W/2, H/2 − v·W/2), and its depth, which falls with eye-space z = ρ, still orders
// points by their distance from the eye. Only points are bent: directions pass unchanged, and a
// triangle stays straight between its three bent corners (the device does not subdivide).
//
// Value object owned by the program; the device borrows it. Immutable after construction, so it
// may be read from any thread.
#include "apps/Camera.h"

#include "host/math/MMTransform.h"

#include <cmath>

class PanoramicTransform : public MMTransform {
public:
    // `horizontal_fov_degrees`: the angle the image width spans.
    PanoramicTransform(const Camera& camera, double horizontal_fov_degrees);

    using MMTransform::Transform;
    bool Transform(MMPoint3d<double>& out, const MMPoint3d<double>& in, bool direction) const override;
    bool InverseTransform(MMPoint3d<double>& out, const MMPoint3d<double>& in, bool direction) const override;

    // The linear camera to use behind the transform: the same eye and target with a 90 degree canvas.
    static Camera MakeCanvasCamera(const Camera& camera);

protected:
    // The mapping of Transform for a point, with the image function passed in, so that a final
    // transform can call its own without a virtual call. `out` may be `in`.
    template <class ToImage>
    bool _MapPoint(MMPoint3d<double>& out, const MMPoint3d<double>& in, ToImage to_image) const {
        const MMPoint3d<double> local = mo_camera.ToEye(in);
        const double distance = std::sqrt(local.x * local.x + local.y * local.y + local.z * local.z);
        if (!(distance > 0.0) || !std::isfinite(distance)) {
            // The eye itself has no direction: it stays where it is (the device gets depth 1/0 there).
            out = in;
            return false;
        }
        double u = 0.0, v = 0.0;
        to_image(MMPoint3d<double>{local.x / distance, local.y / distance, local.z / distance}, u, v);
        out = mo_camera.FromEye({u * distance, v * distance, distance});
        return true;
    }
    // The float entry the device calls per point, as MMTransform's: widened, mapped, narrowed.
    template <class ToImage>
    bool _MapFloat(float* out, float x, float y, float z, bool direction, ToImage to_image) const {
        MMPoint3d<double> point(x, y, z);
        const bool result = direction || _MapPoint(point, point, to_image);
        out[0] = static_cast<float>(point.x);
        out[1] = static_cast<float>(point.y);
        out[2] = static_cast<float>(point.z);
        return result;
    }

    // Unit direction in camera axes to image position; the inverse.
    virtual void _ToImage(const MMPoint3d<double>& direction, double& u, double& v) const = 0;
    virtual MMPoint3d<double> _FromImage(double u, double v) const = 0;

    Camera mo_camera;
    double md_half_angle; // radians: half the horizontal field of view
};
