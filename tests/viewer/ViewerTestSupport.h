#pragma once
// What the viewer's suites share: a scratch directory, the built-in scene, PNG reading and pixel
// searches for the gizmo's highlight colour.
#include "apps/BuiltInScene.h"
#include "apps/viewer/ViewerState.h"
#include "tests/apps/StlTestFiles.h"

#include "host/base/MUnit.h"

#include <png.h>

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

using ScratchFolder = ScratchDirectory;

struct RgbImage {
    int width = 0, height = 0;
    std::vector<uint8_t> rgba; // four bytes per pixel, as the viewer's own image

    // Pixels of colour (red, green, blue) within `radius` of (x, y), a square.
    int Count(int x, int y, int radius, uint8_t red, uint8_t green, uint8_t blue) const {
        int count = 0;
        for (int row = std::max(0, y - radius); row <= std::min(height - 1, y + radius); ++row)
            for (int column = std::max(0, x - radius); column <= std::min(width - 1, x + radius); ++column) {
                const uint8_t* pixel = &rgba[(size_t(row) * size_t(width) + size_t(column)) * 4];
                count += pixel[0] == red && pixel[1] == green && pixel[2] == blue ? 1 : 0;
            }
        return count;
    }
};

inline RgbImage ReadPng(const std::string& path) {
    png_image image;
    std::memset(&image, 0, sizeof image);
    image.version = PNG_IMAGE_VERSION;
    RgbImage result;
    if (png_image_begin_read_from_file(&image, path.c_str()) == 0)
        return result;
    image.format = PNG_FORMAT_RGBA;
    result.rgba.resize(PNG_IMAGE_SIZE(image));
    if (png_image_finish_read(&image, nullptr, result.rgba.data(), 0, nullptr) == 0)
        return RgbImage();
    result.width = int(image.width);
    result.height = int(image.height);
    return result;
}

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
