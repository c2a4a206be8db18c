#include "apps/viewer/ViewerOverlay.h"

#include "apps/ScopedObject.h"

#include "host/win32/CDC.h"
#include "host/win32/CFont.h"
#include "host/win32/WinGdi.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <iterator>

namespace {

const wchar_t* const HELP_LINES[] = {
    L"Left drag: orbit about the target    Right drag: pan    Wheel: zoom (field of view in panoramas)",
    L"Middle drag: look around from the eye    Arrow keys: walk forward, back and sideways",
    L"Gizmo: drag a handle to move that face (scales the selection), the centre spot to move it",
    L"Click an object to select it, empty space to clear the selection",
    L"P  projection        [ ]  field of view      T  transparency sort key",
    L"K  skip-sort tolerance    G  gizmo    S  save PNG    R  reset view",
    L"F1  this help        Q, Escape  quit",
};

} // namespace

ViewerOverlay::ViewerOverlay(const Options& options)
    : mo_label([&options] {
          Options label_only = options;
          label_only.gizmo = false; // the viewer draws its own, live gizmo
          return label_only;
      }()) {
    SceneObject box;
    box.name = "selection";
    box.transparent = true;
    mo_label_scene.GetObjects().push_back(std::move(box));
}

int ViewerOverlay::LineWidth(int height) {
    return std::max(1, int(std::lround(height / 360.0)));
}

void ViewerOverlay::Draw(uint8_t* rgba, int width, int height, const Content& content) {
    mo_device.ClearCalls();
    mo_device.AttachImage(rgba, width, height);
    if (content.gizmo != nullptr)
        _DrawGizmo(*content.gizmo, content.hover, height);
    if (content.projection != nullptr && !content.box.IsEmpty()) {
        mo_label_scene.GetObjects().front().bounds = content.box;
        mo_label.Draw(rgba, width, height, mo_label_scene, *content.projection);
    }
    if (!content.status.empty())
        _DrawStatus(content.status, width, height);
    if (content.help)
        _DrawHelp(width, height);
    mo_device.DetachImage();
}

void ViewerOverlay::_DrawGizmo(const IVRenderEx::CBoundingBox& gizmo, const GizmoHover& hover, int height) {
    using Box = IVRenderEx::CBoundingBox;
    const HDC hdc = mo_device.GetHdc();
    CDC dc;
    dc.Attach(hdc);
    const int line_width = LineWidth(height);
    {
        ScopedObject pen(hdc, CreatePen(PS_SOLID, 1, RGB(0, 0, 0)));
        ScopedObject brush(
            hdc, CreateSolidBrush(hover.type == Box::eMouseCenter ? HIGHLIGHT_COLOUR : Overlay::SPOT_COLOUR));
        gizmo.RenderCenterSpot(dc);
    }
    {
        ScopedObject pen(hdc, CreatePen(PS_SOLID, line_width, Overlay::FAR_HANDLE_COLOUR));
        gizmo.RenderHandles(dc, true);
    }
    {
        ScopedObject pen(hdc, CreatePen(PS_SOLID, line_width, Overlay::NEAR_HANDLE_COLOUR));
        gizmo.RenderHandles(dc, false);
    }
    if (hover.type == Box::eMouseHandle && hover.corner >= 0 && hover.corner < 8) {
        // The handle under the mouse: the strokes at its corner along the two edges of the face
        // that moves, thicker, and a square on the corner.
        const CPoint* points = gizmo.GetVerticesOnScreen();
        const CPoint corner = points[hover.corner];
        ScopedObject pen(hdc, CreatePen(PS_SOLID, line_width + 2, HIGHLIGHT_COLOUR));
        for (unsigned line = 0; line < 12; ++line) {
            const auto* ends = Box::mga_lines_indeces[line];
            if (int(line / 4) == hover.axis || (ends[0] != hover.corner && ends[1] != hover.corner))
                continue;
            const CPoint other = points[ends[0] == hover.corner ? ends[1] : ends[0]];
            const CSize& size = gizmo.GetHandleSizeForLine(line);
            const int dx = other.x >= corner.x ? size.cx : -size.cx;
            const int dy = other.y >= corner.y ? size.cy : -size.cy;
            dc.MoveTo(corner.x, corner.y);
            dc.LineTo(corner.x + dx, corner.y + dy);
        }
        ScopedObject brush(hdc, CreateSolidBrush(HIGHLIGHT_COLOUR));
        const int half = line_width + 2;
        Rectangle(hdc, corner.x - half, corner.y - half, corner.x + half + 1, corner.y + half + 1);
    }
    dc.Detach();
}

