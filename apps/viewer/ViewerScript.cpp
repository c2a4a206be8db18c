#include "apps/viewer/ViewerScript.h"

#include "apps/InputError.h"

#include <charconv>
#include <cmath>
#include <fstream>
#include <map>
#include <sstream>

namespace {

constexpr int DEFAULT_DRAG_STEPS = 8;
constexpr int MAX_COORDINATE = 1 << 20;

class LineReader {
public:
    LineReader(const std::string& name, int number, const std::string& line)
        : mo_where(name + ":" + std::to_string(number) + ": ") {
        std::istringstream words(line);
        for (std::string word; words >> word;)
            mv_words.push_back(word);
    }
    const std::string& Command() const { return mv_words[0]; }
    void ExpectCount(size_t low, size_t high) const {
        if (mv_words.size() < low + 1 || mv_words.size() > high + 1)
            Fail("'" + Command() + "' takes " + std::to_string(low) +
                 (low == high ? "" : " to " + std::to_string(high)) + " values, got " +
                 std::to_string(mv_words.size() - 1));
    }
    bool IsEmpty() const { return mv_words.empty(); }
    size_t Count() const { return mv_words.size() - 1; }
    const std::string& Word(size_t index) const { return mv_words[index + 1]; }
    int Integer(size_t index, int low, int high) const {
        const std::string& word = Word(index);
        int value = 0;
        const auto [end, error] = std::from_chars(word.data(), word.data() + word.size(), value);
        if (error != std::errc() || end != word.data() + word.size() || value < low || value > high)
            Fail("'" + word + "' is not a whole number in " + std::to_string(low) + ".." +
                 std::to_string(high));
        return value;
    }
    // Screen coordinates from word `first` on into `values`.
    void Coordinates(size_t first, int* values, size_t count) const {
        for (size_t i = 0; i < count; ++i)
            values[i] = Integer(first + i, -MAX_COORDINATE, MAX_COORDINATE);
    }
    double Number(size_t index) const {
        const std::string& word = Word(index);
        double value = 0.0;
        const auto [end, error] = std::from_chars(word.data(), word.data() + word.size(), value);
        if (error != std::errc() || end != word.data() + word.size() || !std::isfinite(value))
            Fail("'" + word + "' is not a finite number");
        return value;
    }
    ViewerState::Button Button(size_t index) const {
        static const std::map<std::string, ViewerState::Button> BUTTONS = {
            {"left", ViewerState::Button::eLeft},
            {"middle", ViewerState::Button::eMiddle},
            {"right", ViewerState::Button::eRight}};
        const auto found = BUTTONS.find(Word(index));
        if (found == BUTTONS.end())
            Fail("unknown button '" + Word(index) + "' (left, middle, right)");
        return found->second;
    }
    [[noreturn]] void Fail(const std::string& message) const { throw InputError(mo_where + message); }

private:
    std::string mo_where;
    std::vector<std::string> mv_words;
};

} // namespace

std::optional<ViewerState::Key> ViewerScript::KeyFromName(const std::string& name) {
    static const std::map<std::string, ViewerState::Key> KEYS = {
        {"p", ViewerState::Key::eProjection},   {"[", ViewerState::Key::eFovDown},
        {"]", ViewerState::Key::eFovUp},        {"t", ViewerState::Key::eSortKey},
        {"k", ViewerState::Key::eSkipSort},     {"g", ViewerState::Key::eGizmo},
        {"s", ViewerState::Key::eSave},         {"r", ViewerState::Key::eReset},
        {"q", ViewerState::Key::eQuit},         {"escape", ViewerState::Key::eQuit},
        {"f1", ViewerState::Key::eHelp},        {"up", ViewerState::Key::eWalkForward},
        {"down", ViewerState::Key::eWalkBack},  {"left", ViewerState::Key::eWalkLeft},
        {"right", ViewerState::Key::eWalkRight}};
    const auto found = KEYS.find(name);
    return found == KEYS.end() ? std::nullopt : std::optional(found->second);
}

std::vector<ViewerScript::Event> ViewerScript::Load(const std::string& path) {
    std::ifstream file(path, std::ios::binary);
    if (!file)
        throw InputError(path + ": cannot open the script");
    std::stringstream text;
    text << file.rdbuf();
    if (file.bad())
        throw InputError(path + ": cannot read the script");
    return Parse(text.str(), path);
}

