#include "containers/IVVertexContainerBoundingBox.h"
#include "containers/IVVertexContainerFrame.h"
#include "containers/IVVertexContainerM3dBorder.h"
#include "containers/IVVertexContainerMStlSurfaceBorderContour.h"

#include "host/base/MUnit.h"
#include "host/mesh/M3dBorderBuilder.h"
#include "host/mesh/MStlBase.h"
#include "host/mesh/MStlSurfaceBorderContour.h"
#include "tests/support/PointTransforms.h"
#include "tests/support/RecordingStream.h"

#include <gtest/gtest.h>

#include <array>
#include <stdexcept>
#include <string>
#include <vector>

namespace {

using Calls = std::vector<std::string>;

using Segment = std::array<float, 6>;
std::vector<Segment> Segments(const RecordedStreamLog<IVVertexP>& log) {
    std::vector<Segment> segments;
    for (size_t i = 0; i + 1 < log.vertices.size(); i += 2) {
        const IVVertexP& a = log.vertices[i];
        const IVVertexP& b = log.vertices[i + 1];
        segments.push_back({a.x, a.y, a.z, b.x, b.y, b.z});
    }
    return segments;
}

// Depth is a weighted sum of the coordinates; x is shifted so that drawing transformed points
// instead of stored ones would show.
class DepthTransform : public RecordingPointTransform {
public:
    DepthTransform(double wx, double wy, double wz) : md_wx(wx), md_wy(wy), md_wz(wz) {}

protected:
    MMPoint3d<double> _Map(const MMPoint3d<double>& in) const override {
        return {in.x + 100.0, in.y, md_wx * in.x + md_wy * in.y + md_wz * in.z};
    }

private:
    double md_wx, md_wy, md_wz;
};

// The twelve edges of the unit cube, two points each.
std::vector<IVVertexP> CubeEdges() {
    std::vector<IVVertexP> points;
    for (int corner = 0; corner < 8; ++corner)
        for (int axis = 0; axis < 3; ++axis)
            if ((corner & (1 << axis)) == 0) {
                const int other = corner | (1 << axis);
                points.push_back({float(corner & 1), float((corner >> 1) & 1), float((corner >> 2) & 1)});
                points.push_back({float(other & 1), float((other >> 1) & 1), float((other >> 2) & 1)});
            }
    return points;
}

bool Touches(const Segment& segment, float x, float y, float z) {
    return (segment[0] == x && segment[1] == y && segment[2] == z) ||
           (segment[3] == x && segment[4] == y && segment[5] == z);
}

// Edges touching a lowest corner are drawn without exclusion, the others with it; tied corners
// each count.
TEST(BoundingBoxContainer, SplitsTheEdgesAtTheLowestCornersAndCopiesShareThePoints) {
    const struct {
        double wx, wy, wz;
        std::vector<std::array<float, 3>> lowest;
        size_t touching;
    } cases[] = {
        {1.0, 2.0, 4.0, {{0, 0, 0}}, 3},            // every corner has its own depth
        {1.0, 2.0, 0.0, {{0, 0, 0}, {0, 0, 1}}, 5}, // two corners share the lowest depth
    };
    for (const auto& c : cases) {
        std::vector<IVVertexP> points = CubeEdges();
        const DepthTransform depth(c.wx, c.wy, c.wz);
        Exposed<IVVertexContainerBoundingBox> container;
        auto touches_lowest = [&](const Segment& segment) {
            bool touches = false;
            for (const auto& [x, y, z] : c.lowest)
                touches = touches || Touches(segment, x, y, z);
            return touches;
        };
        for (const bool exclude : {false, true}) {
            container.SetParams(&points, &depth, exclude);
            const auto log = Optimise(container);
            EXPECT_EQ(log.calls.front(), "BeginLines");
            EXPECT_EQ(log.calls.back(), "End");
            const auto segments = Segments(log);
            EXPECT_EQ(segments.size(), exclude ? 12 - c.touching : c.touching)
                << c.touching << " " << exclude;
            for (const Segment& segment : segments) {
                EXPECT_EQ(touches_lowest(segment), !exclude) << c.touching << " " << exclude;
                EXPECT_LE(segment[3], 1.0f) << "stored points are drawn, not transformed ones";
            }
        }
    }

    std::vector<IVVertexP> points = CubeEdges();
    const DepthTransform depth(1.0, 2.0, 4.0);
    Exposed<IVVertexContainerBoundingBox> original;
    original.SetParams(&points, &depth, true);
    Exposed<IVVertexContainerBoundingBox> copy(original);
    Exposed<IVVertexContainerBoundingBox> assigned;
    assigned = original;
    points.resize(2); // seen by both: they hold the vector, not a copy of it
    EXPECT_EQ(Optimise(copy).calls, (Calls{"BeginLines", "End"}));
    EXPECT_EQ(Optimise(assigned).calls, (Calls{"BeginLines", "End"}));
}

TEST(BoundingBoxContainer, IgnoresAnUnpairedLastPointAndRaisesOutOfRangeForNoPointsAfterBeginning) {
    std::vector<IVVertexP> points{{0, 0, 5}, {0, 0, 6}, {0, 0, -100}};
    const DepthTransform depth(0.0, 0.0, 1.0);
    Exposed<IVVertexContainerBoundingBox> container;
    container.SetParams(&points, &depth, false);
    // The stray point neither forms a segment nor sets the lowest depth.
    EXPECT_EQ(Segments(Optimise(container)), (std::vector<Segment>{{0, 0, 5, 0, 0, 6}}));

    points.clear();
    RecordingStream<IVVertexP> stream;
    EXPECT_THROW(container._Optimise(stream), std::out_of_range);
    EXPECT_EQ(stream.Log().calls, (Calls{"BeginLines"}));
    points = {{0, 0, 1}, {0, 0, 2}};
    EXPECT_EQ(Optimise(container).calls, (Calls{"BeginLines", "AddLine", "End"})) << "still usable";

    container.SetParams(nullptr, &depth, false);
    EXPECT_TRUE(Optimise(container).calls.empty());
}

TEST(FrameContainer, OutlinesTheParallelogramSummingTheFarCornerAsBPlusAPlusC) {
    Exposed<IVVertexContainerFrame> unset;
    const auto log = Optimise(unset);
    EXPECT_EQ(log.calls, (Calls{"BeginLines", "AddLine", "AddLine", "AddLine", "AddLine", "End"}));
    EXPECT_EQ(Segments(log), std::vector<Segment>(4, Segment{})) << "the default frame: four at the origin";

    MFrame<float> frame;
    frame.mo_corner = {-1e8f, 2.0f, 3.0f};
    frame.mo_edge_a = {1e8f, 10.0f, 0.0f};
    frame.mo_edge_b = {1.0f, 0.0f, 20.0f};
    Exposed<IVVertexContainerFrame> container;
    container.SetParams(frame);
    Exposed<IVVertexContainerFrame> copy(container);

    // (1 + 1e8) + -1e8 is 0 in single precision, where C + A + B would give 1.
    const float far_x = (1.0f + 1e8f) + -1e8f;
    ASSERT_EQ(far_x, 0.0f);
    const std::vector<Segment> expected{{-1e8f, 2, 3, 0, 12, 3},
                                        {far_x, 12, 23, 0, 12, 3},
                                        {far_x, 12, 23, -1e8f + 1.0f, 2, 23},
                                        {-1e8f, 2, 3, -1e8f + 1.0f, 2, 23}};
    EXPECT_EQ(Segments(Optimise(container)), expected);
    EXPECT_EQ(Segments(Optimise(copy)), expected);
}

TEST(M3dBorderContainer, ClosesRingsSkipsContoursWithoutAPositiveCountAndNeedsABorder) {
    M3dBorderBuilder builder;
    builder.AddRing({{0, 0, 0}, {1, 0, 0}}, 0);
    builder.AddRing({{0, 0, 0}, {1, 0, 0}}, -3);
    builder.AddRing({{0, 0, 0}, {1, 0, 0}, {1, 1, 0}});
    builder.AddRing({{5, 5, 5}, {6, 6, 6}}, 1); // a count below the ring's size opens it
    Exposed<IVVertexContainerM3dBorder> container;
    container.SetBorder(builder.GetBorder());

    const auto log = Optimise(container);
    EXPECT_EQ(log.calls.front(), "BeginLines");
    EXPECT_EQ(log.calls.back(), "End");
    EXPECT_EQ(Segments(log),
              (std::vector<Segment>{
                  {0, 0, 0, 1, 0, 0}, {1, 0, 0, 1, 1, 0}, {1, 1, 0, 0, 0, 0}, {5, 5, 5, 6, 6, 6}}));

    M3dBorderBuilder empty;
    container.SetBorder(empty.GetBorder());
    EXPECT_EQ(Optimise(container).calls, (Calls{"BeginLines", "End"}));
    container.SetBorder(nullptr);
    EXPECT_TRUE(Optimise(container).calls.empty());
}

class SurfaceContourContainer : public ::testing::Test {
protected:
    void SetUp() override {
        MUnit::SetIE(1000);
        for (auto [x, y, z] :
             std::vector<std::array<int32_t, 3>>{{1000, 0, 0}, {2000, 500, 0}, {0, 0, 33554435}})
            points.push_back(mesh.AddPoint(x, y, z));
    }

