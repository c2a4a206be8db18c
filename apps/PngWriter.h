#pragma once
// PngWriter: writes an RGBA frame as an 8-bit RGB PNG (libpng). The file appears complete or not at
// all: the image goes to a temporary file beside the target, which is renamed over it only after a
// successful write; on any failure the temporary is removed and InputError names the path.
#include <cstdint>
#include <string>

class PngWriter {
public:
    // `rgba`: width x height pixels, red first, rows top to bottom; alpha is dropped.
    static void Write(const std::string& path, const uint8_t* rgba, int width, int height);
    // Throws InputError unless the directory that would hold `path` exists.
    static void CheckDirectory(const std::string& path);
};
