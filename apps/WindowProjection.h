#pragma once
// WindowProjection: world points to window pixels as the frame shows them (the panoramic transform,
// if any, then the linear camera), with z the distance along the view (larger is farther). It is
// the world-to-window transform of the stand-in 3D window through which the bounding-box gizmo
// projects its corners, so the gizmo lands where the device drew the scene.
// Shares the panoramic transform (the stand-in repository keeps window transforms for the life
// of the process); immutable; fails for points at or behind the linear eye.
#include "apps/Camera.h"
#include "apps/PanoramicTransform.h"

#include "host/math/MMTransform.h"

#include <memory>

class WindowProjection : public MMTransform {
public:
    WindowProjection(const Camera& linear_camera, std::shared_ptr<const PanoramicTransform> panoramic)
        : mo_camera(linear_camera), mp_panoramic(std::move(panoramic)) {}

    using MMTransform::Transform;
    bool Transform(MMPoint3d<double>& out, const MMPoint3d<double>& in, bool direction) const override;
    bool InverseTransform(MMPoint3d<double>& out, const MMPoint3d<double>& in, bool direction) const override;

private:
    Camera mo_camera;
    std::shared_ptr<const PanoramicTransform> mp_panoramic;
};
