#pragma once
// IVDisplaySurfaceSoft: the software device's frame: an RGBA colour buffer and a float depth
// buffer of width x height pixels.
//
// Pixels are stored row-major, top row first, four bytes per pixel in the order red, green,
// blue, alpha (the colour word's byte order: byte 0 red ... byte 3 alpha). Depth convention of the
// software rasterizer: a LARGER depth is NEARER the viewer, so the depth buffer is cleared to
// -infinity and a pixel passes the depth test when its depth is greater than the stored one.
// (Plain lines are pushed by +1.0 in depth so that they win over the faces they lie on.)
//
// Call order: construct (or Resize), Clear, hand to IVRender::StartFrame, draw, StopFrame, then
// read GetPixels()/GetDepth(). A rasterizer may hold drawing for the surface pending (see
// IVSoftRasterizer): every getter of pixels or depth, Clear and Resize first have it finished,
// so reads always see everything drawn before them. Not thread-safe; one device draws into a
// surface at a time. Copies start with nothing pending.
#include "host/render/IVDisplaySurface.h"
#include "host/win32/Windef.h"

#include <bit>
#include <cstdint>
#include <limits>
#include <vector>

// The colour buffer is kept as colour words and read out as bytes; that only agrees on a
// little-endian machine.
static_assert(std::endian::native == std::endian::little);

class IVSoftRasterizer;

class IVDisplaySurfaceSoft : public IVDisplaySurface {
public:
    static constexpr float FAR_DEPTH = -std::numeric_limits<float>::infinity();

    IVDisplaySurfaceSoft() = default;
    // Negative sizes count as 0.
    IVDisplaySurfaceSoft(int width, int height);
    IVDisplaySurfaceSoft(const IVDisplaySurfaceSoft& other);
    IVDisplaySurfaceSoft& operator=(const IVDisplaySurfaceSoft& other);
    // Drops the work still pending for it.
    ~IVDisplaySurfaceSoft() override;

    // Reallocates both buffers; their contents are cleared to transparent black and FAR_DEPTH.
    void Resize(int width, int height);
    // Fills every pixel with the colour word (byte 0 red ... byte 3 alpha) and every depth value.
    void Clear(uint32_t colour, float depth = FAR_DEPTH);

    int GetWidth() const { return mn_width; }
    int GetHeight() const { return mn_height; }
    // The pixels as (left, top, right, bottom), right and bottom INCLUSIVE: (0, 0, w-1, h-1).
    const RECT& GetPixelRect() const { return mo_pixel_rect; }

    // width x height x 4 bytes: RGBA, row-major, top row first. Null for an empty surface.
    const uint8_t* GetPixels() const {
        _Settle();
        return reinterpret_cast<const uint8_t*>(mv_colour.data());
    }
    uint8_t* GetPixels() {
        _Settle();
        return reinterpret_cast<uint8_t*>(mv_colour.data());
    }
    // width x height depth values, same order as the pixels.
    const float* GetDepth() const {
        _Settle();
        return mv_depth.data();
    }
    float* GetDepth() {
        _Settle();
        return mv_depth.data();
    }

    // The colour words, same order as the pixels (for the rasterizer and texture copies).
    uint32_t* GetColourWords() {
        _Settle();
        return mv_colour.data();
    }
    const uint32_t* GetColourWords() const {
        _Settle();
        return mv_colour.data();
    }

    // Checked single-pixel reads; 0 and FAR_DEPTH outside the surface.
    uint32_t GetPixel(int x, int y) const;
    float GetDepthAt(int x, int y) const;

private:
    friend class IVSoftRasterizer;

    // Has the rasterizer with pending work for this surface finish it.
    void _Settle() const;

    IVSoftRasterizer* mp_pending = nullptr; // set by the rasterizer while it holds work for us
    int mn_width = 0;
    int mn_height = 0;
    RECT mo_pixel_rect{0, 0, -1, -1};
    std::vector<uint32_t> mv_colour;
    std::vector<float> mv_depth;
};
