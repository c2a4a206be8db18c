#pragma once
// Test scenes for the gizmo: a unit box (0,0,0)-(1,1,1) in a window whose affine world-to-window
// transform sends the world axes to chosen pixel vectors, so each edge of the box gets the screen
// extent a test wants. Edges along x follow `along_x`, along y `along_y`, along z `along_z`;
// corner 0 lands on `origin`; the window depth is depth · (x, y, z, 1).
#include "ScreenPrinters.h"
#include "host/framework/MFailingTransform.h"
#include "host/framework/UIObject.h"
#include "host/framework/UIWnd3D.h"
#include "host/math/MMTransformMatrix.h"
#include "screen/IVRenderEx.h"

#include <array>
#include <memory>

struct PixelVector {
    double x;
    double y;
};

inline std::shared_ptr<MMTransformMatrix> MakeWindowMatrix(PixelVector along_x, PixelVector along_y,
                                                           PixelVector along_z, PixelVector origin,
                                                           std::array<double, 4> depth = {0, 0, 1, 0}) {
    const double values[16] = {along_x.x, along_y.x, along_z.x, origin.x, along_x.y, along_y.y,
                               along_z.y, origin.y,  depth[0],  depth[1], depth[2],  depth[3],
                               0,         0,         0,         1};
    auto matrix = std::make_shared<MMTransformMatrix>();
    matrix->MakeFromDouble16(values);
    return matrix;
}

struct GizmoScene {
    UIObject object;
    UIWnd3D window{800, 600};

    GizmoScene() {
        M3DBoundingBox<float> box;
        box.x_min = box.y_min = box.z_min = 0.0f;
        box.x_max = box.y_max = box.z_max = 1.0f;
        object.SetBox(box);
    }
    GizmoScene(PixelVector along_x, PixelVector along_y, PixelVector along_z, PixelVector origin,
               std::array<double, 4> depth = {0, 0, 1, 0})
        : GizmoScene() {
        View(along_x, along_y, along_z, origin, depth);
    }
    void View(PixelVector along_x, PixelVector along_y, PixelVector along_z, PixelVector origin,
              std::array<double, 4> depth = {0, 0, 1, 0}) {
        window.SetWorldToWindow(MakeWindowMatrix(along_x, along_y, along_z, origin, depth));
    }
};
