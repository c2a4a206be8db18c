// The viewer's interaction logic as the window and the script drive it: the gizmo under the mouse,
// box drags, picking, the keys, screenshots, and the renderer's interactive additions.
#include "apps/InputError.h"
#include "apps/SceneLoader.h"
#include "apps/viewer/ViewerScript.h"
#include "tests/viewer/ViewerTestSupport.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <map>
#include <numbers>
#include <sstream>

namespace {

constexpr int WIDTH = 480, HEIGHT = 270;
using Box = IVRenderEx::CBoundingBox;

double Get(const MMPoint3d<double>& point, int axis) {
    return axis == 0 ? point.x : axis == 1 ? point.y : point.z;
}

class ViewerStateTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() { mp_scene = new Scene(BuiltInScene::Make(MUnit::GetIE())); }
    static void TearDownTestSuite() {
        delete mp_scene;
        mp_scene = nullptr;
    }

    void SetUp() override {
        mp_state = std::make_unique<ViewerState>(*mp_scene,
                                                 ViewerOptions(WIDTH, HEIGHT, mo_folder.Path("shot.png")));
        mp_state->Update();
    }

    std::string Run(const std::string& script) {
        std::ostringstream out;
        ViewerScript::Run(ViewerScript::Parse(script, "test"), *mp_state, out);
        return out.str();
    }
    CPoint Corner(int index) { return mp_state->GetGizmo()->GetVerticesOnScreen()[index]; }
    // Highlight pixels within `radius` of a point of the image shown.
    int Highlight(CPoint point, int radius) {
        return ::Highlight(RgbImage{WIDTH, HEIGHT, mp_state->GetImage()}, point, radius);
    }
    CPoint Screen(const MMPoint3d<double>& world) {
        MMPoint3d<double> window;
        EXPECT_TRUE(mp_state->GetWindowProjection().Transform(window, world, false));
        return CPoint(int(std::lround(window.x)), int(std::lround(window.y)));
    }

    static Scene* mp_scene;
    ScratchDirectory mo_folder;
    std::unique_ptr<ViewerState> mp_state;
};

Scene* ViewerStateTest::mp_scene = nullptr;

TEST_F(ViewerStateTest, HoverOverEachCornerHighlightsThatHandleAndNothingElse) {
    ASSERT_NE(mp_state->GetGizmo(), nullptr);
    EXPECT_EQ(Highlight(CPoint(WIDTH / 2, HEIGHT / 2), WIDTH), 0) << "highlight before any hover";
    for (int corner = 0; corner < 8; ++corner) {
        const CPoint point = Corner(corner);
        mp_state->MouseMove(point.x, point.y);
        mp_state->Update();
        EXPECT_EQ(mp_state->GetHover().type, Box::eMouseHandle) << "corner " << corner;
        EXPECT_EQ(mp_state->GetHover().corner, corner);
        EXPECT_NE(mp_state->GetCursor(), ViewerState::Cursor::eArrow) << "corner " << corner;
        EXPECT_GE(Highlight(point, 3), 9) << "corner " << corner << " at " << point.x << "," << point.y;
        // Only that handle: nothing highlighted near the other corners, except where they nearly meet.
        for (int other = 0; other < 8; ++other) {
            const CPoint there = Corner(other);
            if (std::abs(there.x - point.x) + std::abs(there.y - point.y) > 30) {
                EXPECT_EQ(Highlight(there, 2), 0) << "hovering " << corner << ", corner " << other << " lit";
            }
        }
    }
    Run("key p\n"); // the handles move away from the mouse that stays
    EXPECT_EQ(Highlight(Corner(7), 3), 0) << "highlight left on a corner the view moved";
    EXPECT_NE(mp_state->GetHover().corner, 7);
    Run("key p\nkey p\nkey p\n");
    const CPoint centre = mp_state->GetGizmo()->GetCenterOnScreen();
    mp_state->MouseMove(centre.x, centre.y);
    EXPECT_EQ(mp_state->GetHover().type, Box::eMouseCenter);
    EXPECT_EQ(mp_state->GetCursor(), ViewerState::Cursor::eMove);
    mp_state->MouseMove(2, 2);
    mp_state->Update();
    EXPECT_EQ(mp_state->GetHover().type, Box::eMouseOutside);
    EXPECT_EQ(Highlight(CPoint(WIDTH / 2, HEIGHT / 2), WIDTH), 0)
        << "highlight left after the mouse went away";
}

