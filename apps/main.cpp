// vantrel-render: renders model files, or a built-in scene, through the Vantrel library and writes
// PNG images (to standard output with -o -). Bad input ends the program with one line on standard
// error and status 2, leaving no output file behind; the output paths are checked before anything
// is loaded or drawn.
#include "apps/FrameRenderer.h"
#include "apps/InputError.h"
#include "apps/Options.h"
#include "apps/OutputFile.h"
#include "apps/PngWriter.h"
#include "apps/ProgramMain.h"
#include "apps/SceneLoader.h"

#include <cstdio>
#include <iostream>

#include <unistd.h>

namespace {

void ShowProgress(int done, int total) {
    constexpr int WIDTH = 30;
    const int filled = WIDTH * done / total;
    std::fprintf(stderr, "\r[%.*s%*s] %d/%d frames", filled, "##############################", WIDTH - filled,
                 "", done, total);
    if (done == total)
        std::fputc('\n', stderr);
    std::fflush(stderr);
}

// Adds to a failure midway through a sequence which frames are already on disk.
[[noreturn]] void ThrowWithFramesWritten(const InputError& error, const Options& options, int written) {
    std::string message = error.what();
    if (written > 0) {
        message += "; " + std::to_string(written) + " of " + std::to_string(options.frames) + " frames " +
                   (written == 1 ? "was" : "were") + " written";
        if (options.WritesToStandardOutput())
            message += " to standard output";
        else
            message += ": " + options.GetFramePath(0) +
                       (written > 1 ? " to " + options.GetFramePath(written - 1) : "");
    }
    throw InputError(message);
}

int Run(int argc, char** argv) {
    const std::optional<Options> options = Options::Parse(argc, argv, std::cout);
    if (!options)
        return 0;
    // Fail on an unwritable output before spending time on loading and drawing.
    for (int frame = 0; frame < options->frames; ++frame)
        OutputFile::Check(options->GetFramePath(frame));
    Scene scene = SceneLoader::Load(*options, "vantrel-render", std::cerr);
    FrameRenderer renderer(scene, *options);
    // Standard output may carry the images: then everything else goes to standard error.
    std::ostream& report = options->WritesToStandardOutput() ? std::cerr : std::cout;
    const bool progress = options->frames > 1 && ::isatty(STDERR_FILENO) != 0;
    PngWriter writer;
    for (int frame = 0; frame < options->frames; ++frame) {
        const FrameStats stats = renderer.Render(frame);
        try {
            writer.WriteFrame(options->GetFramePath(frame), renderer.GetPixels(), renderer.GetWidth(),
                              renderer.GetHeight());
        } catch (const InputError& error) {
            if (progress)
                std::fputc('\n', stderr);
            ThrowWithFramesWritten(error, *options, frame);
        }
        if (options->stats)
            report << stats.ToLine() << std::endl;
        if (progress)
            ShowProgress(frame + 1, options->frames);
    }
    return 0;
}

} // namespace

int main(int argc, char** argv) {
    return ProgramMain::Run("vantrel-render", Run, argc, argv);
}
