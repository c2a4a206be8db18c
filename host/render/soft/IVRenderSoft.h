#pragma once
// IVRenderSoft: the software render device. It projects primitives through the combined
// object-to-raster matrix kept by IVRender (raster space is window space: x to the right, y
// downwards in pixels, plus a depth) and hands them to its IVSoftRasterizer, which draws into
// the IVDisplaySurfaceSoft of the running frame.
//
// Call order: StartFrame(surface, dc) (a surface of another kind makes the frame draw nothing),
// set transforms, materials and switches, draw, StopFrame(). State the rasterizer needs is
// pushed to it as it changes: the z-buffer switches, blending for the transparency bracket
// (StartTransparency .. EndTransparency), shading (render mode 1 with lighting on), the colour
// state (from the front material's diffuse colour, at frame start and whenever the front
// material changes) and the clipping planes (_UpdateClippingPlanes).
//
// Triangles and lines are clipped in homogeneous raster coordinates before the divide (the near
// plane and a guard band, see HomogeneousClipper), so that what reaches behind the eye is cut
// off instead of folding over the image; points at or behind the eye are dropped.
//
// Depth: larger raster depth is nearer; see IVDisplaySurfaceSoft. Back faces are drawn too:
// the stand-in does not cull (SetBackfaceVisible changes nothing it draws).
//
// Adds no virtual operation to IVRender's table, so a derived device's table is IVRender's.
// Not thread-safe: one rendering thread per device.
#include "host/render/IVRender.h"

#include <cstdint>
#include <memory>

class IVSoftRasterizer;
class IVTextureSoft;

class IVRenderSoft : public IVRender {
public:
    IVRenderSoft();
    ~IVRenderSoft() override;

protected:
    void _OnStartFrame(IVDisplaySurface* surface, CDC* dc) override;
    void _OnStopFrame() override;
    void _OnEnableLigthing() override;
    void _OnSetMaterialFront() override;

public:
    // Binds a software texture, or unbinds with null; false (binding unchanged) for a texture
    // of another kind.
    bool SetTexture(IVTexture* texture) override;
    // Draws the quad's two triangles (p0 p1 p2, p0 p2 p3) textured with `texture` (t0..t3 hold
    // u, v per corner), which is bound for them and then the previous binding restored; a
    // texture of another kind draws them untextured.
    void DrawQuad(const float* p0, const float* p1, const float* p2, const float* p3, const float* t0,
                  const float* t1, const float* t2, const float* t3, const float* normal,
                  IVTexture& texture) override;
    // Draws the texture, sampled bilinearly, into the window rectangle of the two corners.
    bool DrawTextureRect(const float* origin, const float* to_end, const float* to_start,
                         IVTexture* texture) override;

    void EnableZBuffer(bool test, bool write) override;
    // Held primitives of the rasterizer's producer are handed over before the matrices change.
    void SetTransformObjectWorld(const float* matrix) override;
    void SetTransformWorldEye(const float* matrix) override;
    void SetTransformEyeWindow(const float* matrix) override;
    void StartTransparency(bool sorted) override;
    void EndTransparency() override;
    void RestoreMemento(const Memento& memento, EMemoType type) override;

protected:
    // Maps each enabled world plane exactly into raster space (through the inverse of the
    // world-to-raster matrix); a plane is skipped while that matrix is singular.
    void _UpdateClippingPlanes() override;

