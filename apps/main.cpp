// vantrel-render: renders model files, or a built-in scene, through the Vantrel library and writes
// PNG images (to standard output with -o -). Bad input ends the program with one line on standard
// error and status 2, leaving no output file behind; the output paths are checked before anything
// is loaded or drawn.
#include "apps/BuiltInScene.h"
#include "apps/FrameRenderer.h"
#include "apps/InputError.h"
#include "apps/ModelReader.h"
#include "apps/Options.h"
#include "apps/OutputFile.h"
#include "apps/PngWriter.h"
#include "apps/RoomScene.h"

#include "host/base/MMaterial.h"
#include "host/base/MUnit.h"

#include <cmath>
#include <cstdio>
#include <iostream>
#include <new>

#include <unistd.h>

namespace {

// Colours of the mesh files, in turn; their alpha byte comes from --alpha.
constexpr uint32_t FILE_COLOURS[] = {
    MMaterial::MakeColour(170, 185, 205, 255), MMaterial::MakeColour(230, 140, 40, 255),
    MMaterial::MakeColour(80, 190, 110, 255),  MMaterial::MakeColour(200, 70, 70, 255),
    MMaterial::MakeColour(150, 110, 210, 255), MMaterial::MakeColour(220, 200, 80, 255),
};

Scene LoadScene(const Options& options) {
    const int internal_units = MUnit::GetIE();
    if (options.meshes.empty())
        return options.scene == SceneKind::eRoom ? RoomScene::Make() : BuiltInScene::Make(internal_units);
    Scene scene;
    const bool transparent = options.alpha < 1.0;
    const auto alpha = uint32_t(std::lround(options.alpha * 255.0));
    for (size_t i = 0; i < options.meshes.size(); ++i) {
        const uint32_t colour =
            (FILE_COLOURS[i % std::size(FILE_COLOURS)] & 0x00FFFFFFu) | (std::max(alpha, 1u) << 24);
        // A textured mesh shows its image's own colours.
        for (const StlMesh& mesh : ModelReader().ReadFile(options.meshes[i]))
            scene.AddMesh(mesh, options.meshes[i],
                          mesh.texture_coordinates.empty() ? colour : colour | 0x00FFFFFFu, transparent);
    }
    return scene;
}

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
    Scene scene = LoadScene(*options);
    if (const uint64_t degenerate = scene.GetNumDegenerateTriangles(); degenerate > 0)
        std::cerr << "vantrel-render: " << degenerate
                  << " degenerate triangles left out (corners coincide)\n";
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
    try {
        return Run(argc, argv);
    } catch (const InputError& error) {
        std::cerr << "vantrel-render: " << error.what() << std::endl;
        return 2;
    } catch (const std::bad_alloc&) {
        std::cerr << "vantrel-render: out of memory" << std::endl;
        return 1;
    } catch (const std::exception& error) {
        std::cerr << "vantrel-render: " << InputError::Printable(error.what()) << std::endl;
        return 1;
    }
}
