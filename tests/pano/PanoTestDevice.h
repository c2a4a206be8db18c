#pragma once
// PanoTestDevice: the panoramic device with its protected routes, matrices, plane-index table and
// rasterizer seam opened up for tests.
#include "pano/IVRenderSoftPano.h"
#include "tests/support/RecordingRasterizer.h"

#include <memory>

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

    // Installs a recording rasterizer (which still draws) and returns it.
    RecordingRasterizer& Record() {
        auto rasterizer = std::make_unique<RecordingRasterizer>();
        RecordingRasterizer& recorder = *rasterizer;
        _SetRasterizer(std::move(rasterizer));
        return recorder;
    }
};
