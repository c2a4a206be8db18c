#pragma once
// IVRender: the abstract render device.
//
// Holds the device state every device shares: the transformation chain (object-to-world,
// world-to-eye, eye-to-window, eye-to-raster) with the three combined products kept current,
// materials and the current colour word, depth-buffer, back-face, lighting and transparency
// switches, clipping planes with their plane-index table, the bound texture and the display
// surface of the running frame. Drawing is left to concrete devices (IVRenderSoft).
//
// Call order: StartFrame(surface, dc), any state changes and draws, StopFrame(). State changes
// apply to what is drawn after them. Not thread-safe: one rendering thread per device.
//
// The virtual table is part of the host contract; its slot order must not change.
#include "host/base/MMaterial.h"
#include "host/render/IVVertex.h"
#include "host/render/IVVertexStreamBuffer.h"
#include "host/render/IVVertexStreamSource.h"
#include "host/win32/Windef.h"

#include <cmath>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <vector>

class CDC;
class IVDisplaySurface;
class IVTexture;
class IIVVertexStreamRedirectionTargets;

class IVRender {
public:
    enum EMemoType {
        eMemoAll = 0,        // everything a memento holds
        eMemoTransforms = 1, // the object-to-world matrix
        eMemoMaterial = 2,   // front and back materials, and with them the current colour
        eMemoSwitches = 3,   // depth buffer, back faces, lighting, transparency
    };

    // A saved copy of the device state, restored in whole or in part.
    class Memento {
    public:
        Memento() = default;
        Memento(const Memento&) = default;
        Memento& operator=(const Memento&) = default;
        ~Memento() = default;

        const MMaterial& GetMaterial() const { return mo_material_front; }

        MMaterial mo_material_front;
        MMaterial mo_material_back;
        uint32_t mn_colour = 0xFFFFFFFFu;
        float ma_object_world[16] = {1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1};
        bool mb_zbuffer_test = true;
        bool mb_zbuffer_write = true;
        bool mb_backface_visible = false;
        bool mb_lighting = true;
        bool mb_transparency = false;
    };

    struct DepthOffset {
        bool mb_enabled = false;
        int mn_layer = 0;
    };

    IVRender();
    IVRender(const IVRender&) = delete;
    IVRender& operator=(const IVRender&) = delete;

    virtual ~IVRender();

protected:
    virtual size_t _GetSystemNumClippingPlanes() const;
    virtual void _OnStartFrame(IVDisplaySurface* surface, CDC* dc);
    virtual void _OnStopFrame();
    virtual void _OnSetBackfaceVisible();
    virtual void _OnEnableLigthing();
    virtual void _OnSetMaterialFront();
    virtual void _OnSetMaterialBack();
    virtual void _UpdateLights();

public:
    virtual bool SetTexture(IVTexture* texture);
    virtual void DrawQuad(const float* p0, const float* p1, const float* p2, const float* p3, const float* t0,
                          const float* t1, const float* t2, const float* t3, const float* normal,
                          IVTexture& texture) = 0;
    virtual bool DrawTextureRect(const float* origin, const float* to_end, const float* to_start,
                                 IVTexture* texture) = 0;

    virtual bool SetClippingPlane(size_t index, float a, float b, float c, float d);
    virtual bool GetClippingPlane(size_t index, float& a, float& b, float& c, float& d) const;
    virtual bool EnableClippingPlane(size_t index, bool enable);
    virtual bool ClippingPlaneEnabled(size_t index) const;
    virtual size_t GetNumClippingPlanes();

    virtual void EnableZBuffer(bool test, bool write);
    virtual void SetTransformObjectWorld(const float* matrix);
    virtual void SetTransformWorldEye(const float* matrix);
    virtual void SetTransformEyeWindow(const float* matrix);

    virtual void DrawBackgroundText(const wchar_t* text, float x, float y, const LOGFONTW& font,
                                    const float* colour, bool centred);
    virtual void DrawBackgroundLine(float x0, float y0, float x1, float y1, const float* colour, bool dashed);
    virtual bool IsTextSupported() const;

