#pragma once
// Options: the command line of vantrel-render, parsed with CLI11 and checked. Parse returns the
// options, or nothing when --help or --version has been answered (printed to `out`); bad input
// throws InputError with a one-line message. Plain data after parsing.
#include "host/math/MMPoint3d.h"

#include <array>
#include <optional>
#include <ostream>
#include <string>
#include <vector>

enum class Projection { eNone, eFisheye, eCylindrical, eEquirect };

struct Options {
    static constexpr int MAX_SIZE = 16384;

    std::vector<std::string> meshes;
    std::string output = "out.png";
    int width = 1280;
    int height = 720;
    Projection projection = Projection::eNone;
    std::optional<double> fov_degrees;
    double alpha = 1.0;
    std::optional<double> animate;
    bool gouraud = false;
    std::optional<std::array<double, 4>> clip;
    bool gizmo = false;
    std::string label;
    int frames = 1;
    double orbit_degrees = 0.0;
    double skip_sort_degrees = 0.0;
    bool stats = false;
    std::optional<MMPoint3d<double>> eye;
    std::optional<MMPoint3d<double>> target;

    // The field of view in force: --fov, or the projection's default.
    double GetFovDegrees() const;
    // The output file of frame `index`: the --output path itself for a single frame, otherwise
    // with _0000, _0001 ... before its extension.
    std::string GetFramePath(int index) const;

    static std::optional<Options> Parse(int argc, const char* const* argv, std::ostream& out);
    // What --version prints: the module's information string.
    static std::string GetVersionText();
};
