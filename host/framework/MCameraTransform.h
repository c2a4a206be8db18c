#pragma once
// MCameraTransform: a pinhole camera from world points to window pixels: x to the right, y
// downwards, z the depth along the viewing direction (larger is farther). A point at or behind the
// eye (depth below 1e-9) cannot be projected and fails. Immutable after construction; thread-safe.
#include "host/math/MMTransform.h"

class MCameraTransform final : public MMTransform {
public:
    // Looks from `eye` towards `target`, `up` giving the window's upward direction; the vertical
    // field of view in radians spans `height` pixels. Degenerate input (eye on target, up along the
    // view) falls back to the world's y and z axes.
    MCameraTransform(const MMPoint3d<double>& eye, const MMPoint3d<double>& target,
                     const MMPoint3d<double>& up, double vertical_fov, int width, int height);

    using MMTransform::Transform;
    bool Transform(MMPoint3d<double>& out, const MMPoint3d<double>& in, bool direction) const override;
    bool InverseTransform(MMPoint3d<double>& out, const MMPoint3d<double>& in, bool direction) const override;

private:
    MMPoint3d<double> mo_eye;
    MMPoint3d<double> mo_right;
    MMPoint3d<double> mo_up;
    MMPoint3d<double> mo_forward;
    double md_focal;    // pixels per unit of lateral offset at depth 1
    double md_centre_x; // the window's centre in pixels
    double md_centre_y;
};
