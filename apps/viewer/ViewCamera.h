#pragma once
// ViewCamera: the viewer's camera as a person moves it. The eye orbits a target (azimuth about the
// vertical z axis, elevation above the horizontal plane, distance); panning moves eye and target
// together in the image plane; zooming moves the eye along the view. Inside a room one looks
// around instead (the view turns about the eye, the target goes with it) and walks (eye and target
// move together, level with the floor). MakeCamera turns it into the
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
    // Turns the view about the eye: the eye stays where it is. Positive azimuth turns to the left
    // (counter-clockwise seen from above), positive elevation looks up.
    void Look(double azimuth_degrees, double elevation_degrees);
    // Moves eye and target `forward` along the view's horizontal direction and `right` along the
    // image's right, model units; the height stays.
    void Walk(double forward, double right);
    // A walking step: a twentieth of the scene's radius.
    double GetStep() const { return md_scene_radius / 20.0; }

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
