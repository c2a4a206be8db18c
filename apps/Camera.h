#pragma once
// Camera: a pinhole looking from an eye point at a target, z up, and the two matrices the device
// takes: world-to-eye (look-at) and eye-to-window (perspective to pixels with a depth).
//
// Eye space: x to the right, y up, z along the view direction (positive in front). Window space:
// pixels, x to the right, y down, origin at the top-left corner; depth falls with distance,
// because the software rasterizer keeps the larger depth: depth = S·(1/z − 1/far), zero at the far
// plane, with S = focal length × target distance so that around the target a depth unit is about
// a pixel; the rasterizer's headlight, which shades by the raster normal, then sees faces turned
// as they are in the world. Matrices are 16 floats,
// row-major for column vectors (IVRender::MultiplyMatrix). Value type; no threading concerns.
#include "apps/Bounds.h"

#include "host/math/MMPoint3d.h"

class Camera {
public:
    // `horizontal_fov_degrees` sets the focal length of the linear projection (0 < fov < 180).
    Camera(const MMPoint3d<double>& eye, const MMPoint3d<double>& target, int width, int height,
           double horizontal_fov_degrees);

    // The unit direction from the target to the eye of the automatic framing: from the front
    // left and above. The framing itself (how far) depends on the projection; see FrameRenderer.
    static MMPoint3d<double> FrameDirection();

    // The same camera turned by `degrees` about the vertical axis through the target.
    Camera Orbit(double degrees) const;

    // Depth range, in model units of distance from the eye.
    void SetDepthRange(double near_distance, double far_distance);

    void GetWorldEye(float* matrix) const;
    void GetEyeWindow(float* matrix) const;

    // World point to eye space, and eye space to window pixels (x, y) and depth (z).
    MMPoint3d<double> ToEye(const MMPoint3d<double>& world) const;
    MMPoint3d<double> FromEye(const MMPoint3d<double>& eye_point) const;
    MMPoint3d<double> EyeToWindow(const MMPoint3d<double>& eye_point) const;

    const MMPoint3d<double>& GetEye() const { return mo_eye; }
    const MMPoint3d<double>& GetTarget() const { return mo_target; }
    // Unit view direction, from the eye to the target.
    const MMPoint3d<double>& GetForward() const { return mo_forward; }
    // Unit image axes: x to the right, y up.
    const MMPoint3d<double>& GetRight() const { return mo_right; }
    const MMPoint3d<double>& GetUp() const { return mo_up; }
    int GetWidth() const { return mn_width; }
    int GetHeight() const { return mn_height; }
    // Pixels per unit of x/z on the image plane.
    double GetFocal() const { return md_focal; }

private:
    double _GetDepthScale() const;

    MMPoint3d<double> mo_eye, mo_target;
    MMPoint3d<double> mo_right, mo_up, mo_forward;
    int mn_width, mn_height;
    double md_fov_degrees;
    double md_focal;
    double md_near = 0.1, md_far = 10000.0;
};
