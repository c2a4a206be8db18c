#include "host/win32/GdiDevice.h"

#include "host/win32/GdiObjects.h"
#include "host/win32/GdiText.h"
#include "host/win32/WinGdi.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <cwchar>
#include <iterator>
#include <limits>
#include <utility>

std::string GdiCall::ToString() const {
    std::string result = name + "(";
    for (size_t i = 0; i < args.size(); ++i) {
        if (i > 0)
            result += ",";
        result += std::to_string(args[i]);
    }
    if (name == "DrawTextW") {
        result += ",\"";
        for (const wchar_t character : text)
            result += (character >= 32 && character < 127) ? char(character) : '?';
        result += "\"";
    }
    return result + ")";
}

bool GdiDeviceState::operator==(const GdiDeviceState& other) const {
    return text_colour == other.text_colour && background_colour == other.background_colour &&
           background_mode == other.background_mode && position.x == other.position.x &&
           position.y == other.position.y && pen == other.pen && brush == other.brush && font == other.font;
}

GdiDevice::GdiDevice()
    : mn_text_colour(RGB(0, 0, 0)), mn_background_colour(RGB(255, 255, 255)), mn_background_mode(OPAQUE),
      mp_pen(GdiObjects::Stock(BLACK_PEN)), mp_brush(GdiObjects::Stock(WHITE_BRUSH)),
      mp_font(GdiObjects::Stock(SYSTEM_FONT)) {
    GdiObjects::Select(nullptr, mp_pen);
    GdiObjects::Select(nullptr, mp_brush);
    GdiObjects::Select(nullptr, mp_font);
}

GdiDevice::~GdiDevice() {
    GdiObjects::Release(mp_pen);
    GdiObjects::Release(mp_brush);
    GdiObjects::Release(mp_font);
}

void GdiDevice::AttachImage(uint8_t* rgba, int width, int height, int stride) {
    if (rgba == nullptr || width <= 0 || height <= 0) {
        DetachImage();
        return;
    }
    mv_own_pixels.clear();
    mp_pixels = rgba;
    mn_width = width;
    mn_height = height;
    mn_stride = stride > 0 ? stride : width * 4;
}

void GdiDevice::CreateImage(int width, int height, COLORREF fill) {
    if (width <= 0 || height <= 0) {
        DetachImage();
        return;
    }
    std::vector<uint8_t> pixels(size_t(width) * size_t(height) * 4);
    for (size_t i = 0; i < pixels.size(); i += 4) {
        pixels[i] = GetRValue(fill);
        pixels[i + 1] = GetGValue(fill);
        pixels[i + 2] = GetBValue(fill);
        pixels[i + 3] = 255;
    }
    mv_own_pixels = std::move(pixels);
    mp_pixels = mv_own_pixels.data();
    mn_width = width;
    mn_height = height;
    mn_stride = width * 4;
}

void GdiDevice::DetachImage() {
    mv_own_pixels.clear();
    mp_pixels = nullptr;
    mn_width = mn_height = mn_stride = 0;
}

COLORREF GdiDevice::GetPixel(int x, int y) const {
    if (mp_pixels == nullptr || x < 0 || y < 0 || x >= mn_width || y >= mn_height)
        return CLR_INVALID;
    const uint8_t* pixel = mp_pixels + size_t(y) * size_t(mn_stride) + size_t(x) * 4;
    return RGB(pixel[0], pixel[1], pixel[2]);
}

void GdiDevice::SetDpi(int x, int y) {
    mn_dpi_x = x;
    mn_dpi_y = y;
}

size_t GdiDevice::CountCalls(std::string_view name) const {
    return size_t(
        std::count_if(mv_calls.begin(), mv_calls.end(), [name](const GdiCall& c) { return c.name == name; }));
}

std::vector<GdiCall> GdiDevice::GetCallsNamed(std::string_view name) const {
    std::vector<GdiCall> result;
    std::copy_if(mv_calls.begin(), mv_calls.end(), std::back_inserter(result),
                 [name](const GdiCall& c) { return c.name == name; });
    return result;
}

GdiDeviceState GdiDevice::GetState() const {
    GdiDeviceState state;
    state.text_colour = mn_text_colour;
    state.background_colour = mn_background_colour;
    state.background_mode = mn_background_mode;
    state.position = mo_position;
    state.pen = mp_pen;
    state.brush = mp_brush;
    state.font = mp_font;
    return state;
}

void GdiDevice::_Record(const char* name, std::vector<long long> args, std::wstring text) {
    mv_calls.push_back(GdiCall{name, std::move(args), std::move(text)});
}

