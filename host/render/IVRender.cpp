#include "host/render/IVRender.h"

#include <algorithm>
#include <cmath>
#include <cstring>

namespace {

constexpr float IDENTITY[16] = {1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1};
constexpr size_t SYSTEM_CLIPPING_PLANES = 6;

} // namespace

IVRender::IVRender() {
    std::memcpy(ma_object_world, IDENTITY, sizeof IDENTITY);
    std::memcpy(ma_world_eye, IDENTITY, sizeof IDENTITY);
    std::memcpy(ma_eye_window, IDENTITY, sizeof IDENTITY);
    _UpdateCombinedTransforms();
}

IVRender::~IVRender() = default;

size_t IVRender::_GetSystemNumClippingPlanes() const { return SYSTEM_CLIPPING_PLANES; }
void IVRender::_OnStartFrame(IVDisplaySurface*, CDC*) {}
void IVRender::_OnStopFrame() {}
void IVRender::_OnSetBackfaceVisible() {}
void IVRender::_OnEnableLigthing() {}
void IVRender::_OnSetMaterialFront() {}
void IVRender::_OnSetMaterialBack() {}
void IVRender::_UpdateLights() {}

bool IVRender::SetTexture(IVTexture* texture) {
    mp_texture = texture;
    return true;
}

bool IVRender::SetClippingPlane(size_t index, float a, float b, float c, float d) {
    if (index >= _GetSystemNumClippingPlanes())
        return false;
    if (index >= mv_clipping_planes.size()) {
        mv_clipping_planes.resize(index + 1);
        mv_plane_indices.resize(index + 1, -1);
    }
    ClippingPlane& plane = mv_clipping_planes[index];
    plane.a = a;
    plane.b = b;
    plane.c = c;
    plane.d = d;
    _UpdateClippingPlanes();
    return true;
}

bool IVRender::GetClippingPlane(size_t index, float& a, float& b, float& c, float& d) const {
    if (index >= mv_clipping_planes.size())
        return false;
    const ClippingPlane& plane = mv_clipping_planes[index];
    a = plane.a;
    b = plane.b;
    c = plane.c;
    d = plane.d;
    return true;
}

bool IVRender::EnableClippingPlane(size_t index, bool enable) {
    if (index >= mv_clipping_planes.size())
        return false;
    mv_clipping_planes[index].enabled = enable;
    _UpdateClippingPlanes();
    return true;
}

bool IVRender::ClippingPlaneEnabled(size_t index) const {
    return index < mv_clipping_planes.size() && mv_clipping_planes[index].enabled;
}

size_t IVRender::GetNumClippingPlanes() { return mv_clipping_planes.size(); }

void IVRender::EnableZBuffer(bool test, bool write) {
    mb_zbuffer_test = test;
    mb_zbuffer_write = write;
}

void IVRender::SetTransformObjectWorld(const float* matrix) {
    std::memcpy(ma_object_world, matrix, sizeof ma_object_world);
    _UpdateCombinedTransforms();
}

void IVRender::SetTransformWorldEye(const float* matrix) {
    std::memcpy(ma_world_eye, matrix, sizeof ma_world_eye);
    _UpdateCombinedTransforms();
}

void IVRender::SetTransformEyeWindow(const float* matrix) {
    std::memcpy(ma_eye_window, matrix, sizeof ma_eye_window);
    _UpdateCombinedTransforms();
}

void IVRender::DrawBackgroundText(const wchar_t*, float, float, const LOGFONTW&, const float*, bool) {}
void IVRender::DrawBackgroundLine(float, float, float, float, const float*, bool) {}
bool IVRender::IsTextSupported() const { return false; }

void IVRender::StartTransparency(bool) { mb_transparency_started = true; }
void IVRender::UpdateTransparency() {}
void IVRender::EndTransparency() { mb_transparency_started = false; }
void IVRender::EnableBlend(bool enable) { mb_blend = enable; }

void IVRender::CreateMemento(Memento& memento) const {
    memento.mo_material_front = mo_material_front;
    memento.mo_material_back = mo_material_back;
    memento.mn_colour = mn_current_colour;
    std::memcpy(memento.ma_object_world, ma_object_world, sizeof ma_object_world);
    memento.mb_zbuffer_test = mb_zbuffer_test;
    memento.mb_zbuffer_write = mb_zbuffer_write;
    memento.mb_backface_visible = mb_backface_visible;
    memento.mb_lighting = mb_lighting;
    memento.mb_transparency = mb_transparency;
}

void IVRender::RestoreMemento(const Memento& memento) { RestoreMemento(memento, eMemoAll); }

