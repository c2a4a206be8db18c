// End-to-end properties of rendered frames, drawn in-process through the renderer's core at
// 160 x 120 with few triangles: what a viewer would notice if a stage of the pipeline broke.
#include "apps/BuiltInScene.h"
#include "apps/FrameRenderer.h"
#include "apps/InputError.h"
#include "apps/Overlay.h"
#include "apps/PrimitiveBuilder.h"
#include "apps/RoomScene.h"

#include "host/base/MMaterial.h"
#include "host/base/MUnit.h"

#include <gtest/gtest.h>

#include <array>
#include <cmath>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

namespace {

constexpr int WIDTH = 160;
constexpr int HEIGHT = 120;
constexpr uint32_t RED = MMaterial::MakeColour(220, 30, 30, 255);
constexpr uint32_t BLUE = MMaterial::MakeColour(30, 30, 220, 255);
constexpr uint32_t GREEN = MMaterial::MakeColour(30, 200, 30, 255);

using Pixel = std::array<int, 3>;

Pixel At(const FrameRenderer& renderer, int x, int y) {
    const uint8_t* pixel = renderer.GetPixels() + 4 * (size_t(y) * size_t(renderer.GetWidth()) + size_t(x));
    return {pixel[0], pixel[1], pixel[2]};
}

Pixel Background() {
    return {int(FrameRenderer::BACKGROUND & 0xFF), int((FrameRenderer::BACKGROUND >> 8) & 0xFF),
            int((FrameRenderer::BACKGROUND >> 16) & 0xFF)};
}

uint32_t WithAlpha(uint32_t colour, uint8_t alpha) {
    return (colour & 0x00FFFFFFu) | uint32_t(alpha) << 24;
}

void AddBox(Scene& scene, const MMPoint3d<double>& minimum, const MMPoint3d<double>& maximum, uint32_t colour,
            bool transparent) {
    PrimitiveBuilder builder;
    builder.AddBox(minimum, maximum, 2);
    scene.AddMesh(builder.Take(), "box", colour, transparent);
}

// Small pictures; the camera looks along +y from y = -100 at the origin unless `along_y` is false
// (framed automatically).
Options SmallOptions(bool along_y = false) {
    Options options;
    options.width = WIDTH;
    options.height = HEIGHT;
    if (along_y) {
        options.eye = MMPoint3d<double>{0, -100, 0};
        options.target = MMPoint3d<double>{0, 0, 0};
    }
    return options;
}

} // namespace

// Untextured boxes are sorted by the cache, textured ones drawn whole, farthest first.
TEST(RendererTest, NearerOfTwoTransparentObjectsDominatesFromEitherSideOfTheOrbit) {
    for (const bool textured : {false, true}) {
        SCOPED_TRACE(textured ? "textured" : "untextured");
        Scene scene;
        const auto add = [&](const MMPoint3d<double>& minimum, const MMPoint3d<double>& maximum,
                             uint32_t colour) {
            if (!textured)
                return AddBox(scene, minimum, maximum, WithAlpha(colour, 160), true);
            PrimitiveBuilder builder;
            builder.AddBox(minimum, maximum, 2);
            StlMesh mesh = builder.Take();
            // One texel of the colour; the colour word gives only the opacity.
            mesh.texture = std::make_shared<const StlMesh::Image>(
                StlMesh::Image{1, 1, {uint8_t(colour), uint8_t(colour >> 8), uint8_t(colour >> 16), 255}});
            mesh.texture_coordinates.assign(mesh.triangles.size(), {0, 0, 0, 0, 0, 0});
            scene.AddMesh(std::move(mesh), "box", WithAlpha(0xFFFFFFFFu, 160), true);
        };
        add({-20, -25, -20}, {20, -5, 20}, RED);
        add({-20, 5, -20}, {20, 25, 20}, GREEN);
        Options options = SmallOptions(true);
        options.frames = 2;
        options.orbit_degrees = 360.0; // frame 1 looks from the other side
        FrameRenderer renderer(scene, options);
        EXPECT_EQ(renderer.Render(0).sorted, !textured) << "the cache sorts only what it draws";
        const Pixel front = At(renderer, WIDTH / 2, HEIGHT / 2);
        EXPECT_GT(front[0], front[1] + 60) << "red is nearer from y = -100";
        EXPECT_EQ(renderer.Render(1).sorted, !textured);
        const Pixel back = At(renderer, WIDTH / 2, HEIGHT / 2);
        EXPECT_GT(back[1], back[0] + 60) << "green is nearer from y = +100";
    }
}

