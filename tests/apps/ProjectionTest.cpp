// The panoramic point transforms: where each puts a direction on the image, that they keep the
// distance from the eye as depth, and that their inverses undo them.
#include "apps/ArcTangent.h"
#include "apps/CylindricalTransform.h"
#include "apps/EquirectTransform.h"
#include "apps/FisheyeTransform.h"
#include "apps/WindowProjection.h"
#include "host/render/soft/IVDisplaySurfaceSoft.h"
#include "pano/IVRenderFactoryStubSoftPano.h"
#include "pano/IVRenderSoftPano.h"

#include <gtest/gtest.h>

#include <array>
#include <bit>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <memory>
#include <numbers>
#include <vector>

namespace {

// Eye at (0, -100, 0) looking along +y, z up; 200 x 100 pixels.
Camera Viewer() {
    return Camera({0, -100, 0}, {0, 0, 0}, 200, 100, 60.0);
}

// The world point seen from the viewer's eye at `right` degrees to the right and `up` degrees up
// (longitude and latitude), `distance` away.
MMPoint3d<double> Seen(double right, double up, double distance) {
    const double longitude = right * std::numbers::pi / 180.0, latitude = up * std::numbers::pi / 180.0;
    return {distance * std::cos(latitude) * std::sin(longitude),
            -100.0 + distance * std::cos(latitude) * std::cos(longitude), distance * std::sin(latitude)};
}

MMPoint3d<double> OnImage(std::shared_ptr<const PanoramicTransform> transform,
                          const MMPoint3d<double>& world) {
    const WindowProjection projection(PanoramicTransform::MakeCanvasCamera(Viewer()), std::move(transform));
    MMPoint3d<double> window;
    EXPECT_TRUE(projection.Transform(window, world, false));
    return window;
}

} // namespace

TEST(ProjectionTest, ArcTangentStaysWithinTwoUnitsInTheLastPlaceOfTheLibrarysInEveryOctantAndPairsMatchIt) {
    // Every octant and both sides of each reduction boundary (tan 33.4 and 45 degrees), over
    // magnitudes from tiny to huge, plus the axes and signed zeros.
    uint64_t state = 12345;
    const auto next = [&state] {
        state = state * 6364136223846793005u + 1442695040888963407u;
        return double(state >> 11) * 0x1p-53;
    };
    for (int k = 0; k < 200000; ++k) {
        const double angle = (2.0 * next() - 1.0) * std::numbers::pi;
        const double scale = std::ldexp(1.0, int(next() * 600.0) - 300);
        const double y = scale * std::sin(angle), x = scale * std::cos(angle);
        const double expected = std::atan2(y, x), actual = ArcTangent2(y, x);
        ASSERT_LE(std::abs(actual - expected), 2.0 * std::abs(expected) * 0x1p-52)
            << "atan2(" << y << ", " << x << "): expected " << expected << ", got " << actual;
        // Two at once: the same bits in each lane (the second lane mirrored into another octant).
        const DoublePair pair = ArcTangent2(MakePair(y, -x), MakePair(x, y));
        ASSERT_EQ(std::bit_cast<uint64_t>(First(pair)), std::bit_cast<uint64_t>(actual)) << y << ", " << x;
        ASSERT_EQ(std::bit_cast<uint64_t>(Second(pair)), std::bit_cast<uint64_t>(ArcTangent2(-x, y)))
            << -x << ", " << y;
    }
    for (const double y : {0.0, -0.0, 1.0, -1.0, 1e-300})
        for (const double x : {0.0, -0.0, 1.0, -1.0, 1e300}) {
            const double expected = std::atan2(y, x), actual = ArcTangent2(y, x);
            EXPECT_EQ(actual, expected) << "atan2(" << y << ", " << x << ")";
            EXPECT_EQ(std::signbit(actual), std::signbit(expected)) << "atan2(" << y << ", " << x << ")";
        }
}

