// The vantrel-render command line: every option's boundary values accepted and refused (parsed in
// process, as the program parses them), the program's statuses and messages, and the --stats lines
// of an orbit. Pictures and output files have suites of their own (PixelTest, OutputTest).
#include "apps/InputError.h"
#include "apps/Options.h"
#include "tests/apps/ProgramRun.h"
#include "tests/apps/StlTestFiles.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

using ::testing::ElementsAre;
using ::testing::HasSubstr;
using ::testing::StartsWith;

namespace {

// Parses `arguments` as the program would; the message of the InputError, or "" when accepted.
std::string ParseMessage(const std::vector<std::string>& arguments, Options* parsed = nullptr) {
    std::vector<const char*> argv = {"vantrel-render"};
    for (const std::string& argument : arguments)
        argv.push_back(argument.c_str());
    std::ostringstream out;
    try {
        const std::optional<Options> options = Options::Parse(int(argv.size()), argv.data(), out);
        if (options && parsed != nullptr)
            *parsed = *options;
        return "";
    } catch (const InputError& error) {
        return error.what();
    }
}

struct Boundary {
    std::vector<std::string> arguments;
    const char* refusal; // the message's start, or nullptr when the arguments are accepted
};

// Each option at and just beyond its limits. Numbers in messages appear as the user wrote them (or
// in their shortest exact form), never rounded.
const Boundary BOUNDARIES[] = {
    {{"--size", "1x1"}, nullptr},
    {{"--size", "16384x16384"}, nullptr},
    {{"--size", "0x10"}, "--size: 0 is outside 1..16384"},
    {{"--size", "10x16385"}, "--size: 16385 is outside 1..16384"},
    {{"--size", "640"}, "--size: expected WIDTHxHEIGHT in pixels, got '640'"},
    {{"--size", "10x-1"}, "--size: -1 is outside"},
    {{"--size", "10x10x"}, "--size: expected WIDTHxHEIGHT"},
    {{"--fov", "1"}, nullptr},
    {{"--fov", "179"}, nullptr},
    {{"--fov", "0.999"}, "--fov: 0.999 is outside 1..179 degrees for --projection none"},
    {{"--fov", "179.5"}, "--fov: 179.5 is outside 1..179 degrees"},
    {{"--fov", "0"}, "--fov: 0 is outside 1..179"},
    {{"--fov", "1e-300"}, "--fov: 1e-300 is outside"},
    {{"--fov", "-90"}, "--fov: -90 is outside"},
    {{"--fov", "1e400"}, "--fov: '1e400' is not a finite number"},
    {{"--fov", "nan"}, "--fov: 'nan' is not a finite number"},
    {{"--fov", "abc"}, "--fov: 'abc' is not a finite number"},
    {{"--projection", "fisheye", "--fov", "360"}, nullptr},
    {{"--projection", "fisheye", "--fov", "360.5"},
     "--fov: 360.5 is outside 1..360 degrees for --projection fisheye"},
    {{"--projection", "cylindrical", "--fov", "0.5"},
     "--fov: 0.5 is outside 1..360 degrees for --projection cylindrical"},
    {{"--projection", "equirect", "--fov", "1"}, nullptr},
    {{"--projection", "mercator"},
     "--projection: 'mercator' is not one of none, fisheye, cylindrical, equirect"},
    {{"--scene", "room"}, nullptr},
    {{"--scene", "hall"}, "--scene: 'hall' is not one of objects, room"},
    {{"--sort-key", "distance"}, nullptr},
    {{"--sort-key", "depth"}, "--sort-key: 'depth' is not one of auto, direction, distance"},
    {{"--subdivide", "0"}, nullptr},
    {{"--subdivide", "100"}, nullptr},
    {{"--subdivide", "-0.1"}, "--subdivide: -0.1 is outside 0..100 pixels"},
    {{"--subdivide", "100.5"}, "--subdivide: 100.5 is outside"},
    {{"--subdivide", "inf"}, "--subdivide: 'inf' is not a finite number"},
    {{"--alpha", "1"}, nullptr},
    {{"--alpha", "1e-9"}, nullptr},
    {{"--alpha", "0"}, "--alpha: 0 is outside (0, 1]"},
    {{"--alpha", "1.0000001"}, "--alpha: 1.0000001 is outside (0, 1]"},
    {{"--animate", "-3.5"}, nullptr},
    {{"--animate", "-nan"}, "--animate: '-nan' is not a finite number"},
    {{"--clip", "0,0,1,-2"}, nullptr},
    {{"--clip", "0,0,0,1"}, "--clip: the plane's normal A,B,C must not be zero"},
    {{"--clip", "1,2,3"}, "--clip: expected 4 numbers separated by commas, got '1,2,3'"},
    {{"--clip", "1,2,3,4,5"}, "--clip: expected 4 numbers"},
    {{"--clip", "1,,3,4"}, "--clip: '' is not a finite number"},
    {{"--frames", "1"}, nullptr},
    {{"--frames", "100000"}, nullptr},
    {{"--frames", "0"}, "--frames: 0 is outside 1..100000"},
    {{"--frames", "100001"}, "--frames: 100001 is outside 1..100000"},
    {{"--frames", "2.5"}, "--frames: '2.5' is not a whole number"},
    {{"--orbit", "-720"}, nullptr},
    {{"--orbit", "1e309"}, "--orbit: '1e309' is not a finite number"},
    {{"--skip-sort-deg", "0"}, nullptr},
    {{"--skip-sort-deg", "360"}, nullptr},
    {{"--skip-sort-deg", "-1e-9"}, "--skip-sort-deg: -1e-09 is outside 0..360"},
    {{"--skip-sort-deg", "360.25"}, "--skip-sort-deg: 360.25 is outside 0..360"},
    {{"--eye", "1,2,3", "--target", "1,2,4"}, nullptr},
    {{"--eye", "1,2,3", "--target", "1,2,3"}, "--eye and --target must differ"},
    {{"--eye", "1,2"}, "--eye: expected 3 numbers"},
    {{"--target", "1,2,x"}, "--target: 'x' is not a finite number"},
    {{"-o", ""}, "--output: the path is empty"},
    {{"--gouraud"}, "The following argument was not expected: --gouraud"},
};

} // namespace

