#pragma once
// ViewerOptions: the command line of vantrel-view: the renderer's scene, model and view options
// (registered and checked by the renderer's own Options, so errors read the same) plus --script. Parse
// returns nothing when --help or --version has been answered; bad input throws InputError with a one-line
// message. Plain data; SceneLoader builds the scene `view` names.
#include "apps/Options.h"

#include <optional>
#include <ostream>
#include <string>

struct ViewerOptions {
    Options view;
    std::string script; // empty: open a window

    static std::optional<ViewerOptions> Parse(int argc, const char* const* argv, std::ostream& out);
};