    virtual void StartTransparency(bool sorted);
    virtual void UpdateTransparency();
    virtual void EndTransparency();
    virtual void EnableBlend(bool enable);

    virtual void CreateMemento(Memento& memento) const;
    virtual void RestoreMemento(const Memento& memento);
    virtual void RestoreMemento(const Memento& memento, EMemoType type);

    virtual DepthOffset SetCustomDepthOffset(const DepthOffset& offset);
    virtual DepthOffset SetCustomDepthOffset(bool enable, int layer);
    virtual DepthOffset GetCustomDepthOffset();
    virtual bool GetCustomDepthOffsetEnabled() const;
    virtual int GetCustomDepthOffsetLayer() const;

    virtual void SetDepthShading(bool enable, float strength);
    virtual bool GetAvailableVideoMemory(float& total, float& available);
    virtual bool GetAvailableAGPMemory(float& total, float& available);
    virtual IIVVertexStreamRedirectionTargets* GetRedirectionTargets();

protected:
    // Hands the enabled clipping planes to the device's clipper; called whenever planes change
    // and at the start of every frame.
    virtual void _UpdateClippingPlanes();

public:
    virtual void SetTransparency(bool enable);
    virtual bool GetTransparency();

protected:
    // Raster primitives in object coordinates; the colour word is byte 0 red ... byte 3 alpha.
    virtual void _DrawTriangle(const float* a, const float* b, const float* c, const float* normal,
                               unsigned long colour) = 0;
    virtual void _DrawTriangle(const float* a, const float* b, const float* c, const float* normal) = 0;
    virtual void _DrawLine(float x0, float y0, float z0, float x1, float y1, float z1,
                           unsigned long colour) = 0;
    virtual void _DrawLine(float x0, float y0, float z0, float x1, float y1, float z1) = 0;
    virtual void _DrawPoint(float x, float y, float z, float nx, float ny, float nz) = 0;
    virtual void _DrawPoint(float x, float y, float z, unsigned long colour) = 0;
    virtual void _DrawPoint(float x, float y, float z) = 0;

public:
    virtual void DrawTriangle(const float* a, const float* b, const float* c, const float* normal,
                              const float* colour) = 0;
    virtual void DrawTriangle(const float* a, const float* b, const float* c, const float* normal) = 0;
    virtual void DrawLine(float x0, float y0, float z0, float x1, float y1, float z1,
                          const float* colour) = 0;
    virtual void DrawLine(float x0, float y0, float z0, float x1, float y1, float z1) = 0;
    virtual void DrawPoint(float x, float y, float z) = 0;
    virtual void DrawPoints(const float* xyz, unsigned int count) = 0;

    // --- Non-virtual operations ---

    void StartFrame(IVDisplaySurface* surface, CDC* dc);
    void StopFrame();

    void SetBackfaceVisible(bool visible, bool both_sides);
    bool GetBackfaceVisible() const { return mb_backface_visible; }
    void EnableLighting(bool enable);
    void SetMaterialFront(const MMaterial& material);
    void SetMaterialBack(const MMaterial& material);
    const MMaterial& GetMaterialFront() const { return mo_material_front; }
    void SetCurrentColour(uint32_t colour) { mn_current_colour = colour; }
    uint32_t GetCurrentColour() const { return mn_current_colour; }
    bool IsZBufferTest() const { return mb_zbuffer_test; }
    bool IsZBufferWrite() const { return mb_zbuffer_write; }
    bool IsTransparencyStarted() const { return mb_transparency_started; }

    const float* GetTransformObjectWorld() const { return ma_object_world; }
    const float* GetTransformWorldEye() const { return ma_world_eye; }
    const float* GetTransformEyeWindow() const { return ma_eye_window; }
    IVDisplaySurface* GetDisplaySurface() const { return mp_display_surface; }