TEST(ProjectionTest, TransformPointsGivesTheFloatsOfOnePointAtATimeForAnyCountAndEverySpecialPoint) {
    // An oblique camera too: with no axis component zero, one infinite coordinate makes every
    // eye-space one infinite rather than not a number.
    const Camera oblique({0, -100, 0}, {30, -60, 20}, 200, 100, 60.0);
    const std::shared_ptr<PanoramicTransform> transforms[] = {
        std::make_shared<FisheyeTransform>(Viewer(), 180.0),
        std::make_shared<FisheyeTransform>(Viewer(), 360.0),
        std::make_shared<EquirectTransform>(Viewer(), 360.0),
        std::make_shared<CylindricalTransform>(Viewer(), 180.0),
        std::make_shared<FisheyeTransform>(oblique, 200.0),
        std::make_shared<CylindricalTransform>(oblique, 180.0)};
    // Around the eye at (0, -100, 0), looking along +y with z up: every scale, and the points the
    // mappings treat apart (the eye, the axis ahead and behind, straight and nearly straight up
    // and down, beyond finite), each next to an ordinary one in the same pair.
    std::vector<std::array<float, 3>> points;
    uint64_t state = 777;
    const auto next = [&state] {
        state = state * 6364136223846793005u + 1442695040888963407u;
        return double(state >> 11) * 0x1p-53;
    };
    for (int k = 0; k < 3000; ++k) {
        const double scale = std::ldexp(1.0, int(next() * 40.0) - 10);
        points.push_back({float(scale * (2.0 * next() - 1.0)), float(-100.0 + scale * (2.0 * next() - 1.0)),
                          float(scale * (2.0 * next() - 1.0))});
    }
    const std::array<float, 3> specials[] = {{0, -100, 0},           {0, -50, 0},         {0, -150, 0},
                                             {0, -100, 7},           {0, -100, -7},       {1e-14f, -100, 7},
                                             {1e-14f, -100, -7},     {INFINITY, 0, 0},    {NAN, 1, 2},
                                             {1e30f, -1e30f, 1e30f}, {-0.0f, -100, -0.0f}};
    for (const std::array<float, 3>& special : specials) {
        points.insert(points.begin() + 2 * int(points.size() / 4), special);
        points.push_back(special);
    }
    for (const auto& transform : transforms)
        for (int count = 1; count <= 5; ++count)
            for (size_t first = 0; first + size_t(count) <= points.size(); first += size_t(count)) {
                float in[5][3], out[5][3], expected[3];
                for (int i = 0; i < count; ++i)
                    std::memcpy(in[i], points[first + size_t(i)].data(), sizeof in[i]);
                transform->TransformPoints(out, in, count);
                for (int i = 0; i < count; ++i) {
                    transform->Transform(expected, in[i][0], in[i][1], in[i][2], false);
                    ASSERT_EQ(std::memcmp(out[i], expected, sizeof expected), 0)
                        << "point (" << in[i][0] << ", " << in[i][1] << ", " << in[i][2] << ") of " << count
                        << ": expected (" << expected[0] << ", " << expected[1] << ", " << expected[2]
                        << "), got (" << out[i][0] << ", " << out[i][1] << ", " << out[i][2] << ")";
                }
            }
}