TEST(OptionsTest, EveryOptionAcceptsItsBoundariesAndRefusesWhatLiesBeyond) {
    for (const Boundary& boundary : BOUNDARIES) {
        const std::string message = ParseMessage(boundary.arguments);
        const std::string what = ::testing::PrintToString(boundary.arguments);
        if (boundary.refusal == nullptr)
            EXPECT_EQ(message, "") << what << " must be accepted";
        else
            EXPECT_THAT(message, StartsWith(boundary.refusal)) << what;
    }
}

TEST(OptionsTest, ValuesReachTheirFieldsAndDefaultsResolveByProjection) {
    Options options;
    ASSERT_EQ(ParseMessage({"a.stl",   "b.obj", "--size",  "3x16384", "--clip",      "1,-2,+3,4.5",
                            "--eye",   "1,2,3", "--fov",   "12.5",    "--frames",    "7",
                            "--orbit", "-30",   "--scene", "room",    "--subdivide", "0.25",
                            "--alpha", "0.5",   "-o",      "x/y.png"},
                           &options),
              "");
    EXPECT_THAT(options.meshes, ElementsAre("a.stl", "b.obj"));
    EXPECT_EQ(options.width, 3);
    EXPECT_EQ(options.height, 16384);
    EXPECT_EQ(options.clip, (std::array<double, 4>{1, -2, 3, 4.5}));
    EXPECT_EQ(options.eye, (MMPoint3d<double>{1, 2, 3}));
    EXPECT_EQ(options.GetFovDegrees(), 12.5);
    EXPECT_EQ(options.frames, 7);
    EXPECT_EQ(options.orbit_degrees, -30.0);
    EXPECT_EQ(options.scene, SceneKind::eRoom);
    EXPECT_EQ(options.alpha, 0.5);
    EXPECT_EQ(options.GetFramePath(0), "x/y_0000.png");
    EXPECT_EQ(options.GetFramePath(6), "x/y_0006.png");
    EXPECT_EQ(options.GetSubdividePixels(), 0.0) << "no subdivision for the plain projection";

    // Projection and field of view against what they resolve to.
    const struct {
        std::vector<std::string> arguments;
        double fov;
        SortKey sort_key;
        double subdivide;
    } resolved[] = {
        {{}, 60, SortKey::eDirection, 0},
        {{"--fov", "90"}, 90, SortKey::eDirection, 0},
        {{"--fov", "90.5"}, 90.5, SortKey::eDistance, 0},
        {{"--fov", "120", "--sort-key", "direction"}, 120, SortKey::eDirection, 0},
        {{"--projection", "fisheye"}, 180, SortKey::eDistance, 0.5},
        {{"--projection", "cylindrical", "--fov", "30"}, 30, SortKey::eDistance, 0.5},
        {{"--projection", "equirect", "--subdivide", "0"}, 360, SortKey::eDistance, 0},
        {{"--projection", "equirect", "--sort-key", "direction", "--subdivide", "2"},
         360,
         SortKey::eDirection,
         2},
        {{"--sort-key", "distance"}, 60, SortKey::eDistance, 0},
    };
    for (const auto& row : resolved) {
        Options parsed;
        ASSERT_EQ(ParseMessage(row.arguments, &parsed), "");
        const std::string what = ::testing::PrintToString(row.arguments);
        EXPECT_EQ(parsed.GetFovDegrees(), row.fov) << what;
        EXPECT_EQ(parsed.GetSortKey(), row.sort_key) << what;
        EXPECT_EQ(parsed.GetSubdividePixels(), row.subdivide) << what;
    }
}