    void _DrawTriangle(const float* a, const float* b, const float* c, const float* normal,
                       unsigned long colour) override;
    void _DrawTriangle(const float* a, const float* b, const float* c, const float* normal) override;
    void _DrawLine(float x0, float y0, float z0, float x1, float y1, float z1, unsigned long colour) override;
    void _DrawLine(float x0, float y0, float z0, float x1, float y1, float z1) override;
    void _DrawPoint(float x, float y, float z, float nx, float ny, float nz) override;
    void _DrawPoint(float x, float y, float z, unsigned long colour) override;
    void _DrawPoint(float x, float y, float z) override;

public:
    void DrawTriangle(const float* a, const float* b, const float* c, const float* normal,
                      const float* colour) override;
    void DrawTriangle(const float* a, const float* b, const float* c, const float* normal) override;
    void DrawLine(float x0, float y0, float z0, float x1, float y1, float z1, const float* colour) override;
    // Drawn 1.0 nearer in raster depth than the coloured line, so that it wins over the faces it
    // lies on.
    void DrawLine(float x0, float y0, float z0, float x1, float y1, float z1) override;
    void DrawPoint(float x, float y, float z) override;
    void DrawPoints(const float* xyz, unsigned int count) override;

    // --- Non-virtual operations ---

    // The render mode: 0 (after construction) fills flat in the full colour, 1 (what the
    // factories' Create selects) shades triangles with the rasterizer's lights while lighting
    // is on.
    void SetRenderMode(int mode);
    int GetRenderMode() const { return mn_render_mode; }

    IVSoftRasterizer& GetRasterizer() { return *mp_rasterizer; }
    const IVSoftRasterizer& GetRasterizer() const { return *mp_rasterizer; }
    // The texture bound by the last successful SetTexture, or null.
    IVTextureSoft* GetTextureSoft() const { return mp_texture_soft; }

    // A textured triangle: ta, tb, tc hold the texture coordinates (u, v) of the object-space
    // corners a, b, c. They are kept pending for exactly one triangle while the virtual
    // DrawTriangle(a, b, c, normal) runs; a device whose DrawTriangle takes them
    // (_TakePendingTexcoords) draws the triangle textured with the bound software texture, any
    // other draws it as usual. The plain device clips it like any triangle (the texture
    // coordinates cut along), and draws it untextured without a bound software texture.
    void DrawTriangleTextured(const float* a, const float* b, const float* c, const float* normal,
                              const float* ta, const float* tb, const float* tc);

    // The colour-word triangle through the virtual table, for the factory's streams of coloured
    // vertex formats (IVRender keeps it protected).
    void DrawTriangleColourWord(const float* a, const float* b, const float* c, const float* normal,
                                uint32_t colour) {
        _DrawTriangle(a, b, c, normal, colour);
    }

    // The colour word of a float colour (red, green, blue): each channel trunc(c x 255.0f) to a
    // 64-bit integer, its low 8 bits; alpha 0. No clamping.
    static uint32_t MakeColourWord(const float* colour);

protected:
    // Replaces the rasterizer, keeping the surface, switches and colour state pushed so far; a
    // seam for tests that record what the device hands over. Null is ignored.
    void _SetRasterizer(std::unique_ptr<IVSoftRasterizer> rasterizer);
    // Pushes the switches and colour to the rasterizer.
    void _SyncRasterizer();
    // Draws the bound software texture into the window rectangle from left_top to right_bottom
    // (window x, y; truncated to pixels) when it overlaps the surface. False when the frame's
    // surface is not a software surface; true otherwise, also when nothing is drawn (no texture
    // bound, a corner without a 32-bit pixel, or no overlap).
    bool _DrawTextureWindowRect(const float* left_top, const float* right_bottom);

    // Hands over the texture coordinates pending from DrawTriangleTextured and clears them. True
    // when there were some and a software texture with an image is bound, so that the caller
    // draws its triangle textured.
    bool _TakePendingTexcoords(float out[3][2]);
    // The plain device's textured triangle: projects the corners, keeping each one's clip-space
    // w, and hands them to RasterTriangleTextured in the current colour state.
    void _DrawTriangleTextured(const float* a, const float* b, const float* c, const float* normal,
                               const float (&texcoords)[3][2]);

    std::unique_ptr<IVSoftRasterizer> mp_rasterizer;
    IVTextureSoft* mp_texture_soft = nullptr;
    int mn_render_mode = 0;
    float ma_pending_texcoords[3][2] = {};
    bool mb_texcoords_pending = false;
};
