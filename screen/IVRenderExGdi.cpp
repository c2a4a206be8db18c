// The static GDI helpers of IVRenderEx.
#include "screen/IVRenderEx.h"

#include "host/math/MMTransformMatrix.h"
#include "host/win32/CBrush.h"
#include "host/win32/CPen.h"
#include "host/win32/WinGdi.h"
#include "screen/ScreenMath.h"

#include <algorithm>
#include <cmath>
#include <cwchar>

using namespace VantrelScreen;

namespace {

// sqrt(FLT_EPSILON): heights at or below it count as "no height given".
constexpr float kNoHeight = 0.00034526698f;

long MmToPixels(HDC dc, int capability, float millimetres) {
    const float pixels = float(GetDeviceCaps(dc, capability)) * (millimetres / 25.4f);
    return RoundHalfAway(pixels);
}

float PixelsToMm(HDC dc, int capability, long pixels) {
    return float(pixels) / float(GetDeviceCaps(dc, capability)) * 25.4f;
}

int TextLength(const wchar_t* text) {
    return int(std::min<size_t>(std::wcslen(text), size_t(kIntMax)));
}

} // namespace

int IVRenderEx::DrawTextDisabled(HDC dc, const wchar_t* text, int count, const CRect& rect,
                                 unsigned int format, int enabled) {
    if (count == -1 && text != nullptr)
        count = TextLength(text);
    CRect place = rect;
    if (enabled != 0)
        return ::DrawTextW(dc, text, count, &place, format);

    // Embossed: a highlight copy one pixel down-right under the shadow-coloured text.
    ::OffsetRect(&place, 1, 1);
    const COLORREF previous_colour = ::SetTextColor(dc, ::GetSysColor(COLOR_3DHIGHLIGHT));
    ::DrawTextW(dc, text, count, &place, format);
    ::SetTextColor(dc, ::GetSysColor(COLOR_3DSHADOW));
    ::OffsetRect(&place, -1, -1);
    const int previous_mode = ::SetBkMode(dc, TRANSPARENT);
    const int result = ::DrawTextW(dc, text, count, &place, format);
    ::SetTextColor(dc, previous_colour);
    ::SetBkMode(dc, previous_mode);
    return result;
}

void IVRenderEx::DrawTextOutlined(HDC dc, unsigned int thickness, const wchar_t* text, const RECT& rect,
                                  unsigned int format) {
    if (text == nullptr)
        return;
    const int count = TextLength(text);
    const int previous_mode = ::SetBkMode(dc, TRANSPARENT);
    const COLORREF previous_colour = ::SetTextColor(dc, ::GetBkColor(dc));
    // Ring r: the 8r places on the square of half-width r, walked right, down, left, up from its
    // top-left corner and back to it.
    for (int64_t ring = 1; ring <= int64_t(thickness); ++ring) {
        RECT place = rect;
        ::OffsetRect(&place, int(-ring), int(-ring));
        const int steps[4][2] = {{1, 0}, {0, 1}, {-1, 0}, {0, -1}};
        for (const auto& step : steps) {
            for (int64_t i = 0; i < 2 * ring; ++i) {
                ::OffsetRect(&place, step[0], step[1]);
                ::DrawTextW(dc, text, count, &place, format);
            }
        }
    }
    ::SetTextColor(dc, previous_colour);
    RECT place = rect;
    ::DrawTextW(dc, text, count, &place, format);
    ::SetBkMode(dc, previous_mode);
}

void IVRenderEx::CreateGdiFont(CFont& font, HDC dc, const LOGFONTW& logFont, float heightMm) {
    LOGFONTW copy = logFont;
    copy.lfWidth = 0;
    const float height = heightMm > kNoHeight ? heightMm : float(logFont.lfHeight);
    const int32_t pixels = RoundHalfAway(float(GetDeviceCaps(dc, LOGPIXELSY)) * (height / 25.4f));
    // A positive height asks GDI for the cell height; |INT_MIN| saturates.
    copy.lfHeight = pixels < 0 ? (pixels == kIntMin ? kIntMax : -pixels) : pixels;
    if (font.GetSafeHandle() != nullptr)
        font.DeleteObject();
    font.Attach(::CreateFontIndirectW(&copy));
}

long IVRenderEx::ConvertMmToPointsInX(HDC dc, float millimetres) {
    return MmToPixels(dc, LOGPIXELSX, millimetres);
}

long IVRenderEx::ConvertMmToPointsInY(HDC dc, float millimetres) {
    return MmToPixels(dc, LOGPIXELSY, millimetres);
}

float IVRenderEx::ConvertPointsToMmInX(HDC dc, long pixels) {
    return PixelsToMm(dc, LOGPIXELSX, pixels);
}

float IVRenderEx::ConvertPointsToMmInY(HDC dc, long pixels) {
    return PixelsToMm(dc, LOGPIXELSY, pixels);
}