namespace {

using ProgramTest = ProgramFolderTest;

std::vector<std::string> SortDecisions(const std::string& stats) {
    std::vector<std::string> decisions;
    std::istringstream lines(stats);
    for (std::string line; std::getline(lines, line);) {
        const size_t at = line.find("sort=");
        if (at != std::string::npos)
            decisions.push_back(line.substr(at + 5, line.find(' ', at) - at - 5));
    }
    return decisions;
}

} // namespace

TEST_F(ProgramTest,
       HelpListsEveryOptionVersionPrintsTheInformationStringAndBadInputEndsInOneLineLeavingNoFile) {
    const ProgramResult help = Run({"--help"});
    EXPECT_EQ(help.status, 0);
    for (const char* option : {"--output",   "--size",      "--projection", "--fov",     "--scene",
                               "--sort-key", "--subdivide", "--alpha",      "--animate", "--clip",
                               "--gizmo",    "--label",     "--frames",     "--orbit",   "--skip-sort-deg",
                               "--stats",    "--eye",       "--target",     "--version", "--help"})
        EXPECT_THAT(help.out, HasSubstr(option));
    EXPECT_THAT(help.out, HasSubstr("[default: 1280x720]"));
    EXPECT_THAT(help.out, HasSubstr("more than PX pixels")) << "the subdivision tolerance is stated";
    const ProgramResult version = Run({"--version"});
    EXPECT_EQ(version.status, 0);
    EXPECT_EQ(version.out, Options::GetVersionText() + "\n");
    EXPECT_THAT(version.out, StartsWith("<ZelLibrary::Dynamic::Vantrel::"));

    mo_folder.Write("empty.stl", std::string());
    mo_folder.Write("good.stl", MakeBinaryStl(UnitSquare()));
    const struct {
        std::vector<std::string> arguments;
        const char* message;
    } cases[] = {
        {{"missing.stl"}, "missing.stl"},
        {{"good.stl", "empty.stl"}, "empty.stl"},
        {{"--fov", "0"}, "--fov: 0 is outside"},
        {{"--no-such-option"}, "The following argument was not expected: --no-such-option"},
    };
    for (const auto& bad : cases) {
        const ProgramResult result = Run(bad.arguments);
        const std::string what = ::testing::PrintToString(bad.arguments);
        ExpectOneLineRefusal(result, std::string("vantrel-render: ") + bad.message, what);
        EXPECT_EQ(result.out, "") << what;
        EXPECT_THAT(mo_folder.List(), ElementsAre("empty.stl", "good.stl")) << what;
    }
}

TEST_F(ProgramTest, OrbitSequenceSkipsSortsWithinTheToleranceAndSortsBeyondIt) {
    // Level camera: the view direction turns by exactly the orbit step, 4 degrees per frame. With
    // a tolerance of 20 degrees, a sort is skipped until the view has turned by 10 degrees.
    const std::vector<std::string> common = {"--size",  "32x24",    "--eye", "0,-200,20", "--target",
                                             "0,0,20",  "--frames", "6",     "--orbit",   "24",
                                             "--stats", "-o",       "f.png"};
    auto with = [&](const char* tolerance) {
        std::vector<std::string> arguments = common;
        arguments.insert(arguments.end(), {"--skip-sort-deg", tolerance});
        return arguments;
    };
    const ProgramResult tolerant = Run(with("20"));
    ASSERT_EQ(tolerant.status, 0) << tolerant.err;
    EXPECT_THAT(SortDecisions(tolerant.out),
                ElementsAre("sorted", "skipped", "skipped", "sorted", "skipped", "skipped"));
    const ProgramResult strict = Run(with("0"));
    EXPECT_THAT(SortDecisions(strict.out),
                ElementsAre("sorted", "sorted", "sorted", "sorted", "sorted", "sorted"));
    EXPECT_THAT(mo_folder.List(), ElementsAre("f_0000.png", "f_0001.png", "f_0002.png", "f_0003.png",
                                              "f_0004.png", "f_0005.png"));
    EXPECT_THAT(tolerant.out, HasSubstr("frame=0 triangles="));
    EXPECT_THAT(tolerant.out, HasSubstr(" prepare_ms="));
    EXPECT_EQ(tolerant.err, "") << "no progress bar when standard error is not a terminal";
}