TEST(ProjectionTest, ImagePositionsFollowEachEquationDepthIsTheDistanceAndInversesUndoTheTransforms) {
    using Transform = std::shared_ptr<PanoramicTransform>;
    const Transform fisheye = std::make_shared<FisheyeTransform>(Viewer(), 180.0);
    const Transform wide = std::make_shared<FisheyeTransform>(Viewer(), 200.0);
    const Transform equirect = std::make_shared<EquirectTransform>(Viewer(), 360.0);
    const Transform cylindrical = std::make_shared<CylindricalTransform>(Viewer(), 180.0);
    // The fisheye's radius grows linearly with the angle, to the rim of a 180-degree fisheye and
    // beyond it behind the eye; the equirectangular image spreads longitude and latitude evenly;
    // the cylindrical keeps longitude linear and height as the tangent of the latitude.
    const struct {
        Transform transform;
        double right, up, distance, x, y;
    } cases[] = {
        {fisheye, 0, 0, 30, 100, 50},
        {fisheye, 45, 0, 30, 150, 50},
        {fisheye, 0, 30, 30, 100, 50 - 100.0 / 3.0},
        {fisheye, 90, 0, 30, 200, 50},
        {fisheye, -120, 0, 30, 100 - 100.0 * 120 / 90, 50},
        {equirect, 90, 0, 20, 150, 50},
        {equirect, -170, 0, 20, 100 - 100.0 * 170 / 180, 50},
        {equirect, 30, 45, 20, 100 + 100.0 * 30 / 180, 25},
        {cylindrical, 45, 45, 20, 150, 50 - 100 / (std::numbers::pi / 2)},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(::testing::Message() << "at " << c.right << ", " << c.up);
        const MMPoint3d<double> window = OnImage(c.transform, Seen(c.right, c.up, c.distance));
        EXPECT_NEAR(window.x, c.x, 1e-9);
        EXPECT_NEAR(window.y, c.y, 1e-9);
    }
    for (const Transform& transform : {wide, cylindrical, equirect})
        for (const auto& [right, up, distance] :
             {std::array<double, 3>{10, 5, 7}, {-80, -30, 55}, {150, 20, 12}, {0, -60, 3}}) {
            const MMPoint3d<double> world = Seen(right, up, distance);
            EXPECT_NEAR(OnImage(transform, world).z, distance, 1e-9);
            MMPoint3d<double> moved, back;
            ASSERT_TRUE(transform->Transform(moved, world, false));
            ASSERT_TRUE(transform->InverseTransform(back, moved, false));
            EXPECT_NEAR(back.x, world.x, 1e-9);
            EXPECT_NEAR(back.y, world.y, 1e-9);
            EXPECT_NEAR(back.z, world.z, 1e-9);
        }
}

// Pictures drawn through the panoramic device as the renderer drives it: the factory's device,
// the canvas camera behind the point transform, near clipping and subdivision switched on.
namespace {

constexpr uint32_t BACKGROUND = 0xFF000000u;
constexpr int PANO_WIDTH = 96, PANO_HEIGHT = 48;

enum class View { eLinear, eFisheye, eCylindrical, eEquirect, ePlain };

struct Picture {
    std::shared_ptr<PanoramicTransform> transform;
    Camera camera;
    IVDisplaySurfaceSoft surface;

