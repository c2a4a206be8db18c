#pragma once
// IVVertexStreamSoft: the software factory's buffered stream for the vertex formats that
// IVVertexStreamBuffer does not cover (PNCT, PC, PT). Like it, it keeps the primitives of the
// last fill and replays them on a device through the device's virtual drawing operations:
// coloured triangles (PNCT, PC) go to the colour-word triangle with corner 0's colour bytes when
// the device is a software device, otherwise to DrawTriangle with that colour as floats (PNCT's
// texture coordinates are not used); PT triangles to the software device's textured triangle
// (DrawTriangleTextured, drawn with the bound texture), on other devices to DrawTriangle with
// the device colour. Formats without normals pass a zero normal. Lines of every format go to the
// plain DrawLine.
//
// Call order: BeginTriangles or BeginLines, Add..., End, then Render as often as needed.
// Not thread-safe.
#include "host/render/IIVVertexStream.h"
#include "host/render/IVRender.h"
#include "host/render/soft/IVRenderSoft.h"
#include "host/render/soft/IVVertexSoftFormats.h"

#include <vector>

template <class V> class IVVertexStreamSoft final : public IIVVertexStream<V> {
public:
    void BeginTriangles() override { _Begin(true); }
    void BeginLines() override { _Begin(false); }
    void End() override {}
    void AddTriangle(const V& a, const V& b, const V& c) override {
        if (!mb_triangles)
            return;
        mv_vertices.push_back(a);
        mv_vertices.push_back(b);
        mv_vertices.push_back(c);
    }
    void AddLine(const V& a, const V& b) override {
        if (!mb_lines)
            return;
        mv_vertices.push_back(a);
        mv_vertices.push_back(b);
    }
    void Render(IVRender& device) override {
        const size_t count = mv_vertices.size();
        if (mb_triangles)
            for (size_t i = 0; i + 2 < count; i += 3)
                _Triangle(device, mv_vertices[i], mv_vertices[i + 1], mv_vertices[i + 2]);
        else if (mb_lines)
            for (size_t i = 0; i + 1 < count; i += 2) {
                const V& a = mv_vertices[i];
                const V& b = mv_vertices[i + 1];
                device.DrawLine(a.x, a.y, a.z, b.x, b.y, b.z);
            }
    }

    const std::vector<V>& GetVertices() const { return mv_vertices; }

private:
    void _Begin(bool triangles) {
        mb_triangles = triangles;
        mb_lines = !triangles;
        mv_vertices.clear();
    }

    static void _Triangle(IVRender& device, const V& a, const V& b, const V& c) {
        float normal[3] = {0.0f, 0.0f, 0.0f};
        if constexpr (requires { a.nx; }) {
            normal[0] = (a.nx + b.nx) + c.nx;
            normal[1] = (a.ny + b.ny) + c.ny;
            normal[2] = (a.nz + b.nz) + c.nz;
        }
        if constexpr (requires { a.r; }) {
            const uint32_t colour =
                uint32_t(a.r) | uint32_t(a.g) << 8 | uint32_t(a.b) << 16 | uint32_t(a.a) << 24;
            if (IVRenderSoft* soft = dynamic_cast<IVRenderSoft*>(&device)) {
                soft->DrawTriangleColourWord(&a.x, &b.x, &c.x, normal, colour);
                return;
            }
            const float channels[3] = {float(a.r) / 255.0f, float(a.g) / 255.0f, float(a.b) / 255.0f};
            device.DrawTriangle(&a.x, &b.x, &c.x, normal, channels);
        } else if constexpr (requires { a.u; }) {
            if (IVRenderSoft* soft = dynamic_cast<IVRenderSoft*>(&device)) {
                const float ta[2] = {a.u, a.v}, tb[2] = {b.u, b.v}, tc[2] = {c.u, c.v};
                soft->DrawTriangleTextured(&a.x, &b.x, &c.x, normal, ta, tb, tc);
                return;
            }
            device.DrawTriangle(&a.x, &b.x, &c.x, normal);
        } else {
            device.DrawTriangle(&a.x, &b.x, &c.x, normal);
        }
    }

    bool mb_triangles = false;
    bool mb_lines = false;
    std::vector<V> mv_vertices;
};