// Near the front corner the hit test reports each of the three axes in some direction; dragging
// from there by the screen image of 12 model units along that axis moves that face by 12 units.
TEST_F(ViewerStateTest, HandleDragMovesTheFaceAlongItsAxisByTheDraggedAmount) {
    constexpr double DISTANCE = 12.0;
    const int corner = mp_state->GetGizmo()->mn_min_z_vertex;
    const CPoint at = Corner(corner);
    std::map<int, CPoint> probes; // axis -> a mouse position that reports it
    for (int step = 0; step < 24; ++step) {
        const double angle = step * std::numbers::pi / 12.0;
        const CPoint probe(at.x + int(std::lround(4 * std::cos(angle))),
                           at.y + int(std::lround(4 * std::sin(angle))));
        mp_state->MouseMove(probe.x, probe.y);
        if (mp_state->GetHover().type == Box::eMouseHandle && mp_state->GetHover().corner == corner)
            probes.emplace(mp_state->GetHover().axis, probe);
    }
    ASSERT_EQ(probes.size(), 3u) << "the three faces at the front corner";
    const Bounds start = mp_state->GetSelectionBox();
    for (const auto& [axis, probe] : probes) {
        SetUp(); // a fresh view and box for each face
        const int world_axis = BoxEdit::WorldAxis(axis);
        const MMPoint3d<double> anchor = mp_state->GetGizmo()->GetVertices()[corner];
        MMPoint3d<double> moved = anchor;
        (world_axis == 0 ? moved.x : world_axis == 1 ? moved.y : moved.z) += DISTANCE;
        const CPoint from = Screen(anchor), to = Screen(moved);
        const double pixels_per_unit = std::hypot(to.x - from.x, to.y - from.y) / DISTANCE;
        char script[96];
        std::snprintf(script, sizeof script, "drag left %d %d %d %d 6\n", int(probe.x), int(probe.y),
                      int(probe.x + to.x - from.x), int(probe.y + to.y - from.y));
        Run(script);
        const Bounds box = mp_state->GetSelectionBox();
        const bool maximum = Get(anchor, world_axis) == Get(start.maximum, world_axis);
        const double change = maximum ? Get(box.maximum, world_axis) - Get(start.maximum, world_axis)
                                      : Get(box.minimum, world_axis) - Get(start.minimum, world_axis);
        EXPECT_NEAR(change, DISTANCE, 2.0 / pixels_per_unit + 0.03 * DISTANCE) << "axis " << axis;
        for (int other = 0; other < 3; ++other) {
            EXPECT_DOUBLE_EQ(Get(box.minimum, other),
                             Get(start.minimum, other) + (maximum || other != world_axis ? 0.0 : change))
                << "axis " << axis << ", world axis " << other;
            EXPECT_DOUBLE_EQ(Get(box.maximum, other),
                             Get(start.maximum, other) + (maximum && other == world_axis ? change : 0.0))
                << "axis " << axis << ", world axis " << other;
        }
        // The drawn corner follows the face: its screen point is where the moved corner projects.
        const CPoint drawn = Corner(corner);
        const CPoint expected = Screen(mp_state->GetGizmo()->GetVertices()[corner]);
        EXPECT_EQ(drawn.x, expected.x);
        EXPECT_EQ(drawn.y, expected.y);
        EXPECT_GT(std::abs(drawn.x - from.x) + std::abs(drawn.y - from.y), 5) << "axis " << axis;
    }
}

TEST_F(ViewerStateTest, CentreDragMovesTheSelectionLevelWithTheMouseAndKeepsItsSize) {
    const Bounds start = mp_state->GetSelectionBox();
    const CPoint centre = mp_state->GetGizmo()->GetCenterOnScreen();
    char script[96];
    std::snprintf(script, sizeof script, "drag left %d %d %d %d\n", int(centre.x), int(centre.y),
                  int(centre.x) + 40, int(centre.y) - 15);
    Run(script);
    const Bounds box = mp_state->GetSelectionBox();
    for (int axis = 0; axis < 3; ++axis)
        EXPECT_NEAR(Get(box.maximum, axis) - Get(box.minimum, axis),
                    Get(start.maximum, axis) - Get(start.minimum, axis), 1e-9)
            << "axis " << axis;
    const CPoint moved = Screen(box.Centre());
    EXPECT_NEAR(moved.x, centre.x + 40, 1);
    EXPECT_NEAR(moved.y, centre.y - 15, 1);
    EXPECT_EQ(box.minimum.z, start.minimum.z) << "seen from above, the selection keeps its height";
}