// --- State ---

int GdiDevice::GetDeviceCaps(int index) {
    _Record("GetDeviceCaps", {index});
    switch (index) {
    case LOGPIXELSX:
        return mn_dpi_x;
    case LOGPIXELSY:
        return mn_dpi_y;
    case HORZRES:
        return mn_width;
    case VERTRES:
        return mn_height;
    default:
        return 0;
    }
}

COLORREF GdiDevice::SetTextColor(COLORREF colour) {
    _Record("SetTextColor", {colour});
    return std::exchange(mn_text_colour, colour);
}

COLORREF GdiDevice::GetTextColor() {
    _Record("GetTextColor", {});
    return mn_text_colour;
}

COLORREF GdiDevice::SetBkColor(COLORREF colour) {
    _Record("SetBkColor", {colour});
    return std::exchange(mn_background_colour, colour);
}

COLORREF GdiDevice::GetBkColor() {
    _Record("GetBkColor", {});
    return mn_background_colour;
}

int GdiDevice::SetBkMode(int mode) {
    _Record("SetBkMode", {mode});
    if (mode != TRANSPARENT && mode != OPAQUE)
        return 0;
    return std::exchange(mn_background_mode, mode);
}

int GdiDevice::GetBkMode() {
    _Record("GetBkMode", {});
    return mn_background_mode;
}

HGDIOBJ GdiDevice::SelectObject(HGDIOBJ object) {
    _Record("SelectObject", {static_cast<long long>(reinterpret_cast<intptr_t>(object))});
    const auto info = GdiObjects::Describe(object);
    if (!info)
        return nullptr;
    HGDIOBJ* slot = &mp_font;
    if (info->kind == GdiObjectKind::Pen)
        slot = &mp_pen;
    else if (info->kind == GdiObjectKind::Brush)
        slot = &mp_brush;
    if (!GdiObjects::Select(*slot, object))
        return nullptr;
    return std::exchange(*slot, object);
}

// --- Raster primitives ---

void GdiDevice::_Plot(int x, int y, COLORREF colour) {
    if (mp_pixels == nullptr || x < 0 || y < 0 || x >= mn_width || y >= mn_height)
        return;
    uint8_t* pixel = mp_pixels + size_t(y) * size_t(mn_stride) + size_t(x) * 4;
    pixel[0] = GetRValue(colour);
    pixel[1] = GetGValue(colour);
    pixel[2] = GetBValue(colour);
    pixel[3] = 255;
}

void GdiDevice::_Blend(int x, int y, COLORREF colour, unsigned coverage) {
    if (mp_pixels == nullptr || x < 0 || y < 0 || x >= mn_width || y >= mn_height)
        return;
    uint8_t* pixel = mp_pixels + size_t(y) * size_t(mn_stride) + size_t(x) * 4;
    const auto mix = [coverage](uint8_t under, uint8_t over) {
        return uint8_t((unsigned(over) * coverage + unsigned(under) * (255u - coverage) + 127u) / 255u);
    };
    pixel[0] = mix(pixel[0], GetRValue(colour));
    pixel[1] = mix(pixel[1], GetGValue(colour));
    pixel[2] = mix(pixel[2], GetBValue(colour));
    pixel[3] = 255;
}

void GdiDevice::_Xor(int x, int y) {
    if (mp_pixels == nullptr || x < 0 || y < 0 || x >= mn_width || y >= mn_height)
        return;
    uint8_t* pixel = mp_pixels + size_t(y) * size_t(mn_stride) + size_t(x) * 4;
    pixel[0] ^= 0xFF;
    pixel[1] ^= 0xFF;
    pixel[2] ^= 0xFF;
}

void GdiDevice::_FillSpan(int y, int x0, int x1, COLORREF colour) {
    if (mp_pixels == nullptr || y < 0 || y >= mn_height)
        return;
    for (int x = std::max(x0, 0); x < std::min(x1, mn_width); ++x)
        _Plot(x, y, colour);
}

bool GdiDevice::_PenColour(COLORREF& colour, int& width) const {
    const auto info = GdiObjects::Describe(mp_pen);
    if (!info || info->style == PS_NULL)
        return false;
    colour = info->colour;
    width = std::max(info->width, 1);
    return true;
}

bool GdiDevice::_BrushColour(COLORREF& colour) const {
    const auto info = GdiObjects::Describe(mp_brush);
    if (!info || info->style != 0)
        return false;
    colour = info->colour;
    return true;
}