void ViewerOverlay::_DrawStatus(const std::wstring& status, int width, int height) {
    // On a band of the frame's background: a halo would cost the text eight more draws per frame.
    const HDC hdc = mo_device.GetHdc();
    const int pixels = std::clamp(height / 48, 10, 20);
    const int band = pixels * 3 / 2;
    {
        ScopedObject pen(hdc, CreatePen(PS_SOLID, 1, Overlay::OUTLINE_COLOUR));
        ScopedObject brush(hdc, CreateSolidBrush(Overlay::OUTLINE_COLOUR));
        Rectangle(hdc, 0, height - band, width, height);
    }
    CFont font;
    Overlay::MakeFont(font, hdc, pixels, false);
    const HGDIOBJ previous = SelectObject(hdc, font.GetSafeHandle());
    const COLORREF text = SetTextColor(hdc, RGB(235, 235, 235));
    const COLORREF background = SetBkColor(hdc, Overlay::OUTLINE_COLOUR);
    const RECT rect{pixels / 2, height - band, width, height};
    IVRenderEx::DrawTextOutlined(hdc, 0, status.c_str(), rect,
                                 DT_LEFT | DT_VCENTER | DT_SINGLELINE | DT_NOPREFIX);
    SetBkColor(hdc, background);
    SetTextColor(hdc, text);
    SelectObject(hdc, previous);
}

void ViewerOverlay::_DrawHelp(int width, int height) {
    const HDC hdc = mo_device.GetHdc();
    CDC dc;
    dc.Attach(hdc);
    const int pixels = std::clamp(height / 40, 10, 22);
    const int line_height = pixels * 3 / 2;
    const int lines = int(std::size(HELP_LINES)) + 2;
    const CRect panel(width / 16, height / 8, width - width / 16, height / 8 + lines * line_height + pixels);
    {
        ScopedObject pen(hdc, CreatePen(PS_SOLID, 1, Overlay::OUTLINE_COLOUR));
        ScopedObject brush(hdc, CreateSolidBrush(RGB(24, 28, 36)));
        Rectangle(hdc, panel.left, panel.top, panel.right, panel.bottom);
    }
    IVRenderEx::DrawFocusRectNormalized(
        dc, CRect(panel.left + 3, panel.top + 3, panel.right - 3, panel.bottom - 3));
    CFont bold, plain;
    Overlay::MakeFont(bold, hdc, pixels, true);
    Overlay::MakeFont(plain, hdc, pixels, false);
    const COLORREF text = SetTextColor(hdc, RGB(255, 255, 255));
    const COLORREF background = SetBkColor(hdc, RGB(24, 28, 36));
    const int mode = SetBkMode(hdc, TRANSPARENT);
    HGDIOBJ previous = SelectObject(hdc, bold.GetSafeHandle());
    const int left = panel.left + pixels;
    int top = panel.top + pixels / 2;
    IVRenderEx::DrawTextOutlined(hdc, 1, L"vantrel-view", RECT{left, top, panel.right, top + line_height},
                                 DT_LEFT | DT_TOP | DT_SINGLELINE | DT_NOPREFIX);
    SelectObject(hdc, plain.GetSafeHandle());
    for (const wchar_t* line : HELP_LINES) {
        top += line_height;
        IVRenderEx::DrawTextOutlined(hdc, 1, line, RECT{left, top, panel.right, top + line_height},
                                     DT_LEFT | DT_TOP | DT_SINGLELINE | DT_NOPREFIX);
    }
    top += line_height;
    // The closing hint embossed, as a disabled control's caption.
    IVRenderEx::DrawTextDisabled(hdc, L"F1 again closes this panel", -1,
                                 CRect(left, top, panel.right, top + line_height),
                                 DT_LEFT | DT_TOP | DT_SINGLELINE | DT_NOPREFIX, 0);
    SelectObject(hdc, previous);
    SetBkMode(hdc, mode);
    SetBkColor(hdc, background);
    SetTextColor(hdc, text);
    dc.Detach();
}
