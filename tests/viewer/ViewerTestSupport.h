#pragma once
// What the viewer's suites share: the built-in scene, the options they start from and pixel
// searches for the gizmo's highlight colour.
#include "apps/BuiltInScene.h"
#include "apps/viewer/ViewerState.h"
#include "tests/apps/ProgramRun.h"

#include "host/base/MUnit.h"

#include <string>

// Pixels of the handle highlight within `radius` of a point.
inline int Highlight(const RgbImage& image, CPoint point, int radius) {
    const auto colour = ViewerOverlay::HIGHLIGHT_COLOUR;
    return image.Count(point.x, point.y, radius, GetRValue(colour), GetGValue(colour), GetBValue(colour));
}

// The options both the in-process and the windowed viewer suites start from.
inline Options ViewerOptions(int width, int height, const std::string& output) {
    Options options;
    options.width = width;
    options.height = height;
    options.skip_sort_degrees = 10.0;
    options.output = output;
    return options;
}