// A transparent box in front of an opaque one mixes the two colours. Without a tolerance the
// transparent fill draws as it goes and keeps nothing to replay; a tolerance set afterwards must
// not replay that empty fill, nor must a frame that skips its sort.
TEST(RendererTest, TransparentBoxMixesOverAnOpaqueOneAndStaysWhenTheToleranceChangesOrASortIsSkipped) {
    Scene scene;
    AddBox(scene, {-30, 20, -30}, {30, 30, 30}, RED, false);
    AddBox(scene, {-10, -10, -10}, {10, 0, 10}, WithAlpha(BLUE, 128), true);
    FrameRenderer renderer(scene, SmallOptions(true));
    const auto picture = [&] {
        return std::vector<uint8_t>(renderer.GetPixels(),
                                    renderer.GetPixels() + 4 * size_t(WIDTH) * size_t(HEIGHT));
    };
    EXPECT_TRUE(renderer.Render(0).sorted);
    // The faces look straight at the camera, so the lighting shades them all alike (measured on the
    // opaque box); the transparent box's back face (alpha 128 of 255) blends over the red, its
    // front face over that.
    const Pixel opaque_only = At(renderer, WIDTH / 2 + 25, HEIGHT / 2);
    const double shade = opaque_only[0] / 220.0;
    EXPECT_GT(shade, 0.6);
    EXPECT_NEAR(opaque_only[2], 30 * shade, 2);
    const double red = 30 * shade, blue = 220 * shade;
    const double back_red = (red * 128 + opaque_only[0] * 127) / 255,
                 back_blue = (blue * 128 + opaque_only[2] * 127) / 255;
    const Pixel mixed = At(renderer, WIDTH / 2, HEIGHT / 2);
    EXPECT_NEAR(mixed[0], (red * 128 + back_red * 127) / 255, 3);
    EXPECT_NEAR(mixed[2], (blue * 128 + back_blue * 127) / 255, 3);

    const std::vector<uint8_t> sorted = picture();
    renderer.SetSkipSortTolerance(10.0);
    EXPECT_TRUE(renderer.Render(0).sorted);
    EXPECT_TRUE(picture() == sorted) << "first frame with a tolerance";
    EXPECT_FALSE(renderer.Render(0).sorted);
    EXPECT_TRUE(picture() == sorted) << "frame that replays the stream";
    renderer.SetSkipSortTolerance(0.0);
    for (int again = 0; again < 2; ++again) { // the same view twice: nothing turned, still sorted
        EXPECT_TRUE(renderer.Render(0).sorted);
        EXPECT_TRUE(picture() == sorted) << "back to sorting every frame, " << again;
    }
}

TEST(RendererTest, ClippingPlaneRemovesTheExpectedHalf) {
    Scene scene;
    AddBox(scene, {-40, 0, -25}, {40, 5, 25}, RED, false);
    Options options = SmallOptions(true);
    options.clip = std::array<double, 4>{1, 0, 0, 0}; // keeps x >= 0
    FrameRenderer renderer(scene, options);
    renderer.Render(0);
    for (const int offset : {5, 20, 40}) {
        EXPECT_EQ(At(renderer, WIDTH / 2 - offset, HEIGHT / 2), Background()) << "x < 0 must be clipped";
        const Pixel kept = At(renderer, WIDTH / 2 + offset, HEIGHT / 2);
        EXPECT_GT(kept[0], kept[2] + 100) << "x > 0 must stay, red; found " << kept[0] << ", " << kept[2];
    }
}

