#pragma once
// CylindricalTransform: central cylindrical panorama about the vertical axis of the camera. The
// longitude λ (angle about the camera's up axis from the view axis) spreads linearly across the
// width; height is the tangent of the elevation, on the same scale:
//
//   λ = atan2(x, z),  u = λ / (fov/2),  v = (y / √(x² + z²)) / (fov/2)
//
// Vertical lines stay vertical; the seam is straight behind the eye (λ = ±π), where a triangle
// that straddles it is drawn across the whole image. See PanoramicTransform for the rest.
#include "apps/PanoramicTransform.h"

class CylindricalTransform : public PanoramicTransform {
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