void GdiDevice::_PenDot(int x, int y, COLORREF colour, int width) {
    if (width <= 1) {
        _Plot(x, y, colour);
        return;
    }
    // Only the part of the square that can land on the image.
    const long long low = -(width / 2);
    const long long first_y = std::max<long long>(y + low, 0),
                    last_y = std::min<long long>(y + low + width, mn_height);
    const long long first_x = std::max<long long>(x + low, 0),
                    last_x = std::min<long long>(x + low + width, mn_width);
    for (long long row = first_y; row < last_y; ++row)
        for (long long column = first_x; column < last_x; ++column)
            _Plot(int(column), int(row), colour);
}

void GdiDevice::_Stroke(int x0, int y0, int x1, int y1) {
    COLORREF colour = 0;
    int width = 1;
    if (mp_pixels == nullptr || !_PenColour(colour, width))
        return;
    // A DDA along the major axis, the end point excluded as GDI's LineTo does. Only the steps that
    // can reach the image are walked, so far-away end points cost nothing.
    const long long dx = (long long)x1 - x0, dy = (long long)y1 - y0;
    if (dx == 0 && dy == 0)
        return;
    const bool x_major = std::llabs(dx) >= std::llabs(dy);
    const long long major = x_major ? dx : dy;
    const long long step = major > 0 ? 1 : -1;
    const long long start = x_major ? x0 : y0;
    const long long last = start + major - step;
    const long long pad = width;
    const long long extent = x_major ? mn_width : mn_height;
    const long long low = std::max(std::min(start, last), -pad);
    const long long high = std::min(std::max(start, last), extent - 1 + pad);
    const double slope = double(x_major ? dy : dx) / double(major);
    const double minor_start = x_major ? y0 : x0;
    for (long long position = low; position <= high; ++position) {
        const double minor = std::floor(minor_start + double(position - start) * slope + 0.5);
        const double minor_extent = x_major ? mn_height : mn_width;
        if (minor < -double(pad) || minor > minor_extent + double(pad))
            continue;
        if (x_major)
            _PenDot(int(position), int(minor), colour, width);
        else
            _PenDot(int(minor), int(position), colour, width);
    }
}

// --- Drawing ---

BOOL GdiDevice::MoveToEx(int x, int y, LPPOINT previous) {
    _Record("MoveToEx", {x, y});
    if (previous != nullptr)
        *previous = mo_position;
    mo_position = POINT{x, y};
    return TRUE;
}

BOOL GdiDevice::LineTo(int x, int y) {
    _Record("LineTo", {x, y});
    _Stroke(mo_position.x, mo_position.y, x, y);
    mo_position = POINT{x, y};
    return TRUE;
}

BOOL GdiDevice::Rectangle(int left_value, int top_value, int right_value, int bottom_value) {
    _Record("Rectangle", {left_value, top_value, right_value, bottom_value});
    if (mp_pixels == nullptr)
        return TRUE;
    // In 64 bits and clipped to a pixel beyond the image, so no edge arithmetic can overflow.
    const auto clip = [](long long value, long long extent) {
        return std::clamp<long long>(value, -1, extent + 1);
    };
    long long left = left_value, top = top_value, right = right_value, bottom = bottom_value;
    if (left > right)
        std::swap(left, right);
    if (top > bottom)
        std::swap(top, bottom);
    COLORREF pen = 0, brush = 0;
    int width = 1;
    const bool has_pen = _PenColour(pen, width);
    // Without a pen GDI leaves the last column and row unpainted.
    const long long fill_right = clip(has_pen ? right : right - 1, mn_width);
    const long long fill_bottom = clip(has_pen ? bottom : bottom - 1, mn_height);
    const long long fill_left = clip(left, mn_width);
    if (_BrushColour(brush))
        for (long long y = std::max(top, 0LL); y < fill_bottom; ++y)
            _FillSpan(int(y), int(fill_left), int(fill_right), brush);
    if (has_pen && right > left && bottom > top) {
        const long long span_right = clip(right, mn_width);
        if (top < mn_height)
            _FillSpan(int(clip(top, mn_height)), int(fill_left), int(span_right), pen);
        if (bottom - 1 >= 0)
            _FillSpan(int(clip(bottom - 1, mn_height)), int(fill_left), int(span_right), pen);
        for (long long y = std::max(top, 0LL); y < std::min<long long>(bottom, mn_height); ++y) {
            _Plot(int(clip(left, mn_width)), int(y), pen);
            _Plot(int(clip(right - 1, mn_width)), int(y), pen);
        }
    }
    return TRUE;
}

