#include "apps/Options.h"

#include "apps/InputError.h"
#include "module/VersionRecord.h"

#include <CLI/CLI.hpp>

#include <charconv>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <functional>
#include <utility>

namespace {

// Numbers are read here rather than by CLI11 so that a message can quote the text as typed and
// non-finite spellings ("inf", "nan", "1e400") are refused by the same rule everywhere.
double ParseNumber(std::string_view text, const std::string& option) {
    double value = 0.0;
    const char* first = text.data();
    const char* last = text.data() + text.size();
    if (first != last && *first == '+')
        ++first;
    const auto [end, error] = std::from_chars(first, last, value);
    if (text.empty() || end != last || error != std::errc() || !std::isfinite(value))
        throw InputError(option + ": '" + std::string(text) + "' is not a finite number");
    return value;
}

long long ParseWhole(std::string_view text, const std::string& option) {
    long long value = 0;
    const char* first = text.data();
    const char* last = text.data() + text.size();
    if (first != last && *first == '+')
        ++first;
    const auto [end, error] = std::from_chars(first, last, value);
    if (text.empty() || end != last || error != std::errc())
        throw InputError(option + ": '" + std::string(text) + "' is not a whole number");
    return value;
}

template <size_t N> std::array<double, N> ParseList(const std::string& text, const std::string& option) {
    std::array<double, N> values{};
    size_t start = 0;
    for (size_t i = 0; i < N; ++i) {
        const size_t comma = text.find(',', start);
        if ((i + 1 < N) == (comma == std::string::npos))
            throw InputError(option + ": expected " + std::to_string(N) +
                             " numbers separated by commas, got '" + text + "'");
        const size_t end = comma == std::string::npos ? text.size() : comma;
        values[i] = ParseNumber(std::string_view(text).substr(start, end - start), option);
        start = end + 1;
    }
    return values;
}

void ParseSize(const std::string& text, int& width, int& height) {
    const size_t cross = text.find('x');
    auto dimension = [&](std::string_view part) {
        long long value = 0;
        const auto [end, error] = std::from_chars(part.data(), part.data() + part.size(), value);
        if (part.empty() || end != part.data() + part.size() || error != std::errc())
            throw InputError("--size: expected WIDTHxHEIGHT in pixels, got '" + text + "'");
        if (value < 1 || value > Options::MAX_SIZE)
            throw InputError("--size: " + std::string(part) + " is outside 1.." +
                             std::to_string(Options::MAX_SIZE));
        return int(value);
    };
    if (cross == std::string::npos)
        throw InputError("--size: expected WIDTHxHEIGHT in pixels, got '" + text + "'");
    width = dimension(std::string_view(text).substr(0, cross));
    height = dimension(std::string_view(text).substr(cross + 1));
}

template <typename Value> using Choices = std::vector<std::pair<const char*, Value>>;

template <typename Value>
Value ParseChoice(const std::string& text, const std::string& option, const Choices<Value>& choices) {
    std::string names;
    for (const auto& [name, value] : choices) {
        if (text == name)
            return value;
        names += (names.empty() ? "" : ", ") + std::string(name);
    }
    throw InputError(option + ": '" + text + "' is not one of " + names);
}

// Stores into `field` the value of the name typed.
template <typename Value>
std::function<void(const std::string&, const std::string&)> Choice(Value& field, Choices<Value> choices) {
    return [&field, choices = std::move(choices)](const std::string& text, const std::string& flag) {
        field = ParseChoice(text, flag, choices);
    };
}

// An option whose text is handed to `store` as typed; the first long name is the one messages use.
CLI::Option* AddText(CLI::App& app, const std::string& names, const std::string& type,
                     const std::string& description,
                     std::function<void(const std::string&, const std::string&)> store) {
    const std::string flag = names.substr(names.rfind(',') + 1);
    return app
        .add_option_function<std::string>(
            names, [flag, store = std::move(store)](const std::string& text) { store(text, flag); },
            description)
        ->type_name(type);
}

void ThrowOutside(const std::string& option, double value, const std::string& range) {
    throw InputError(option + ": " + Options::FormatNumber(value) + " is outside " + range);
}

} // namespace

const char* Options::GetProjectionName(Projection projection) {
    switch (projection) {
    case Projection::eNone:
        return "none";
    case Projection::eFisheye:
        return "fisheye";
    case Projection::eCylindrical:
        return "cylindrical";
    case Projection::eEquirect:
        return "equirect";
    }
    return "?";
}

std::string Options::FormatNumber(double value) {
    char text[32];
    const auto result = std::to_chars(text, text + sizeof text, value);
    return std::string(text, result.ptr);
}