    // The world direction a pixel centre shows.
    MMPoint3d<double> Direction(int x, int y) const {
        const double u = (x + 0.5 - 0.5 * PANO_WIDTH) / (0.5 * PANO_WIDTH);
        const double v = (0.5 * PANO_HEIGHT - (y + 0.5)) / (0.5 * PANO_WIDTH);
        const MMPoint3d<double> eye = camera.GetEye();
        MMPoint3d<double> world = camera.FromEye({u, v, 1.0});
        if (transform) {
            const MMPoint3d<double> canvas =
                PanoramicTransform::MakeCanvasCamera(camera).FromEye({u, v, 1.0});
            EXPECT_TRUE(transform->InverseTransform(world, canvas, false));
        }
        return {world.x - eye.x, world.y - eye.y, world.z - eye.z};
    }
};

// Draws `draw` into a picture of `view` from `eye` towards `target`, through the device the
// factory makes, reached as a client reaches it.
template <class Draw>
Picture Render(View view, const MMPoint3d<double>& eye, const MMPoint3d<double>& target, bool extensions,
               Draw draw) {
    const Camera camera(eye, target, PANO_WIDTH, PANO_HEIGHT, 90.0);
    std::shared_ptr<PanoramicTransform> transform;
    if (view == View::eFisheye)
        transform = std::make_shared<FisheyeTransform>(camera, 200.0);
    else if (view == View::eCylindrical)
        transform = std::make_shared<CylindricalTransform>(camera, 360.0);
    else if (view == View::eEquirect)
        transform = std::make_shared<EquirectTransform>(camera, 360.0);
    const Camera linear = transform ? PanoramicTransform::MakeCanvasCamera(camera) : camera;

    Picture picture{transform, camera, IVDisplaySurfaceSoft(PANO_WIDTH, PANO_HEIGHT)};
    // ePlain: the plain software device, which clips at the near plane on its own.
    IVRenderSoft plain;
    IVRenderSoft* device = &plain;
    IVRenderFactoryStubSoftPano factory;
    if (view != View::ePlain) {
        factory.Create(IIVRenderFactoryStub::eRenderTypeSoftware);
        auto* pano = static_cast<IVRenderSoftPano*>(factory.GetDevice());
        pano->SetTransform(transform.get());
        if (extensions) {
            pano->SetNearClipping(true);
            pano->SetSubdivision(0.5f, 8);
        }
        device = pano;
    }
    float matrix[16];
    linear.GetWorldEye(matrix);
    device->SetTransformWorldEye(matrix);
    linear.GetEyeWindow(matrix);
    device->SetTransformEyeWindow(matrix);
    device->EnableLighting(false); // flat colours
    picture.surface.Clear(BACKGROUND);
    device->StartFrame(&picture.surface, nullptr);
    draw(*device);
    device->StopFrame();
    if (view != View::ePlain)
        factory.Destroy();
    return picture;
}

// The cube [-1, 1]^3, each wall two triangles in its own colour; wall k faces axis k / 2, on the
// negative side for even k.
const float WALL_COLOURS[6][3] = {{1, 0, 0}, {0, 1, 0}, {0, 0, 1}, {1, 1, 0}, {0, 1, 1}, {1, 0, 1}};

void DrawBox(IVRender& device) {
    for (int wall = 0; wall < 6; ++wall) {
        const int axis = wall / 2, first = (axis + 1) % 3, second = (axis + 2) % 3;
        const float side = wall % 2 == 0 ? -1.0f : 1.0f;
        float corners[4][3];
        const float steps[4][2] = {{-1, -1}, {1, -1}, {1, 1}, {-1, 1}};
        for (int k = 0; k < 4; ++k) {
            corners[k][axis] = side;
            corners[k][first] = steps[k][0];
            corners[k][second] = steps[k][1];
        }
        float inward[3] = {0, 0, 0};
        inward[axis] = -side;
        device.DrawTriangle(corners[0], corners[1], corners[2], inward, WALL_COLOURS[wall]);
        device.DrawTriangle(corners[0], corners[2], corners[3], inward, WALL_COLOURS[wall]);
    }
}

// The wall a ray from `eye` (inside the box) along `direction` leaves it through.
int WallOf(const MMPoint3d<double>& eye, const MMPoint3d<double>& direction) {
    const double from[3] = {eye.x, eye.y, eye.z}, along[3] = {direction.x, direction.y, direction.z};
    int wall = 0;
    double nearest = INFINITY;
    for (int axis = 0; axis < 3; ++axis) {
        const double side = along[axis] > 0.0 ? 1.0 : -1.0, distance = (side - from[axis]) / along[axis];
        if (along[axis] != 0.0 && distance < nearest) {
            nearest = distance;
            wall = 2 * axis + (along[axis] > 0.0 ? 1 : 0);
        }
    }
    return wall;
}

uint32_t WordOf(const float* colour) {
    return 0xFF000000u | IVRenderSoft::MakeColourWord(colour);
}

const char* Name(View view) {
    const char* names[] = {"linear", "fisheye", "cylindrical", "equirect", "plain device"};
    return names[int(view)];
}

} // namespace

