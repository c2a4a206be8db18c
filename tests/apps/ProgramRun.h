#pragma once
// Runs the built vantrel-render as a user would (fork and exec, no shell), with the process
// settings the output tests need: working folder, umask, a file-size limit, standard input and
// output. Also decodes what it wrote with libpng.
#include "tests/apps/StlTestFiles.h"

#include <png.h>

#include <array>
#include <csignal>
#include <cstdint>
#include <cstring>
#include <fstream>
#include <optional>
#include <sstream>
#include <string>
#include <vector>

#include <fcntl.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

struct ProgramCall {
    std::vector<std::string> arguments;
    std::string folder = ".";
    mode_t umask = 022;
    // Largest file the program may write, in bytes (SIGXFSZ ignored, so writes fail with EFBIG).
    std::optional<rlim_t> file_size_limit;
    // Where standard output and standard error go.
    std::string out_path = "/dev/null";
    std::string err_path = "/dev/null";
};

struct ProgramResult {
    int status = -1; // exit status, -1 when ended by a signal
    int signal = 0;  // the ending signal, 0 when exited
    std::string out; // standard output (binary)
    std::string err; // standard error
};

inline pid_t StartProgram(const ProgramCall& call) {
    std::vector<std::string> words = {VANTREL_RENDER_PATH};
    words.insert(words.end(), call.arguments.begin(), call.arguments.end());
    std::vector<char*> argv;
    for (std::string& word : words)
        argv.push_back(word.data());
    argv.push_back(nullptr);
    const pid_t child = ::fork();
    if (child != 0)
        return child;
    // The child: only async-signal-safe calls until exec.
    if (::chdir(call.folder.c_str()) != 0)
        ::_exit(126);
    ::umask(call.umask);
    if (call.file_size_limit) {
        const struct rlimit limit = {*call.file_size_limit, *call.file_size_limit};
        ::setrlimit(RLIMIT_FSIZE, &limit);
        ::signal(SIGXFSZ, SIG_IGN);
    }
    const int input = ::open("/dev/null", O_RDONLY);
    const int output = ::open(call.out_path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    const int error = ::open(call.err_path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    if (input < 0 || output < 0 || error < 0)
        ::_exit(126);
    ::dup2(input, 0);
    ::dup2(output, 1);
    ::dup2(error, 2);
    ::execv(argv[0], argv.data());
    ::_exit(127);
}

inline ProgramResult WaitProgram(pid_t child, const ProgramCall& call) {
    int raw = 0;
    ::waitpid(child, &raw, 0);
    ProgramResult result;
    result.status = WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
    result.signal = WIFSIGNALED(raw) ? WTERMSIG(raw) : 0;
    if (call.out_path != "/dev/null")
        result.out = ReadWholeFile(call.out_path);
    if (call.err_path != "/dev/null")
        result.err = ReadWholeFile(call.err_path);
    return result;
}

inline ProgramResult RunProgram(const ProgramCall& call) {
    return WaitProgram(StartProgram(call), call);
}

struct RgbImage {
    int width = 0, height = 0;
    std::vector<uint8_t> rgb;

    std::array<int, 3> At(int x, int y) const {
        const size_t at = 3 * (size_t(y) * size_t(width) + size_t(x));
        return {rgb[at], rgb[at + 1], rgb[at + 2]};
    }
};

// An empty image (width 0) when `bytes` is not a PNG.
inline RgbImage DecodePng(const std::string& bytes) {
    png_image image;
    std::memset(&image, 0, sizeof image);
    image.version = PNG_IMAGE_VERSION;
    RgbImage result;
    if (png_image_begin_read_from_memory(&image, bytes.data(), bytes.size()) == 0)
        return result;
    image.format = PNG_FORMAT_RGB;
    result.rgb.resize(PNG_IMAGE_SIZE(image));
    if (png_image_finish_read(&image, nullptr, result.rgb.data(), 0, nullptr) == 0)
        return RgbImage{};
    result.width = int(image.width);
    result.height = int(image.height);
    return result;
}

inline RgbImage ReadPng(const std::string& path) {
    return DecodePng(ReadWholeFile(path));
}
