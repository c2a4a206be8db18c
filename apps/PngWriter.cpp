#include "apps/PngWriter.h"

#include "apps/InputError.h"

#include <png.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <memory>
#include <vector>

#include <sys/stat.h>
#include <unistd.h>

namespace {

std::string DirectoryOf(const std::string& path) {
    const std::filesystem::path parent = std::filesystem::path(path).parent_path();
    return parent.empty() ? std::string(".") : parent.string();
}

struct FileCloser {
    void operator()(std::FILE* file) const { std::fclose(file); }
};

} // namespace

void PngWriter::CheckDirectory(const std::string& path) {
    if (path.empty())
        throw InputError("the output path is empty");
    const std::string directory = DirectoryOf(path);
    std::error_code error;
    if (!std::filesystem::is_directory(directory, error))
        throw InputError(path + ": the output directory '" + directory + "' does not exist");
    if (std::filesystem::is_directory(path, error))
        throw InputError(path + ": the output path is a directory");
}

void PngWriter::Write(const std::string& path, const uint8_t* rgba, int width, int height) {
    CheckDirectory(path);
    std::string temporary = path + ".tmp-XXXXXX";
    const int descriptor = ::mkstemp(temporary.data());
    if (descriptor < 0)
        throw InputError(path + ": cannot create a file in the output directory: " + std::strerror(errno));
    std::unique_ptr<std::FILE, FileCloser> file(::fdopen(descriptor, "wb"));
    if (!file) {
        ::close(descriptor);
        ::unlink(temporary.c_str());
        throw InputError(path + ": cannot write: " + std::strerror(errno));
    }

    std::vector<uint8_t> rgb(size_t(width) * size_t(height) * 3);
    for (size_t pixel = 0; pixel < size_t(width) * size_t(height); ++pixel)
        std::memcpy(&rgb[3 * pixel], &rgba[4 * pixel], 3);
    png_image image;
    std::memset(&image, 0, sizeof image);
    image.version = PNG_IMAGE_VERSION;
    image.width = png_uint_32(width);
    image.height = png_uint_32(height);
    image.format = PNG_FORMAT_RGB;
    const bool written = png_image_write_to_stdio(&image, file.get(), 0, rgb.data(), 0, nullptr) != 0;
    const std::string message = written ? std::string() : std::string(image.message);
    png_image_free(&image);
    const bool closed = std::fclose(file.release()) == 0;
    if (!written || !closed) {
        ::unlink(temporary.c_str());
        throw InputError(path + ": cannot write the PNG: " + (written ? std::strerror(errno) : message));
    }
    // mkstemp makes the file private; a picture is for everyone to read, as umask allows.
    const mode_t mask = ::umask(0);
    ::umask(mask);
    std::filesystem::permissions(temporary, std::filesystem::perms(0666 & ~mask));
    if (std::rename(temporary.c_str(), path.c_str()) != 0) {
        const int error = errno;
        ::unlink(temporary.c_str());
        throw InputError(path + ": cannot rename the finished image into place: " + std::strerror(error));
    }
}
