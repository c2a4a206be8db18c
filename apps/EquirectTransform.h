#pragma once
// EquirectTransform: equirectangular (latitude-longitude) panorama. Longitude λ about the camera's
// up axis and latitude φ above the horizontal plane both spread linearly, on the same scale:
//
//   λ = atan2(x, z),  φ = atan2(y, √(x² + z²)),  u = λ / (fov/2),  v = φ / (fov/2)
//
// With a fov of 360 degrees the width holds the full circle around the eye. The seam is straight
// behind the eye (λ = ±π): a triangle that straddles it is drawn across the whole image, and the
// poles, where λ is undefined, pinch. See PanoramicTransform for the rest.
#include "apps/PanoramicTransform.h"

class EquirectTransform : public PanoramicTransform {
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
