#include "apps/Overlay.h"

#include "apps/Scene.h"
#include "apps/ScopedObject.h"

#include "host/framework/UIObject.h"
#include "host/framework/UIWnd3D.h"
#include "host/win32/CDC.h"
#include "host/win32/CFont.h"
#include "host/win32/GdiDevice.h"
#include "host/win32/WinGdi.h"
#include "screen/IVRenderEx.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <memory>

namespace {

Bounds GizmoBounds(const Scene& scene) {
    const Bounds transparent = scene.GetTransparentBounds();
    return transparent.IsEmpty() ? scene.GetBounds() : transparent;
}

struct LabelPlacement {
    CPoint tip, tail;
    RECT text;
};

// The arrow runs from its tail to the tip at (x, y) (moved onto the image when it is off it); the
// text sits beyond the tail. Up and left of the tip is the first choice; the other three
// diagonals are tried in turn so that the text with its outline stays wholly inside the image,
// and when none fits (an image narrower than the text) the text is pushed in from the edges.
LabelPlacement PlaceLabel(CDC& dc, const std::wstring& label, double x, double y, int width, int height,
                          unsigned outline) {
    LabelPlacement place;
    place.tip = CPoint(int(std::lround(std::clamp(x, 0.0, double(width - 1)))),
                       int(std::lround(std::clamp(y, 0.0, double(height - 1)))));
    RECT extent{0, 0, 0, 0};
    dc.DrawText(label.c_str(), int(label.size()), &extent, DT_CALCRECT | DT_SINGLELINE | DT_NOPREFIX);
    const int text_width = extent.right - extent.left, text_height = extent.bottom - extent.top;
    const int arrow = std::max(12, height / 12), gap = 2, border = int(outline);
    auto fits = [&](const RECT& rect) {
        return rect.left >= border && rect.top >= border && rect.right <= width - border &&
               rect.bottom <= height - border;
    };
    constexpr int DIAGONALS[4][2] = {{-1, -1}, {1, -1}, {-1, 1}, {1, 1}};
    for (int choice = 0; choice < 4; ++choice) {
        const int sx = DIAGONALS[choice][0], sy = DIAGONALS[choice][1];
        place.tail = CPoint(place.tip.x + sx * arrow, place.tip.y + sy * arrow);
        place.text.left = sx < 0 ? place.tail.x - text_width : place.tail.x;
        place.text.top = sy < 0 ? place.tail.y - gap - text_height : place.tail.y + gap;
        place.text.right = place.text.left + text_width;
        place.text.bottom = place.text.top + text_height;
        if (fits(place.text))
            return place;
    }
    // Nothing fits: the first choice, pushed in; on an image too small for it the text keeps its
    // top-left corner inside.
    place.tail = CPoint(place.tip.x - arrow, place.tip.y - arrow);
    const int left = std::max(border, std::min(int(place.tail.x) - text_width, width - border - text_width));
    const int top =
        std::max(border, std::min(int(place.tail.y) - gap - text_height, height - border - text_height));
    place.text = RECT{left, top, left + text_width, top + text_height};
    return place;
}

} // namespace

Overlay::Overlay(const Options& options) : mb_gizmo(options.gizmo), mo_label(Widen(options.label)) {}

std::wstring Overlay::Widen(const std::string& text) {
    std::wstring wide;
    for (size_t i = 0; i < text.size();) {
        const auto byte = static_cast<unsigned char>(text[i]);
        const int length = byte < 0x80           ? 1
                           : (byte >> 5) == 0x6  ? 2
                           : (byte >> 4) == 0xE  ? 3
                           : (byte >> 3) == 0x1E ? 4
                                                 : 0;
        char32_t code = length == 1   ? byte
                        : length == 2 ? byte & 0x1F
                        : length == 3 ? byte & 0x0F
                                      : byte & 0x07;
        bool valid = length > 0 && i + length <= text.size();
        for (int k = 1; valid && k < length; ++k) {
            const auto next = static_cast<unsigned char>(text[i + k]);
            valid = (next & 0xC0) == 0x80;
            code = (code << 6) | (next & 0x3F);
        }
        if (!valid || code > 0x10FFFF || (code >= 0xD800 && code <= 0xDFFF)) {
            wide.push_back(wchar_t(0xFFFD));
            ++i;
            continue;
        }
        wide.push_back(wchar_t(code));
        i += size_t(length);
    }
    return wide;
}

