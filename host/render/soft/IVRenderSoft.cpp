#include "host/render/soft/IVRenderSoft.h"

#include "host/math/MMTransformMatrix.h"
#include "host/render/IVVertexStreamBuffer.h"
#include "host/render/soft/HomogeneousClipper.h"
#include "host/render/soft/IVDisplaySurfaceSoft.h"
#include "host/render/soft/IVSoftRasterizer.h"
#include "host/render/soft/IVTextureSoft.h"

#include <cmath>

namespace {

// Whether the supplied object-space normal lies on the positive side of the triangle's
// object-space winding (b - a) x (c - a): float differences, double products. Zero and
// not-a-number agreement count as the negative side.
bool NormalOnWindingSide(const float* a, const float* b, const float* c, const float* normal) {
    const double g0 = double(b[0] - a[0]), g1 = double(b[1] - a[1]), g2 = double(b[2] - a[2]);
    const double h0 = double(c[0] - a[0]), h1 = double(c[1] - a[1]), h2 = double(c[2] - a[2]);
    const double side = (double(normal[0]) * (g1 * h2 - g2 * h1) + double(normal[1]) * (g2 * h0 - g0 * h2)) +
                        double(normal[2]) * (g0 * h1 - g1 * h0);
    return side > 0.0;
}

// Truncation to a signed 32-bit pixel, false when the value has none.
bool ToPixel(float value, int32_t& out) {
    if (!(value > -2147483649.0f && value < 2147483648.0f))
        return false;
    out = int32_t(value);
    return true;
}

// Clips a triangle given in homogeneous raster coordinates at the near plane and the guard
// band, and hands the kept polygon to the rasterizer as a fan, each piece with its own raster
// normal on the triangle's side; `textured` pieces carry each corner's u, v and clip w. A
// triangle that needs no cut is drawn exactly as projected.
void RasterClippedTriangle(IVSoftRasterizer& rasterizer, const HomogeneousClipper::Vertex* corners,
                           bool positive, bool textured = false) {
    HomogeneousClipper clipper;
    const int count = clipper.ClipTriangle(corners[0], corners[1], corners[2]);
    if (count == 0)
        return;
    float raster[HomogeneousClipper::MAX_CORNERS][3], texture[HomogeneousClipper::MAX_CORNERS][3];
    clipper.DivideCorners(count, raster, texture);
    float raster_normal[3];
    for (int i = 2; i < count; ++i) {
        HomogeneousClipper::RasterNormal(raster_normal, raster[0], raster[i - 1], raster[i], positive);
        if (textured)
            rasterizer.RasterTriangleTextured(raster[0], raster[i - 1], raster[i], raster_normal, texture[0],
                                              texture[i - 1], texture[i]);
        else
            rasterizer.RasterTriangle(raster[0], raster[i - 1], raster[i], raster_normal);
    }
}

// Clips a segment given in homogeneous raster coordinates and hands what is left, its depth
// raised by `depth_offset`, to the rasterizer.
void RasterClippedLine(IVSoftRasterizer& rasterizer, HomogeneousClipper::Vertex a,
                       HomogeneousClipper::Vertex b, float depth_offset) {
    if (!HomogeneousClipper::ClipSegment(a, b))
        return;
    float ra[3], rb[3];
    HomogeneousClipper::Divide(ra, a.h);
    HomogeneousClipper::Divide(rb, b.h);
    if (depth_offset != 0.0f) {
        ra[2] += depth_offset;
        rb[2] += depth_offset;
    }
    rasterizer.RasterLine(ra, rb);
}

HomogeneousClipper::Vertex Homogeneous(const float* matrix, float x, float y, float z) {
    HomogeneousClipper::Vertex vertex{};
    IVRender::MultiplyMatrix(vertex.h, matrix, x, y, z, 1.0f);
    return vertex;
}

// The buffered streams' textured-triangle entry for software devices.
bool DrawTexturedOnSoftware(IVRender& device, const IVVertexPNT& a, const IVVertexPNT& b,
                            const IVVertexPNT& c, const float* normal) {
    IVRenderSoft* soft = dynamic_cast<IVRenderSoft*>(&device);
    if (soft == nullptr)
        return false;
    const float ta[2] = {a.u, a.v}, tb[2] = {b.u, b.v}, tc[2] = {c.u, c.v};
    soft->DrawTriangleTextured(&a.x, &b.x, &c.x, normal, ta, tb, tc);
    return true;
}

} // namespace

IVRenderSoft::IVRenderSoft() : mp_rasterizer(std::make_unique<IVSoftRasterizer>()) {
    _SyncRasterizer();
    IVTexturedTriangleEntry::Install(&DrawTexturedOnSoftware);
}

