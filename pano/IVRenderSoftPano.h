#pragma once
// IVRenderSoftPano: the panoramic software device. It draws like IVRenderSoft, but every point it
// draws (triangle corners, line end points, single points, one point of each clipping plane) can
// pass through a point transform (SetTransform) placed between the object-to-world and the
// world-to-eye stage. The transform may be non-linear: primitives stay straight between their
// transformed vertices, and triangles get a raster normal recomputed from their projected
// corners. Directions (w = 0) never pass through the transform.
//
// Created by IVRenderFactoryStubSoftPano::Create and used like any device: StartFrame, state,
// draws, StopFrame. The transform may be swapped between primitives; the clipping planes follow
// it only at the next _UpdateClippingPlanes (a plane change or the next frame start). Not
// thread-safe: one rendering thread per device.
#include "host/math/MMTransform.h"
#include "host/render/soft/IVRenderSoft.h"
#include "module/VantrelExport.h"

class IVRenderSoftPano : public IVRenderSoft {
public:
    IVRenderSoftPano();
    ~IVRenderSoftPano() override;

    // Unbinds the texture, draws nothing and answers false when the frame's surface is not a
    // software surface (or there is no frame); with no texture given it draws nothing either.
    bool DrawTextureRect(const float* origin, const float* to_end, const float* to_start,
                         IVTexture* texture) override;

protected:
    void _UpdateClippingPlanes() override;

    void _DrawTriangle(const float* a, const float* b, const float* c, const float* normal,
                       unsigned long colour) override;
    void _DrawTriangle(const float* a, const float* b, const float* c, const float* normal) override;

public:
    void DrawTriangle(const float* a, const float* b, const float* c, const float* normal,
                      const float* colour) override;
    void DrawTriangle(const float* a, const float* b, const float* c, const float* normal) override;
    void DrawLine(float x0, float y0, float z0, float x1, float y1, float z1, const float* colour) override;
    void DrawLine(float x0, float y0, float z0, float x1, float y1, float z1) override;
    void DrawPoint(float x, float y, float z) override;
    void DrawPoints(const float* xyz, unsigned int count) override;

    // --- Non-virtual operations ---

    // Borrowed; null removes the transform. The caller keeps it alive while the device draws.
    VANTREL_API void SetTransform(MMTransform* transform);
    MMTransform* GetTransform() const { return mp_transform; }

    // out[0..3] = matrix x (x, y, z, w), each row summed left to right in single precision.
    static void _MultiplyMatrix(float* out, const float* matrix, float x, float y, float z, float w);
    // out[0..2] = in[0..2] / in[3]; when in[3] is zero (either sign) the unit direction of
    // in[0..2] instead.
    static void _Dehomogenise(float* out, const float* in);

protected:
    // Route A: object to raster (triangles, lines, points).
    void _TransformObjectRaster(float* out, float x, float y, float z, float w);
    // Route B: world to raster (clipping planes).
    void _TransformWorldRaster(float* out, float x, float y, float z, float w);
    // Route C: object to window (texture rectangle).
    void _TransformObjectWindow(float* out, float x, float y, float z, float w);

private:
    // Projects a triangle with route A and computes its raster normal.
    void _ProjectTriangle(const float* a, const float* b, const float* c, const float* normal, float* ra,
                          float* rb, float* rc, float* raster_normal);

    MMTransform* mp_transform = nullptr;
};
