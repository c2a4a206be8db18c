#pragma once
// RecordingRasterizer: a software rasterizer that records, in order, every raster primitive a
// device hands over, with the colour state at that moment, and then draws it as usual. Install
// it with IVRenderSoft::_SetRasterizer (protected: through a test subclass of the device).
#include "host/render/soft/IVSoftRasterizer.h"

#include <array>
#include <cstdint>
#include <vector>

class RecordingRasterizer : public IVSoftRasterizer {
public:
    struct ColourState {
        uint32_t red_quarter, red, green_quarter, green, blue_quarter, blue;
        uint8_t alpha;

        std::array<uint32_t, 7> Values() const {
            return {red, red_quarter, green, green_quarter, blue, blue_quarter, alpha};
        }
    };
    struct Primitive {
        char kind; // 't' triangle, 'l' line, 'p' point
        std::array<std::array<float, 3>, 3> points;
        std::array<float, 3> normal;
        int mode;
        ColourState colour;
    };

    std::vector<Primitive> primitives;
    std::vector<std::array<std::array<float, 3>, 3>> textures; // u, v and clip w per corner

    void RasterTriangle(const float* ra, const float* rb, const float* rc, const float* normal) override {
        primitives.push_back({'t', {_Copy(ra), _Copy(rb), _Copy(rc)}, _Copy(normal), 0, _Colour()});
        IVSoftRasterizer::RasterTriangle(ra, rb, rc, normal);
    }
    // Textured triangles are recorded with their coordinates and drawn plain.
    void RasterTriangleTextured(const float* ra, const float* rb, const float* rc, const float* normal,
                                const float* ta, const float* tb, const float* tc) override {
        textures.push_back({_Copy(ta), _Copy(tb), _Copy(tc)});
        RasterTriangle(ra, rb, rc, normal);
    }
    void RasterLine(const float* ra, const float* rb) override {
        primitives.push_back({'l', {_Copy(ra), _Copy(rb), {}}, {}, 0, _Colour()});
        IVSoftRasterizer::RasterLine(ra, rb);
    }
    void RasterPoint(const float* rp, int mode) override {
        primitives.push_back({'p', {_Copy(rp), {}, {}}, {}, mode, _Colour()});
        IVSoftRasterizer::RasterPoint(rp, mode);
    }

private:
    static std::array<float, 3> _Copy(const float* p) { return {p[0], p[1], p[2]}; }
    ColourState _Colour() const {
        return {mn_red_quarter, mn_red, mn_green_quarter, mn_green, mn_blue_quarter, mn_blue, mn_alpha};
    }
};
