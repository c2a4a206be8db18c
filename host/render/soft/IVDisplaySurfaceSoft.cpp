#include "host/render/soft/IVDisplaySurfaceSoft.h"

#include "host/render/soft/IVSoftRasterizer.h"

#include <algorithm>

IVDisplaySurfaceSoft::IVDisplaySurfaceSoft(int width, int height) {
    Resize(width, height);
}

IVDisplaySurfaceSoft::IVDisplaySurfaceSoft(const IVDisplaySurfaceSoft& other)
    : IVDisplaySurface(other), mn_width(other.mn_width), mn_height(other.mn_height),
      mo_pixel_rect(other.mo_pixel_rect) {
    other._Settle();
    mv_colour = other.mv_colour;
    mv_depth = other.mv_depth;
}

IVDisplaySurfaceSoft& IVDisplaySurfaceSoft::operator=(const IVDisplaySurfaceSoft& other) {
    if (this == &other)
        return *this;
    _Settle();
    other._Settle();
    mn_width = other.mn_width;
    mn_height = other.mn_height;
    mo_pixel_rect = other.mo_pixel_rect;
    mv_colour = other.mv_colour;
    mv_depth = other.mv_depth;
    return *this;
}

IVDisplaySurfaceSoft::~IVDisplaySurfaceSoft() {
    if (mp_pending != nullptr)
        mp_pending->_ForgetSurface();
}

void IVDisplaySurfaceSoft::_Settle() const {
    if (mp_pending != nullptr)
        mp_pending->Flush();
}

void IVDisplaySurfaceSoft::Resize(int width, int height) {
    _Settle();
    mn_width = std::max(width, 0);
    mn_height = std::max(height, 0);
    if (mn_width == 0 || mn_height == 0)
        mn_width = mn_height = 0;
    mo_pixel_rect = RECT{0, 0, mn_width - 1, mn_height - 1};
    const size_t count = size_t(mn_width) * size_t(mn_height);
    mv_colour.assign(count, 0u);
    mv_depth.assign(count, FAR_DEPTH);
}

void IVDisplaySurfaceSoft::Clear(uint32_t colour, float depth) {
    _Settle();
    std::fill(mv_colour.begin(), mv_colour.end(), colour);
    std::fill(mv_depth.begin(), mv_depth.end(), depth);
}

uint32_t IVDisplaySurfaceSoft::GetPixel(int x, int y) const {
    _Settle();
    if (x < 0 || y < 0 || x >= mn_width || y >= mn_height)
        return 0u;
    return mv_colour[size_t(y) * size_t(mn_width) + size_t(x)];
}

float IVDisplaySurfaceSoft::GetDepthAt(int x, int y) const {
    _Settle();
    if (x < 0 || y < 0 || x >= mn_width || y >= mn_height)
        return FAR_DEPTH;
    return mv_depth[size_t(y) * size_t(mn_width) + size_t(x)];
}
