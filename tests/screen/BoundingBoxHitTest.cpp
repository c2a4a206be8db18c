// The gizmo's drawing and mouse hit tests.
#include "GizmoScene.h"

#include "host/win32/GdiDevice.h"
#include "screen/GizmoHitGeometry.h"

#include <gtest/gtest.h>

#include <set>
#include <tuple>

namespace {

using Box = IVRenderEx::CBoundingBox;
using namespace VantrelScreen;

// Corner 0 at (300, 300) with, in the y-up frame, the stroke (10, 10) along z, (-10, 10) along y and
// (2, -12) along x at 50 percent; corner 0 is nearest the viewer. No centre, so the centre spot
// (at the window origin) stays out of the way.
struct StrokeSample {
    GizmoScene scene{{4, 24}, {-20, -20}, {20, -20}, {300, 300}, {1, 1, 1, 0}};
    Box box{false};

    StrokeSample() {
        Box::Configuration configuration;
        configuration.mn_handle_percent = 50;
        box.SetConfiguration(configuration);
        EXPECT_TRUE(box.Build(&scene.object, &scene.window));
    }
};

TEST(GizmoHitGeometry, ComparesByQuadrantThenCrossProductAndSectorBoundariesGoToTheLowerSector) {
    EXPECT_EQ(Compare({1, 0}, {0, 1}), 1);
    EXPECT_EQ(Compare({0, 1}, {1, 0}), -1);
    EXPECT_EQ(Compare({1, -1}, {-1, -1}), -1); // quadrant 3 after quadrant 2
    EXPECT_EQ(Compare({2, 1}, {4, 2}), 0);
    EXPECT_EQ(Compare({2, 1}, {4, 2.1}), 1);
    // A direction on the boundary of two sectors is in the lower of the two.
    const Vector d0{10, 10}, d1{-10, 10}, d2{2, -12};
    EXPECT_EQ(FindSector({5, 6}, d0, d1, d2), 0);
    EXPECT_EQ(FindSector({-8, -8}, d0, d1, d2), 1);
    EXPECT_EQ(FindSector({8, -1}, d0, d1, d2), 2);
    EXPECT_EQ(FindSector({-5, 5}, d0, d1, d2), 0); // along d1: sectors 0 and 1 meet
    EXPECT_EQ(FindSector({1, -6}, d0, d1, d2), 1); // along d2: sectors 1 and 2 meet
    EXPECT_EQ(FindSector({3, 3}, d0, d1, d2), 0);  // along d0
}

TEST(GizmoHitGeometry, ReachLimitIsStrictAndStrokesMayBeVerticalHorizontalOrEmpty) {
    EXPECT_TRUE(WithinReach(CSize(12, 10), 8, 723)); // (12 + 8)² + (10 + 8)² is 724: no further
    EXPECT_TRUE(OnStroke({0.5, 6}, {0, 12}, 8.0003));
    EXPECT_TRUE(OnStroke({5, 18}, {0, 12}, 8.0003));  // round the end
    EXPECT_FALSE(OnStroke({7, 19}, {0, 12}, 8.0003)); // in the widened box, off the stroke's end
    EXPECT_TRUE(OnStroke({6, -7.5}, {12, 0}, 8.0003));
    EXPECT_TRUE(OnStroke({5, 5}, {0, 0}, 8.0003));
    EXPECT_FALSE(OnStroke({6, 6}, {0, 0}, 8.0003));
    EXPECT_FALSE(OnStroke({-8, -8}, {-10, 10}, 8.0003)); // in the box, too far from the line
}

// What WhereIsTheMouse reports at `at`: the place, the corner and the axis, from corner 99 and the
// axis along y (an outside place keeps the axis it is given).
std::tuple<Box::EMouseType, unsigned int, Box::EAxis> Hit(const Box& box, CPoint at) {
    Box::EAxis axis = Box::eAxisAlongY;
    unsigned int point = 99;
    const Box::EMouseType where = box.WhereIsTheMouse(axis, point, at);
    return {where, point, axis};
}

TEST(GizmoHitTest, StrokesReportTheThirdAxisAndTheReachLimitStillTheNearestCorner) {
    StrokeSample sample;
    ASSERT_EQ(sample.box.GetVerticesOnScreen()[0], CPoint(300, 300));
    ASSERT_EQ(sample.box.mn_min_z_vertex, 0);
    // Beside the corner, the axis of the (2, -12) stroke; along that stroke itself, in sector 1
    // between the strokes along y and along x, the third axis.
    EXPECT_EQ(Hit(sample.box, CPoint(305, 294)), std::tuple(Box::eMouseHandle, 0u, Box::eAxisAlongX));
    EXPECT_EQ(Hit(sample.box, CPoint(301, 306)), std::tuple(Box::eMouseHandle, 0u, Box::eAxisAlongZ));

    // Strokes (12, 10), (10, 10) and (2, 12) at 10 percent, the corners at least 100 pixels apart.
    GizmoScene scene({20, 120}, {-100, -100}, {120, -100}, {300, 300}, {1, 1, 1, 0});
    Box box(false);
    ASSERT_TRUE(box.Build(&scene.object, &scene.window));
    ASSERT_EQ(box.GetHandleSizeForLine(0), CSize(12, 10));
    ASSERT_EQ(box.mn_longest_handle_axis, 0);
    // At squared distance 724, and within reach between the strokes along y and x but on neither.
    EXPECT_EQ(Hit(box, CPoint(280, 318)), std::tuple(Box::eMouseOutside, 0u, Box::eAxisAlongY));
    EXPECT_EQ(Hit(box, CPoint(292, 308)), std::tuple(Box::eMouseOutside, 0u, Box::eAxisAlongY));
    EXPECT_EQ(Hit(box, CPoint(290, 290)),
              std::tuple(Box::eMouseHandle, 0u, Box::eAxisAlongX)); // on y's stroke
}

TEST(GizmoHitTest, CentreRadiusWidensOnlyForLargeBoxes) {
    for (const auto& [side, radius] : {std::pair{100.0, 21}, std::pair{16.0, 8}}) {
        GizmoScene scene({side, 0}, {0, side}, {0, 0}, {300, 300});
        Box box(true);
        ASSERT_TRUE(box.Build(&scene.object, &scene.window));
        const CPoint centre = box.GetCenterOnScreen();
        for (const CPoint at : {centre, CPoint(centre.x + radius, centre.y)}) {
            EXPECT_EQ(std::get<0>(Hit(box, at)), Box::eMouseCenter) << "side " << side;
            EXPECT_EQ(std::get<1>(Hit(box, at)), 8u) << "side " << side;
        }
        EXPECT_NE(std::get<1>(Hit(box, CPoint(centre.x, centre.y - radius - 1))), 8u) << "side " << side;
    }
}

TEST(GizmoHitTest, ClosestPointTiesGoToTheLowerCornerAndTheQuickTestTakesTheRightEdgeWithinTolerance) {
    GizmoScene scene({10, 0}, {0, 40}, {0, 60}, {300, 300});
    Box box(false);
    ASSERT_TRUE(box.Build(&scene.object, &scene.window));
    uint64_t distance = 0;
    EXPECT_EQ(box.FindClosestPoint(CPoint(305, 301), &distance), 0u);
    EXPECT_EQ(distance, 26u);
    EXPECT_EQ(box.FindClosestPoint(CPoint(306, 301), nullptr), 1u);

    GizmoScene square({100, 0}, {0, 100}, {0, 0}, {100, 100});
    Box quick(true);
    ASSERT_TRUE(quick.Build(&square.object, &square.window));
    ASSERT_EQ(quick.GetBoundsOnScreen(), CRect(100, 100, 200, 200));
    EXPECT_TRUE(quick.WhereIsTheMouseQuickTest(CPoint(200, 150)));
    EXPECT_TRUE(quick.WhereIsTheMouseQuickTest(CPoint(207, 150)));
    EXPECT_FALSE(quick.WhereIsTheMouseQuickTest(CPoint(208, 150)));
    EXPECT_TRUE(quick.WhereIsTheMouseQuickTest(CPoint(92, 92)));

    auto failing =
        std::make_shared<MFailingTransform>(MakeWindowMatrix({100, 0}, {0, 100}, {0, 0}, {100, 100}));
    failing->FailOn(MMPoint3d<double>(0, 0, 0));
    square.window.SetWorldToWindow(failing);
    ASSERT_FALSE(quick.Build(&square.object, &square.window));
    EXPECT_FALSE(quick.WhereIsTheMouseQuickTest(CPoint(150, 150))); // the emptied bounds take nothing
}

using Stroke = std::tuple<int, int, int, int>;

std::vector<Stroke> DrawnStrokes(const Box& box, bool farLines) {
    GdiDevice device;
    CDC dc;
    dc.Attach(device.GetHdc());
    box.RenderHandles(dc, farLines);
    std::vector<Stroke> strokes;
    const auto& calls = device.GetCalls();
    for (size_t i = 0; i + 1 < calls.size(); i += 2) {
        EXPECT_EQ(calls[i].name, "MoveToEx");
        EXPECT_EQ(calls[i + 1].name, "LineTo");
        strokes.emplace_back(calls[i].args[0], calls[i].args[1], calls[i + 1].args[0], calls[i + 1].args[1]);
    }
    return strokes;
}

TEST(GizmoDrawing, HandleGroupsDrawEveryStrokeOnceAndTheCentreSpotIsAnEllipseOfTheSpotRadius) {
    StrokeSample sample;
    const std::vector<Stroke> near_strokes = DrawnStrokes(sample.box, false);
    const std::vector<Stroke> far_strokes = DrawnStrokes(sample.box, true);
    EXPECT_EQ(near_strokes.size(), 6u);
    EXPECT_EQ(far_strokes.size(), 18u);
    std::set<Stroke> all(near_strokes.begin(), near_strokes.end());
    all.insert(far_strokes.begin(), far_strokes.end());
    EXPECT_EQ(all.size(), 24u);
    // The strokes at the nearest corner, one per axis, run from it towards each neighbour.
    const std::set<Stroke> near_set(near_strokes.begin(), near_strokes.end());
    EXPECT_TRUE(near_set.count({300, 300, 310, 290}));
    EXPECT_TRUE(near_set.count({300, 300, 290, 290}));
    EXPECT_TRUE(near_set.count({300, 300, 302, 312}));
    // The far end of the line along x: from corner 1 (304, 324) back towards corner 0.
    EXPECT_TRUE(near_set.count({304, 324, 302, 312}));

    const Box fresh(true); // no projection yet: no nearest corner and no depth, so every line is "far"
    EXPECT_EQ(fresh.mn_min_z_vertex, -1);
    EXPECT_EQ(fresh.mn_longest_handle_axis, 0);
    EXPECT_EQ(fresh.GetCenterDistanceFromScreen(), 0.0);
    EXPECT_EQ(DrawnStrokes(fresh, true).size(), 24u);
    EXPECT_TRUE(DrawnStrokes(fresh, false).empty());

    StrokeSample centred;
    centred.box.SetCenter(MMPoint3d<double>(50, 60, 0));
    GdiDevice device;
    CDC dc;
    dc.Attach(device.GetHdc());
    const GdiDeviceState before = device.GetState();
    centred.box.RenderCenterSpot(dc);
    ASSERT_EQ(device.GetCalls().size(), 1u);
    EXPECT_EQ(device.GetCalls()[0].ToString(), "Ellipse(42,52,58,68)");
    EXPECT_EQ(device.GetState(), before);
}

} // namespace
