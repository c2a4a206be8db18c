#pragma once
// IVRenderEx::CBoundingBox: the model of an on-screen gizmo for an axis-aligned 3D box.
//
// Call order: construct (with or without a centre point), optionally SetCenter and
// SetConfiguration, then Build from two corners or from a scene object and a window (the latter
// also projects the points into window pixels and sizes the handle strokes), any number of times.
// Queries, RenderCenterSpot, RenderHandles and the hit tests read what the last builds left and
// change nothing.
//
// Corners 0 to 7 come from the two building corners a and b by a fixed table; point 8 is the
// centre. mga_lines_indeces lists the twelve edges ("lines"), four per axis: axis 0 holds the edges
// along z, axis 1 those along y, axis 2 those along x.
//
// Units and frames: the 3D points are doubles. Build(a, b) takes them in whatever frame the
// caller uses; Build(object, window) reads the object's box in the object's own coordinate system
// and projects through the application's transform repository (MTransformRepository::mgp_instance
// must be set) into the window. Screen values (points, bounds, handle sizes, mouse positions and
// every Configuration field) are window pixels, x to the right, y downwards; the window's depth
// only picks the corner nearest the viewer. Drawing goes to the device context's output with its
// current pen and brush, which the gizmo neither selects nor restores.
//
// Ownership: a gizmo owns nothing and keeps no pointer: the object, window and device context are
// used for the call only. Copies are independent. Threading: nothing is locked; do not build a
// gizmo while another thread reads it (reads may run together).
#include "screen/IVRenderEx.h"

#include "host/win32/CSize.h"

#include <cstdint>

class VANTREL_API IVRenderEx::CBoundingBox {
public:
    enum EAxis {
        eAxisAlongZ = 0,
        eAxisAlongY = 1,
        eAxisAlongX = 2,
    };

    enum EMouseType {
        eMouseOutside = 0, // over no part of the gizmo
        eMouseCenter = 1,  // over the centre spot
        eMouseHandle = 2,  // over a handle stroke at a corner; an axis is reported
    };

    // Pixel settings. The defaults follow the screen diagonal D (GetSystemMetrics), computed anew at
    // every default construction: 1920 x 1080 gives 8, 13, 183, 12, 10, 8.
    struct VANTREL_API Configuration {
        int32_t mn_center_spot_radius; // D / 250
        int32_t mn_center_pick_margin; // 3 x radius / 2 + 1, added to the centre's hit radius
        int32_t mn_diagonal_twelfth;   // D / 12, for callers only
        int32_t mn_min_handle_length;  // MulDiv(radius, 6, 4)
        uint8_t mn_handle_percent;     // 10; 0 switches handle sizing off, above 50 counts as 50
        int32_t mn_pick_tolerance;     // radius

        Configuration();
        Configuration(const Configuration& other) = default;
        Configuration& operator=(const Configuration& other);
        Configuration& operator=(Configuration&& other);
    };

    // Corner pairs of the twelve edges; rows 4k to 4k + 3 belong to axis k.
    static const uint8_t mga_lines_indeces[12][2];

    explicit CBoundingBox(bool withCenter);
    CBoundingBox(const CBoundingBox& other) = default;
    CBoundingBox(CBoundingBox&& other) = default;

    const MMPoint3d<double>* GetVertices() const { return ma_vertices; }
    const CPoint* GetVerticesOnScreen() const { return ma_vertices_on_screen; }
    const MMPoint3d<double>& GetCenter() const { return ma_vertices[8]; }
    const CPoint& GetCenterOnScreen() const { return ma_vertices_on_screen[8]; }
    const Configuration& GetConfiguration() const { return mo_configuration; }
    void SetConfiguration(const Configuration& configuration) { mo_configuration = configuration; }
    // The handle size of the line's axis; a line above 11 answers for axis 2.
    const CSize& GetHandleSizeForLine(unsigned int line) const;
    const CRect& GetBoundsOnScreen() const { return mo_bounds_on_screen; }
    double GetCenterDistanceFromScreen() const { return md_center_distance_from_screen; }

    // Fixes the centre at `center` for all later builds.
    void SetCenter(const MMPoint3d<double>& center);
    // The world corners of the axis's first line, in table order; an axis outside 0 to 2 leaves
    // both outputs alone.
    void GetAnEdgeForAxis(EAxis axis, MMPoint3d<double>& first, MMPoint3d<double>& second) const;

    // Sets the world points from two opposite corners.
    void Build(const MMPoint3d<double>& a, const MMPoint3d<double>& b);
    // Takes the object's box, projects it into the window and sizes the handles; false when a
    // point cannot be projected (or, changing nothing, when the object or window is null).
    bool Build(UIObject* object, UIWnd3D* window);

    // --- Drawing and hit testing, with the device context's current pen and brush ---
    void RenderCenterSpot(CDC& dc) const;
    // false: the strokes of the three lines at the corner nearest the viewer; true: the others.
    void RenderHandles(CDC& dc, bool farLines) const;
    // The nearest corner (the lower index on a tie) and, when asked, its squared distance.
    unsigned int FindClosestPoint(CPoint point, uint64_t* squaredDistance) const;
    // Whether the point lies within the pick tolerance of the screen bounds.
    bool WhereIsTheMouseQuickTest(CPoint point) const;
    // The full hit test; pointIndex receives 8 for the centre, else the nearest corner, and axis
    // the reported axis when the answer is eMouseHandle.
    EMouseType WhereIsTheMouse(EAxis& axis, unsigned int& pointIndex, CPoint mouse) const;

    bool mb_with_center;
    MMPoint3d<double> ma_vertices[9];
    CPoint ma_vertices_on_screen[9];
    // The window z of the projected centre after a successful projection (0 without a centre).
    double md_center_distance_from_screen;
    // The corner nearest the viewer in the last successful projection; -1 before one or after a
    // failed one.
    int32_t mn_min_z_vertex;
    CSize ma_handle_sizes[3];
    int32_t mn_longest_handle_axis;
    bool mb_center_fixed;
    CRect mo_bounds_on_screen;
    Configuration mo_configuration;

private:
    void _SizeHandles();
};