IVRenderSoft::~IVRenderSoft() = default;

void IVRenderSoft::_OnStartFrame(IVDisplaySurface* surface, CDC*) {
    _SyncRasterizer();
    mp_rasterizer->SetSurface(dynamic_cast<IVDisplaySurfaceSoft*>(surface));
}

void IVRenderSoft::_OnStopFrame() {
    mp_rasterizer->SetSurface(nullptr);
}

void IVRenderSoft::SetTransformObjectWorld(const float* matrix) {
    mp_rasterizer->Settle();
    IVRender::SetTransformObjectWorld(matrix);
}

void IVRenderSoft::SetTransformWorldEye(const float* matrix) {
    mp_rasterizer->Settle();
    IVRender::SetTransformWorldEye(matrix);
}

void IVRenderSoft::SetTransformEyeWindow(const float* matrix) {
    mp_rasterizer->Settle();
    IVRender::SetTransformEyeWindow(matrix);
}

void IVRenderSoft::_OnEnableLigthing() {
    mp_rasterizer->SetShading(mn_render_mode == 1 && mb_lighting);
}

void IVRenderSoft::_OnSetMaterialFront() {
    mp_rasterizer->SetColourWord(mn_current_colour);
}

bool IVRenderSoft::SetTexture(IVTexture* texture) {
    if (texture == nullptr) {
        mp_texture_soft = nullptr;
        mp_rasterizer->SetTexture(nullptr);
        return IVRender::SetTexture(nullptr);
    }
    IVTextureSoft* soft = dynamic_cast<IVTextureSoft*>(texture);
    if (soft == nullptr)
        return false;
    mp_texture_soft = soft;
    mp_rasterizer->SetTexture(soft);
    return IVRender::SetTexture(texture);
}

void IVRenderSoft::DrawQuad(const float* p0, const float* p1, const float* p2, const float* p3,
                            const float* t0, const float* t1, const float* t2, const float* t3,
                            const float* normal, IVTexture& texture) {
    IVTexture* const previous = mp_texture;
    if (!SetTexture(&texture)) {
        DrawTriangle(p0, p1, p2, normal);
        DrawTriangle(p0, p2, p3, normal);
        return;
    }
    DrawTriangleTextured(p0, p1, p2, normal, t0, t1, t2);
    DrawTriangleTextured(p0, p2, p3, normal, t0, t2, t3);
    SetTexture(previous);
}

bool IVRenderSoft::DrawTextureRect(const float* origin, const float* to_end, const float* to_start,
                                   IVTexture* texture) {
    if (!SetTexture(texture))
        return false;
    float left_top[3], right_bottom[3];
    _Transform(left_top, ma_object_window, origin[0] + to_start[0], origin[1] + to_start[1],
               origin[2] + to_start[2], 1.0f, true);
    _Transform(right_bottom, ma_object_window, origin[0] + to_end[0], origin[1] + to_end[1],
               origin[2] + to_end[2], 1.0f, true);
    if (!_DrawTextureWindowRect(left_top, right_bottom)) {
        SetTexture(nullptr);
        return false;
    }
    return SetTexture(nullptr);
}

void IVRenderSoft::EnableZBuffer(bool test, bool write) {
    IVRender::EnableZBuffer(test, write);
    mp_rasterizer->SetDepthTest(test, write);
}

void IVRenderSoft::StartTransparency(bool sorted) {
    IVRender::StartTransparency(sorted);
    mp_rasterizer->SetBlend(true);
}

void IVRenderSoft::EndTransparency() {
    IVRender::EndTransparency();
    mp_rasterizer->SetBlend(false);
}

void IVRenderSoft::RestoreMemento(const Memento& memento, EMemoType type) {
    IVRender::RestoreMemento(memento, type);
    // The memento's colour word is set after the material; the rasterizer follows it.
    if (type == eMemoAll || type == eMemoMaterial)
        mp_rasterizer->SetColourWord(mn_current_colour);
}

void IVRenderSoft::_UpdateClippingPlanes() {
    IVSoftRasterizer& rasterizer = *mp_rasterizer;
    rasterizer.ClearClippingPlanes();
    MMTransformMatrix world_raster;
    world_raster.MakeFromFloat16(ma_world_raster);
    MMTransformMatrix raster_world;
    if (!world_raster.GetInverse(raster_world))
        return;
    const size_t count = std::min(mv_clipping_planes.size(), mv_plane_indices.size());
    for (size_t i = 0; i < count; ++i) {
        const ClippingPlane& plane = mv_clipping_planes[i];
        if (!plane.enabled)
            continue;
        // A plane is a row vector: (plane x raster-to-world) . raster point = plane . world point.
        const double world[4] = {plane.a, plane.b, plane.c, plane.d};
        double raster[4];
        for (int column = 0; column < 4; ++column)
            raster[column] = ((world[0] * raster_world(0, column) + world[1] * raster_world(1, column)) +
                              world[2] * raster_world(2, column)) +
                             world[3] * raster_world(3, column);
        mv_plane_indices[i] = int16_t(rasterizer.AddClippingPlane(float(raster[0]), float(raster[1]),
                                                                  float(raster[2]), float(raster[3])));
    }
}