    // A new stream that draws on this device at its End; the caller owns it.
    std::unique_ptr<IIVVertexStream<IVVertexPN>> GetVertexStreamPN();
    // A new stream for a container to fill and replay; with `through`, the render library's own
    // stream that draws on this device as it is filled and keeps nothing, whatever the source.
    template <class V> std::unique_ptr<IIVVertexStream<V>> CreateVertexStream(bool through = false) {
        if (through)
            return std::make_unique<IVVertexStreamBuffer<V>>(this, true);
        if (mp_stream_source != nullptr)
            return mp_stream_source->CreateStream(static_cast<const V*>(nullptr));
        return std::make_unique<IVVertexStreamBuffer<V>>();
    }
    // Off by default. While on, a container in dynamic mode fills a stream that draws each
    // primitive as it is added (CreateVertexStream with `through`) instead of keeping its whole
    // fill for one replay: a million-triangle mesh then needs no 72 MB of stream, and the
    // vertices are drawn while they are still in the cache.
    void SetDrawThrough(bool through) { mb_draw_through = through; }
    bool IsDrawingThrough() const { return mb_draw_through; }
    // Borrowed; null restores the built-in buffered streams.
    void SetVertexStreamSource(IVVertexStreamSource* source) { mp_stream_source = source; }

    // The 16 floats of out = matrix x (x, y, z, w), summed left to right in single precision.
    static void MultiplyMatrix(float* out, const float* matrix, float x, float y, float z, float w);
    // a x b for 16-float matrices, each element summed left to right in single precision.
    static void MultiplyMatrices(float* out, const float* a, const float* b);
    // out = h[0..2] / h[3]; when h[3] is zero (either sign), a point at infinity, the unit
    // direction of h[0..2] instead.
    static void DivideHomogeneous(float* out, const float* h) {
        if (h[3] == 0.0f) {
            const float length = std::sqrt(h[0] * h[0] + h[1] * h[1] + h[2] * h[2]);
            out[0] = h[0] / length;
            out[1] = h[1] / length;
            out[2] = h[2] / length;
            return;
        }
        out[0] = h[0] / h[3];
        out[1] = h[1] / h[3];
        out[2] = h[2] / h[3];
    }

protected:
    friend class IVVertexStreamDraw;

    // out = first three components of matrix x (x, y, z, w); with `divide`, divided by the fourth,
    // or, when the fourth is zero (either sign), scaled to unit length as a direction.
    static void _Transform(float* out, const float* matrix, float x, float y, float z, float w, bool divide);
    // Keeps eye-to-raster and the combined products current; raster space is window space here.
    void _UpdateCombinedTransforms();

    struct ClippingPlane {
        float a = 0, b = 0, c = 0, d = 0;
        bool enabled = false;
    };

    float ma_object_world[16];
    float ma_world_eye[16];
    float ma_eye_window[16];
    float ma_eye_raster[16];
    float ma_object_raster[16]; // eye-to-raster x world-to-eye x object-to-world
    float ma_world_raster[16];  // eye-to-raster x world-to-eye
    float ma_object_window[16]; // eye-to-window x world-to-eye x object-to-world
    // Grows with every change of the matrices above, so that a device can tell when projections
    // it keeps have gone stale.
    uint64_t mn_transform_generation = 0;
    bool mb_draw_through = false;

    MMaterial mo_material_front;
    MMaterial mo_material_back;
    uint32_t mn_current_colour = 0xFFFFFFFFu;
    bool mb_zbuffer_test = true;
    bool mb_zbuffer_write = true;
    bool mb_backface_visible = false;
    bool mb_lighting = true;
    bool mb_transparency = false;
    bool mb_transparency_started = false;
    bool mb_blend = false;
    bool mb_depth_shading = false;
    float mf_depth_shading = 0.0f;
    DepthOffset mo_depth_offset;

    std::vector<ClippingPlane> mv_clipping_planes;
    std::vector<int16_t> mv_plane_indices; // raster plane number per device plane, from the last update

    IVDisplaySurface* mp_display_surface = nullptr;
    CDC* mp_dc = nullptr;
    IVTexture* mp_texture = nullptr;
    IVVertexStreamSource* mp_stream_source = nullptr;
};
