#pragma once
// IVTextureSoft: the software device's texture, an RGBA image held by value.
//
// Bound with IVRenderSoft::SetTexture. The rasterizer samples it bilinearly at texture
// coordinates (u, v), u = 0 at the left edge of the image and 1 at its right edge, v = 0 at the
// top row's edge and 1 at the bottom row's; texel (i, j) has its centre at ((i + 0.5) / width,
// (j + 0.5) / height). Coordinates outside [0, 1] wrap (repeat, the default) or clamp to the
// edge texels, per the addressing setting. DrawIntoSurface copies the image, scaled by nearest
// sampling, into a pixel rectangle of a software surface (no blending, no depth).
//
// The rasterizer reads a bound texture when it rasterizes, which may be as late as the end of
// the frame: keep the image and the addressing unchanged, and the texture alive, until the
// frame that draws with it has ended. Not thread-safe while being changed; concurrent reads
// are safe.
#include "host/render/IVTexture.h"

#include <cstddef>
#include <cstdint>
#include <vector>

class IVDisplaySurfaceSoft;

class IVTextureSoft : public IVTexture {
public:
    enum class EAddressing : uint8_t { eWrap, eClamp };

    IVTextureSoft() = default;
    ~IVTextureSoft() override;

    // rgba: width x height x 4 bytes, row-major, top row first. A short or empty buffer, or a
    // non-positive size, leaves an empty image (which draws nothing).
    void SetImage(int width, int height, const uint8_t* rgba, size_t size);

    int GetWidth() const { return mn_width; }
    int GetHeight() const { return mn_height; }
    // Colour words (byte 0 red ... byte 3 alpha), row-major, top row first; null when empty.
    const uint32_t* GetTexels() const { return mv_texels.empty() ? nullptr : mv_texels.data(); }

    void SetAddressing(EAddressing addressing) { me_addressing = addressing; }
    EAddressing GetAddressing() const { return me_addressing; }

    // The bilinear sample at (u, v) under `addressing`, as a colour word; 0 for an empty image or
    // non-finite coordinates. Weights are quantised to 1/256 and each channel is rounded.
    uint32_t Sample(float u, float v, EAddressing addressing) const;

    // rect holds four floats in the order x0, x1, y0, y1 (pixels of the surface). The image's
    // left column maps to x0 and its top row to y0; a rectangle given right-to-left or bottom-up
    // mirrors the image. Pixels whose centres fall inside the rectangle and on the surface are
    // overwritten; non-finite or empty rectangles draw nothing.
    void DrawIntoSurface(IVDisplaySurfaceSoft& surface, const float* rect) const;

private:
    int mn_width = 0;
    int mn_height = 0;
    EAddressing me_addressing = EAddressing::eWrap;
    std::vector<uint32_t> mv_texels; // colour words, byte 0 red
};
