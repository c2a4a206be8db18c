#include "apps/viewer/ViewerOptions.h"

#include "apps/InputError.h"

#include <CLI/CLI.hpp>

namespace {

constexpr const char* FOOTER =
    R"(Mouse: left drag orbits, right drag pans, the wheel zooms (field of view in panoramas); over the
gizmo a handle drag moves that face of the selected box, the centre spot moves the box; a click
selects the object under the mouse. Keys: P projection, [ ] field of view, T sort key,
K skip-sort tolerance, G gizmo, S save PNG (-o names it, numbered), R reset, F1 help, Q/Escape quit.
Here --skip-sort-deg defaults to 10 and -o (the screenshots, numbered) to vantrel-view.png;
--frames, --orbit and --gizmo do not apply.)";

} // namespace

std::optional<ViewerOptions> ViewerOptions::Parse(int argc, const char* const* argv, std::ostream& out) {
    ViewerOptions options;
    // The viewer's own defaults: screenshots named for it, and sorts skipped while orbiting.
    options.view.output = "vantrel-view.png";
    options.view.skip_sort_degrees = 10.0;
    CLI::App app("Shows model files (or a built-in scene) through the Vantrel library in a window, with the "
                 "bounding-box gizmo under the mouse.",
                 "vantrel-view");
    app.footer(FOOTER);
    Options::Register(app, options.view);
    app.add_option("--script", options.script,
                   "replay the input events of FILE without a window (see the README) [default: a window]")
        ->type_name("FILE");
    if (!Options::ParseCommandLine(app, argc, argv, out))
        return std::nullopt;
    options.view.Validate();
    if (options.view.WritesToStandardOutput())
        throw InputError("--output: screenshots need a file name, not standard output");
    if (app.count("--script") > 0 && options.script.empty())
        throw InputError("--script: the path is empty");
    options.view.frames = 1;
    return options;
}
