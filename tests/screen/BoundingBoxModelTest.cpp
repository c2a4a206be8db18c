// The gizmo's model: configuration defaults, corners, building from a scene object, projection and
// handle sizing.
#include "GizmoScene.h"

#include "host/framework/MTransformRepository.h"
#include "host/win32/WinGdi.h"

#include <gtest/gtest.h>

#include <array>
#include <cfloat>
#include <climits>
#include <string>
#include <utility>

namespace {

using Box = IVRenderEx::CBoundingBox;
using Point = MMPoint3d<double>;

TEST(GizmoConfiguration, DefaultsFollowTheScreenDiagonal) {
    // Spot radius, pick margin, twelfth of the diagonal, minimum handle, percent, pick tolerance.
    const std::pair<CSize, std::array<int, 6>> cases[] = {
        {{1920, 1080}, {8, 13, 183, 12, 10, 8}},
        {{3840, 2160}, {17, 26, 367, 26, 10, 17}}, // MulDiv rounds the minimum handle's 25.5 up
    };
    for (const auto& [screen, expected] : cases) {
        Win32Stub::SetScreenSize(screen.cx, screen.cy);
        const Box::Configuration c;
        Win32Stub::ResetSystemSettings();
        EXPECT_EQ((std::array<int, 6>{c.mn_center_spot_radius, c.mn_center_pick_margin, c.mn_diagonal_twelfth,
                                      c.mn_min_handle_length, c.mn_handle_percent, c.mn_pick_tolerance}),
                  expected)
            << screen.cx << " x " << screen.cy;
    }
}

TEST(GizmoModel, CornersFollowTheTableAndEveryCornerHasOneLinePerAxis) {
    Box box(true);
    box.Build(Point(1, 2, 3), Point(-4, 5, 6)); // not ordered: used as given
    const Point expected[9] = {{1, 2, 3}, {-4, 2, 3}, {-4, 2, 6}, {1, 2, 6},       {-4, 5, 3},
                               {1, 5, 3}, {1, 5, 6},  {-4, 5, 6}, {-1.5, 3.5, 4.5}};
    for (int i = 0; i < 9; ++i)
        EXPECT_EQ(box.GetVertices()[i], expected[i]) << "point " << i;
    for (int corner = 0; corner < 8; ++corner) {
        for (int axis = 0; axis < 3; ++axis) {
            int count = 0;
            for (int line = 4 * axis; line < 4 * axis + 4; ++line)
                count +=
                    (Box::mga_lines_indeces[line][0] == corner) + (Box::mga_lines_indeces[line][1] == corner);
            EXPECT_EQ(count, 1) << "corner " << corner << " axis " << axis;
        }
    }
    Point first, second;
    box.GetAnEdgeForAxis(Box::eAxisAlongY, first, second);
    EXPECT_EQ(first, expected[3]);
    EXPECT_EQ(second, expected[6]);
    box.GetAnEdgeForAxis(Box::eAxisAlongX, first, second);
    EXPECT_EQ(first, expected[0]);
    EXPECT_EQ(second, expected[1]);
}

TEST(GizmoModel, WithoutCenterTheCentreStaysAtTheOriginAndASetCentreSurvivesEveryBuild) {
    GizmoScene scene({10, 0}, {0, 10}, {3, 3}, {100, 200});
    Box plain(false), centred(true);
    ASSERT_TRUE(plain.Build(&scene.object, &scene.window));
    EXPECT_EQ(plain.GetCenter(), Point(0, 0, 0));
    EXPECT_EQ(plain.GetCenterOnScreen(), CPoint(0, 0));
    EXPECT_EQ(plain.GetCenterDistanceFromScreen(), 0.0);
    EXPECT_EQ(plain.GetVerticesOnScreen()[7], CPoint(113, 213));

    centred.SetCenter(Point(5.7, -3.2, 1.0));
    EXPECT_EQ(centred.GetCenterOnScreen(), CPoint(5, -3)); // truncated until projected
    centred.Build(Point(0, 0, 0), Point(1, 1, 1));
    EXPECT_EQ(centred.GetCenter(), Point(5.7, -3.2, 1.0));
    ASSERT_TRUE(centred.Build(&scene.object, &scene.window));
    EXPECT_EQ(centred.GetCenter(), Point(5.7, -3.2, 1.0));
    EXPECT_EQ(centred.GetCenterOnScreen(), CPoint(160, 171)); // 100 + 57 + 3, 200 - 32 + 3
    EXPECT_EQ(centred.GetCenterDistanceFromScreen(), 1.0);
}

TEST(GizmoProjection, ReadsTheObjectWithTheLow32BitMaskPresetsAnEmptyBoxAndGivesMinZTiesToTheLowerCorner) {
    GizmoScene scene;
    Box box(true);
    box.Build(&scene.object, &scene.window);
    EXPECT_EQ(scene.object.GetLastMask(), 0x00000000FFFFFFFFull);

    UIObject empty;
    box.Build(&empty, &scene.window);
    EXPECT_EQ(box.GetVertices()[0], Point(FLT_MAX, FLT_MAX, FLT_MAX));
    EXPECT_EQ(box.GetVertices()[7], Point(-FLT_MAX, -FLT_MAX, -FLT_MAX));

    // Depth -(x + y): corners 4 (b, b, a) and 7 (b, b, b) share the smallest depth.
    GizmoScene tied({10, 0}, {0, 10}, {5, 5}, {0, 0}, {-1, -1, 0, 0});
    Box tied_box(true);
    ASSERT_TRUE(tied_box.Build(&tied.object, &tied.window));
    EXPECT_EQ(tied_box.mn_min_z_vertex, 4);
}

TEST(GizmoProjection, RoundsPointsAndBoundsTheCorners) {
    GizmoScene scene({10.5, 0}, {0, -20.5}, {0, 0}, {100, 100});
    Box box(true);
    ASSERT_TRUE(box.Build(&scene.object, &scene.window));
    EXPECT_EQ(box.GetVerticesOnScreen()[7], CPoint(111, 80)); // 110.5 and 79.5 away from zero
    EXPECT_EQ(box.GetBoundsOnScreen(), CRect(100, 80, 111, 100));
    EXPECT_EQ(box.GetCenterOnScreen(), CPoint(105, 90)); // 105.25, 89.75
}

TEST(GizmoProjection, FailedProjectionEmptiesBoundsAndKeepsScreenPoints) {
    GizmoScene scene({10, 0}, {0, 10}, {4, 4}, {50, 50});
    Box box(true);
    ASSERT_TRUE(box.Build(&scene.object, &scene.window));
    CPoint before[9];
    std::copy(box.GetVerticesOnScreen(), box.GetVerticesOnScreen() + 9, before);
    const CSize sizes_before = box.GetHandleSizeForLine(0);

    auto failing = std::make_shared<MFailingTransform>(MakeWindowMatrix({20, 0}, {0, 20}, {4, 4}, {0, 0}));
    failing->FailOn(Point(2, 3, 1)); // corner 5 of the new box
    scene.window.SetWorldToWindow(failing);
    M3DBoundingBox<float> moved;
    moved.x_min = 2, moved.x_max = 4, moved.y_min = 2, moved.y_max = 3, moved.z_min = 1, moved.z_max = 2;
    scene.object.SetBox(moved);
    EXPECT_FALSE(box.Build(&scene.object, &scene.window));
    EXPECT_EQ(failing->GetNumCalls(), 6u); // corners 0 to 5, then it stops
    EXPECT_EQ(box.mn_min_z_vertex, -1);
    EXPECT_EQ(box.GetBoundsOnScreen(), CRect(INT_MAX, INT_MAX, INT_MIN, INT_MIN));
    for (int i = 0; i < 9; ++i)
        EXPECT_EQ(box.GetVerticesOnScreen()[i], before[i]) << "point " << i;
    EXPECT_EQ(box.GetHandleSizeForLine(0), sizes_before);
    EXPECT_EQ(box.GetVertices()[7], Point(4, 3, 2)); // the world points hold the new box
}

// Edge extents by axis: along z (axis 0), along y (axis 1), along x (axis 2).
struct HandleCase {
    PixelVector along_z, along_y, along_x;
    CSize expected_z, expected_y, expected_x;
    int percent = 10;
    int longest_axis = -1; // -1: not checked
};

TEST(GizmoHandles, SizesByPercentWithMinimumTwelveAndZeroPercentProjectsButKeepsSizes) {
    const HandleCase cases[] = {
        {{30, 40}, {6, 8}, {0, 10}, {7, 10}, {3, 4}, {0, 5}},     // lengthened; held under the half; vertical
        {{0, 1000}, {200, 0}, {1, 1}, {0, 100}, {20, 0}, {0, 0}}, // long enough; a tiny edge keeps its size
        {{-30, -40}, {0, 0}, {1, -3}, {7, 10}, {0, 0}, {0, 1}},   // signs do not matter; zero edge
        // x and z edges both give 10 x 7 strokes: the longest axis must be strictly longer
        {{40, 30}, {0, 10}, {30, 40}, {10, 7}, {0, 5}, {7, 10}, 10, 0},
        // 60 percent is computed as 50; MulDiv rounds 3.5 and 4.5 up, no lengthening
        {{30, 40}, {6, 8}, {7, 9}, {15, 20}, {3, 4}, {4, 5}, 60},
    };
    for (const HandleCase& c : cases) {
        GizmoScene scene(c.along_x, c.along_y, c.along_z, {400, 300});
        Box box(true);
        ASSERT_EQ(box.GetConfiguration().mn_min_handle_length, 12);
        Box::Configuration configuration = box.GetConfiguration();
        configuration.mn_handle_percent = c.percent;
        box.SetConfiguration(configuration);
        ASSERT_TRUE(box.Build(&scene.object, &scene.window));
        const std::string where = "case " + std::to_string(&c - cases);
        EXPECT_EQ(box.GetHandleSizeForLine(0), c.expected_z) << where;
        EXPECT_EQ(box.GetHandleSizeForLine(4), c.expected_y) << where;
        EXPECT_EQ(box.GetHandleSizeForLine(8), c.expected_x) << where;
        if (c.longest_axis >= 0) {
            EXPECT_EQ(box.mn_longest_handle_axis, c.longest_axis) << where;
        }
    }

    GizmoScene scene({0, 10}, {6, 8}, {30, 40}, {400, 300});
    Box box(true);
    Box::Configuration configuration = box.GetConfiguration();
    configuration.mn_handle_percent = 0;
    box.SetConfiguration(configuration);
    ASSERT_TRUE(box.Build(&scene.object, &scene.window));
    EXPECT_EQ(box.GetHandleSizeForLine(0), CSize(0, 0));
    EXPECT_EQ(box.GetVerticesOnScreen()[3], CPoint(430, 340));

    configuration.mn_handle_percent = 10;
    box.SetConfiguration(configuration);
    ASSERT_TRUE(box.Build(&scene.object, &scene.window));
    configuration.mn_handle_percent = 0;
    box.SetConfiguration(configuration);
    scene.View({0, 100}, {60, 80}, {300, 400}, {0, 0});
    ASSERT_TRUE(box.Build(&scene.object, &scene.window));
    EXPECT_EQ(box.GetHandleSizeForLine(0), CSize(7, 10));
    EXPECT_EQ(box.GetVerticesOnScreen()[3], CPoint(300, 400));
}

TEST(GizmoProjection, GoesThroughTheRepositoryWithATemporaryWindowSystem) {
    GizmoScene scene;
    scene.window.SetCamera(Point(0.5, 0.5, 10), Point(0.5, 0.5, 0), Point(0, 1, 0), 1.0);
    const size_t before = MTransformRepository::mgp_instance->GetNumRequests();
    Box box(true);
    ASSERT_TRUE(box.Build(&scene.object, &scene.window));
    EXPECT_EQ(MTransformRepository::mgp_instance->GetNumRequests(), before + 1);
    EXPECT_EQ(box.GetCenterOnScreen(), CPoint(400, 300)); // the camera looks at the centre
    EXPECT_TRUE(box.mn_min_z_vertex == 2 || box.mn_min_z_vertex == 3 || box.mn_min_z_vertex == 6 ||
                box.mn_min_z_vertex == 7); // a corner on the face z = 1, nearest the eye
    EXPECT_NEAR(box.GetCenterDistanceFromScreen(), 9.5, 1e-12);
}

} // namespace