void IVRenderSoft::_DrawTriangle(const float* a, const float* b, const float* c, const float* normal,
                                 unsigned long colour) {
    mp_rasterizer->SetColourWord(uint32_t(colour));
    IVRenderSoft::_DrawTriangle(a, b, c, normal);
}

void IVRenderSoft::_DrawTriangle(const float* a, const float* b, const float* c, const float* normal) {
    // Clipped in homogeneous space before the divide: a triangle reaching behind the eye would
    // otherwise fold over the image.
    const HomogeneousClipper::Vertex corners[3] = {Homogeneous(ma_object_raster, a[0], a[1], a[2]),
                                                   Homogeneous(ma_object_raster, b[0], b[1], b[2]),
                                                   Homogeneous(ma_object_raster, c[0], c[1], c[2])};
    RasterClippedTriangle(*mp_rasterizer, corners, NormalOnWindingSide(a, b, c, normal));
}

void IVRenderSoft::_DrawLine(float x0, float y0, float z0, float x1, float y1, float z1,
                             unsigned long colour) {
    mp_rasterizer->SetColourWord(uint32_t(colour));
    RasterClippedLine(*mp_rasterizer, Homogeneous(ma_object_raster, x0, y0, z0),
                      Homogeneous(ma_object_raster, x1, y1, z1), 0.0f);
}

void IVRenderSoft::_DrawLine(float x0, float y0, float z0, float x1, float y1, float z1) {
    RasterClippedLine(*mp_rasterizer, Homogeneous(ma_object_raster, x0, y0, z0),
                      Homogeneous(ma_object_raster, x1, y1, z1), 0.0f);
}

void IVRenderSoft::_DrawPoint(float x, float y, float z, float, float, float) {
    IVRenderSoft::_DrawPoint(x, y, z);
}

void IVRenderSoft::_DrawPoint(float x, float y, float z, unsigned long colour) {
    mp_rasterizer->SetColourWord(uint32_t(colour));
    IVRenderSoft::_DrawPoint(x, y, z);
}

void IVRenderSoft::_DrawPoint(float x, float y, float z) {
    const HomogeneousClipper::Vertex point = Homogeneous(ma_object_raster, x, y, z);
    if (!(point.h[3] >= HomogeneousClipper::NEAR_W))
        return; // at or behind the eye
    float rp[3];
    HomogeneousClipper::Divide(rp, point.h);
    mp_rasterizer->RasterPoint(rp, 0);
}

void IVRenderSoft::DrawTriangle(const float* a, const float* b, const float* c, const float* normal,
                                const float* colour) {
    _DrawTriangle(a, b, c, normal, MakeColourWord(colour));
}

void IVRenderSoft::DrawTriangle(const float* a, const float* b, const float* c, const float* normal) {
    float texcoords[3][2];
    if (_TakePendingTexcoords(texcoords)) {
        _DrawTriangleTextured(a, b, c, normal, texcoords);
        return;
    }
    _DrawTriangle(a, b, c, normal, mn_current_colour);
}

void IVRenderSoft::DrawLine(float x0, float y0, float z0, float x1, float y1, float z1, const float* colour) {
    _DrawLine(x0, y0, z0, x1, y1, z1, MakeColourWord(colour));
}

void IVRenderSoft::DrawLine(float x0, float y0, float z0, float x1, float y1, float z1) {
    RasterClippedLine(*mp_rasterizer, Homogeneous(ma_object_raster, x0, y0, z0),
                      Homogeneous(ma_object_raster, x1, y1, z1), 1.0f);
}

void IVRenderSoft::DrawPoint(float x, float y, float z) {
    IVRenderSoft::_DrawPoint(x, y, z);
}

void IVRenderSoft::DrawPoints(const float* xyz, unsigned int count) {
    for (unsigned int k = 0; k < count; ++k) {
        const unsigned int index = 3u * k;
        const HomogeneousClipper::Vertex point =
            Homogeneous(ma_object_raster, xyz[index], xyz[index + 1], xyz[index + 2]);
        if (!(point.h[3] >= HomogeneousClipper::NEAR_W))
            continue;
        float rp[3];
        HomogeneousClipper::Divide(rp, point.h);
        mp_rasterizer->RasterPoint(rp, 3);
    }
}

