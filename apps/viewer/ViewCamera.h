#pragma once
// ViewCamera: the viewer's camera as a person moves it. The eye orbits a target (azimuth about the
// vertical z axis, elevation above the horizontal plane, distance); panning moves eye and target
// together in the image plane; zooming moves the eye along the view. MakeCamera turns it into the
// Camera a frame is drawn with (FrameRenderer::RenderFrom) for an image size and projection.
//
// Degrees and model units. Value type; no threading concerns.
#include "apps/Camera.h"
#include "apps/Options.h"

class ViewCamera {
public:
    // Takes eye and target of `camera` (the renderer's automatic framing); `scene` sets the depth
    // range and how far the eye may go.
    ViewCamera(const Camera& camera, const Bounds& scene);

    void Orbit(double azimuth_degrees, double elevation_degrees);
    // Moves eye and target along the image's right and up directions, model units.
    void Pan(double right, double up);
    // Multiplies the eye's distance from the target by `factor`, kept within sensible bounds.
    void Dolly(double factor);

    Camera MakeCamera(int width, int height, Projection projection, double fov_degrees) const;
    MMPoint3d<double> GetEye() const;
    const MMPoint3d<double>& GetTarget() const { return mo_target; }
    double GetDistance() const { return md_distance; }
    double GetElevation() const { return md_elevation; }

private:
    MMPoint3d<double> mo_target;
    double md_azimuth = 0.0;   // degrees, direction from the target to the eye in the xy plane
    double md_elevation = 0.0; // degrees, within (-89, 89)
    double md_distance = 1.0;
    MMPoint3d<double> mo_scene_centre;
    double md_scene_radius = 1.0;
};
