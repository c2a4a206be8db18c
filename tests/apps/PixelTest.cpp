// What the program draws, read back from the PNG it wrote: two coloured panels in front of the
// camera, checked pixel by pixel against a ray cast written here from the projections' equations.
// Pixels within EDGE_MARGIN pixels of a panel's outline are not judged (edge rasterization and
// straight edges under curved projections may differ there); every other pixel must show the
// background colour exactly, or its panel's hue. Catches scrambled rows or channels in the writer,
// mirrored or shifted images, and wrong projection equations.
#include "apps/FrameRenderer.h"
#include "apps/Options.h"
#include "tests/apps/ProgramRun.h"
#include "tests/apps/StlTestFiles.h"

#include <gtest/gtest.h>

#include <cmath>
#include <numbers>

namespace {

constexpr int EDGE_MARGIN = 2;
constexpr double EYE_DISTANCE = 4.0;

enum class Seen { eBackground, eLeftPanel, eRightPanel };

struct Panel {
    double x0, x1, z0, z1;
};
// In the plane y = 0, facing the eye at y = -EYE_DISTANCE. Different heights, so that a mirror in
// either direction changes the picture.
constexpr Panel LEFT_PANEL = {-2.0, -0.5, 0.0, 1.5};
constexpr Panel RIGHT_PANEL = {0.5, 2.0, -1.5, 0.5};

// A panel as a grid of small quads, so that straight triangle edges stay close to the curves
// the panoramic projections make of them.
std::vector<StlTriangle> PanelMesh(const Panel& panel) {
    constexpr int STEPS = 8;
    std::vector<StlTriangle> triangles;
    auto corner = [&](int i, int k) {
        return std::array<float, 3>{float(panel.x0 + (panel.x1 - panel.x0) * i / STEPS), 0.0f,
                                    float(panel.z0 + (panel.z1 - panel.z0) * k / STEPS)};
    };
    for (int i = 0; i < STEPS; ++i)
        for (int k = 0; k < STEPS; ++k) {
            triangles.push_back({{0, -1, 0}, {corner(i, k), corner(i + 1, k), corner(i + 1, k + 1)}});
            triangles.push_back({{0, -1, 0}, {corner(i, k), corner(i + 1, k + 1), corner(i, k + 1)}});
        }
    return triangles;
}

struct View {
    const char* projection;
    double fov_degrees;
    int width, height;
    double orbit_degrees = 0.0; // where the eye stands on its circle about the target
};

// The direction of pixel (x, y)'s centre in eye coordinates (right, up, forward). The canvas is
// scaled by half the width in both directions (square pixels).
std::array<double, 3> PixelRay(const View& view, double x, double y) {
    const double u = (x + 0.5 - view.width / 2.0) / (view.width / 2.0);
    const double v = (view.height / 2.0 - (y + 0.5)) / (view.width / 2.0);
    const double half = view.fov_degrees * std::numbers::pi / 360.0;
    const std::string projection = view.projection;
    if (projection == "none")
        return {u * std::tan(half), v * std::tan(half), 1.0};
    if (projection == "fisheye") {
        const double radius = std::hypot(u, v);
        if (radius == 0.0)
            return {0.0, 0.0, 1.0};
        const double angle = radius * half;
        return {std::sin(angle) * u / radius, std::sin(angle) * v / radius, std::cos(angle)};
    }
    if (projection == "cylindrical")
        return {std::sin(u * half), v * half, std::cos(u * half)};
    const double longitude = u * half, latitude = v * half;
    return {std::cos(latitude) * std::sin(longitude), std::sin(latitude),
            std::cos(latitude) * std::cos(longitude)};
}

Seen Cast(const View& view, double x, double y) {
    const double turn = view.orbit_degrees * std::numbers::pi / 180.0;
    // The eye orbits the target (the origin) about the vertical z axis.
    const double eye_x = EYE_DISTANCE * std::sin(turn), eye_y = -EYE_DISTANCE * std::cos(turn);
    const double right_x = std::cos(turn), right_y = std::sin(turn);
    const double forward_x = -std::sin(turn), forward_y = std::cos(turn);
    const auto ray = PixelRay(view, x, y);
    const double direction_x = ray[0] * right_x + ray[2] * forward_x;
    const double direction_y = ray[0] * right_y + ray[2] * forward_y;
    const double direction_z = ray[1];
    if (!(direction_y * -eye_y > 0.0))
        return Seen::eBackground;
    const double distance = -eye_y / direction_y;
    const double hit_x = eye_x + distance * direction_x, hit_z = distance * direction_z;
    auto inside = [&](const Panel& panel) {
        return hit_x >= panel.x0 && hit_x <= panel.x1 && hit_z >= panel.z0 && hit_z <= panel.z1;
    };
    return inside(LEFT_PANEL)    ? Seen::eLeftPanel
           : inside(RIGHT_PANEL) ? Seen::eRightPanel
                                 : Seen::eBackground;
}

// Unknown (nullopt) near an outline.
std::optional<Seen> Expected(const View& view, int x, int y) {
    const Seen centre = Cast(view, x, y);
    for (int dy = -EDGE_MARGIN; dy <= EDGE_MARGIN; ++dy)
        for (int dx = -EDGE_MARGIN; dx <= EDGE_MARGIN; ++dx)
            if (Cast(view, x + dx, y + dy) != centre)
                return std::nullopt;
    return centre;
}

// The file meshes' first colours are blue-grey (170,185,205) and orange (230,140,40); whatever
// the shading, blue stays above red in the first and below it in the second.
bool Shows(const std::array<int, 3>& pixel, Seen seen) {
    const uint32_t background = FrameRenderer::BACKGROUND;
    const std::array<int, 3> background_rgb = {int(background & 0xFF), int((background >> 8) & 0xFF),
                                               int((background >> 16) & 0xFF)};
    switch (seen) {
    case Seen::eBackground:
        return pixel == background_rgb;
    case Seen::eLeftPanel:
        return pixel != background_rgb && pixel[2] > pixel[0];
    case Seen::eRightPanel:
        return pixel != background_rgb && pixel[0] > pixel[2] + 40;
    }
    return false;
}

class PixelTest : public ProgramFolderTest {
protected:
    void SetUp() override {
        mo_folder.Write("left.stl", MakeBinaryStl(PanelMesh(LEFT_PANEL)));
        mo_folder.Write("right.stl", MakeBinaryStl(PanelMesh(RIGHT_PANEL)));
    }