void IVRenderSoft::SetRenderMode(int mode) {
    mn_render_mode = mode;
    _OnEnableLigthing();
}

uint32_t IVRenderSoft::MakeColourWord(const float* colour) {
    uint32_t word = 0;
    for (int channel = 0; channel < 3; ++channel) {
        const float scaled = colour[channel] * 255.0f;
        // Beyond 2^62 (and for not-a-number) the conversion is undefined, but every float that
        // large is a multiple of 256, so its low byte is 0 anyway.
        const int64_t whole = std::fabs(scaled) < 4.6116860184273879e18f ? int64_t(scaled) : 0;
        word |= uint32_t(uint64_t(whole) & 0xFFu) << (8 * channel);
    }
    return word;
}

void IVRenderSoft::_SetRasterizer(std::unique_ptr<IVSoftRasterizer> rasterizer) {
    if (rasterizer == nullptr)
        return;
    IVSoftRasterizer& old = *mp_rasterizer;
    rasterizer->SetSurface(old.GetSurface());
    rasterizer->SetBlend(old.IsBlend());
    rasterizer->SetShading(old.IsShading());
    rasterizer->SetDepthTest(mb_zbuffer_test, mb_zbuffer_write);
    rasterizer->SetColourWord(mn_current_colour);
    rasterizer->SetTexture(mp_texture_soft);
    old.Flush();
    rasterizer->SetProducer(old.GetProducer());
    old.SetProducer(nullptr);
    mp_rasterizer = std::move(rasterizer);
}

void IVRenderSoft::_SyncRasterizer() {
    mp_rasterizer->SetDepthTest(mb_zbuffer_test, mb_zbuffer_write);
    mp_rasterizer->SetBlend(mb_transparency_started);
    mp_rasterizer->SetShading(mn_render_mode == 1 && mb_lighting);
    mp_rasterizer->SetColourWord(mn_current_colour);
}

bool IVRenderSoft::_DrawTextureWindowRect(const float* left_top, const float* right_bottom) {
    IVDisplaySurfaceSoft* surface = dynamic_cast<IVDisplaySurfaceSoft*>(mp_display_surface);
    if (surface == nullptr)
        return false;
    int32_t x0, y0, x1, y1;
    if (mp_texture_soft == nullptr || !ToPixel(left_top[0], x0) || !ToPixel(left_top[1], y0) ||
        !ToPixel(right_bottom[0], x1) || !ToPixel(right_bottom[1], y1))
        return true;
    const RECT& pixels = surface->GetPixelRect();
    if (x1 >= pixels.left && x0 <= pixels.right && y1 >= pixels.top && y0 <= pixels.bottom) {
        const float rect[4] = {float(x0), float(x1), float(y0), float(y1)};
        mp_rasterizer->RasterTextureRect(rect);
    }
    return true;
}

void IVRenderSoft::DrawTriangleTextured(const float* a, const float* b, const float* c, const float* normal,
                                        const float* ta, const float* tb, const float* tc) {
    const float* texcoords[3] = {ta, tb, tc};
    for (int i = 0; i < 3; ++i) {
        ma_pending_texcoords[i][0] = texcoords[i][0];
        ma_pending_texcoords[i][1] = texcoords[i][1];
    }
    mb_texcoords_pending = true;
    DrawTriangle(a, b, c, normal);
    // A device that did not take them must not hand them to its next triangle.
    mb_texcoords_pending = false;
}

bool IVRenderSoft::_TakePendingTexcoords(float out[3][2]) {
    if (!mb_texcoords_pending)
        return false;
    mb_texcoords_pending = false;
    if (mp_texture_soft == nullptr || mp_texture_soft->GetTexels() == nullptr)
        return false;
    for (int i = 0; i < 3; ++i) {
        out[i][0] = ma_pending_texcoords[i][0];
        out[i][1] = ma_pending_texcoords[i][1];
    }
    return true;
}

void IVRenderSoft::_DrawTriangleTextured(const float* a, const float* b, const float* c, const float* normal,
                                         const float (&texcoords)[3][2]) {
    mp_rasterizer->SetColourWord(mn_current_colour);
    // Clipped like every triangle, the texture coordinates cut along with the corners.
    const float* points[3] = {a, b, c};
    HomogeneousClipper::Vertex corners[3];
    for (int i = 0; i < 3; ++i) {
        corners[i] = Homogeneous(ma_object_raster, points[i][0], points[i][1], points[i][2]);
        corners[i].attribute[0] = texcoords[i][0];
        corners[i].attribute[1] = texcoords[i][1];
    }
    RasterClippedTriangle(*mp_rasterizer, corners, NormalOnWindingSide(a, b, c, normal), true);
}
