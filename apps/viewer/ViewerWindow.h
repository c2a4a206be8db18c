#pragma once
// ViewerWindow: the SDL2 window around a ViewerState. It turns SDL's mouse, wheel, key and window
// events into the state's calls, shows the state's image after every batch of events that changed
// something, sets the cursor the state asks for, and otherwise sleeps in SDL_WaitEvent.
//
// Run opens the window at the state's size, returns when the state wants to quit or the window is
// closed, and throws std::runtime_error when SDL cannot open a window. Main thread only.
#include "apps/viewer/ViewerState.h"

#include <string>

class ViewerWindow {
public:
    static void Run(ViewerState& state, const std::string& title);
};
