#pragma once
// UIWnd3D: a 3D view window of the application, reduced to its size and its window coordinate
// system, whose transform from the world gives window pixels (x right, y down, z a depth).
//
// A new window maps the world identically (world x and y are pixels). SetCamera and
// SetWorldToWindow make a new window system; systems handed out before keep the old transform.
// Not thread-safe.
#include "host/framework/MCoordinateSystem.h"

#include <memory>

class UIWnd3D {
public:
    UIWnd3D(int width, int height);
    ~UIWnd3D();

    // A pinhole camera (MCameraTransform) over the window's size.
    void SetCamera(const MMPoint3d<double>& eye, const MMPoint3d<double>& target, const MMPoint3d<double>& up,
                   double vertical_fov);
    // Any transform from world points to window pixels, e.g. an MFailingTransform in tests.
    void SetWorldToWindow(std::shared_ptr<const MMTransform> world_to_window);

    MCoordinateSystem GetCoordinateSystemWindow() const { return mo_window_system; }
    int GetWidth() const { return mn_width; }
    int GetHeight() const { return mn_height; }

private:
    int mn_width;
    int mn_height;
    MCoordinateSystem mo_window_system;
};
