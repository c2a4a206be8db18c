#include "host/render/soft/IVTextureSoft.h"

#include "host/render/soft/IVDisplaySurfaceSoft.h"

#include <algorithm>
#include <cmath>
#include <cstring>

IVTextureSoft::~IVTextureSoft() = default;

void IVTextureSoft::SetImage(int width, int height, const uint8_t* rgba, size_t size) {
    mn_width = mn_height = 0;
    mv_texels.clear();
    if (width <= 0 || height <= 0 || rgba == nullptr)
        return;
    const size_t count = size_t(width) * size_t(height);
    if (size / 4 < count)
        return;
    mv_texels.resize(count);
    std::memcpy(mv_texels.data(), rgba, count * 4);
    mn_width = width;
    mn_height = height;
}

void IVTextureSoft::DrawIntoSurface(IVDisplaySurfaceSoft& surface, const float* rect) const {
    if (mv_texels.empty() || surface.GetWidth() == 0)
        return;
    const double x0 = rect[0], x1 = rect[1], y0 = rect[2], y1 = rect[3];
    if (!std::isfinite(x0) || !std::isfinite(x1) || !std::isfinite(y0) || !std::isfinite(y1) || x0 == x1 ||
        y0 == y1)
        return;
    // Pixel px is covered when its centre px + 0.5 lies between the two edges.
    const double left = std::max(std::ceil(std::min(x0, x1) - 0.5), 0.0);
    const double right = std::min(std::ceil(std::max(x0, x1) - 0.5), double(surface.GetWidth()));
    const double top = std::max(std::ceil(std::min(y0, y1) - 0.5), 0.0);
    const double bottom = std::min(std::ceil(std::max(y0, y1) - 0.5), double(surface.GetHeight()));
    if (left >= right || top >= bottom)
        return;
    const double u_scale = double(mn_width) / (x1 - x0);
    const double v_scale = double(mn_height) / (y1 - y0);
    uint32_t* pixels = surface.GetColourWords();
    const size_t stride = size_t(surface.GetWidth());
    for (int y = int(top); y < int(bottom); ++y) {
        const int v = int(std::clamp(std::floor((y + 0.5 - y0) * v_scale), 0.0, double(mn_height - 1)));
        const uint32_t* row = mv_texels.data() + size_t(v) * size_t(mn_width);
        uint32_t* out = pixels + size_t(y) * stride;
        for (int x = int(left); x < int(right); ++x) {
            const int u = int(std::clamp(std::floor((x + 0.5 - x0) * u_scale), 0.0, double(mn_width - 1)));
            out[x] = row[u];
        }
    }
}
