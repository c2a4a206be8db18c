#pragma once
// FisheyeTransform: equidistant fisheye. A direction at angle θ from the view axis, at polar
// angle φ about it, lands at image radius r = θ / (fov/2) in direction φ:
//
//   θ = atan2(√(x² + y²), z),  (u, v) = r · (x, y) / √(x² + y²)
//
// so the view axis stays at the image centre, straight lines through the centre stay straight,
// and a fov of 360 degrees shows everything around the eye (the point straight behind it spreads
// over the circle r = 2). See PanoramicTransform for how (u, v) reaches the device.
#include "apps/PanoramicTransform.h"

class FisheyeTransform : public PanoramicTransform {
public:
    using PanoramicTransform::PanoramicTransform;
    using PanoramicTransform::Transform;
    // The mapping below inlined into the device's per-point call.
    bool Transform(float* out, float x, float y, float z, bool direction) const override;
    // Two points at a time, each giving the floats Transform gives it.
    void TransformPoints(float (*out)[3], const float (*in)[3], int count) const override;

protected:
    void _ToImage(const MMPoint3d<double>& direction, double& u, double& v) const override;
    MMPoint3d<double> _FromImage(double u, double v) const override;
};
