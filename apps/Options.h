#pragma once
// Options: the command line of vantrel-render, parsed with CLI11 and checked.
// Call order: Parse does it all (returns nothing when --help or --version has been answered,
// printed to `out`). A program with flags of its own calls Register on its CLI::App, adds them,
// calls ParseCommandLine, then Validate. Bad input throws InputError with a one-line message that
// quotes numbers as the user typed them (or, for range errors, in their shortest exact form).
// Plain data after parsing.
// Units: degrees for angles, model units for positions, pixels for sizes and tolerances.
#include "host/math/MMPoint3d.h"

#include <array>
#include <optional>
#include <ostream>
#include <string>
#include <vector>

namespace CLI {
class App;
}

enum class Projection { eNone, eFisheye, eCylindrical, eEquirect };
// What is drawn when no model file is given.
enum class SceneKind { eObjects, eRoom };
// How the transparent triangles are ordered: along the view direction, or by distance from the eye.
enum class SortKey { eAuto, eDirection, eDistance };

struct Options {
    using SceneKind = ::SceneKind;
    using SortKey = ::SortKey;

    static constexpr int MAX_SIZE = 16384;
    // Below a degree the frame's scale in internal units loses the precision drawing needs.
    static constexpr double MIN_FOV_DEGREES = 1.0;
    static constexpr double MAX_PERSPECTIVE_FOV_DEGREES = 179.0;
    static constexpr double MAX_PANORAMIC_FOV_DEGREES = 360.0;
    static constexpr double DEFAULT_SUBDIVIDE_PIXELS = 0.5;
    static constexpr double MAX_SUBDIVIDE_PIXELS = 100.0;
    static constexpr int MAX_FRAMES = 100000;

    // Model files (STL or OBJ), one mesh each; empty: the built-in scene chosen by `scene`.
    std::vector<std::string> meshes;
    // "-" is standard output.
    std::string output = "out.png";
    int width = 1280;
    int height = 720;
    Projection projection = Projection::eNone;
    SceneKind scene = SceneKind::eObjects;
    SortKey sort_key = SortKey::eAuto;
    // Largest bend of a drawn edge, in pixels, before the panoramic device splits it; 0 = off.
    std::optional<double> subdivide_pixels;
    std::optional<double> fov_degrees;
    double alpha = 1.0;
    std::optional<double> animate;
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
    // The sort key in force: auto means distance for the panoramic projections and for fields of
    // view above 90 degrees, direction otherwise.
    SortKey GetSortKey() const;
    // The subdivision tolerance in force, in pixels: 0 (off) for the plain projection, otherwise
    // --subdivide or its default.
    double GetSubdividePixels() const;
    // Whether the images go to standard output (--output -).
    bool WritesToStandardOutput() const { return output == "-"; }
    // The output file of frame `index`: the --output path itself for a single frame (or standard
    // output), otherwise with _0000, _0001 ... before its extension.
    std::string GetFramePath(int index) const;

    // Adds every option of the renderer's scene, view and output to `app`, writing into `options`
    // (which must outlive the parse). Values are converted while parsing; ranges are left to
    // Validate, since some depend on others (the field of view's on the projection).
    static void Register(CLI::App& app, Options& options);
    // Throws InputError naming the first option out of range.
    void Validate() const;
    // Adds --version to `app` (after the caller's own options), parses, and answers --help and
    // --version on `out`: false when one was answered. A malformed command line throws InputError.
    static bool ParseCommandLine(CLI::App& app, int argc, const char* const* argv, std::ostream& out);
    static std::optional<Options> Parse(int argc, const char* const* argv, std::ostream& out);
    // What --version prints: the module's information string.
    static std::string GetVersionText();
    // The name --projection takes for `projection`.
    static const char* GetProjectionName(Projection projection);
    // `value` in its shortest form that reads back exactly: 0, 0.5, 1e-300.
    static std::string FormatNumber(double value);
};
