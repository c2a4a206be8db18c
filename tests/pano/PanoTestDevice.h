#pragma once
// PanoTestDevice: the panoramic device with its protected routes, matrices, plane-index table and
// rasterizer seam opened up for tests. It also records the colour words that reach the colour-word
// triangle and counts the plain lines, both through the virtual table, and then draws as usual.
#include "pano/IVRenderSoftPano.h"
#include "tests/support/RecordingRasterizer.h"

#include <memory>
#include <vector>

class PanoTestDevice : public IVRenderSoftPano {
public:
    using IVRender::_Transform;
    using IVRender::ma_eye_raster;
    using IVRender::ma_object_raster;
    using IVRender::ma_object_window;
    using IVRender::ma_world_raster;
    using IVRender::mv_plane_indices;
    using IVRenderSoftPano::_TransformObjectRaster;
    using IVRenderSoftPano::_TransformObjectWindow;
    using IVRenderSoftPano::_TransformWorldRaster;
    using IVRenderSoftPano::_UpdateClippingPlanes;

    std::vector<unsigned long> words;
    int lines = 0;

    using IVRenderSoftPano::DrawLine;
    void DrawLine(float x0, float y0, float z0, float x1, float y1, float z1) override {
        ++lines;
        IVRenderSoftPano::DrawLine(x0, y0, z0, x1, y1, z1);
    }

    // Installs a recording rasterizer (which still draws) and returns it.
    RecordingRasterizer& Record() {
        auto rasterizer = std::make_unique<RecordingRasterizer>();
        RecordingRasterizer& recorder = *rasterizer;
        _SetRasterizer(std::move(rasterizer));
        return recorder;
    }

protected:
    using IVRenderSoftPano::_DrawTriangle;
    void _DrawTriangle(const float* a, const float* b, const float* c, const float* normal,
                       unsigned long colour) override {
        words.push_back(colour);
        IVRenderSoftPano::_DrawTriangle(a, b, c, normal, colour);
    }
};