    RecordedStreamLog<IVVertexP> Draw(std::vector<MStlPoint*> nodes, bool closed) {
        MStlSurfaceBorderContour contour(nodes, closed);
        Exposed<IVVertexContainerMStlSurfaceBorderContour> container;
        container.SetParams(&contour);
        return Optimise(container);
    }

    MStlBase mesh;
    std::vector<MStlPoint*> points;
};

TEST_F(SurfaceContourContainer,
       OpenContourJoinsConsecutivePointsAClosedOneReturnsToItsFirstDividingInDoublePrecision) {
    EXPECT_EQ(Segments(Draw({points[0], points[1]}, false)), (std::vector<Segment>{{1, 0, 0, 2, 0.5f, 0}}));
    EXPECT_TRUE(Draw({points[0]}, false).calls.empty());
    EXPECT_TRUE(Draw({}, false).calls.empty());
    Exposed<IVVertexContainerMStlSurfaceBorderContour> without_contour;
    EXPECT_TRUE(Optimise(without_contour).calls.empty());

    const auto single = Draw({points[1]}, true);
    EXPECT_EQ(single.calls, (Calls{"BeginLines", "AddLine", "End"}));
    EXPECT_EQ(Segments(single), (std::vector<Segment>{{2, 0.5f, 0, 2, 0.5f, 0}}));

    const auto triangle = Segments(Draw({points[0], points[1], points[2]}, true));
    ASSERT_EQ(triangle.size(), 3u);
    EXPECT_EQ(triangle[2][0], 0.0f);
    EXPECT_EQ(triangle[2][3], 1.0f);

    EXPECT_TRUE(Draw({}, true).calls.empty());

    const auto divided = Segments(Draw({points[0], points[2]}, false));
    ASSERT_EQ(divided.size(), 1u);
    const float expected = static_cast<float>(33554435.0 / 1000.0);
    ASSERT_NE(expected, 33554435.0f / 1000.0f); // the case tells the two precisions apart
    EXPECT_EQ(divided[0][5], expected);
}

} // namespace
