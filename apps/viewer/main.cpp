// vantrel-view: an interactive window on the Vantrel library: the renderer's scene and frames under
// the mouse, with the bounding-box gizmo live. With --script it replays input events without a
// window. Bad input ends the program with one line on standard error and status 2 before any window
// opens.
#include "apps/InputError.h"
#include "apps/PngWriter.h"
#include "apps/viewer/ViewerOptions.h"
#include "apps/viewer/ViewerScript.h"
#include "apps/viewer/ViewerState.h"
#include "apps/viewer/ViewerWindow.h"

#include <iostream>
#include <new>

namespace {

int Run(int argc, char** argv) {
    const std::optional<ViewerOptions> options = ViewerOptions::Parse(argc, argv, std::cout);
    if (!options)
        return 0;
    std::vector<ViewerScript::Event> events;
    if (!options->script.empty())
        events = ViewerScript::Load(options->script);
    PngWriter::CheckDirectory(options->view.output);
    Scene scene = ViewerOptions::LoadScene(options->view);
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
    try {
        return Run(argc, argv);
    } catch (const InputError& error) {
        std::cerr << "vantrel-view: " << error.what() << std::endl;
        return 2;
    } catch (const std::bad_alloc&) {
        std::cerr << "vantrel-view: out of memory" << std::endl;
        return 1;
    } catch (const std::exception& error) {
        std::cerr << "vantrel-view: " << error.what() << std::endl;
        return 1;
    }
}
