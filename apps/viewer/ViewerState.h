#pragma once
// ViewerState: what vantrel-view does between input events and pixels, without a window: the
// camera a person moves, the projection and field of view, the selection and its gizmo under the
// mouse, box drags that scale or move the selected objects, the keys, and the image shown (a frame
// of the shared FrameRenderer with the viewer's overlay on it). The SDL window and the --script
// replay both drive it through the same calls, so the scripted tests exercise exactly what a
// person at the window gets.
//
// Call order: construct with a built scene and the options; then any sequence of Resize, MouseMove,
// MouseDown, MouseUp, Wheel and Press; Update() when NeedsUpdate() (it redraws only what changed:
// the 3D frame after a view or object change, only the overlay after a hover change); GetImage()
// after Update. Window pixels: x to the right, y down, origin at the top-left corner.
// Single-threaded; the scene must outlive the state.
#include "apps/FrameRenderer.h"
#include "apps/Options.h"
#include "apps/Scene.h"
#include "apps/viewer/BoxEdit.h"
#include "apps/viewer/ViewCamera.h"
#include "apps/viewer/ViewerOverlay.h"

#include "host/framework/UIObject.h"
#include "host/framework/UIWnd3D.h"

#include <memory>
#include <optional>
#include <ostream>
#include <string>
#include <vector>

class ViewerState {
public:
    enum class Button { eLeft, eMiddle, eRight };
    enum class Key {
        eProjection,
        eFovDown,
        eFovUp,
        eSortKey,
        eSkipSort,
        eGizmo,
        eSave,
        eReset,
        eQuit,
        eHelp,
        eWalkForward,
        eWalkBack,
        eWalkLeft,
        eWalkRight
    };
    enum class Cursor { eArrow, eMove, eResizeHorizontal, eResizeVertical, eResizeFalling, eResizeRising };

    // The skip-sort tolerances K steps through, degrees.
    static constexpr double SKIP_SORT_STEPS[] = {0.0, 2.0, 5.0, 10.0, 20.0, 45.0};

    ViewerState(Scene& scene, const Options& options);
    ~ViewerState();
    ViewerState(const ViewerState&) = delete;
    ViewerState& operator=(const ViewerState&) = delete;

    void Resize(int width, int height);
    void MouseMove(int x, int y);
    void MouseDown(Button button, int x, int y);
    void MouseUp(Button button, int x, int y);
    // Positive steps zoom in.
    void Wheel(double steps);
    void Press(Key key);

    bool NeedsUpdate() const { return mb_frame_dirty || mb_overlay_dirty; }
    void Update();
    // RGBA, rows top to bottom, GetWidth() x GetHeight(), after Update.
    const std::vector<uint8_t>& GetImage() const { return mv_image; }
    int GetWidth() const { return mn_width; }
    int GetHeight() const { return mn_height; }

    // Saves the image shown as a PNG; on failure the status line says why and false comes back.
    bool Save(const std::string& path);
    // The window's share of a frame (upload and presentation), for the status and --stats lines.
    void SetPresentMilliseconds(double milliseconds) { md_present_ms = milliseconds; }
    // --stats: one line per drawn frame on `out` (null: none).
    void SetStatsStream(std::ostream* out) { mp_stats = out; }

    bool WantsQuit() const { return mb_quit; }
    Cursor GetCursor() const { return me_cursor; }
    std::wstring GetStatusLine() const;

    // --- Inspection, for the script's print and the tests ---
    Projection GetProjection() const { return me_projection; }
    double GetFov() const { return md_fov; }
    double GetSkipSortDegrees() const { return md_skip_sort; }
    SortKey GetSortKey() const { return mo_renderer.GetOptions().GetSortKey(); }
    bool IsGizmoShown() const { return mb_gizmo; }
    bool IsHelpShown() const { return mb_help; }
    const GizmoHover& GetHover() const { return mo_hover; }
    const std::vector<size_t>& GetSelection() const { return mv_selection; }
    // The selected objects' box as drawn (empty without a selection).
    Bounds GetSelectionBox() const;
    // The gizmo as last built for the current view; null when hidden or nothing is selected.
    const IVRenderEx::CBoundingBox* GetGizmo();
    Camera GetCamera() const;
    WindowProjection GetWindowProjection() const;
    const FrameStats& GetLastStats() const { return mo_stats; }
    const std::string& GetMessage() const { return mo_message; }
    // One line: projection, fov, hover, selection, box, gizmo corners on screen.
    std::string Describe();

private:
    enum class Drag { eNone, ePending, eOrbit, ePan, eLook, eFace, eMove };

    void _ViewChanged();
    void _UpdateHover(int x, int y);
    void _RefreshHover();
    void _ApplyDrag(int x, int y);
    void _Select(int x, int y, bool clear_on_miss);
    void _SetSelection(std::vector<size_t> selection);
    double _PixelsToWorld() const;
    void _Render();
    void _Compose();
    std::string _NextScreenshotPath();

    Scene& mo_scene;
    Options mo_options;
    FrameRenderer mo_renderer;
    ViewCamera mo_initial_camera;
    ViewCamera mo_camera;
    Projection me_projection;
    double md_fov;
    double md_skip_sort;
    bool mb_distance_key = false;
    int mn_width, mn_height;

    std::vector<size_t> mv_selection;
    bool mb_gizmo = true;
    bool mb_help = false;
    bool mb_quit = false;
    GizmoHover mo_hover;
    Cursor me_cursor = Cursor::eArrow;

    // The gizmo sees the world through one window system for the viewer's life: the transform
    // repository keeps every pair of systems it is asked for, so a system per frame would grow it
    // without end. The window's transform forwards to the current view's projection.
    class ForwardingTransform;
    std::shared_ptr<ForwardingTransform> mp_window_transform;
    std::unique_ptr<UIWnd3D> mp_window;
    UIObject mo_gizmo_object;
    IVRenderEx::CBoundingBox mo_gizmo{true};
    bool mb_gizmo_valid = false;
    bool mb_gizmo_built = false;

    Drag me_drag = Drag::eNone;
    int mn_press_x = 0, mn_press_y = 0, mn_last_x = 0, mn_last_y = 0;
    Bounds mo_drag_box;               // the selected box when the drag began
    int mn_drag_axis = 0;             // world axis of a face drag
    bool mb_drag_maximum = false;     // which face of that axis
    MMPoint3d<double> mo_drag_anchor; // the dragged corner, or the centre
    double md_drag_start = 0.0;       // axis parameter, or the centre's window depth
    bool mb_drag_moved = false;       // beyond the click slop since the press
    MMPoint3d<double> mo_drag_start_point;
    bool mb_drag_level = false;                               // the centre drag keeps to the level plane
    std::vector<FrameRenderer::Placement> mv_drag_placements; // of the selection, at the start

    ViewerOverlay mo_overlay;
    std::vector<uint8_t> mv_image;
    bool mb_frame_dirty = true;
    bool mb_overlay_dirty = true;
    FrameStats mo_stats;
    double md_frame_ms = 0.0, md_overlay_ms = 0.0, md_present_ms = 0.0;
    int mn_frames = 0;
    int mn_screenshots = 0;
    std::string mo_message;
    std::ostream* mp_stats = nullptr;
};
