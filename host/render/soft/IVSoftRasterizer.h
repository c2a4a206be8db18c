#pragma once
// IVSoftRasterizer: the software device's rasterizer. It fills triangles, lines and points given
// in raster coordinates (x to the right and y downwards in pixels of the display surface, plus a
// depth) into an IVDisplaySurfaceSoft.
//
// Conventions:
// - Pixel (px, py) is sampled at its centre (px + 0.5, py + 0.5). Triangles snap their corners
//   to 1/256 pixel and are filled by exact integer edge functions with a top-left style rule, so
//   a pixel on an edge shared by two triangles is filled by exactly one of them.
// - Depth: larger is nearer (see IVDisplaySurfaceSoft). With the depth test on, a pixel is kept
//   when its depth is greater than the stored one; with depth writing on, its depth is stored.
// - Shading (triangles only, while shading is on): a two-sided headlight along the raster depth
//   axis. Each channel is quarter + (full - quarter) x |normal.z|, with |normal.z| clamped to
//   [0, 1] (not-a-number counts as 0): a face turned edge-on shows only the quarter (ambient)
//   intensity. Lines and points, and triangles while shading is off, use the full channels.
// - Blending (while blending is on, which the device switches on for its transparency bracket):
//   out = (colour x alpha + stored x (255 - alpha)) / 255 per channel, alpha being the colour
//   state's alpha byte; otherwise the pixel is overwritten with alpha 255.
// - Clipping planes: raster plane k holds depth_k(x, y) = z0[k] + gx[k] x + gy[k] y at the pixel
//   centre. Side false discards a pixel whose depth is less than depth_k, side true one whose
//   depth is greater, so the half-space a x + b y + c depth + d >= 0 given to AddClippingPlane is
//   kept whatever the sign of c.
// - Primitives with a non-finite coordinate, corners farther than 2^20 pixels from the origin,
//   or zero snapped area are skipped. Lines are clipped to the surface before they are stepped.
//   FIXME: no guard band: a triangle with one corner beyond 2^20 pixels is dropped whole.
//
// The raster operations are virtual so that tests can record what a device hands over. Not
// thread-safe; owned by one device.
#include <cstddef>
#include <cstdint>
#include <vector>

class IVDisplaySurfaceSoft;

class IVSoftRasterizer {
public:
    IVSoftRasterizer();
    IVSoftRasterizer(const IVSoftRasterizer&) = delete;
    IVSoftRasterizer& operator=(const IVSoftRasterizer&) = delete;
    virtual ~IVSoftRasterizer();

    virtual void RasterTriangle(const float* ra, const float* rb, const float* rc, const float* normal);
    virtual void RasterLine(const float* ra, const float* rb);
    // mode: the side of the square of pixels drawn around the point; 0 and 1 draw one pixel,
    // 3 (the mode of point lists) a 3 x 3 square.
    virtual void RasterPoint(const float* rp, int mode);

    // Writes the colour state from a colour word (byte 0 red ... byte 3 alpha).
    void SetColourWord(uint32_t colour);

    // Appends the raster plane a x + b y + c depth + d = 0 and returns its number.
    int AddClippingPlane(float a, float b, float c, float d);
    // Empties the plane table and clears mb_active.
    void ClearClippingPlanes();

    // Borrowed; null (the default) makes every raster operation draw nothing.
    void SetSurface(IVDisplaySurfaceSoft* surface) { mp_surface = surface; }
    IVDisplaySurfaceSoft* GetSurface() const { return mp_surface; }
    void SetDepthTest(bool test, bool write) {
        mb_depth_test = test;
        mb_depth_write = write;
    }
    void SetBlend(bool blend) { mb_blend = blend; }
    void SetShading(bool shading) { mb_shading = shading; }
    bool IsBlend() const { return mb_blend; }
    bool IsShading() const { return mb_shading; }

    // Colour state, in this order.
    uint32_t mn_red_quarter = 0;
    uint32_t mn_red = 0;
    uint32_t mn_green_quarter = 0;
    uint32_t mn_green = 0;
    uint32_t mn_blue_quarter = 0;
    uint32_t mn_blue = 0;
    uint8_t mn_alpha = 0;

    // Plane table, in this order; the four lists are parallel.
    bool mb_active = false;
    std::vector<float> mv_z0;
    std::vector<float> mv_gx;
    std::vector<float> mv_gy;
    std::vector<bool> mv_side;

private:
    // True when the pixel centre (x, y) at depth lies on the discarded side of a plane.
    bool _IsClipped(float x, float y, float depth) const;
    // Depth test, depth write and colour write of one pixel at `index`.
    void _Plot(size_t index, float depth, uint32_t colour);
    uint32_t _FullColour() const;

    IVDisplaySurfaceSoft* mp_surface = nullptr;
    bool mb_depth_test = true;
    bool mb_depth_write = true;
    bool mb_blend = false;
    bool mb_shading = false;
};