BOOL GdiDevice::Ellipse(int left, int top, int right, int bottom) {
    _Record("Ellipse", {left, top, right, bottom});
    if (mp_pixels == nullptr)
        return TRUE;
    if (left > right)
        std::swap(left, right);
    if (top > bottom)
        std::swap(top, bottom);
    if (right <= left || bottom <= top)
        return TRUE;
    const double centre_x = (double(left) + double(right) - 1.0) * 0.5;
    const double centre_y = (double(top) + double(bottom) - 1.0) * 0.5;
    const double radius_x = (double(right) - double(left)) * 0.5;
    const double radius_y = (double(bottom) - double(top)) * 0.5;
    const auto inside = [&](int x, int y) {
        const double u = (x - centre_x) / radius_x, v = (y - centre_y) / radius_y;
        return u * u + v * v <= 1.0;
    };
    COLORREF pen = 0, brush = 0;
    int width = 1;
    const bool has_pen = _PenColour(pen, width);
    const bool has_brush = _BrushColour(brush);
    for (int y = std::max(top, 0); y < std::min(bottom, mn_height); ++y) {
        for (int x = std::max(left, 0); x < std::min(right, mn_width); ++x) {
            if (!inside(x, y))
                continue;
            const bool edge =
                !inside(x - 1, y) || !inside(x + 1, y) || !inside(x, y - 1) || !inside(x, y + 1);
            if (edge && has_pen)
                _PenDot(x, y, pen, width);
            else if (has_brush)
                _Plot(x, y, brush);
        }
    }
    return TRUE;
}

BOOL GdiDevice::Polygon(const POINT* points, int count) {
    std::vector<long long> args{count};
    for (int i = 0; points != nullptr && i < count; ++i) {
        args.push_back(points[i].x);
        args.push_back(points[i].y);
    }
    _Record("Polygon", std::move(args));
    if (points == nullptr || count < 2)
        return FALSE;
    if (mp_pixels == nullptr)
        return TRUE;
    COLORREF brush = 0;
    if (_BrushColour(brush)) {
        // Even-odd fill sampled at pixel centres (GDI's ALTERNATE mode).
        long long min_y = points[0].y, max_y = points[0].y;
        for (int i = 1; i < count; ++i) {
            min_y = std::min<long long>(min_y, points[i].y);
            max_y = std::max<long long>(max_y, points[i].y);
        }
        for (long long y = std::max<long long>(min_y, 0); y < std::min<long long>(max_y, mn_height); ++y) {
            const double centre = double(y) + 0.5;
            mv_crossings.clear();
            for (int i = 0; i < count; ++i) {
                const POINT& a = points[i];
                const POINT& b = points[(i + 1) % count];
                if ((a.y <= centre) == (b.y <= centre))
                    continue;
                const double t = (centre - a.y) / (double(b.y) - a.y);
                const double crossing = std::ceil(a.x + t * (double(b.x) - a.x) - 0.5);
                mv_crossings.push_back(int(std::clamp(crossing, -1.0, double(mn_width) + 1.0)));
            }
            std::sort(mv_crossings.begin(), mv_crossings.end());
            for (size_t i = 0; i + 1 < mv_crossings.size(); i += 2)
                _FillSpan(int(y), mv_crossings[i], mv_crossings[i + 1], brush);
        }
    }
    for (int i = 0; i < count; ++i) {
        const POINT& a = points[i];
        const POINT& b = points[(i + 1) % count];
        _Stroke(a.x, a.y, b.x, b.y);
    }
    return TRUE;
}

BOOL GdiDevice::DrawFocusRect(const RECT* rect) {
    if (rect == nullptr) {
        _Record("DrawFocusRect", {});
        return FALSE;
    }
    _Record("DrawFocusRect", {rect->left, rect->top, rect->right, rect->bottom});
    if (mp_pixels == nullptr || rect->right <= rect->left || rect->bottom <= rect->top)
        return TRUE;
    // A dotted frame one pixel wide, inverted: every frame pixel once, so a second call undoes it.
    const long long left = rect->left, right = rect->right, top = rect->top, bottom = rect->bottom;
    const auto dot = [this](long long x, long long y) {
        if (((x + y) & 1) == 0)
            _Xor(int(x), int(y));
    };
    const long long first_x = std::max<long long>(left, 0), last_x = std::min<long long>(right, mn_width);
    for (long long x = first_x; x < last_x; ++x) {
        dot(x, top);
        if (bottom - 1 != top)
            dot(x, bottom - 1);
    }
    const long long first_y = std::max<long long>(top + 1, 0),
                    last_y = std::min<long long>(bottom - 1, mn_height);
    for (long long y = first_y; y < last_y; ++y) {
        dot(left, y);
        if (right - 1 != left)
            dot(right - 1, y);
    }
    return TRUE;
}