double Options::GetFovDegrees() const {
    if (fov_degrees)
        return *fov_degrees;
    switch (projection) {
    case Projection::eNone:
        return 60.0;
    case Projection::eFisheye:
    case Projection::eCylindrical:
        return 180.0;
    case Projection::eEquirect:
        return 360.0;
    }
    return 60.0;
}

SortKey Options::GetSortKey() const {
    if (sort_key != SortKey::eAuto)
        return sort_key;
    return projection != Projection::eNone || GetFovDegrees() > 90.0 ? SortKey::eDistance
                                                                     : SortKey::eDirection;
}

double Options::GetSubdividePixels() const {
    if (projection == Projection::eNone)
        return 0.0;
    return subdivide_pixels.value_or(DEFAULT_SUBDIVIDE_PIXELS);
}

std::string Options::GetFramePath(int index) const {
    if (frames == 1 || WritesToStandardOutput())
        return output;
    const std::filesystem::path path(output);
    char number[16];
    std::snprintf(number, sizeof number, "_%04d", index);
    return (path.parent_path() / (path.stem().string() + number + path.extension().string())).string();
}

std::string Options::GetVersionText() {
    // The information string is plain ASCII; widen-to-narrow by character is exact for it.
    std::string text;
    for (const wchar_t* character = Vantrel_XX_xx_00_00::__g_zellibrary_info; *character != L'\0';
         ++character)
        text.push_back(char(*character));
    return text;
}

void Options::Register(CLI::App& app, Options& options) {
    Options* const o = &options;
    // For a plain or an optional number alike.
    auto number = [](auto& field) {
        return
            [&field](const std::string& text, const std::string& flag) { field = ParseNumber(text, flag); };
    };
    app.add_option("meshes", options.meshes,
                   "model files: STL (binary or ASCII) or OBJ; each becomes one mesh [default: the "
                   "built-in scene]")
        ->type_name("FILE");
    app.add_option("-o,--output", options.output,
                   "output PNG, - for standard output; with --frames N > 1, NAME_0000.png ... "
                   "[default: out.png]")
        ->type_name("PATH");
    AddText(app, "--size", "WxH", "image size WIDTHxHEIGHT, each 1..16384 [default: 1280x720]",
            [o](const std::string& text, const std::string&) { ParseSize(text, o->width, o->height); });
    AddText(app, "--projection", "NAME", "none|fisheye|cylindrical|equirect [default: none]",
            Choice(options.projection, {{"none", Projection::eNone},
                                        {"fisheye", Projection::eFisheye},
                                        {"cylindrical", Projection::eCylindrical},
                                        {"equirect", Projection::eEquirect}}));
    AddText(app, "--fov", "DEG",
            "horizontal field of view in degrees, 1..179 for none, 1..360 for the others [default: 60 "
            "none, 180 fisheye and cylindrical, 360 equirect]",
            number(options.fov_degrees));
    AddText(app, "--scene", "NAME",
            "built-in scene when no model file is given: objects|room [default: objects]",
            Choice(options.scene, {{"objects", SceneKind::eObjects}, {"room", SceneKind::eRoom}}));
    AddText(app, "--sort-key", "KEY",
            "order of the transparent triangles: auto|direction|distance; auto is distance from the "
            "eye for the panoramic projections and fields of view above 90 degrees [default: auto]",
            Choice(options.sort_key, {{"auto", SortKey::eAuto},
                                      {"direction", SortKey::eDirection},
                                      {"distance", SortKey::eDistance}}));
    AddText(app, "--subdivide", "PX",
            "panoramic projections: an edge whose projected midpoint strays more than PX pixels "
            "(0..100) from the midpoint of its projected ends is split; 0 = off [default: 0.5]",
            number(options.subdivide_pixels));
    AddText(app, "--alpha", "A",
            "opacity of the model files' meshes, 0 < A <= 1, times their material's (OBJ d); below 1 "
            "they are drawn transparent: sorted back to front, or with a texture blended whole, farthest "
            "first [default: 1]",
            number(options.alpha));
    AddText(app, "--animate", "SCALE",
            "displace points along their normals by SCALE model units (in a sequence, SCALE x cos(2 "
            "pi frame / N)) [default: 0 for files, 1 for the built-in scene]",
            number(options.animate));
    AddText(app, "--clip", "A,B,C,D",
            "clip the world at a plane, keeping A x + B y + C z + D >= 0 [default: none]",
            [o](const std::string& text, const std::string& flag) { o->clip = ParseList<4>(text, flag); });
    app.add_flag("--gizmo", options.gizmo,
                 "overlay the bounding-box gizmo of the transparent objects [default: off]");
    app.add_option("--label", options.label,
                   "overlay TEXT with a bold arrow pointing at the top of the gizmo's box [default: none]")
        ->type_name("TEXT");
    AddText(app, "--frames", "N", "number of frames of an orbit sequence, 1..100000 [default: 1]",
            [o](const std::string& text, const std::string& flag) {
                const long long value = ParseWhole(text, flag);
                if (value < 1 || value > MAX_FRAMES)
                    throw InputError(flag + ": " + text + " is outside 1.." + std::to_string(MAX_FRAMES));
                o->frames = int(value);
            });
    AddText(app, "--orbit", "DEG",
            "total angle in degrees the camera turns about the vertical axis over the sequence [default: 0]",
            number(options.orbit_degrees));
    AddText(app, "--skip-sort-deg", "T",
            "skip-sort tolerance T, 0..360: the transparent triangles are re-sorted only once the view "
            "has turned by T/2 degrees since the last sort [default: 0]",
            number(options.skip_sort_degrees));
    app.add_flag("--stats", options.stats,
                 "print one line per frame: triangles, sorted or skipped, milliseconds per stage (to "
                 "standard error when the image goes to standard output) [default: off]");
    AddText(app, "--eye", "X,Y,Z", "camera position X,Y,Z in model units [default: framed automatically]",
            [o](const std::string& text, const std::string& flag) {
                const auto values = ParseList<3>(text, flag);
                o->eye = MMPoint3d<double>{values[0], values[1], values[2]};
            });
    AddText(app, "--target", "X,Y,Z",
            "point looked at, X,Y,Z [default: the centre of the scene; in the room, the room's view "
            "direction from the eye]",
            [o](const std::string& text, const std::string& flag) {
                const auto values = ParseList<3>(text, flag);
                o->target = MMPoint3d<double>{values[0], values[1], values[2]};
            });
}

