#pragma once
// Overlay: the 2D drawing over a finished frame, through the stand-in GDI device context drawing
// straight into the frame's RGBA pixels: the bounding-box gizmo of the scene's transparent objects
// (IVRenderEx::CBoundingBox built from a scene object and a 3D window whose world-to-window
// transform is the frame's projection: centre spot, then the handle strokes at the nearest corner
// and those of the other corners in two colours) and a label (IVRenderEx::DrawBoldArrow and
// DrawTextOutlined) pointing at the middle of the same box's top face.
// Keeps nothing between frames apart from the options. Single-threaded.
#include "apps/Options.h"
#include "apps/WindowProjection.h"

#include "host/win32/CFont.h"
#include "host/win32/WinGdi.h"

#include <cstdint>
#include <string>

class Scene;

class Overlay {
public:
    static constexpr uint32_t NEAR_HANDLE_COLOUR = 0x00FFFFFFu; // COLORREF: white
    static constexpr uint32_t FAR_HANDLE_COLOUR = 0x0000D7FFu;  // COLORREF: amber
    static constexpr uint32_t SPOT_COLOUR = 0x00FFC800u;        // COLORREF: sky blue
    static constexpr uint32_t OUTLINE_COLOUR = 0x00342C28u;     // COLORREF: the frame's background

    explicit Overlay(const Options& options);

    void Draw(uint8_t* rgba, int width, int height, const Scene& scene,
              const WindowProjection& projection) const;

    // UTF-8 to UTF-32 wide text; malformed bytes become U+FFFD.
    static std::wstring Widen(const std::string& text);
    // A DejaVu Sans font of `pixels` cell height, made through the library's millimetre-sized font
    // helper for the device context's resolution.
    static void MakeFont(CFont& font, HDC dc, int pixels, bool bold);

private:
    bool mb_gizmo;
    std::wstring mo_label;
};