TEST_F(ViewerStateTest, ClickSelectsTheObjectUnderTheMouseAndEmptySpaceClearsTheSelection) {
    // A visible surface point of each object of the built-in scene (the torus's centre is its hole).
    const std::map<std::string, MMPoint3d<double>> points = {{"plate", {-70, 70, 0}},
                                                             {"blob", {0, 35, 32}},
                                                             {"sphere", {-30, -25, 26}},
                                                             {"torus", {5, -52, 26}},
                                                             {"box", {37, -34, 26}}};
    const auto& objects = mp_scene->GetObjects();
    ASSERT_EQ(objects.size(), points.size());
    for (size_t index = 0; index < objects.size(); ++index) {
        const CPoint point = Screen(points.at(objects[index].name));
        const std::string at = std::to_string(point.x) + " " + std::to_string(point.y) + "\n";
        Run("move " + at + "down left " + at + "up left " + at);
        ASSERT_EQ(mp_state->GetSelection().size(), 1u) << objects[index].name;
        EXPECT_EQ(mp_state->GetSelection()[0], index) << objects[index].name;
    }
    Run("down left 3 3\nup left 4 4\n");
    EXPECT_TRUE(mp_state->GetSelection().empty());
    EXPECT_EQ(mp_state->GetGizmo(), nullptr);
}

TEST_F(ViewerStateTest, KeysChangeProjectionFieldOfViewToleranceGizmoAndHelp) {
    struct Step {
        const char* script;
        Projection projection;
        double fov;
    };
    const Step steps[] = {
        {"key ]\n", Projection::eNone, 65.0},       {"key [\nkey [\n", Projection::eNone, 55.0},
        {"key p\n", Projection::eFisheye, 180.0},   {"key [\n", Projection::eFisheye, 175.0},
        {"wheel 2\n", Projection::eFisheye, 165.0}, {"key p\n", Projection::eCylindrical, 180.0},
        {"key p\n", Projection::eEquirect, 360.0},  {"key ]\n", Projection::eEquirect, 360.0},
        {"key p\n", Projection::eNone, 60.0},       {"wheel 3\n", Projection::eNone, 60.0},
    };
    const double distance = mp_state->GetCamera().GetEye().x;
    for (const Step& step : steps) {
        Run(step.script);
        EXPECT_EQ(mp_state->GetProjection(), step.projection) << step.script;
        EXPECT_DOUBLE_EQ(mp_state->GetFov(), step.fov) << step.script;
    }
    EXPECT_NE(mp_state->GetCamera().GetEye().x, distance) << "the wheel moves the eye in perspective";
    Run("key r\n");
    EXPECT_DOUBLE_EQ(mp_state->GetCamera().GetEye().x, distance) << "R restores the view";

    std::vector<double> tolerances;
    for (int i = 0; i < 3; ++i) {
        Run("key k\n");
        tolerances.push_back(mp_state->GetSkipSortDegrees());
    }
    EXPECT_EQ(tolerances, (std::vector<double>{20.0, 45.0, 0.0}));

    const std::vector<uint8_t> before = mp_state->GetImage();
    Run("key f1\n");
    EXPECT_TRUE(mp_state->IsHelpShown());
    EXPECT_NE(mp_state->GetImage(), before) << "the help panel is drawn";
    Run("key f1\nkey g\n");
    EXPECT_FALSE(mp_state->IsGizmoShown());
    EXPECT_EQ(mp_state->GetGizmo(), nullptr);
    // T turns the key in force (direction, for a 60 degree perspective) into the other and back.
    for (SortKey key : {SortKey::eDistance, SortKey::eDirection}) {
        Run("key t\n");
        EXPECT_EQ(mp_state->GetSortKey(), key);
    }
    Run("key q\nkey g\n");
    EXPECT_TRUE(mp_state->WantsQuit());
    EXPECT_FALSE(mp_state->IsGizmoShown()) << "nothing runs after a quit";
}

TEST_F(ViewerStateTest, OrbitTurnsAboutTheTargetAndPanMovesIt) {
    const Camera before = mp_state->GetCamera();
    Run("drag left 50 200 150 180\n");
    const Camera orbited = mp_state->GetCamera();
    auto distance = [](const Camera& camera) {
        const auto &eye = camera.GetEye(), &target = camera.GetTarget();
        return std::hypot(eye.x - target.x, eye.y - target.y, eye.z - target.z);
    };
    EXPECT_NEAR(distance(orbited), distance(before), 1e-9);
    EXPECT_EQ(orbited.GetTarget(), before.GetTarget());
    EXPECT_GT(std::hypot(orbited.GetEye().x - before.GetEye().x, orbited.GetEye().y - before.GetEye().y),
              1.0);
    EXPECT_EQ(mp_state->GetSelection().size(), 3u) << "a drag is not a click";
    // The scene follows the mouse: the point that was in the middle is where the drag took it.
    Run("drag right 100 100 160 140\n");
    const CPoint moved = Screen(orbited.GetTarget());
    EXPECT_NEAR(moved.x, WIDTH / 2 + 60, 1) << "expected x " << WIDTH / 2 + 60 << ", got " << moved.x;
    EXPECT_NEAR(moved.y, HEIGHT / 2 + 40, 1) << "expected y " << HEIGHT / 2 + 40 << ", got " << moved.y;
    EXPECT_NEAR(distance(mp_state->GetCamera()), distance(orbited), 1e-9);
}

