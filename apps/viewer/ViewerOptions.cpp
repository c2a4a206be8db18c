#include "apps/viewer/ViewerOptions.h"

#include "apps/BuiltInScene.h"
#include "apps/InputError.h"
#include "apps/StlReader.h"

#include "host/base/MMaterial.h"
#include "host/base/MUnit.h"

#include <CLI/CLI.hpp>

#include <algorithm>
#include <cmath>

namespace {

constexpr const char* FOOTER =
    R"(Mouse: left drag orbits, right drag pans, the wheel zooms (field of view in panoramas); over the
gizmo a handle drag moves that face of the selected box, the centre spot moves the box; a click
selects the object under the mouse. Keys: P projection, [ ] field of view, T sort key,
K skip-sort tolerance, G gizmo, S save PNG (-o names it, numbered), R reset, F1 help, Q/Escape quit.
Here --skip-sort-deg defaults to 10 and -o (the screenshots, numbered) to vantrel-view.png;
--frames, --orbit and --gizmo do not apply.)";

// Colours of the mesh files, in turn, as the renderer gives them; their alpha comes from --alpha.
constexpr uint32_t FILE_COLOURS[] = {
    MMaterial::MakeColour(170, 185, 205, 255), MMaterial::MakeColour(230, 140, 40, 255),
    MMaterial::MakeColour(80, 190, 110, 255),  MMaterial::MakeColour(200, 70, 70, 255),
    MMaterial::MakeColour(150, 110, 210, 255), MMaterial::MakeColour(220, 200, 80, 255),
};

} // namespace

std::optional<ViewerOptions> ViewerOptions::Parse(int argc, const char* const* argv, std::ostream& out) {
    ViewerOptions options;
    // The viewer's own defaults: screenshots named for it, and sorts skipped while orbiting.
    options.view.output = "vantrel-view.png";
    options.view.skip_sort_degrees = 10.0;
    bool version = false;
    CLI::App app("Shows model files (or a built-in scene) through the Vantrel library in a window, with the "
                 "bounding-box gizmo under the mouse.",
                 "vantrel-view");
    app.get_formatter()->column_width(30);
    app.footer(FOOTER);
    Options::Register(app, options.view);
    app.add_option("--script", options.script,
                   "replay the input events of FILE without a window (see the README) [default: a window]")
        ->type_name("FILE");
    app.add_flag("--version", version, "print the library's information string and exit");
    try {
        app.parse(argc, argv);
    } catch (const CLI::CallForHelp&) {
        out << app.help();
        return std::nullopt;
    } catch (const CLI::ParseError& error) {
        throw InputError(std::string(error.what()) + " (see --help)");
    }
    if (version) {
        out << Options::GetVersionText() << "\n";
        return std::nullopt;
    }
    options.view.Validate();
    if (options.view.WritesToStandardOutput())
        throw InputError("--output: screenshots need a file name, not standard output");
    if (app.count("--script") > 0 && options.script.empty())
        throw InputError("--script: the path is empty");
    options.view.frames = 1;
    return options;
}

Scene ViewerOptions::LoadScene(const Options& options) {
    // FIXME: share the renderer's scene loading once it lives outside its main; until then the
    // viewer shows the built-in objects for every --scene and reads STL files only.
    const int internal_units = MUnit::GetIE();
    if (options.meshes.empty())
        return BuiltInScene::Make(internal_units);
    Scene scene;
    const StlReader reader;
    const bool transparent = options.alpha < 1.0;
    const auto alpha = uint32_t(std::lround(options.alpha * 255.0));
    for (size_t i = 0; i < options.meshes.size(); ++i) {
        const uint32_t colour =
            (FILE_COLOURS[i % std::size(FILE_COLOURS)] & 0x00FFFFFFu) | (std::max(alpha, 1u) << 24);
        scene.AddMesh(reader.ReadFile(options.meshes[i]), options.meshes[i], colour, transparent);
    }
    return scene;
}
