#pragma once
// ViewerOverlay: the viewer's 2D drawing over a rendered frame, all of it through the stand-in GDI
// device context drawing into the frame's RGBA pixels: the gizmo of the selected box (centre spot and
// handle strokes as the renderer draws them, plus the handle or centre under the mouse in the
// highlight colour), the label (the renderer's Overlay, pointing at the selected box), a status
// line at the bottom and, on request, a help panel. Text goes through the library's GDI helpers
// (IVRenderEx::CreateGdiFont, DrawTextOutlined, DrawTextDisabled, DrawFocusRectNormalized).
//
// Keeps its device context and the label's one-box scene between frames. Single-threaded.
#include "apps/Overlay.h"
#include "apps/Scene.h"
#include "apps/WindowProjection.h"

#include "host/win32/GdiDevice.h"
#include "screen/IVRenderEx.h"

#include <string>

// What the mouse is over: the gizmo's answer, with the corner and axis for a handle.
struct GizmoHover {
    IVRenderEx::CBoundingBox::EMouseType type = IVRenderEx::CBoundingBox::eMouseOutside;
    int corner = -1; // 0..7 for a handle
    int axis = -1;   // the gizmo's axis for a handle: the face at `corner` across that axis moves

    bool operator==(const GizmoHover&) const = default;
};

class ViewerOverlay {
public:
    static constexpr COLORREF HIGHLIGHT_COLOUR = RGB(255, 40, 220); // magenta, found nowhere in the scene

    struct Content {
        const IVRenderEx::CBoundingBox* gizmo = nullptr; // null: no gizmo shown
        GizmoHover hover;
        Bounds box; // the selected box, for the label
        const WindowProjection* projection = nullptr;
        std::wstring status;
        bool help = false;
    };

    explicit ViewerOverlay(const Options& options);

    void Draw(uint8_t* rgba, int width, int height, const Content& content);

    // The pen width of the gizmo's strokes at an image height (720 lines is the reference size).
    static int LineWidth(int height);

private:
    void _DrawGizmo(const IVRenderEx::CBoundingBox& gizmo, const GizmoHover& hover, int height);
    void _DrawStatus(const std::wstring& status, int width, int height);
    void _DrawHelp(int width, int height);

    GdiDevice mo_device;
    Overlay mo_label;
    Scene mo_label_scene; // one object whose box is the selected box
};
