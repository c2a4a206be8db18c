#pragma once
// IVTextureSoft: the software device's texture, an RGBA image held by value.
//
// Bound with IVRenderSoft::SetTexture; DrawIntoSurface copies the image, scaled by nearest
// sampling, into a pixel rectangle of a software surface (no blending, no depth). Not
// thread-safe.
#include "host/render/IVTexture.h"

#include <cstddef>
#include <cstdint>
#include <vector>

class IVDisplaySurfaceSoft;

class IVTextureSoft : public IVTexture {
public:
    IVTextureSoft() = default;
    ~IVTextureSoft() override;

    // rgba: width x height x 4 bytes, row-major, top row first. A short or empty buffer, or a
    // non-positive size, leaves an empty image (which draws nothing).
    void SetImage(int width, int height, const uint8_t* rgba, size_t size);

    int GetWidth() const { return mn_width; }
    int GetHeight() const { return mn_height; }

    // rect holds four floats in the order x0, x1, y0, y1 (pixels of the surface). The image's
    // left column maps to x0 and its top row to y0; a rectangle given right-to-left or bottom-up
    // mirrors the image. Pixels whose centres fall inside the rectangle and on the surface are
    // overwritten; non-finite or empty rectangles draw nothing.
    void DrawIntoSurface(IVDisplaySurfaceSoft& surface, const float* rect) const;

private:
    int mn_width = 0;
    int mn_height = 0;
    std::vector<uint32_t> mv_texels; // colour words, byte 0 red
};
