#pragma once
// PngWriter: writes RGBA frames as 8-bit RGB PNG files (libpng) through OutputFile, so a file
// appears complete or not at all, "-" is standard output, and failures throw InputError naming the
// path and the system's reason. Keep one writer for a sequence: its row buffer is reused.
// Threading: one thread per writer.
#include <cstdint>
#include <string>
#include <vector>

class PngWriter {
public:
    // `rgba`: width x height pixels, 4 bytes each, red first, rows top to bottom, no padding; the
    // alpha byte is dropped.
    void WriteFrame(const std::string& path, const uint8_t* rgba, int width, int height);

    // One-off form of WriteFrame.
    static void Write(const std::string& path, const uint8_t* rgba, int width, int height);
    // Throws InputError unless `path` can be written (see OutputFile::Check).
    static void CheckDirectory(const std::string& path);

private:
    std::vector<uint8_t> mv_rgb;
};
