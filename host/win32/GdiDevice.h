#pragma once
// GdiDevice: the stand-in for a Win32 device context. Its HDC (GetHdc) is what the Win32 functions
// of host/win32/WinGdi.h and the MFC CDC take.
//
// It does two things with every call made through its HDC:
// - records it, in order, with its arguments (GetCalls), so a test can check what a helper drew
//   and in which state, and whether it restored what it changed (GetState before and after);
// - when an RGBA image is attached, draws it: lines, rectangles, ellipses and polygons with the
//   selected pen and brush, XOR focus rectangles, and text through FreeType with DejaVu Sans
//   (DejaVu Sans Bold for weights of 600 and more). Text that cannot be drawn (no font file, a
//   FreeType error) draws nothing and leaves a message in GetFailures.
//
// Overlaying onto an existing frame: a program that holds a frame as 8-bit RGBA (red first, rows
// top to bottom, `stride` bytes apart; 0 means width × 4) wraps it without copying:
//
//     GdiDevice device;
//     device.AttachImage(frame.data(), width, height);  // the frame stays the caller's
//     CDC dc;
//     dc.Attach(device.GetHdc());
//     gizmo.RenderHandles(dc, true);                      // draws straight into the frame
//     dc.Detach();
//     device.DetachImage();
//
// Pixels drawn get alpha 255; text is blended by its coverage. Coordinates are pixels of the image,
// x to the right, y downwards; what falls outside is clipped. CreateImage makes the device own an
// image instead. Pen styles other than PS_NULL draw solid (FIXME: no dash patterns).
//
// Defaults as a fresh Win32 memory DC: black text, white opaque background, BLACK_PEN, WHITE_BRUSH,
// SYSTEM_FONT, position (0, 0), 96 dpi. Not thread-safe: one thread per device at a time.
#include "host/win32/GdiCall.h"
#include "host/win32/GdiDeviceState.h"
#include "host/win32/Windef.h"

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

// What an HDC points at; only GdiDevice derives from it.
struct HDC__ {};

class GdiDevice : public HDC__ {
public:
    GdiDevice();
    ~GdiDevice();
    GdiDevice(const GdiDevice&) = delete;
    GdiDevice& operator=(const GdiDevice&) = delete;

    HDC GetHdc() { return this; }
    // The device behind a handle; null for a null handle.
    static GdiDevice* FromHdc(HDC dc) { return static_cast<GdiDevice*>(dc); }

    // --- Image ---
    // Draws into the caller's RGBA pixels from now on; they must outlive the attachment.
    void AttachImage(uint8_t* rgba, int width, int height, int stride = 0);
    // Draws into an image of its own, filled with `fill` (alpha 255).
    void CreateImage(int width, int height, COLORREF fill = RGB(255, 255, 255));
    // Back to recording only.
    void DetachImage();
    bool HasImage() const { return mp_pixels != nullptr; }
    int GetImageWidth() const { return mn_width; }
    int GetImageHeight() const { return mn_height; }
    const uint8_t* GetImageData() const { return mp_pixels; }
    // The pixel's colour without alpha; CLR_INVALID outside the image or without one.
    COLORREF GetPixel(int x, int y) const;

    // --- Settings and inspection ---
    void SetDpi(int x, int y);
    const std::vector<GdiCall>& GetCalls() const { return mv_calls; }
    size_t CountCalls(std::string_view name) const;
    std::vector<GdiCall> GetCallsNamed(std::string_view name) const;
    void ClearCalls() { mv_calls.clear(); }
    const std::vector<std::string>& GetFailures() const { return mv_failures; }
    // The state, read without recording a call.
    GdiDeviceState GetState() const;

    // --- Operations behind the Win32 functions of the same names ---
    int GetDeviceCaps(int index);
    COLORREF SetTextColor(COLORREF colour);
    COLORREF GetTextColor();
    COLORREF SetBkColor(COLORREF colour);
    COLORREF GetBkColor();
    int SetBkMode(int mode);
    int GetBkMode();
    BOOL MoveToEx(int x, int y, LPPOINT previous);
    BOOL LineTo(int x, int y);
    BOOL Rectangle(int left, int top, int right, int bottom);
    BOOL Ellipse(int left, int top, int right, int bottom);
    BOOL Polygon(const POINT* points, int count);
    BOOL DrawFocusRect(const RECT* rect);
    int DrawTextW(LPCWSTR text, int count, LPRECT rect, UINT format);
    HGDIOBJ SelectObject(HGDIOBJ object);

private:
    void _Record(const char* name, std::vector<long long> args, std::wstring text = {});
    void _Plot(int x, int y, COLORREF colour);
    void _Blend(int x, int y, COLORREF colour, unsigned coverage);
    void _Xor(int x, int y);
    void _FillSpan(int y, int x0, int x1, COLORREF colour);
    void _Stroke(int x0, int y0, int x1, int y1); // with the selected pen, the end point excluded
    void _PenDot(int x, int y, COLORREF colour, int width);
    bool _PenColour(COLORREF& colour, int& width) const;
    bool _BrushColour(COLORREF& colour) const;

    std::vector<GdiCall> mv_calls;
    std::vector<std::string> mv_failures;
    COLORREF mn_text_colour;
    COLORREF mn_background_colour;
    int mn_background_mode;
    POINT mo_position{};
    HGDIOBJ mp_pen;
    HGDIOBJ mp_brush;
    HGDIOBJ mp_font;
    int mn_dpi_x = 96;
    int mn_dpi_y = 96;

    uint8_t* mp_pixels = nullptr;
    int mn_width = 0;
    int mn_height = 0;
    int mn_stride = 0;
    std::vector<uint8_t> mv_own_pixels;
    std::vector<int> mv_crossings; // polygon scanline scratch
};