void Overlay::Draw(uint8_t* rgba, int width, int height, const Scene& scene,
                   const WindowProjection& projection) const {
    if (!mb_gizmo && mo_label.empty())
        return;
    GdiDevice device;
    device.AttachImage(rgba, width, height);
    CDC dc;
    dc.Attach(device.GetHdc());
    const HDC hdc = device.GetHdc();
    const Bounds bounds = GizmoBounds(scene);
    // Strokes and fonts grow with the image; 720 lines is the reference size.
    const int line_width = std::max(1, int(std::lround(height / 360.0)));

    if (mb_gizmo && !bounds.IsEmpty()) {
        UIObject object;
        object.SetBox({float(bounds.minimum.x), float(bounds.maximum.x), float(bounds.minimum.y),
                       float(bounds.maximum.y), float(bounds.minimum.z), float(bounds.maximum.z)});
        UIWnd3D window(width, height);
        window.SetWorldToWindow(std::make_shared<WindowProjection>(projection));
        IVRenderEx::CBoundingBox gizmo(true);
        if (gizmo.Build(&object, &window)) {
            {
                ScopedObject pen(hdc, CreatePen(PS_SOLID, 1, RGB(0, 0, 0)));
                ScopedObject brush(hdc, CreateSolidBrush(SPOT_COLOUR));
                gizmo.RenderCenterSpot(dc);
            }
            {
                ScopedObject pen(hdc, CreatePen(PS_SOLID, line_width, FAR_HANDLE_COLOUR));
                gizmo.RenderHandles(dc, true);
            }
            {
                ScopedObject pen(hdc, CreatePen(PS_SOLID, line_width, NEAR_HANDLE_COLOUR));
                gizmo.RenderHandles(dc, false);
            }
        }
    }

    if (!mo_label.empty()) {
        // The arrow points at the middle of the box's top face, clear of the gizmo's centre spot.
        const MMPoint3d<double> top{bounds.Centre().x, bounds.Centre().y, bounds.maximum.z};
        MMPoint3d<double> centre;
        if (projection.Transform(centre, top, false) && std::isfinite(centre.x) && std::isfinite(centre.y)) {
            CFont font;
            MakeFont(font, hdc, std::max(10, height / 24), true);
            CFont* previous = dc.SelectObject(&font);
            const unsigned outline = unsigned(line_width + 1);
            const LabelPlacement place = PlaceLabel(dc, mo_label, centre.x, centre.y, width, height, outline);
            dc.SetTextColor(RGB(255, 255, 255));
            // The arrow's patch and the text's halo in the frame's background colour.
            dc.SetBkColor(OUTLINE_COLOUR);
            const CRect clip(0, 0, width, height);
            IVRenderEx::DrawBoldArrow(dc, place.tail, place.tip, &clip);
            IVRenderEx::DrawTextOutlined(hdc, outline, mo_label.c_str(), place.text,
                                         DT_LEFT | DT_TOP | DT_SINGLELINE | DT_NOCLIP | DT_NOPREFIX);
            dc.SelectObject(previous);
        }
    }
    dc.Detach();
    device.DetachImage();
}

void Overlay::MakeFont(CFont& font, HDC dc, int pixels, bool bold) {
    LOGFONTW description;
    std::memset(&description, 0, sizeof description);
    description.lfWeight = bold ? FW_BOLD : 400;
    const wchar_t face[] = L"DejaVu Sans";
    std::copy(std::begin(face), std::end(face), description.lfFaceName);
    IVRenderEx::CreateGdiFont(font, dc, description,
                              float(pixels) * 25.4f / float(GetDeviceCaps(dc, LOGPIXELSY)));
}