// Inside a room one looks around from where one stands and walks level with the floor.
TEST_F(ViewerStateTest, MiddleDragLooksAroundFromTheEyeAndArrowsWalkLevel) {
    auto direction = [](const Camera& camera) {
        const auto &eye = camera.GetEye(), &target = camera.GetTarget();
        return MMPoint3d<double>{target.x - eye.x, target.y - eye.y, target.z - eye.z};
    };
    auto heading = [&](const Camera& camera) {
        const MMPoint3d<double> d = direction(camera);
        return std::atan2(d.y, d.x) * 180.0 / std::numbers::pi;
    };
    auto pitch = [&](const Camera& camera) {
        const MMPoint3d<double> d = direction(camera);
        return std::atan2(d.z, std::hypot(d.x, d.y)) * 180.0 / std::numbers::pi;
    };
    const Camera before = mp_state->GetCamera();
    // 120 pixels right and 30 down, with the field of view across the 480-pixel window.
    Run("drag middle 100 100 220 130\n");
    const Camera turned = mp_state->GetCamera();
    const double degrees = mp_state->GetFov() / WIDTH;
    for (int axis = 0; axis < 3; ++axis)
        EXPECT_NEAR(Get(turned.GetEye(), axis), Get(before.GetEye(), axis), 1e-9) << "axis " << axis;
    EXPECT_NEAR(std::remainder(heading(turned) - heading(before), 360.0), 120 * degrees, 1e-6)
        << "turns left";
    EXPECT_NEAR(pitch(turned) - pitch(before), 30 * degrees, 1e-6) << "looks up";

    const double step = ViewCamera(before, mp_scene->GetBounds()).GetStep();
    const double forward = heading(turned) * std::numbers::pi / 180.0;
    const struct {
        const char* key;
        double along, across; // steps along the level view and to its right
    } walks[] = {{"up", 1, 0}, {"down", -1, 0}, {"right", 0, 1}, {"left", 0, -1}};
    for (const auto& walk : walks) {
        const Camera start = mp_state->GetCamera();
        Run(std::string("key ") + walk.key + "\n");
        const Camera moved = mp_state->GetCamera();
        const double dx = step * (walk.along * std::cos(forward) + walk.across * std::sin(forward));
        const double dy = step * (walk.along * std::sin(forward) - walk.across * std::cos(forward));
        for (const auto& [from, to] :
             {std::pair(start.GetEye(), moved.GetEye()), std::pair(start.GetTarget(), moved.GetTarget())}) {
            EXPECT_NEAR(to.x - from.x, dx, 1e-9) << walk.key;
            EXPECT_NEAR(to.y - from.y, dy, 1e-9) << walk.key;
            EXPECT_NEAR(to.z, from.z, 1e-9) << walk.key;
        }
    }
}

