// IVRenderEx itself: triangle lists through the device's stream, box reading and point projection.
#include "GizmoScene.h"

#include "host/framework/MTransformRepository.h"
#include "tests/support/RecordingRender.h"
#include "tests/support/RecordingStream.h"

#include <gtest/gtest.h>

#include <array>
#include <climits>
#include <stdexcept>

namespace {

using Point = MMPoint3d<double>;

// A device whose streams record what IVRenderEx sends them.
class RenderTriangles : public ::testing::Test {
protected:
    RenderTriangles() { device.SetVertexStreamSource(&source); }

    RecordingRender device;
    RecordingStreamSource source;
    IVRenderEx render{&device};
};

TEST_F(RenderTriangles, EachTriangleTakesItsFirstVertexNormalAndAnEmptyDequeStillOpensAndClosesAStream) {
    std::deque<IVVertexPN> none;
    render.RenderTriangles(none, true, true);
    EXPECT_EQ(source.pn->calls, (std::vector<std::string>{"BeginTriangles", "End", "~"}));
    EXPECT_EQ(source.pn->streams_destroyed, 1);
    source.pn->calls.clear();
    std::deque<IVVertexPN> vertices = {
        {0, 0, 0, 0, 0, 1}, {1, 0, 0, 9, 9, 9}, {0, 1, 0, 8, 8, 8}, {5, 5, 5, 1, 0, 0},
        {6, 5, 5, 7, 7, 7}, {5, 6, 5, 6, 6, 6}, {9, 9, 9, 0, 1, 0}, // left over: ignored
    };
    render.RenderTriangles(vertices, false, false);
    EXPECT_EQ(device.calls, (std::vector<std::string>{"SetBackfaceVisible(1)", "SetBackfaceVisible(0)"}));
    EXPECT_EQ(source.pn->calls,
              (std::vector<std::string>{"BeginTriangles", "AddTriangle", "AddTriangle", "End", "~"}));
    ASSERT_EQ(source.pn->vertices.size(), 6u);
    for (size_t i = 0; i < 6; ++i) {
        const IVVertexPN &got = source.pn->vertices[i], &position = vertices[i], &first = vertices[i / 3 * 3];
        EXPECT_EQ((std::array{got.x, got.y, got.z, got.nx, got.ny, got.nz}),
                  (std::array{position.x, position.y, position.z, first.nx, first.ny, first.nz}))
            << "vertex " << i;
    }
}

TEST_F(RenderTriangles, StreamIsDeletedWhenAnExceptionPasses) {
    source.pn->throw_on_add = true;
    std::deque<IVVertexPN> vertices(3, IVVertexPN{0, 0, 0, 0, 0, 1});
    EXPECT_THROW(render.RenderTriangles(vertices, true, false), std::length_error);
    EXPECT_EQ(source.pn->streams_destroyed, 1);
}

TEST(RenderExBox, ReadsTheObjectWithoutPresetting) {
    UIObject empty;
    M3DBoundingBox<float> box{1, 2, 3, 4, 5, 6};
    IVRenderEx::GetBoundingBox(box, &empty);
    EXPECT_EQ(box, (M3DBoundingBox<float>{1, 2, 3, 4, 5, 6}));
    EXPECT_EQ(empty.GetLastMask(), 0xFFFFFFFFull);

    UIObject filled;
    filled.SetBox(M3DBoundingBox<float>{-1, 1, -2, 2, -3, 3});
    IVRenderEx::GetBoundingBox(box, &filled);
    EXPECT_EQ(box, (M3DBoundingBox<float>{-1, 1, -2, 2, -3, 3}));
    IVRenderEx::GetBoundingBox(box, nullptr); // nothing to read
}

struct ProjectionScene {
    UIObject object;
    UIWnd3D window{640, 480};
    std::shared_ptr<MFailingTransform> transform = std::make_shared<MFailingTransform>(
        MakeWindowMatrix({1, 0}, {0, 1}, {0, 0}, {0.5, -0.5}, {0, 0, 1, 0}));
    Point in[5] = {{0, 0, 1}, {10, -10, 2}, {20, 20, 3}, {30, 30, 4}, {40, 40, 5}};

    ProjectionScene() { window.SetWorldToWindow(transform); }
};

TEST(RenderExProjection, RoundsHalfAwayFromZeroKeepsDepthInTheDoubleFormAndFollowsThePlacement) {
    ProjectionScene scene;
    CPoint pixels[5];
    ASSERT_TRUE(IVRenderEx::Get3DPointInWindowCoordinates(pixels, scene.in, &scene.object, &scene.window, 5));
    EXPECT_EQ(pixels[1], CPoint(11, -11)); // (10.5, -10.5)
    EXPECT_EQ(pixels[0], CPoint(1, -1));
    Point points[5];
    ASSERT_TRUE(IVRenderEx::Get3DPointInWindowCoordinates(points, scene.in, &scene.object, &scene.window, 5));
    EXPECT_EQ(points[1], Point(10.5, -10.5, 2));

    auto placement = std::make_shared<MMTransformMatrix>();
    placement->MakeTranslation(Point(100, 200, 0));
    scene.object.SetCoordinateSystem(MCoordinateSystem::MakePlaced(placement));
    ASSERT_TRUE(IVRenderEx::Get3DPointInWindowCoordinates(pixels, scene.in, &scene.object, &scene.window, 1));
    EXPECT_EQ(pixels[0], CPoint(101, 200)) << "the object's placement: 100.5 and 199.5, away from zero";
}

TEST(RenderExProjection, FailureOnTheThirdPointLeavesTheRestUntouchedAndCountZeroOnlyFetchesTheTransform) {
    ProjectionScene scene;
    scene.transform->FailOn(scene.in[2]);
    const CPoint sentinel(INT_MIN, INT_MAX);
    CPoint pixels[5] = {sentinel, sentinel, sentinel, sentinel, sentinel};
    EXPECT_FALSE(
        IVRenderEx::Get3DPointInWindowCoordinates(pixels, scene.in, &scene.object, &scene.window, 5));
    EXPECT_EQ(pixels[0], CPoint(1, -1));
    EXPECT_EQ(pixels[1], CPoint(11, -11));
    for (int i = 2; i < 5; ++i)
        EXPECT_EQ(pixels[i], sentinel) << "output " << i;

    const Point marker(-7, -7, -7);
    Point points[5] = {marker, marker, marker, marker, marker};
    EXPECT_FALSE(
        IVRenderEx::Get3DPointInWindowCoordinates(points, scene.in, &scene.object, &scene.window, 5));
    EXPECT_EQ(points[1], Point(10.5, -10.5, 2));
    EXPECT_EQ(points[3], marker);
    EXPECT_EQ(points[4], marker);

    ProjectionScene fresh;
    const size_t before = MTransformRepository::mgp_instance->GetNumRequests();
    EXPECT_TRUE(IVRenderEx::Get3DPointInWindowCoordinates(static_cast<CPoint*>(nullptr), nullptr,
                                                          &fresh.object, &fresh.window, 0));
    EXPECT_EQ(MTransformRepository::mgp_instance->GetNumRequests(), before + 1);
    EXPECT_EQ(fresh.transform->GetNumCalls(), 0u);
    CPoint one[1];
    EXPECT_FALSE(IVRenderEx::Get3DPointInWindowCoordinates(one, fresh.in, nullptr, &fresh.window, 1));
}

} // namespace