TEST(RendererTest, GizmoStrokesAppearAtTheProjectedCorners) {
    Scene scene;
    AddBox(scene, {-20, -20, -20}, {20, 20, 20}, WithAlpha(BLUE, 100), true);
    Options options = SmallOptions();
    options.eye = MMPoint3d<double>{-60, -90, 50};
    options.target = MMPoint3d<double>{0, 0, 0};
    options.gizmo = true;
    FrameRenderer renderer(scene, options);
    renderer.Render(0);
    auto is_stroke = [](const Pixel& pixel) {
        const Pixel near_colour{255, 255, 255}, far_colour{255, 215, 0};
        return pixel == near_colour || pixel == far_colour;
    };
    for (int corner = 0; corner < 8; ++corner) {
        const MMPoint3d<double> world{corner & 1 ? 20.0 : -20.0, corner & 2 ? 20.0 : -20.0,
                                      corner & 4 ? 20.0 : -20.0};
        MMPoint3d<double> window;
        ASSERT_TRUE(renderer.Project(0, world, window));
        bool found = false;
        for (int dy = -2; dy <= 2 && !found; ++dy)
            for (int dx = -2; dx <= 2 && !found; ++dx)
                found =
                    is_stroke(At(renderer, int(std::lround(window.x)) + dx, int(std::lround(window.y)) + dy));
        EXPECT_TRUE(found) << "no handle stroke near corner " << corner << " at (" << window.x << ", "
                           << window.y << ")";
    }
    // Without the gizmo none of those pixels has a stroke colour.
    options.gizmo = false;
    FrameRenderer plain(scene, options);
    plain.Render(0);
    int strokes = 0;
    for (int y = 0; y < HEIGHT; ++y)
        for (int x = 0; x < WIDTH; ++x)
            strokes += is_stroke(At(plain, x, y));
    EXPECT_EQ(strokes, 0);
}

TEST(RendererTest, AnimationScaleFollowsTheSequenceAndMovesThePoints) {
    Scene scene = BuiltInScene::Make(MUnit::GetIE(), 0.25);
    Options options = SmallOptions();
    options.frames = 4;
    options.animate = 3.0;
    FrameRenderer renderer(scene, options);
    EXPECT_DOUBLE_EQ(renderer.GetAnimationScale(0), 3.0);
    EXPECT_NEAR(renderer.GetAnimationScale(2), -3.0, 1e-12);
    renderer.Render(0);
    std::vector<uint8_t> first(renderer.GetPixels(), renderer.GetPixels() + WIDTH * HEIGHT * 4);
    options.frames = 1;
    options.animate = 0.0;
    FrameRenderer still(scene, options);
    still.Render(0);
    EXPECT_NE(0, std::memcmp(first.data(), still.GetPixels(), first.size()))
        << "displacement changed nothing";
}