// A click on one part of an OBJ object in several materials selects the whole object. The file lies
// 100 units out, so the scene is drawn about a world offset; `print` still gives model units.
TEST(ViewerObjectTest, AClickOnAPartSelectsItsWholeObject) {
    ScratchDirectory folder;
    folder.Write("parts.mtl", "newmtl red\nKd 1 0 0\nnewmtl blue\nKd 0 0 1\n");
    Options options = ViewerOptions(WIDTH, HEIGHT, folder.Path("shot.png"));
    options.meshes = {folder.Write("parts.obj", "mtllib parts.mtl\n"
                                                "v 97 0 0\nv 98 0 0\nv 98 1 0\nv 97 1 0\nv 99 0 0\nv 99 1 0\n"
                                                "v 102 0 0\nv 103 0 0\nv 103 1 0\nv 102 1 0\n"
                                                "o left\nusemtl red\nf 1 2 3 4\nusemtl blue\nf 2 5 6 3\n"
                                                "o right\nusemtl red\nf 7 8 9 10\n")};
    options.eye = MMPoint3d<double>{100, 0.5, 6};
    options.target = MMPoint3d<double>{100, 0.5, 0};
    std::ostringstream errors;
    Scene scene = SceneLoader::Load(options, "test", errors);
    ASSERT_EQ(scene.GetObjects().size(), 3u);
    ViewerState state(scene, options);
    state.Update();
    const struct {
        MMPoint3d<double> point; // model units
        std::vector<size_t> selection;
    } clicks[] = {{{97.5, 0.5, 0}, {0, 1}}, {{98.5, 0.5, 0}, {0, 1}}, {{102.5, 0.5, 0}, {2}}};
    for (const auto& click : clicks) {
        MMPoint3d<double> window;
        ASSERT_TRUE(state.GetWindowProjection().Transform(window, scene.ToWorld(click.point), false));
        std::ostringstream out;
        ViewerScript::Run(ViewerScript::Parse("down left " + std::to_string(std::lround(window.x)) + " " +
                                                  std::to_string(std::lround(window.y)) + "\nup left " +
                                                  std::to_string(std::lround(window.x)) + " " +
                                                  std::to_string(std::lround(window.y)) + "\n",
                                              "test"),
                          state, out);
        EXPECT_EQ(state.GetSelection(), click.selection) << "at x " << click.point.x;
    }
    ASSERT_NE(scene.GetWorldOffset().x, 0.0) << "precondition: the scene is drawn about an offset";
    EXPECT_NE(state.Describe().find(" box=102,0,0,103,1,0 "), std::string::npos) << state.Describe();
}

TEST_F(ViewerStateTest, ScreenshotsAreWrittenAndAFailureOnlyReachesTheStatusLine) {
    Run("key s\nkey s\nresize 200 100\nscreenshot " + mo_folder.Path("small.png") + "\n");
    for (const char* name : {"shot_0000.png", "shot_0001.png"}) {
        const RgbImage image = ReadPng(mo_folder.Path(name));
        EXPECT_EQ(image.width, WIDTH) << name;
        EXPECT_EQ(image.height, HEIGHT) << name;
    }
    EXPECT_EQ(ReadPng(mo_folder.Path("small.png")).width, 200);
    const std::string missing = mo_folder.Path("gone/shot.png");
    EXPECT_FALSE(mp_state->Save(missing));
    EXPECT_NE(mp_state->GetMessage().find(missing), std::string::npos) << mp_state->GetMessage();
    EXPECT_NE(mp_state->GetStatusLine().find(L"gone"), std::wstring::npos);
    Run("key ]\n");
    EXPECT_EQ(mp_state->GetWidth(), 200) << "the viewer goes on";
}

TEST(ViewerScriptTest, BadLinesNameTheFileAndLine) {
    const char* const bad[] = {
        "jump 1 2", "move 1",    "move 1 x",    "down thumb 1 2", "drag left 1 2 3",
        "key z",    "wheel nan", "resize 0 10", "print 1",        "drag left 1 2 3 4 0"};
    for (const char* line : bad) {
        try {
            ViewerScript::Parse(std::string("# comment\n\nmove 1 2\n") + line + "\n", "s.txt");
            ADD_FAILURE() << "accepted: " << line;
        } catch (const InputError& error) {
            EXPECT_EQ(std::string(error.what()).rfind("s.txt:4: ", 0), 0u) << error.what();
        }
    }
    EXPECT_EQ(ViewerScript::Parse("move 1 2 # hover\nwait 10\nkey escape\n", "s").size(), 3u);
}

// Placements move each object and, undone, give the frame as it was. (Drawing from the renderer's
// own camera is compared with the renderer in ViewerProgramTest.)
TEST(FrameRendererPlacementTest, UndonePlacementsGiveTheSameFrame) {
    Scene scene = BuiltInScene::Make(MUnit::GetIE());
    Options options;
    options.width = 240;
    options.height = 135;
    FrameRenderer renderer(scene, options);
    renderer.Render(0);
    const std::vector<uint8_t> plain(renderer.GetPixels(), renderer.GetPixels() + 240 * 135 * 4);
    for (size_t index = 0; index < scene.GetObjects().size(); ++index) {
        FrameRenderer::Placement moved;
        moved.offset[0] = 15.0;
        moved.scale[2] = 0.5;
        renderer.SetPlacement(index, moved);
        renderer.Render(0);
        EXPECT_FALSE(std::equal(plain.begin(), plain.end(), renderer.GetPixels()))
            << scene.GetObjects()[index].name;
        renderer.SetPlacement(index, FrameRenderer::Placement());
    }
    renderer.Render(0);
    EXPECT_TRUE(std::equal(plain.begin(), plain.end(), renderer.GetPixels()))
        << "after the placements are undone";
}

} // namespace