int GdiDevice::DrawTextW(LPCWSTR text, int count, LPRECT rect, UINT format) {
    std::wstring characters;
    if (text != nullptr && count == -1)
        characters.assign(text);
    else if (text != nullptr && count > 0)
        characters.assign(text, size_t(count));
    if (rect == nullptr) {
        _Record("DrawTextW", {count, 0, 0, 0, 0, format}, characters);
        return 0;
    }
    _Record("DrawTextW", {count, rect->left, rect->top, rect->right, rect->bottom, format}, characters);
    if (text == nullptr || count < -1)
        return 0;

    LOGFONTW font{};
    if (const auto info = GdiObjects::Describe(mp_font))
        font = info->font;
    std::vector<std::wstring> lines;
    if ((format & DT_SINGLELINE) != 0) {
        std::wstring line;
        for (const wchar_t character : characters)
            if (character != L'\r' && character != L'\n')
                line += character;
        lines.push_back(std::move(line));
    } else {
        lines.emplace_back();
        for (const wchar_t character : characters) {
            if (character == L'\n')
                lines.emplace_back();
            else if (character != L'\r')
                lines.back() += character;
        }
    }
    std::vector<GdiText::Metrics> metrics(lines.size());
    std::string error;
    int widest = 0;
    for (size_t i = 0; i < lines.size(); ++i) {
        if (!GdiText::Measure(font, lines[i], metrics[i], error)) {
            mv_failures.push_back("DrawTextW: " + error);
            return 0;
        }
        widest = std::max(widest, metrics[i].width);
    }
    const int line_height = metrics.front().ascent + metrics.front().descent;
    const int height = line_height * int(lines.size());
    // Positions in 64 bits: a rectangle near the ends of the int range must not overflow.
    const auto to_int = [](long long value) {
        return int(
            std::clamp<long long>(value, std::numeric_limits<int>::min(), std::numeric_limits<int>::max()));
    };
    if ((format & DT_CALCRECT) != 0) {
        rect->right = to_int((long long)rect->left + widest);
        rect->bottom = to_int((long long)rect->top + height);
        return height;
    }
    if (mp_pixels == nullptr)
        return height;

    long long top = rect->top;
    if ((format & DT_SINGLELINE) != 0 && (format & DT_VCENTER) != 0)
        top = ((long long)rect->top + rect->bottom - height) / 2;
    else if ((format & DT_SINGLELINE) != 0 && (format & DT_BOTTOM) != 0)
        top = (long long)rect->bottom - height;
    const bool clip = (format & DT_NOCLIP) == 0;
    const auto visible = [&](long long x, long long y) {
        return !clip || (x >= rect->left && x < rect->right && y >= rect->top && y < rect->bottom);
    };
    for (size_t i = 0; i < lines.size(); ++i) {
        long long left = rect->left;
        if ((format & DT_CENTER) != 0)
            left = ((long long)rect->left + rect->right - metrics[i].width) / 2;
        else if ((format & DT_RIGHT) != 0)
            left = (long long)rect->right - metrics[i].width;
        const long long line_top = top + (long long)i * line_height;
        // Lines wholly off the image draw nothing (and keep the glyph arithmetic in int range).
        if (left >= mn_width || line_top >= mn_height || left + metrics[i].width < 0 ||
            line_top + line_height < 0)
            continue;
        if (mn_background_mode == OPAQUE)
            for (long long y = std::max(line_top, 0LL);
                 y < std::min<long long>(line_top + line_height, mn_height); ++y)
                for (long long x = std::max(left, 0LL);
                     x < std::min<long long>(left + metrics[i].width, mn_width); ++x)
                    if (visible(x, y))
                        _Plot(int(x), int(y), mn_background_colour);
        const COLORREF colour = mn_text_colour;
        const bool drawn = GdiText::Render(
            font, lines[i], int(left), int(line_top + metrics[i].ascent),
            [&](int x, int y, unsigned coverage) {
                if (visible(x, y))
                    _Blend(x, y, colour, coverage);
            },
            error);
        if (!drawn) {
            mv_failures.push_back("DrawTextW: " + error);
            return 0;
        }
    }
    return height;
}