// Every corner of the scene's box inside the image, 5% of the shorter side clear of the edges,
// and nothing drawn on the image's outermost pixels, over projections, fields of view and sizes.
TEST(RendererTest, AutomaticFramingKeepsTheSceneBoxInsideTheMarginEverywhere) {
    Scene scene = BuiltInScene::Make(MUnit::GetIE(), 0.25);
    const Bounds bounds = scene.GetBounds();
    const std::pair<Projection, std::vector<double>> projections[] = {
        {Projection::eNone, {20.0, 60.0, 150.0}},
        {Projection::eFisheye, {90.0, 180.0, 300.0}},
        {Projection::eCylindrical, {90.0, 180.0, 360.0}},
        {Projection::eEquirect, {120.0, 360.0}}};
    const std::pair<int, int> sizes[] = {{160, 90}, {100, 100}, {90, 160}, {200, 40}};
    for (const auto& [projection, fields] : projections)
        for (const double fov : fields)
            for (const auto& [width, height] : sizes)
                for (const int frames : {1, 6}) {
                    Options options;
                    options.width = width;
                    options.height = height;
                    options.projection = projection;
                    options.fov_degrees = fov;
                    options.frames = frames;
                    options.orbit_degrees = 360.0;
                    FrameRenderer renderer(scene, options);
                    const double margin = 0.05 * std::min(width, height) - 1e-6;
                    SCOPED_TRACE(::testing::Message()
                                 << "projection " << int(projection) << ", fov " << fov << ", " << width
                                 << "x" << height << ", frames " << frames);
                    for (int frame = 0; frame < frames; ++frame)
                        for (int corner = 0; corner < 8; ++corner) {
                            const MMPoint3d<double> world{corner & 1 ? bounds.maximum.x : bounds.minimum.x,
                                                          corner & 2 ? bounds.maximum.y : bounds.minimum.y,
                                                          corner & 4 ? bounds.maximum.z : bounds.minimum.z};
                            MMPoint3d<double> window;
                            ASSERT_TRUE(renderer.Project(frame, world, window));
                            EXPECT_TRUE(window.x >= margin && window.x <= width - margin &&
                                        window.y >= margin && window.y <= height - margin)
                                << "frame " << frame << ": corner " << corner << " at (" << window.x << ", "
                                << window.y << "), margin " << margin;
                        }
                    renderer.Render(frames - 1);
                    int drawn_on_edge = 0;
                    for (int y = 0; y < height; ++y)
                        for (int x = 0; x < width; x += y == 0 || y == height - 1 ? 1 : width - 1)
                            drawn_on_edge += At(renderer, x, y) != Background();
                    EXPECT_EQ(drawn_on_edge, 0) << "pixels drawn on the image's edge";
                }
}

// The label's text keeps all its pixels wherever the label's point lands: near each corner of the
// image it draws as many white pixels beyond its arrow (a blank label's pixels) as in the middle.
TEST(RendererTest, LabelTextDecodedFromUtf8StaysWhollyInsideTheImage) {
    auto white_pixels = [](double x, double z, const std::string& label) {
        Scene scene;
        AddBox(scene, {x - 1, -1, z - 2}, {x + 1, 1, z}, RED, false);
        Options options = SmallOptions(true);
        options.label = label;
        FrameRenderer renderer(scene, options);
        renderer.Render(0);
        int count = 0;
        for (int y = 0; y < HEIGHT; ++y)
            for (int column = 0; column < WIDTH; ++column)
                count += At(renderer, column, y) == Pixel{255, 255, 255};
        return count;
    };
    auto text_pixels = [&](double x, double z) {
        return white_pixels(x, z, "Vantrel label") - white_pixels(x, z, " ");
    };
    const int middle = text_pixels(0, 0);
    EXPECT_GT(middle, 60);
    // 100 units ahead, 1.386 pixels per unit: the box tops land 4 pixels from the image's corners.
    const double x = 76.0 / 1.3856, z = 56.0 / 1.3856;
    for (const auto& [sx, sz] : {std::pair{-1, 1}, {1, 1}, {-1, -1}, {1, -1}})
        // A pixel or two where the text meets the arrow.
        EXPECT_NEAR(text_pixels(sx * x, sz * z), middle, 3)
            << "label point near corner (" << sx << ", " << -sz << ")";

    // Labels are UTF-8; malformed bytes become replacement characters.
    EXPECT_EQ(Overlay::Widen("a\xC3\xA9\xE2\x82\xAC"), std::wstring(L"a\u00E9\u20AC"));
    EXPECT_EQ(Overlay::Widen("x\xFFy\xC3"), std::wstring(L"x\uFFFDy\uFFFD"));
}

TEST(RendererTest, EyeOnTheTargetIsRejected) {
    Scene scene = BuiltInScene::Make(MUnit::GetIE(), 0.25);
    Options options = SmallOptions();
    options.eye = options.target = MMPoint3d<double>{10, 20, 30};
    EXPECT_THROW(FrameRenderer(scene, options), InputError);
    options.target.reset();
    options.eye = scene.GetBounds().Centre();
    EXPECT_THROW(FrameRenderer(scene, options), InputError);
}

