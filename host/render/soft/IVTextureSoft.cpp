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

namespace {

// Beyond this many texels from the origin every float is a whole number anyway; the bound keeps
// the conversions to integers defined.
constexpr float MAX_TEXEL = 1073741824.0f;

// The texel index of `index` along a side of `size` texels.
int Address(int64_t index, int size, IVTextureSoft::EAddressing addressing) {
    if (addressing == IVTextureSoft::EAddressing::eClamp)
        return int(std::clamp<int64_t>(index, 0, size - 1));
    const int64_t wrapped = index % size;
    return int(wrapped < 0 ? wrapped + size : wrapped);
}

} // namespace

uint32_t IVTextureSoft::Sample(float u, float v, EAddressing addressing) const {
    if (mv_texels.empty() || !std::isfinite(u) || !std::isfinite(v))
        return 0u;
    const float x = std::clamp(u * float(mn_width) - 0.5f, -MAX_TEXEL, MAX_TEXEL);
    const float y = std::clamp(v * float(mn_height) - 0.5f, -MAX_TEXEL, MAX_TEXEL);
    const float left = std::floor(x);
    const float top = std::floor(y);
    const uint32_t weight_x = std::min(uint32_t((x - left) * 256.0f), 256u);
    const uint32_t weight_y = std::min(uint32_t((y - top) * 256.0f), 256u);
    const int x0 = Address(int64_t(left), mn_width, addressing);
    const int x1 = Address(int64_t(left) + 1, mn_width, addressing);
    const int y0 = Address(int64_t(top), mn_height, addressing);
    const int y1 = Address(int64_t(top) + 1, mn_height, addressing);
    const size_t width = size_t(mn_width);
    const uint32_t c00 = mv_texels[size_t(y0) * width + size_t(x0)];
    const uint32_t c10 = mv_texels[size_t(y0) * width + size_t(x1)];
    const uint32_t c01 = mv_texels[size_t(y1) * width + size_t(x0)];
    const uint32_t c11 = mv_texels[size_t(y1) * width + size_t(x1)];
    const uint32_t w00 = (256u - weight_x) * (256u - weight_y);
    const uint32_t w10 = weight_x * (256u - weight_y);
    const uint32_t w01 = (256u - weight_x) * weight_y;
    const uint32_t w11 = weight_x * weight_y;
    uint32_t result = 0;
    for (int shift = 0; shift < 32; shift += 8) {
        const uint32_t channel = (((c00 >> shift) & 0xFFu) * w00 + ((c10 >> shift) & 0xFFu) * w10 +
                                  ((c01 >> shift) & 0xFFu) * w01 + ((c11 >> shift) & 0xFFu) * w11 + 32768u) >>
                                 16;
        result |= channel << shift;
    }
    return result;
}