    ProgramResult Render(const View& view, const std::vector<std::string>& extra) {
        std::vector<std::string> arguments = {
            "left.stl",     "right.stl",
            "--projection", view.projection,
            "--fov",        Options::FormatNumber(view.fov_degrees),
            "--size",       std::to_string(view.width) + "x" + std::to_string(view.height),
            "--eye",        "0,-4,0",
            "--target",     "0,0,0"};
        arguments.insert(arguments.end(), extra.begin(), extra.end());
        return Run(arguments);
    }

    // Compares every judged pixel; returns how many of each kind were judged.
    std::array<int, 3> ExpectPicture(const RgbImage& image, const View& view, const std::string& what) {
        std::array<int, 3> judged = {0, 0, 0};
        EXPECT_EQ(image.width, view.width) << what;
        EXPECT_EQ(image.height, view.height) << what;
        if (image.width != view.width || image.height != view.height)
            return judged;
        int wrong = 0;
        for (int y = 0; y < view.height; ++y)
            for (int x = 0; x < view.width; ++x) {
                const std::optional<Seen> expected = Expected(view, x, y);
                if (!expected)
                    continue;
                ++judged[int(*expected)];
                const auto pixel = image.At(x, y);
                if (!Shows(pixel, *expected) && ++wrong <= 5)
                    ADD_FAILURE() << what << ": pixel (" << x << ", " << y << ") expected "
                                  << std::array{"background", "left panel", "right panel"}[int(*expected)]
                                  << ", actual rgb " << pixel[0] << "," << pixel[1] << "," << pixel[2];
            }
        EXPECT_EQ(wrong, 0) << what << ": pixels not showing what the ray cast sees";
        return judged;
    }
};

} // namespace

TEST_F(PixelTest, EveryProjectionDrawsThePanelsWhereARayCastSeesThem) {
    const View views[] = {{"none", 90, 160, 100},        {"none", 40, 120, 90},
                          {"fisheye", 120, 140, 140},    {"fisheye", 220, 120, 80},
                          {"cylindrical", 150, 160, 80}, {"equirect", 360, 240, 120},
                          {"equirect", 100, 100, 80}};
    for (const View& view : views) {
        const std::string what = std::string(view.projection) + " " + Options::FormatNumber(view.fov_degrees);
        const ProgramResult result = Render(view, {"-o", "picture.png"});
        ASSERT_EQ(result.status, 0) << what << ": " << result.err;
        const auto judged = ExpectPicture(ReadPng(mo_folder.Path("picture.png")), view, what);
        // Each panel must cover enough pixels for the comparison to mean something.
        EXPECT_GE(std::min(judged[1], judged[2]), 20) << what << ": panels too small to judge";
        EXPECT_GE(judged[0], 100) << what;
    }
}

TEST_F(PixelTest, AnOrbitSequenceTurnsTheViewFrameByFrameAndStandardOutputCarriesThePictureOfAFile) {
    const View first = {"none", 70, 128, 96, 0.0};
    View second = first;
    second.orbit_degrees = 30.0;
    const ProgramResult result = Render(first, {"--frames", "2", "--orbit", "60", "-o", "turn.png"});
    ASSERT_EQ(result.status, 0) << result.err;
    ExpectPicture(ReadPng(mo_folder.Path("turn_0000.png")), first, "frame 0");
    ExpectPicture(ReadPng(mo_folder.Path("turn_0001.png")), second, "frame 1");

    const View view = {"fisheye", 180, 64, 48};
    ASSERT_EQ(Render(view, {"-o", "file.png"}).status, 0);
    const ProgramResult piped = Render(view, {"--stats", "-o", "-"});
    ASSERT_EQ(piped.status, 0) << piped.err;
    EXPECT_EQ(piped.out, ReadWholeFile(mo_folder.Path("file.png")))
        << "standard output must hold the PNG and nothing else";
    EXPECT_NE(piped.err.find("frame=0"), std::string::npos)
        << "--stats goes to standard error: " << piped.err;
}
