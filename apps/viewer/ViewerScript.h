#pragma once
// ViewerScript: input events read from a text file and replayed on a ViewerState without a window,
// the way the window would deliver them: each event, then Update() when something changed. One
// event per line; '#' starts a comment; coordinates are window pixels:
//
//   move X Y                         the mouse moves (no button held, or dragging)
//   down BUTTON X Y / up BUTTON X Y  BUTTON: left, middle or right
//   drag BUTTON X1 Y1 X2 Y2 [STEPS]  down at the first point, STEPS moves (default 8), up at the last
//   wheel STEPS                      positive zooms in
//   key NAME                         p [ ] t k g s r q escape f1
//   resize W H                       the window's new size
//   wait MS                          a pause; headless it passes no time
//   screenshot PATH                  saves the image shown (a failure goes to the status line)
//   print                            one line describing the state (ViewerState::Describe)
//
// Load and Parse throw InputError naming the file and line of the first bad line; Run stops after
// a quit key. Single-threaded.
#include "apps/viewer/ViewerState.h"

#include <optional>
#include <ostream>
#include <string>
#include <vector>

class ViewerScript {
public:
    struct Event {
        enum class Kind { eMove, eDown, eUp, eDrag, eWheel, eKey, eResize, eWait, eScreenshot, ePrint };
        Kind kind = Kind::eMove;
        ViewerState::Button button = ViewerState::Button::eLeft;
        ViewerState::Key key = ViewerState::Key::eQuit;
        int values[5] = {0, 0, 0, 0, 0};
        double amount = 0.0;
        std::string path;
    };

    static std::vector<Event> Load(const std::string& path);
    static std::vector<Event> Parse(const std::string& text, const std::string& name);
    static void Run(const std::vector<Event>& events, ViewerState& state, std::ostream& out);

    static std::optional<ViewerState::Key> KeyFromName(const std::string& name);
};