std::vector<ViewerScript::Event> ViewerScript::Parse(const std::string& text, const std::string& name) {
    using Kind = Event::Kind;
    std::vector<Event> events;
    std::istringstream lines(text);
    int number = 0;
    for (std::string line; std::getline(lines, line);) {
        ++number;
        if (const size_t comment = line.find('#'); comment != std::string::npos)
            line.erase(comment);
        const LineReader reader(name, number, line);
        if (reader.IsEmpty())
            continue;
        Event event;
        const std::string& command = reader.Command();
        if (command == "move") {
            reader.ExpectCount(2, 2);
            event.kind = Kind::eMove;
            reader.Coordinates(0, event.values, 2);
        } else if (command == "down" || command == "up") {
            reader.ExpectCount(3, 3);
            event.kind = command == "down" ? Kind::eDown : Kind::eUp;
            event.button = reader.Button(0);
            reader.Coordinates(1, event.values, 2);
        } else if (command == "drag") {
            reader.ExpectCount(5, 6);
            event.kind = Kind::eDrag;
            event.button = reader.Button(0);
            reader.Coordinates(1, event.values, 4);
            event.values[4] = reader.Count() == 6 ? reader.Integer(5, 1, 10000) : DEFAULT_DRAG_STEPS;
        } else if (command == "wheel") {
            reader.ExpectCount(1, 1);
            event.kind = Kind::eWheel;
            event.amount = reader.Number(0);
        } else if (command == "key") {
            reader.ExpectCount(1, 1);
            event.kind = Kind::eKey;
            const std::optional<ViewerState::Key> key = KeyFromName(reader.Word(0));
            if (!key)
                reader.Fail("unknown key '" + reader.Word(0) +
                            "' (p [ ] t k g s r q escape f1 up down left right)");
            event.key = *key;
        } else if (command == "resize") {
            reader.ExpectCount(2, 2);
            event.kind = Kind::eResize;
            event.values[0] = reader.Integer(0, 1, Options::MAX_SIZE);
            event.values[1] = reader.Integer(1, 1, Options::MAX_SIZE);
        } else if (command == "wait") {
            reader.ExpectCount(1, 1);
            event.kind = Kind::eWait;
            event.values[0] = reader.Integer(0, 0, 3600000);
        } else if (command == "screenshot") {
            reader.ExpectCount(1, 1);
            event.kind = Kind::eScreenshot;
            event.path = reader.Word(0);
        } else if (command == "print") {
            reader.ExpectCount(0, 0);
            event.kind = Kind::ePrint;
        } else
            reader.Fail("unknown event '" + command +
                        "' (move, down, up, drag, wheel, key, resize, wait, screenshot, print)");
        events.push_back(std::move(event));
    }
    return events;
}

void ViewerScript::Run(const std::vector<Event>& events, ViewerState& state, std::ostream& out) {
    using Kind = Event::Kind;
    auto update = [&state] {
        if (state.NeedsUpdate())
            state.Update();
    };
    update();
    for (const Event& event : events) {
        const int* v = event.values;
        switch (event.kind) {
        case Kind::eMove:
            state.MouseMove(v[0], v[1]);
            break;
        case Kind::eDown:
            state.MouseDown(event.button, v[0], v[1]);
            break;
        case Kind::eUp:
            state.MouseUp(event.button, v[0], v[1]);
            break;
        case Kind::eDrag:
            state.MouseMove(v[0], v[1]);
            state.MouseDown(event.button, v[0], v[1]);
            update();
            for (int step = 1; step <= v[4]; ++step) {
                state.MouseMove(int(std::lround(v[0] + double(v[2] - v[0]) * step / v[4])),
                                int(std::lround(v[1] + double(v[3] - v[1]) * step / v[4])));
                update();
            }
            state.MouseUp(event.button, v[2], v[3]);
            break;
        case Kind::eWheel:
            state.Wheel(event.amount);
            break;
        case Kind::eKey:
            state.Press(event.key);
            break;
        case Kind::eResize:
            state.Resize(v[0], v[1]);
            break;
        case Kind::eWait:
            break;
        case Kind::eScreenshot:
            update();
            state.Save(event.path);
            break;
        case Kind::ePrint:
            update();
            out << state.Describe() << '\n';
            break;
        }
        update();
        if (state.WantsQuit())
            return;
    }
}
