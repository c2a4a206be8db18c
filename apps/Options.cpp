#include "apps/Options.h"

#include "apps/InputError.h"
#include "module/VersionRecord.h"

#include <CLI/CLI.hpp>

#include <charconv>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <map>
#include <sstream>

namespace {

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

} // namespace

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

std::string Options::GetFramePath(int index) const {
    if (frames == 1)
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

std::optional<Options> Options::Parse(int argc, const char* const* argv, std::ostream& out) {
    Options options;
    std::string size = "1280x720", projection = "none", eye, target, clip;
    double fov = 0.0, animate = 0.0;
    bool version = false;

    CLI::App app("Renders STL meshes (or a built-in scene) through the Vantrel library on the panoramic "
                 "software device and writes PNG images.",
                 "vantrel-render");
    app.get_formatter()->column_width(30);
    app.add_option("meshes", options.meshes,
                   "STL files, binary or ASCII; each becomes one mesh [default: the built-in scene]")
        ->type_name("FILE");
    app.add_option("-o,--output", options.output,
                   "output PNG; with --frames N > 1, NAME_0000.png ... [default: out.png]")
        ->type_name("PATH");
    app.add_option("--size", size, "image size WIDTHxHEIGHT, each 1..16384 [default: 1280x720]")
        ->type_name("WxH");
    app.add_option("--projection", projection, "none|fisheye|cylindrical|equirect [default: none]")
        ->check(CLI::IsMember({"none", "fisheye", "cylindrical", "equirect"}))
        ->type_name("NAME");
    CLI::Option* fov_option = app.add_option(
        "--fov", fov,
        "horizontal field of view in degrees [default: 60 none, 180 fisheye and cylindrical, 360 equirect]");
    fov_option->type_name("DEG");
    app.add_option("--alpha", options.alpha,
                   "opacity of the mesh files' meshes, 0 < A <= 1; below 1 they are drawn transparent, "
                   "sorted back to front [default: 1]")
        ->type_name("A");
    CLI::Option* animate_option =
        app.add_option("--animate", animate,
                       "displace points along their normals by SCALE model units (in a sequence, "
                       "SCALE x cos(2 pi frame / N)) [default: 0 for files, 1 for the built-in scene]");
    animate_option->type_name("SCALE");
    app.add_flag("--gouraud", options.gouraud,
                 "smooth (Gouraud) normals for transparent meshes [default: off]");
    app.add_option("--clip", clip,
                   "clip the world at a plane, keeping A x + B y + C z + D >= 0 [default: none]")
        ->type_name("A,B,C,D");
    app.add_flag("--gizmo", options.gizmo,
                 "overlay the bounding-box gizmo of the transparent objects [default: off]");
    app.add_option("--label", options.label,
                   "overlay TEXT with a bold arrow pointing at the top of the gizmo's box [default: none]")
        ->type_name("TEXT");
    app.add_option("--frames", options.frames, "number of frames of an orbit sequence [default: 1]")
        ->type_name("N");
    app.add_option("--orbit", options.orbit_degrees,
                   "total angle in degrees the camera turns about the vertical axis over the sequence "
                   "[default: 0]")
        ->type_name("DEG");
    app.add_option("--skip-sort-deg", options.skip_sort_degrees,
                   "skip-sort tolerance T: the transparent triangles are re-sorted only once the view "
                   "has turned by T/2 degrees since the last sort [default: 0]")
        ->type_name("T");
    app.add_flag(
        "--stats", options.stats,
        "print one line per frame: triangles, sorted or skipped, milliseconds per stage [default: off]");
    app.add_option("--eye", eye, "camera position X,Y,Z in model units [default: framed automatically]")
        ->type_name("X,Y,Z");
    app.add_option("--target", target, "point looked at, X,Y,Z [default: the centre of the scene]")
        ->type_name("X,Y,Z");
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
        out << GetVersionText() << "\n";
        return std::nullopt;
    }

    ParseSize(size, options.width, options.height);
    static const std::map<std::string, Projection> PROJECTIONS = {{"none", Projection::eNone},
                                                                  {"fisheye", Projection::eFisheye},
                                                                  {"cylindrical", Projection::eCylindrical},
                                                                  {"equirect", Projection::eEquirect}};
    options.projection = PROJECTIONS.at(projection);
    if (fov_option->count() > 0) {
        const double limit = options.projection == Projection::eNone ? 179.0 : 360.0;
        if (!std::isfinite(fov) || fov <= 0.0 || fov > limit)
            throw InputError("--fov: " + std::to_string(fov) + " is outside (0, " +
                             std::to_string(int(limit)) + "] degrees");
        options.fov_degrees = fov;
    }
    if (!std::isfinite(options.alpha) || options.alpha <= 0.0 || options.alpha > 1.0)
        throw InputError("--alpha: must lie in (0, 1]");
    if (animate_option->count() > 0) {
        if (!std::isfinite(animate))
            throw InputError("--animate: must be a finite number");
        options.animate = animate;
    }
    if (!clip.empty()) {
        options.clip = ParseList<4>(clip, "--clip");
        const auto& plane = *options.clip;
        if (plane[0] == 0.0 && plane[1] == 0.0 && plane[2] == 0.0)
            throw InputError("--clip: the plane's normal A,B,C must not be zero");
    }
    if (options.frames < 1 || options.frames > 100000)
        throw InputError("--frames: must lie in 1..100000");
    if (!std::isfinite(options.orbit_degrees))
        throw InputError("--orbit: must be a finite number");
    if (!std::isfinite(options.skip_sort_degrees) || options.skip_sort_degrees < 0.0 ||
        options.skip_sort_degrees > 360.0)
        throw InputError("--skip-sort-deg: must lie in 0..360");
    if (!eye.empty()) {
        const auto values = ParseList<3>(eye, "--eye");
        options.eye = MMPoint3d<double>{values[0], values[1], values[2]};
    }
    if (!target.empty()) {
        const auto values = ParseList<3>(target, "--target");
        options.target = MMPoint3d<double>{values[0], values[1], values[2]};
    }
    if (options.eye && options.target && *options.eye == *options.target)
        throw InputError("--eye and --target must differ");
    return options;
}
