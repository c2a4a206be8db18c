#include "apps/PngWriter.h"

#include "apps/InputError.h"
#include "apps/OutputFile.h"

#include <png.h>

#include <cstring>

void PngWriter::CheckDirectory(const std::string& path) {
    OutputFile::Check(path);
}

void PngWriter::Write(const std::string& path, const uint8_t* rgba, int width, int height) {
    PngWriter writer;
    writer.WriteFrame(path, rgba, width, height);
}

void PngWriter::WriteFrame(const std::string& path, const uint8_t* rgba, int width, int height) {
    // The temporary exists from here on: an interruption while encoding must remove it too.
    OutputFile file(path);
    const size_t pixels = size_t(width) * size_t(height);
    mv_rgb.resize(pixels * 3);
    for (size_t pixel = 0; pixel < pixels; ++pixel)
        std::memcpy(&mv_rgb[3 * pixel], &rgba[4 * pixel], 3);
    png_image image;
    std::memset(&image, 0, sizeof image);
    image.version = PNG_IMAGE_VERSION;
    image.width = png_uint_32(width);
    image.height = png_uint_32(height);
    image.format = PNG_FORMAT_RGB;
    const bool written =
        png_image_write_to_stdio(&image, file.GetStream(), 0, mv_rgb.data(), 0, nullptr) != 0;
    const std::string message = written ? std::string() : std::string(image.message);
    png_image_free(&image);
    if (!written)
        file.Abandon("cannot encode the PNG: " + message);
    file.Commit();
}