// From inside a closed box every pixel shows a wall, and away from the walls' edges (where either
// may show) the wall its ray meets: near clipping and subdivision close the seams and the poles.
TEST(PanoramaPixelTest, CameraInsideAClosedBoxSeesTheWallOfEveryRayInEveryView) {
    const MMPoint3d<double> eye{0.13, -0.21, 0.08}, target{0.5, 0.9, 0.3};
    for (const View view :
         {View::eLinear, View::eFisheye, View::eCylindrical, View::eEquirect, View::ePlain}) {
        const Picture picture = Render(view, eye, target, true, DrawBox);
        int checked = 0, background = 0, wrong = 0;
        for (int y = 0; y < PANO_HEIGHT; ++y)
            for (int x = 0; x < PANO_WIDTH; ++x) {
                const uint32_t shown = picture.surface.GetPixel(x, y);
                if (shown == BACKGROUND && background++ == 0)
                    ADD_FAILURE() << Name(view) << ": background at " << x << "," << y;
                const int wall = WallOf(eye, picture.Direction(x, y));
                bool clear = true;
                for (int dy = -2; dy <= 2 && clear; ++dy)
                    for (int dx = -2; dx <= 2 && clear; ++dx)
                        if (y + dy >= 0 && y + dy < PANO_HEIGHT)
                            clear = WallOf(eye, picture.Direction((x + dx + PANO_WIDTH) % PANO_WIDTH,
                                                                  y + dy)) == wall;
                checked += clear ? 1 : 0;
                if (clear && shown != WordOf(WALL_COLOURS[wall]) && wrong++ == 0)
                    ADD_FAILURE() << Name(view) << ": " << x << "," << y << " shows " << shown
                                  << ", expected " << WordOf(WALL_COLOURS[wall]);
            }
        EXPECT_EQ(background, 0) << Name(view) << ": background pixels";
        EXPECT_EQ(wrong, 0) << Name(view) << ": pixels showing another wall than their ray meets";
        EXPECT_GT(checked, PANO_WIDTH * PANO_HEIGHT / 2) << Name(view);
    }
}

TEST(PanoramaPixelTest, StraightEdgeUnderAFisheyeStaysWithinAPixelOfItsCurve) {
    // A wide triangle on the plane y = 2 in front of the eye; its lower edge bends into an arc.
    const float a[3] = {-6, 2, -1}, b[3] = {6, 2, -1}, c[3] = {0, 2, 5};
    const float toward[3] = {0, -1, 0}, white[3] = {1, 1, 1};
    // Straight between its projected corners (extensions off) it must miss the curve.
    for (const bool extensions : {true, false}) {
        const Picture picture =
            Render(View::eFisheye, {0, 0, 0}, {0, 1, 0}, extensions,
                   [&](IVRender& device) { device.DrawTriangle(a, b, c, toward, white); });
        // Whether the ray through a pixel centre meets the triangle.
        auto inside = [&](int x, int y) {
            const MMPoint3d<double> d = picture.Direction(x, y);
            if (!(d.y > 0.0))
                return false;
            const double t = 2.0 / d.y, px = d.x * t, pz = d.z * t;
            const double e0 = (b[0] - a[0]) * (pz - a[2]) - (b[2] - a[2]) * (px - a[0]);
            const double e1 = (c[0] - b[0]) * (pz - b[2]) - (c[2] - b[2]) * (px - b[0]);
            const double e2 = (a[0] - c[0]) * (pz - c[2]) - (a[2] - c[2]) * (px - c[0]);
            return (e0 >= 0 && e1 >= 0 && e2 >= 0) || (e0 <= 0 && e1 <= 0 && e2 <= 0);
        };
        int covered = 0, far_off = 0;
        for (int y = 0; y < PANO_HEIGHT; ++y)
            for (int x = 0; x < PANO_WIDTH; ++x) {
                const bool drawn = picture.surface.GetPixel(x, y) != BACKGROUND, expected = inside(x, y);
                covered += expected ? 1 : 0;
                if (drawn == expected)
                    continue;
                // A miss counts only when no pixel within one step is on the other side of the curve.
                bool near_edge = false;
                for (int dy = -1; dy <= 1; ++dy)
                    for (int dx = -1; dx <= 1; ++dx)
                        near_edge = near_edge || inside(x + dx, y + dy) == drawn;
                far_off += near_edge ? 0 : 1;
            }
        EXPECT_GT(covered, 200);
        if (extensions)
            EXPECT_EQ(far_off, 0) << "pixels more than a pixel from the fisheye's image of the triangle";
        else
            EXPECT_GT(far_off, 0) << "a straight edge went unnoticed";
    }
}
