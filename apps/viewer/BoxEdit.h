#pragma once
// BoxEdit: the geometry of the viewer's gizmo under the mouse. A ray through a window pixel, the
// point of a world axis line nearest that ray (how far a dragged face has gone), the box with one
// face moved, and the placement that takes objects from one box to another (so that dragging a
// face scales the selected objects and dragging the centre moves them).
//
// World points in model units. Stateless; safe from any thread.
#include "apps/Bounds.h"
#include "apps/FrameRenderer.h"
#include "apps/WindowProjection.h"

struct Ray {
    MMPoint3d<double> origin;
    MMPoint3d<double> direction; // not normalised
};

class BoxEdit {
public:
    // The world axis (0 x, 1 y, 2 z) along which the gizmo's axis `gizmo_axis` runs: axis 0 names
    // the edges along z, 1 those along y, 2 those along x.
    static int WorldAxis(int gizmo_axis) { return 2 - gizmo_axis; }

    // The ray from the eye through window pixel (x, y); false where the projection shows nothing.
    static bool MakeRay(const WindowProjection& projection, const MMPoint3d<double>& eye, double x, double y,
                        Ray& ray);
    // The world point at window pixel (x, y) and window depth `depth` (distance along the view).
    static bool Unproject(const WindowProjection& projection, double x, double y, double depth,
                          MMPoint3d<double>& world);
    // Where the ray meets the level plane z = `height`; false when it meets it behind the eye or
    // runs within about a degree of level (the point would fly off towards the horizon).
    static bool LevelPoint(const Ray& ray, double height, MMPoint3d<double>& point);
    // s such that point + s · (unit vector of world_axis) is the point of that line nearest the
    // ray; false when the ray runs (nearly) along the line.
    static bool AxisParameter(const Ray& ray, const MMPoint3d<double>& point, int world_axis,
                              double& parameter);
    // `box` with its face on `world_axis` (the maximum side or the minimum side) moved by `delta`;
    // the face stops short of the opposite one, keeping a thousandth of the box's starting extent.
    static Bounds MoveFace(const Bounds& box, int world_axis, bool maximum_side, double delta);
    static Bounds Translate(const Bounds& box, const MMPoint3d<double>& offset);
    // The placement that draws an object placed by `start` within box `from` at the same place
    // relative to box `to`, per axis (a flat axis of `from` only moves).
    static FrameRenderer::Placement Map(const FrameRenderer::Placement& start, const Bounds& from,
                                        const Bounds& to);
    // The object's box (model units) under a placement.
    static Bounds Place(const Bounds& bounds, const FrameRenderer::Placement& placement);
};