void IVRenderEx::DrawFocusRectNormalized(CDC& dc, const CRect& rect) {
    CRect normalised = rect;
    normalised.NormalizeRect();
    // An empty rectangle still shows: one extra column, or else one extra row.
    if (rect.right == rect.left)
        normalised.right = ClampToInt(int64_t(normalised.right) + 1);
    else if (rect.bottom == rect.top)
        normalised.bottom = ClampToInt(int64_t(normalised.bottom) + 1);
    dc.DrawFocusRect(&normalised);
}

void IVRenderEx::DrawBoldArrow(CDC& dc, CPoint from, CPoint to, const CRect* clip) {
    // Tip at the origin, a head 3 long and 6 wide, a shaft 2 wide reaching to x = 7.
    static const double outline[7][2] = {{0, 0}, {3, 3}, {3, 1}, {7, 1}, {7, -1}, {3, -1}, {3, -3}};

    const double dx = double(to.x) - double(from.x);
    const double dy = double(to.y) - double(from.y);
    const double length = std::sqrt(dx * dx + dy * dy);
    const double unit = length / 7.0;
    // Clamped: rounding must not push the cosine outside acos's domain.
    const double cosine = length < 3.140185e-16 ? 0.0 : std::clamp(-dx / length, -1.0, 1.0);
    // Counter-clockwise from (-1, 0) to d: the rotation then lays the outline's +x axis along -d.
    const double angle = dy < 0.0 ? std::acos(cosine) : -std::acos(cosine);
    MMTransformMatrix rotation;
    rotation.MakeRotation(MMPoint3d<double>(0.0, 0.0, 0.0), MMPoint3d<double>(0.0, 0.0, 1.0), angle);

    CPoint points[7];
    for (int i = 6; i >= 0; --i) {
        float xyz[3] = {float(outline[i][0] * unit), float(outline[i][1] * unit), 0.0f};
        rotation.Transform(xyz, false);
        points[i] = CPoint(RoundHalfAway(float(to.x) + xyz[0]), RoundHalfAway(float(to.y) + xyz[1]));
    }

    // Shift the whole arrow back inside the clip rectangle, as far as the worst point needs.
    int64_t shift_x = 0, shift_y = 0;
    if (clip != nullptr) {
        for (int i = 6; i >= 0; --i) {
            const int64_t to_left = int64_t(clip->left) - points[i].x;
            if (to_left > 0 && to_left > shift_x)
                shift_x = to_left;
            const int64_t to_right = int64_t(clip->right) - points[i].x;
            if (to_right < 0 && to_right < shift_x)
                shift_x = to_right;
            const int64_t to_top = int64_t(clip->top) - points[i].y;
            if (to_top > 0 && to_top > shift_y)
                shift_y = to_top;
            const int64_t to_bottom = int64_t(clip->bottom) - points[i].y;
            if (to_bottom < 0 && to_bottom < shift_y)
                shift_y = to_bottom;
        }
    }
    CRect bounds(kIntMax, kIntMax, -kIntMax, -kIntMax);
    for (CPoint& point : points) {
        point = CPoint(ClampToInt(point.x + shift_x), ClampToInt(point.y + shift_y));
        bounds.left = std::min(bounds.left, point.x);
        bounds.top = std::min(bounds.top, point.y);
        bounds.right = std::max(bounds.right, point.x);
        bounds.bottom = std::max(bounds.bottom, point.y);
    }

    // The background patch, 0.3 mm wider than the arrow.
    const COLORREF background = dc.GetBkColor();
    CBrush background_brush;
    background_brush.CreateSolidBrush(background);
    CPen background_pen;
    background_pen.CreatePen(PS_SOLID, 0, background);
    CBrush* previous_brush = dc.SelectObject(&background_brush);
    CPen* previous_pen = dc.SelectObject(&background_pen);
    const int32_t margin_x = RoundHalfAway(float(dc.GetDeviceCaps(LOGPIXELSX)) * 0.011811024f);
    const int32_t margin_y = RoundHalfAway(float(dc.GetDeviceCaps(LOGPIXELSY)) * 0.011811024f);
    dc.Rectangle(ClampToInt(int64_t(bounds.left) - margin_x), ClampToInt(int64_t(bounds.top) - margin_y),
                 ClampToInt(int64_t(bounds.right) + margin_x + 1),
                 ClampToInt(int64_t(bounds.bottom) + margin_y + 1));

    // The arrow in the text colour.
    const COLORREF foreground = dc.GetTextColor();
    CBrush arrow_brush;
    arrow_brush.CreateSolidBrush(foreground);
    CPen arrow_pen;
    arrow_pen.CreatePen(PS_SOLID, 0, foreground);
    dc.SelectObject(&arrow_brush);
    dc.SelectObject(&arrow_pen);
    dc.Polygon(points, 7);

    dc.SelectObject(previous_brush);
    dc.SelectObject(previous_pen);
    background_brush.DeleteObject();
    background_pen.DeleteObject();
    arrow_brush.DeleteObject();
    arrow_pen.DeleteObject();
}