void IVRender::RestoreMemento(const Memento& memento, EMemoType type) {
    if (type == eMemoAll || type == eMemoTransforms)
        SetTransformObjectWorld(memento.ma_object_world);
    if (type == eMemoAll || type == eMemoMaterial) {
        SetMaterialFront(memento.mo_material_front);
        SetMaterialBack(memento.mo_material_back);
        mn_current_colour = memento.mn_colour;
    }
    if (type == eMemoAll || type == eMemoSwitches) {
        EnableZBuffer(memento.mb_zbuffer_test, memento.mb_zbuffer_write);
        SetBackfaceVisible(memento.mb_backface_visible, false);
        EnableLighting(memento.mb_lighting);
        SetTransparency(memento.mb_transparency);
    }
}

IVRender::DepthOffset IVRender::SetCustomDepthOffset(const DepthOffset& offset) {
    const DepthOffset previous = mo_depth_offset;
    mo_depth_offset = offset;
    return previous;
}

IVRender::DepthOffset IVRender::SetCustomDepthOffset(bool enable, int layer) {
    return SetCustomDepthOffset(DepthOffset{enable, layer});
}

IVRender::DepthOffset IVRender::GetCustomDepthOffset() { return mo_depth_offset; }
bool IVRender::GetCustomDepthOffsetEnabled() const { return mo_depth_offset.mb_enabled; }
int IVRender::GetCustomDepthOffsetLayer() const { return mo_depth_offset.mn_layer; }

void IVRender::SetDepthShading(bool enable, float strength) {
    mb_depth_shading = enable;
    mf_depth_shading = strength;
}

// A software device has no video memory to report.
bool IVRender::GetAvailableVideoMemory(float&, float&) { return false; }
bool IVRender::GetAvailableAGPMemory(float&, float&) { return false; }
IIVVertexStreamRedirectionTargets* IVRender::GetRedirectionTargets() { return nullptr; }

void IVRender::_UpdateClippingPlanes() {}

void IVRender::SetTransparency(bool enable) { mb_transparency = enable; }
bool IVRender::GetTransparency() { return mb_transparency; }

void IVRender::StartFrame(IVDisplaySurface* surface, CDC* dc) {
    mp_display_surface = surface;
    mp_dc = dc;
    _OnStartFrame(surface, dc);
    _UpdateClippingPlanes();
}

void IVRender::StopFrame() {
    _OnStopFrame();
    mp_display_surface = nullptr;
    mp_dc = nullptr;
}

void IVRender::SetBackfaceVisible(bool visible, bool) {
    mb_backface_visible = visible;
    _OnSetBackfaceVisible();
}

void IVRender::EnableLighting(bool enable) {
    mb_lighting = enable;
    _OnEnableLigthing();
}

void IVRender::SetMaterialFront(const MMaterial& material) {
    mo_material_front = material;
    mn_current_colour = material.GetDiffuse();
    _OnSetMaterialFront();
}

void IVRender::SetMaterialBack(const MMaterial& material) {
    mo_material_back = material;
    _OnSetMaterialBack();
}

std::unique_ptr<IIVVertexStream<IVVertexPN>> IVRender::GetVertexStreamPN() {
    if (mp_stream_source != nullptr)
        return mp_stream_source->CreateStream(static_cast<const IVVertexPN*>(nullptr));
    return std::make_unique<IVVertexStreamBuffer<IVVertexPN>>(this);
}

void IVRender::MultiplyMatrix(float* out, const float* m, float x, float y, float z, float w) {
    for (int i = 0; i < 4; ++i)
        out[i] = ((m[4 * i] * x + m[4 * i + 1] * y) + m[4 * i + 2] * z) + m[4 * i + 3] * w;
}

void IVRender::MultiplyMatrices(float* out, const float* a, const float* b) {
    float product[16];
    for (int row = 0; row < 4; ++row)
        for (int column = 0; column < 4; ++column)
            product[4 * row + column] = ((a[4 * row] * b[column] + a[4 * row + 1] * b[4 + column]) +
                                         a[4 * row + 2] * b[8 + column]) +
                                        a[4 * row + 3] * b[12 + column];
    std::memcpy(out, product, sizeof product);
}

void IVRender::_Transform(float* out, const float* matrix, float x, float y, float z, float w, bool divide) {
    float h[4];
    MultiplyMatrix(h, matrix, x, y, z, w);
    if (!divide) {
        out[0] = h[0];
        out[1] = h[1];
        out[2] = h[2];
        return;
    }
    DivideHomogeneous(out, h);
}

void IVRender::_UpdateCombinedTransforms() {
    ++mn_transform_generation;
    std::memcpy(ma_eye_raster, ma_eye_window, sizeof ma_eye_raster);
    MultiplyMatrices(ma_world_raster, ma_eye_raster, ma_world_eye);
    MultiplyMatrices(ma_object_raster, ma_world_raster, ma_object_world);
    float world_window[16];
    MultiplyMatrices(world_window, ma_eye_window, ma_world_eye);
    MultiplyMatrices(ma_object_window, world_window, ma_object_world);
}