// Inside the room the scene's centre lies up in the sky beyond the window, so an eye given alone
// must keep the room's own view direction, the same picture as with that target spelled out.
TEST(RendererTest, AnEyeMovedThroughTheRoomKeepsTheRoomsViewDirection) {
    Scene scene = RoomScene::Make();
    for (const Projection projection : {Projection::eNone, Projection::eFisheye}) {
        const bool corner = projection == Projection::eNone;
        const MMPoint3d<double> from = corner ? RoomScene::CORNER_EYE : RoomScene::EYE;
        const MMPoint3d<double> to = corner ? RoomScene::CORNER_TARGET : RoomScene::TARGET;
        Options options = SmallOptions();
        options.scene = SceneKind::eRoom;
        options.projection = projection;
        options.eye = MMPoint3d<double>{1000.0, -500.0, 1200.0};
        FrameRenderer alone(scene, options);
        alone.Render(0);
        options.target = MMPoint3d<double>{options.eye->x + (to.x - from.x), options.eye->y + (to.y - from.y),
                                           options.eye->z + (to.z - from.z)};
        FrameRenderer spelled(scene, options);
        spelled.Render(0);
        EXPECT_EQ(std::memcmp(alone.GetPixels(), spelled.GetPixels(), size_t(WIDTH) * HEIGHT * 4), 0)
            << (corner ? "linear" : "fisheye");
    }
}

// Two transparent spheres about the eye, seen from inside with a 300 degree fisheye. The outer one
// must be blended first in every direction, also behind the eye, where depths along the view
// direction would order them the other way: then the inner one's red dominates and the outer
// one's green shows through it (compared with the inner shell alone, drawn the same way).
TEST(RendererTest, NearerOfTwoShellsAroundTheEyeDominatesInEveryDirection) {
    constexpr int SIZE = 96;
    auto render = [](bool with_outer) {
        Scene scene;
        PrimitiveBuilder inner;
        inner.AddSphere({0, 0, 0}, 30.0, 32, 16);
        scene.AddMesh(inner.Take(), "inner", WithAlpha(RED, 150), true);
        if (with_outer) {
            PrimitiveBuilder outer;
            outer.AddSphere({0, 0, 0}, 60.0, 32, 16);
            scene.AddMesh(outer.Take(), "outer", WithAlpha(GREEN, 220), true);
        }
        Options options;
        options.width = options.height = SIZE;
        options.projection = Projection::eFisheye;
        options.fov_degrees = 300.0;
        options.eye = MMPoint3d<double>{0, 0, 0};
        options.target = MMPoint3d<double>{0, 10, 0};
        auto renderer = std::make_unique<FrameRenderer>(scene, options);
        renderer->Render(0);
        return std::vector<uint8_t>(renderer->GetPixels(), renderer->GetPixels() + SIZE * SIZE * 4);
    };
    const std::vector<uint8_t> both = render(true), inner_only = render(false);
    int checked = 0, wrong = 0;
    std::string first;
    for (int y = 0; y < SIZE; ++y)
        for (int x = 0; x < SIZE; ++x) {
            // Inside the image circle (150 degrees from the axis at the edge), clear of its rim.
            if (std::hypot(x + 0.5 - SIZE / 2, y + 0.5 - SIZE / 2) > 0.95 * SIZE / 2)
                continue;
            const uint8_t* pixel = &both[4 * size_t(y * SIZE + x)];
            const int green_through = pixel[1] - inner_only[4 * size_t(y * SIZE + x) + 1];
            ++checked;
            if ((pixel[0] <= pixel[1] || green_through < 15) && wrong++ == 0)
                first =
                    ::testing::PrintToString(std::array{x, y, int(pixel[0]), int(pixel[1]), green_through}) +
                    " = x, y, red, green, green beyond the inner shell alone (expected red > "
                    "green and at least 15)";
        }
    EXPECT_GT(checked, SIZE * SIZE / 2);
    EXPECT_EQ(wrong, 0) << "pixels blended in the wrong order, first " << first;
}