void Options::Validate() const {
    if (output.empty())
        throw InputError("--output: the path is empty");
    if (fov_degrees) {
        const double limit =
            projection == Projection::eNone ? MAX_PERSPECTIVE_FOV_DEGREES : MAX_PANORAMIC_FOV_DEGREES;
        if (!(*fov_degrees >= MIN_FOV_DEGREES && *fov_degrees <= limit))
            ThrowOutside("--fov", *fov_degrees,
                         FormatNumber(MIN_FOV_DEGREES) + ".." + FormatNumber(limit) +
                             " degrees for --projection " + GetProjectionName(projection));
    }
    if (subdivide_pixels && !(*subdivide_pixels >= 0.0 && *subdivide_pixels <= MAX_SUBDIVIDE_PIXELS))
        ThrowOutside("--subdivide", *subdivide_pixels,
                     "0.." + FormatNumber(MAX_SUBDIVIDE_PIXELS) + " pixels");
    if (!(alpha > 0.0 && alpha <= 1.0))
        ThrowOutside("--alpha", alpha, "(0, 1]");
    if (clip && (*clip)[0] == 0.0 && (*clip)[1] == 0.0 && (*clip)[2] == 0.0)
        throw InputError("--clip: the plane's normal A,B,C must not be zero");
    if (!(skip_sort_degrees >= 0.0 && skip_sort_degrees <= 360.0))
        ThrowOutside("--skip-sort-deg", skip_sort_degrees, "0..360");
    if (eye && target && *eye == *target)
        throw InputError("--eye and --target must differ");
}

bool Options::ParseCommandLine(CLI::App& app, int argc, const char* const* argv, std::ostream& out) {
    bool version = false;
    app.get_formatter()->column_width(30);
    app.add_flag("--version", version, "print the library's information string and exit");
    try {
        app.parse(argc, argv);
    } catch (const CLI::CallForHelp&) {
        out << app.help();
        return false;
    } catch (const CLI::ParseError& error) {
        throw InputError(std::string(error.what()) + " (see --help)");
    }
    if (version) {
        out << GetVersionText() << "\n";
        return false;
    }
    return true;
}

std::optional<Options> Options::Parse(int argc, const char* const* argv, std::ostream& out) {
    Options options;
    CLI::App app("Renders model files (or a built-in scene) through the Vantrel library on the panoramic "
                 "software device and writes PNG images.",
                 "vantrel-render");
    Register(app, options);
    if (!ParseCommandLine(app, argc, argv, out))
        return std::nullopt;
    options.Validate();
    return options;
}
