#include "apps/viewer/ViewerOptions.h"

#include "apps/BuiltInScene.h"
#include "apps/InputError.h"
#include "apps/StlReader.h"

#include "host/base/MMaterial.h"
#include "host/base/MUnit.h"

#include <algorithm>
#include <cmath>
#include <sstream>
#include <vector>

namespace {

constexpr const char* USAGE = R"(vantrel-view: an interactive window on the Vantrel library.

Usage: vantrel-view [options] [mesh.stl ...] [--script FILE]

  --script FILE   replay the input events of FILE without a window (see the README)

Mouse: left drag orbits, right drag pans, the wheel zooms (field of view in panoramas); over the
gizmo a handle drag moves that face of the selected box, the centre spot moves the box; a click
selects the object under the mouse. Keys: P projection, [ ] field of view, T sort key,
K skip-sort tolerance, G gizmo, S save PNG (-o names it, numbered), R reset, F1 help, Q/Escape quit.
--skip-sort-deg defaults to 10 here. The renderer's options follow; -o names the screenshots
(vantrel-view.png by default), --frames, --orbit and --gizmo do not apply.

)";

// Colours of the mesh files, in turn, as the renderer gives them; their alpha comes from --alpha.
constexpr uint32_t FILE_COLOURS[] = {
    MMaterial::MakeColour(170, 185, 205, 255), MMaterial::MakeColour(230, 140, 40, 255),
    MMaterial::MakeColour(80, 190, 110, 255),  MMaterial::MakeColour(200, 70, 70, 255),
    MMaterial::MakeColour(150, 110, 210, 255), MMaterial::MakeColour(220, 200, 80, 255),
};

bool Given(const std::vector<std::string>& arguments, const std::string& name) {
    return std::any_of(arguments.begin(), arguments.end(), [&name](const std::string& argument) {
        return argument == name || argument.rfind(name + "=", 0) == 0;
    });
}

} // namespace

std::optional<ViewerOptions> ViewerOptions::Parse(int argc, const char* const* argv, std::ostream& out) {
    // FIXME: parse through the renderer's option registration once it can be shared, instead of
    // taking --script out and handing the rest to the renderer's parser.
    ViewerOptions options;
    std::vector<std::string> arguments;
    for (int i = 1; i < argc; ++i) {
        const std::string argument = argv[i];
        if (argument == "--script") {
            if (i + 1 >= argc)
                throw InputError("--script: expected a script file (see --help)");
            options.script = argv[++i];
        } else if (argument.rfind("--script=", 0) == 0)
            options.script = argument.substr(9);
        else
            arguments.push_back(argument);
    }
    std::vector<const char*> rest{argc > 0 ? argv[0] : "vantrel-view"};
    for (const std::string& argument : arguments)
        rest.push_back(argument.c_str());
    std::ostringstream answer;
    const std::optional<Options> view = Options::Parse(int(rest.size()), rest.data(), answer);
    if (!view) {
        if (Given(arguments, "--version"))
            out << answer.str();
        else
            out << USAGE << answer.str();
        return std::nullopt;
    }
    options.view = *view;
    if (!Given(arguments, "--skip-sort-deg"))
        options.view.skip_sort_degrees = 10.0;
    if (!Given(arguments, "-o") && !Given(arguments, "--output"))
        options.view.output = "vantrel-view.png";
    options.view.frames = 1;
    if (options.script.empty() && Given(arguments, "--script"))
        throw InputError("--script: expected a script file (see --help)");
    return options;
}

Scene ViewerOptions::LoadScene(const Options& options) {
    // FIXME: share the renderer's scene loading once it lives outside its main.
    const int internal_units = MUnit::GetIE();
    if (options.meshes.empty())
        return BuiltInScene::Make(internal_units);
    Scene scene;
    const StlReader reader(internal_units);
    const bool transparent = options.alpha < 1.0;
    const auto alpha = uint32_t(std::lround(options.alpha * 255.0));
    for (size_t i = 0; i < options.meshes.size(); ++i) {
        const uint32_t colour =
            (FILE_COLOURS[i % std::size(FILE_COLOURS)] & 0x00FFFFFFu) | (std::max(alpha, 1u) << 24);
        scene.AddMesh(reader.ReadFile(options.meshes[i]), options.meshes[i], colour, transparent);
    }
    return scene;
}
