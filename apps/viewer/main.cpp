// vantrel-view: an interactive window on the Vantrel library: the renderer's scene and frames under
// the mouse, with the bounding-box gizmo live. With --script it replays input events without a
// window. Bad input ends the program with one line on standard error and status 2 before any window
// opens.
#include "apps/PngWriter.h"
#include "apps/ProgramMain.h"
#include "apps/SceneLoader.h"
#include "apps/viewer/ViewerOptions.h"
#include "apps/viewer/ViewerScript.h"
#include "apps/viewer/ViewerState.h"
#include "apps/viewer/ViewerWindow.h"

#include <iostream>

namespace {

int Run(int argc, char** argv) {
    const std::optional<ViewerOptions> options = ViewerOptions::Parse(argc, argv, std::cout);
    if (!options)
        return 0;
    std::vector<ViewerScript::Event> events;
    if (!options->script.empty())
        events = ViewerScript::Load(options->script);
    PngWriter::CheckDirectory(options->view.output);
    Scene scene = SceneLoader::Load(options->view, "vantrel-view", std::cerr);
    ViewerState state(scene, options->view);
    if (options->view.stats)
        state.SetStatsStream(&std::cout);
    if (!options->script.empty())
        ViewerScript::Run(events, state, std::cout);
    else
        ViewerWindow::Run(state, "vantrel-view");
    std::cout.flush();
    return 0;
}

} // namespace

int main(int argc, char** argv) {
    return ProgramMain::Run("vantrel-view", Run, argc, argv);
}
