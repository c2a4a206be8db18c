#pragma once
// Runs a built program as a user would (fork and exec, no shell), with the process settings the
// program suites need: working folder, umask, a file-size limit, standard input and
// output. Also decodes the PNG files the programs write.
#include "tests/apps/StlTestFiles.h"

#include <gtest/gtest.h>
#include <png.h>

#include <algorithm>
#include <array>
#include <chrono>
#include <csignal>
#include <cstdint>
#include <cstring>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include <fcntl.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

struct ProgramCall {
#ifdef VANTREL_RENDER_PATH
    std::string program = VANTREL_RENDER_PATH; // found on PATH when it has no slash
#else
    std::string program;
#endif
    std::vector<std::string> arguments;
    std::string folder = ".";
    mode_t umask = 022;
    // Largest file the program may write, in bytes (SIGXFSZ ignored, so writes fail with EFBIG).
    std::optional<rlim_t> file_size_limit;
    // Where standard output and standard error go; other descriptors are inherited.
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
    std::vector<std::string> words = {call.program};
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
    ::execvp(argv[0], argv.data());
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

// A suite that runs a program in a scratch folder of its own, keeping its output in another.
class ProgramFolderTest : public ::testing::Test {
protected:
    ProgramCall Call(std::vector<std::string> arguments) const {
        ProgramCall call;
        call.folder = mo_folder.Path("");
        call.out_path = mo_logs.Path("out.txt");
        call.err_path = mo_logs.Path("err.txt");
        call.arguments = std::move(arguments);
        return call;
    }
    ProgramResult Run(std::vector<std::string> arguments) const {
        return RunProgram(Call(std::move(arguments)));
    }

    ScratchDirectory mo_folder, mo_logs;
};

// Status 2 and one line on standard error, starting with `message`.
inline void ExpectOneLineRefusal(const ProgramResult& result, const std::string& message,
                                 const std::string& what) {
    EXPECT_EQ(result.status, 2) << what << ": " << result.err;
    EXPECT_EQ(result.err.substr(0, message.size()), message) << what;
    EXPECT_EQ(std::count(result.err.begin(), result.err.end(), '\n'), 1) << what << ": " << result.err;
}

// A program left running in the background, stopped (SIGTERM, then SIGKILL) if it outlives the
// object.
class BackgroundProgram {
public:
    explicit BackgroundProgram(const ProgramCall& call) : mn_pid(StartProgram(call)) {}
    BackgroundProgram(const BackgroundProgram&) = delete;
    BackgroundProgram& operator=(const BackgroundProgram&) = delete;
    ~BackgroundProgram() { Stop(); }

    // The exit status once the program has ended within `limit`, else -1 (it is then stopped).
    int Wait(std::chrono::milliseconds limit) {
        for (const auto end = std::chrono::steady_clock::now() + limit;
             mn_pid > 0 && std::chrono::steady_clock::now() < end;
             std::this_thread::sleep_for(std::chrono::milliseconds(20))) {
            int raw = 0;
            if (::waitpid(mn_pid, &raw, WNOHANG) == mn_pid) {
                mn_pid = -1;
                return WIFEXITED(raw) ? WEXITSTATUS(raw) : 128 + WTERMSIG(raw);
            }
        }
        Stop();
        return -1;
    }
    void Stop() {
        if (mn_pid <= 0)
            return;
        ::kill(mn_pid, SIGTERM);
        for (int i = 0; i < 100 && ::waitpid(mn_pid, nullptr, WNOHANG) == 0; ++i)
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
        if (::waitpid(mn_pid, nullptr, WNOHANG) == 0) {
            ::kill(mn_pid, SIGKILL);
            ::waitpid(mn_pid, nullptr, 0);
        }
        mn_pid = -1;
    }

private:
    pid_t mn_pid;
};

struct RgbImage {
    int width = 0, height = 0;
    std::vector<uint8_t> rgba; // four bytes per pixel, as the viewer's own image

    std::array<int, 3> At(int x, int y) const {
        const size_t at = 4 * (size_t(y) * size_t(width) + size_t(x));
        return {rgba[at], rgba[at + 1], rgba[at + 2]};
    }
    // Pixels of colour (red, green, blue) within `radius` of (x, y), a square.
    int Count(int x, int y, int radius, uint8_t red, uint8_t green, uint8_t blue) const {
        int count = 0;
        for (int row = std::max(0, y - radius); row <= std::min(height - 1, y + radius); ++row)
            for (int column = std::max(0, x - radius); column <= std::min(width - 1, x + radius); ++column)
                count += At(column, row) == std::array<int, 3>{red, green, blue} ? 1 : 0;
        return count;
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
    image.format = PNG_FORMAT_RGBA;
    result.rgba.resize(PNG_IMAGE_SIZE(image));
    if (png_image_finish_read(&image, nullptr, result.rgba.data(), 0, nullptr) == 0)
        return RgbImage{};
    result.width = int(image.width);
    result.height = int(image.height);
    return result;
}

inline RgbImage ReadPng(const std::string& path) {
    return DecodePng(ReadWholeFile(path));
}
