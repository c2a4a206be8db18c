#include "apps/FrameRenderer.h"

#include "apps/CylindricalTransform.h"
#include "apps/EquirectTransform.h"
#include "apps/FisheyeTransform.h"
#include "apps/InputError.h"
#include "apps/Overlay.h"
#include "apps/RoomScene.h"

#include "containers/IVVertexContainerStlDataAnimation.h"
#include "containers/IVVertexContainerStlDataTexturedAnimation.h"
#include "containers/IVVertexContainerTexturedPlane.h"
#include "host/math/MMTransformMatrix.h"
#include "host/render/soft/IVTextureSoft.h"
#include "pano/IVRenderSoftPano.h"
#include "transparency/IVTransparencyCache.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <numbers>
#include <optional>

namespace {

using Clock = std::chrono::steady_clock;

double Milliseconds(Clock::time_point from, Clock::time_point to) {
    return std::chrono::duration<double, std::milli>(to - from).count();
}

using Vector = MMPoint3d<double>;

// Halvings of a bent edge before it counts as crossing a seam: the device's largest, so that
// pieces near the poles of an equirectangular panorama still cover their pixels.
constexpr int SUBDIVISION_DEPTH = 12;

std::shared_ptr<PanoramicTransform> MakePanoramicTransform(const Options& options, const Camera& camera) {
    const double fov = options.GetFovDegrees();
    switch (options.projection) {
    case Projection::eNone:
        return nullptr;
    case Projection::eFisheye:
        return std::make_shared<FisheyeTransform>(camera, fov);
    case Projection::eCylindrical:
        return std::make_shared<CylindricalTransform>(camera, fov);
    case Projection::eEquirect:
        return std::make_shared<EquirectTransform>(camera, fov);
    }
    return nullptr;
}

Camera LinearCamera(const Options& options, const Camera& camera) {
    return options.projection == Projection::eNone ? camera : PanoramicTransform::MakeCanvasCamera(camera);
}

// A transparent object whose image is mapped per corner: the cache cannot draw its texture.
bool IsSeeThroughTextured(const SceneObject& object) {
    return object.transparent && object.texture && !object.texture_plane && object.displacement;
}

double Distance(const Vector& a, const Vector& b) {
    const double dx = a.x - b.x, dy = a.y - b.y, dz = a.z - b.z;
    return std::sqrt(dx * dx + dy * dy + dz * dz);
}

// Whether every corner of `bounds` lands inside the image, `margin` pixels clear of its edges, in
// every frame of the orbit (sampled when the sequence is long) seen from `eye`.
bool CornersFit(const Bounds& bounds, const Options& options, const Vector& eye, const Vector& target,
                double linear_fov, double margin) {
    constexpr int MAX_SAMPLED_FRAMES = 64;
    const int frames = std::max(options.frames, 1);
    const int samples = std::min(frames, MAX_SAMPLED_FRAMES);
    const Camera base(eye, target, options.width, options.height, linear_fov);
    for (int sample = 0; sample < samples; ++sample) {
        const int index = int(int64_t(sample) * frames / samples);
        const Camera camera = base.Orbit(frames > 1 ? options.orbit_degrees * index / frames : 0.0);
        const WindowProjection projection(LinearCamera(options, camera),
                                          MakePanoramicTransform(options, camera));
        for (int corner = 0; corner < 8; ++corner) {
            const Vector point{corner & 1 ? bounds.maximum.x : bounds.minimum.x,
                               corner & 2 ? bounds.maximum.y : bounds.minimum.y,
                               corner & 4 ? bounds.maximum.z : bounds.minimum.z};
            Vector window;
            if (!projection.Transform(window, point, false) || !(window.x >= margin) ||
                !(window.x <= options.width - margin) || !(window.y >= margin) ||
                !(window.y <= options.height - margin))
                return false;
        }
    }
    return true;
}

// The automatic eye: on the framing direction from the target, at the smallest distance (to a part
// in a million) at which every corner of the scene's box lands inside the image with a margin of
// FRAME_MARGIN of the shorter side, for the projection, field of view and size in force. Searching
// through the real projection, rather than fitting a sphere to an angle, is what keeps square,
// portrait and cylindrical images from cropping the box.
Vector FrameEye(const Bounds& bounds, const Vector& target, const Options& options, double linear_fov) {
    constexpr double FRAME_MARGIN = 0.05;
    // Panoramas from close by bend the scene beyond recognition; keep the eye far enough for the
    // box's bounding sphere to fill at most a 60 degree half angle.
    constexpr double PANORAMIC_HALF_ANGLE_DEGREES = 60.0;
    const Vector direction = Camera::FrameDirection();
    const double radius = std::max(bounds.Radius(), 1e-9);
    const double outside = options.projection == Projection::eNone
                               ? radius * 1.01
                               : radius / std::sin(PANORAMIC_HALF_ANGLE_DEGREES * std::numbers::pi / 180.0);
    const double margin = FRAME_MARGIN * std::min(options.width, options.height);
    auto eye_at = [&](double distance) {
        return Vector{target.x + direction.x * distance, target.y + direction.y * distance,
                      target.z + direction.z * distance};
    };
    auto fits = [&](double distance) {
        return std::isfinite(distance) &&
               CornersFit(bounds, options, eye_at(distance), target, linear_fov, margin);
    };
    double near = Distance(target, bounds.Centre()) + outside;
    if (fits(near))
        return eye_at(near);
    double far = near;
    for (int step = 0; step < 600 && !fits(far); ++step) {
        near = far;
        far *= 4.0;
    }
    if (!fits(far))
        throw InputError("the scene cannot be framed: the field of view is too small");
    while (far - near > far * 1e-6) {
        const double middle = 0.5 * (near + far);
        (fits(middle) ? far : near) = middle;
    }
    return eye_at(far);
}

// The plane's own frame (model units along its axes from its corner) to the object's mesh
// coordinates (its internal units about its origin), for IVVertexContainerTexturedPlane.
MMTransformMatrix PlaneToMesh(const SceneObject& object) {
    const TexturePlane& plane = *object.texture_plane;
    const Vector& u = plane.u_axis;
    const Vector& v = plane.v_axis;
    const Vector normal{u.y * v.z - u.z * v.y, u.z * v.x - u.x * v.z, u.x * v.y - u.y * v.x};
    const double units = object.units_per_model;
    const double values[16] = {units * u.x,
                               units * v.x,
                               units * normal.x,
                               units * (plane.corner.x - object.origin.x),
                               units * u.y,
                               units * v.y,
                               units * normal.y,
                               units * (plane.corner.y - object.origin.y),
                               units * u.z,
                               units * v.z,
                               units * normal.z,
                               units * (plane.corner.z - object.origin.z),
                               0.0,
                               0.0,
                               0.0,
                               1.0};
    MMTransformMatrix matrix;
    matrix.MakeFromDouble16(values);
    return matrix;
}

Camera MakeBaseCamera(const Scene& scene, const Options& options) {
    const Bounds bounds = scene.GetBounds();
    const Vector centre = bounds.Centre();
    // The room is seen from inside, from its own viewpoint, unless told otherwise.
    const bool room = options.meshes.empty() && options.scene == SceneKind::eRoom;
    const bool corner = options.projection == Projection::eNone;
    // What the options and the room give is in model units; the scene may lie offset from them.
    const Vector room_eye = scene.ToWorld(corner ? RoomScene::CORNER_EYE : RoomScene::EYE);
    Vector room_target = scene.ToWorld(corner ? RoomScene::CORNER_TARGET : RoomScene::TARGET);
    const std::optional<Vector> given_eye =
        options.eye ? std::optional(scene.ToWorld(*options.eye)) : std::nullopt;
    if (room && given_eye) {
        // The scene's centre lies high among the sky outside the window: an eye moved through the
        // room keeps the room's own view direction instead, as someone walking through it would.
        room_target = {given_eye->x + (room_target.x - room_eye.x),
                       given_eye->y + (room_target.y - room_eye.y),
                       given_eye->z + (room_target.z - room_eye.z)};
    }
    const Vector target = options.target ? scene.ToWorld(*options.target) : room ? room_target : centre;
    const double linear_fov = options.projection == Projection::eNone ? options.GetFovDegrees() : 90.0;
    const Vector eye = given_eye ? *given_eye
                       : room    ? room_eye
                                 : FrameEye(bounds, target, options, linear_fov);
    // An eye on the target has no view direction: nothing could be drawn.
    if (!(Distance(eye, target) > 1e-9 * std::max(1.0, bounds.Radius())))
        throw InputError(options.target ? "--eye: the eye is at the target; the view has no direction"
                                        : "--eye: the eye is at the scene's centre (the default target); "
                                          "give --target");
    Camera camera(eye, target, options.width, options.height, linear_fov);
    const double reach = Distance(eye, centre) + 2.0 * bounds.Radius();
    camera.SetDepthRange(std::max(reach * 1e-4, 1e-6), reach * 4.0);
    return camera;
}

} // namespace

std::string FrameStats::ToLine() const {
    char line[256];
    std::snprintf(
        line, sizeof line,
        "frame=%d triangles=%llu transparent=%llu degenerate=%llu sort=%s prepare_ms=%.3f sort_ms=%.3f "
        "draw_ms=%.3f",
        frame, static_cast<unsigned long long>(triangles),
        static_cast<unsigned long long>(transparent_triangles),
        static_cast<unsigned long long>(degenerate_triangles), sorted ? "sorted" : "skipped", prepare_ms,
        sort_ms, draw_ms);
    return line;
}

FrameRenderer::FrameRenderer(Scene& scene, const Options& options)
    : mo_scene(scene), mo_options(options), mo_base_camera(MakeBaseCamera(scene, options)),
      mo_surface(options.width, options.height) {
    mo_factory.Create(IIVRenderFactoryStub::eRenderTypeSoftware);
    // The factory of the panoramic device makes nothing else; its device is a panoramic one.
    mp_device = static_cast<IVRenderSoftPano*>(mo_factory.GetDevice());
    mp_device->SetVertexStreamSource(&mo_probe);
    // Opaque meshes are filled straight into the device every frame rather than kept as a stream
    // of three vertices per triangle: refilling costs about what a replay does, and a
    // million-triangle mesh no longer holds 72 MB of stream beside itself.
    mp_device->SetDrawThrough(true);
    for (SceneObject& object : mo_scene.GetObjects()) {
        if (object.transparent) {
            if (IsSeeThroughTextured(object))
                mv_see_through.push_back(
                    {&object, std::make_unique<IVVertexContainerStlDataTexturedAnimation>(
                                  object.mesh.get(), object.displacement.get(),
                                  object.mesh->GetTextureFactory(true)->GetTextures().front())});
            continue;
        }
        auto container =
            std::make_unique<IVVertexContainerStlDataAnimation>(object.mesh.get(), object.displacement.get());
        container->SetSkipTextures(false);
        container->SetModeDynamic(true);
        container->SetAnimationScale(float(GetAnimationScale(0)));
        mv_containers.push_back(std::move(container));
        std::unique_ptr<IVVertexContainerTexturedPlane> plane;
        if (object.texture && object.texture_plane) {
            const TexturePlane& frame = *object.texture_plane;
            plane = std::make_unique<IVVertexContainerTexturedPlane>(object.mesh.get());
            MMTransformMatrix plane_mesh = PlaneToMesh(object);
            plane->SetParams(plane_mesh, float(frame.width / frame.tile_width),
                             float(frame.height / frame.tile_height), float(frame.width), float(frame.height),
                             false);
        }
        mv_plane_containers.push_back(std::move(plane));
        std::unique_ptr<IVVertexContainerStlDataTexturedAnimation> textured;
        if (object.texture && !object.texture_plane) {
            textured = std::make_unique<IVVertexContainerStlDataTexturedAnimation>(
                object.mesh.get(), object.displacement.get(),
                object.mesh->GetTextureFactory(true)->GetTextures().front());
            textured->SetAnimationScale(float(GetAnimationScale(0)));
            textured->SetModeDynamic(true);
        }
        mv_textured_containers.push_back(std::move(textured));
    }
    md_last_animation_scale = GetAnimationScale(0);
    mp_cache = std::make_unique<IVTransparencyCache>(mp_device);
    mp_cache->SetSkipSortTolerance(float(options.skip_sort_degrees));
    // The program owns the machine: the cache may sort a large pass on every core.
    mp_cache->SetSortThreads(0);
    mp_cache->SetGouraudShadingEnabled(false);
    mp_overlay = std::make_unique<Overlay>(options);
}

FrameRenderer::~FrameRenderer() {
    // The cache and the containers hold streams of the device; they go before the factory ends it.
    mp_cache.reset();
    mv_containers.clear();
    mv_textured_containers.clear();
    mv_plane_containers.clear();
    mv_see_through.clear();
    mp_device->SetTransform(nullptr);
    mp_device->SetVertexStreamSource(nullptr);
    mo_factory.Destroy();
}

Camera FrameRenderer::GetCamera(int index) const {
    const int frames = mo_options.frames;
    return mo_base_camera.Orbit(frames > 1 ? mo_options.orbit_degrees * index / frames : 0.0);
}

double FrameRenderer::GetAnimationScale(int index) const {
    const double scale = mo_options.animate ? *mo_options.animate : mo_scene.GetDefaultAnimationScale();
    if (mo_options.frames <= 1)
        return scale;
    return scale * std::cos(2.0 * std::numbers::pi * index / mo_options.frames);
}

std::shared_ptr<PanoramicTransform> FrameRenderer::_MakeTransform(const Camera& camera) const {
    return MakePanoramicTransform(mo_options, camera);
}

Camera FrameRenderer::_LinearCamera(const Camera& camera) const {
    return LinearCamera(mo_options, camera);
}

bool FrameRenderer::Project(int index, const MMPoint3d<double>& world, MMPoint3d<double>& window) const {
    const Camera camera = GetCamera(index);
    const auto transform = _MakeTransform(camera);
    return WindowProjection(_LinearCamera(camera), transform).Transform(window, world, false);
}

FrameStats FrameRenderer::Render(int index) {
    FrameStats stats;
    stats.frame = index;
    stats.triangles = mo_scene.GetNumTriangles();
    stats.degenerate_triangles = mo_scene.GetNumDegenerateTriangles();
    const Clock::time_point start = Clock::now();

    const Camera camera = GetCamera(index);
    Camera linear = _LinearCamera(camera);
    // Depth range of the frame's own camera: panoramic canvases keep the viewer's distances.
    std::shared_ptr<PanoramicTransform> transform = _MakeTransform(camera);
    float matrix[16];
    linear.GetWorldEye(matrix);
    mp_device->SetTransformWorldEye(matrix);
    linear.GetEyeWindow(matrix);
    mp_device->SetTransformEyeWindow(matrix);
    mp_device->SetTransform(transform.get());
    // Views from inside: primitives are cut at the eye; the panoramic projections bend edges as
    // well as corners, and sort transparency by distance from the eye (see Options).
    mp_device->SetNearClipping(true);
    mp_device->SetSubdivision(float(mo_options.GetSubdividePixels()), SUBDIVISION_DEPTH);
    mp_device->SetProjectionReuse(true); // the panoramic transforms are pure functions
    // ... and immutable, so the vertex work may spread over the rasterizer's threads.
    mp_device->SetVertexThreads(mp_device->GetRasterizer().GetThreadCount());
    mp_cache->SetSortKey(mo_options.GetSortKey() == SortKey::eDistance
                             ? IVTransparencyCache::eSortEyeDistance
                             : IVTransparencyCache::eSortDirectionDepth);
    mp_transform = std::move(transform);
    if (mo_options.clip) {
        const std::array<double, 4> plane = mo_scene.ToWorld(*mo_options.clip); // given in model units
        mp_device->SetClippingPlane(0, float(plane[0]), float(plane[1]), float(plane[2]), float(plane[3]));
        mp_device->EnableClippingPlane(0, true);
    }
    mo_surface.Clear(BACKGROUND);
    mp_device->StartFrame(&mo_surface, nullptr);
    mp_device->EnableLighting(true);
    mp_device->EnableZBuffer(true, true);

    // Registration: the device's material at AddSTL time becomes the mesh's colour. Eye and view
    // direction are in the mesh's own coordinates (its internal units about its origin); the
    // mesh-to-world transform is given in model units (the cache scales it by IE and draws with 1/IE).
    if (mb_placements_changed) {
        mp_cache->Clear(); // the cache keeps its records while the same meshes come in
        mb_placements_changed = false;
    }
    for (SceneObject& object : mo_scene.GetObjects()) {
        if (!object.transparent || IsSeeThroughTextured(object))
            continue;
        std::array<float, 3> eye = object.ToMesh(camera.GetEye());
        float direction[3] = {float(camera.GetForward().x), float(camera.GetForward().y),
                              float(camera.GetForward().z)};
        MMTransformMatrix mesh_world;
        mesh_world.MakeFromFloat16(object.GetMeshToWorld().data());
        mp_device->SetMaterialFront(MMaterial(object.colour));
        MMTransformMatrix placed_world = mesh_world;
        float placed_eye[3] = {eye[0], eye[1], eye[2]};
        _Place(_IndexOf(object), camera, placed_world, placed_eye, direction);
        mp_cache->AddSTL(object.mesh.get(), placed_eye, direction, placed_world);
        stats.transparent_triangles += object.triangles;
    }
    const Clock::time_point prepared = Clock::now();

    const double animation = GetAnimationScale(index);
    size_t container = 0;
    for (SceneObject& object : mo_scene.GetObjects()) {
        if (object.transparent)
            continue;
        IVVertexContainerStlDataAnimation& opaque = *mv_containers[container];
        IVVertexContainerStlDataTexturedAnimation* textured = mv_textured_containers[container].get();
        IVVertexContainerTexturedPlane* plane = mv_plane_containers[container++].get();
        if (animation != md_last_animation_scale) {
            opaque.SetAnimationScale(float(animation));
            opaque.DestroyRenderOptimisations();
            if (textured != nullptr) {
                textured->SetAnimationScale(float(animation));
                textured->DestroyRenderOptimisations();
            }
        }
        mp_device->SetTransformObjectWorld(_Place(_IndexOf(object), object.GetMeshToWorld().data()));
        mp_device->SetMaterialFront(MMaterial(object.colour));
        if (plane != nullptr) {
            mp_device->SetTexture(object.texture.get());
            plane->RenderTriangles(*mp_device, true, false, 0);
            mp_device->SetTexture(nullptr);
        } else if (textured != nullptr) {
            // The texture covers every triangle of a textured object, so the plain container is not drawn.
            mp_device->SetTexture(object.texture.get());
            textured->RenderTriangles(*mp_device, true, false, 0);
            mp_device->SetTexture(nullptr);
        } else {
            opaque.RenderTriangles(*mp_device, true, false, 0);
        }
    }
    md_last_animation_scale = animation;
    stats.transparent_triangles += _DrawSeeThrough(camera);
    const Clock::time_point opaque_drawn = Clock::now();

    mo_probe.Reset();
    // Without a tolerance the cache sorts and fills again every frame anyway; forcing it makes
    // that certain, so the fill may draw as it goes instead of storing a stream for one replay.
    const bool sorts_every_frame = !(mo_options.skip_sort_degrees > 0.0);
    if (sorts_every_frame)
        mp_cache->ForceReSort();
    mo_probe.SetDrawThrough(sorts_every_frame ? mp_device : nullptr);
    mp_cache->RenderStlTransparentPN(mp_device);
    mo_probe.SetDrawThrough(nullptr); // only this pass knows that nothing replays its fill
    const Clock::time_point transparent_drawn = Clock::now();
    const Clock::time_point sorted = mo_probe.GetFirstEvent().value_or(transparent_drawn);
    stats.sorted = mo_probe.GetNumFills() > 0;
    mp_device->StopFrame();

    mp_overlay->Draw(mo_surface.GetPixels(), mo_surface.GetWidth(), mo_surface.GetHeight(), mo_scene,
                     WindowProjection(linear, mp_transform));
    const Clock::time_point end = Clock::now();

    stats.prepare_ms = Milliseconds(start, prepared);
    stats.sort_ms = Milliseconds(opaque_drawn, sorted);
    stats.draw_ms = Milliseconds(prepared, opaque_drawn) + Milliseconds(sorted, end);
    return stats;
}

FrameStats FrameRenderer::RenderFrom(const Camera& camera) {
    // Render draws the camera of its frame index; a one-frame sequence based on `camera` is it.
    const Camera base = mo_base_camera;
    const int frames = mo_options.frames;
    mo_base_camera = camera;
    mo_options.frames = 1;
    FrameStats stats;
    try {
        stats = Render(0);
    } catch (...) {
        mo_base_camera = base;
        mo_options.frames = frames;
        throw;
    }
    mo_base_camera = base;
    mo_options.frames = frames;
    return stats;
}

void FrameRenderer::Resize(int width, int height) {
    mo_options.width = std::max(width, 1);
    mo_options.height = std::max(height, 1);
    mo_surface.Resize(mo_options.width, mo_options.height);
}

size_t FrameRenderer::GetNumRasterTriangles() const {
    return mp_device->GetNumRasterTriangles();
}

void FrameRenderer::SetView(Projection projection, double fov_degrees) {
    mo_options.projection = projection;
    mo_options.fov_degrees = fov_degrees;
}

void FrameRenderer::SetSkipSortTolerance(double degrees) {
    mo_options.skip_sort_degrees = degrees;
    mp_cache->SetSkipSortTolerance(float(degrees));
    mp_cache->ForceReSort(); // the last fill may have drawn through and kept nothing to replay
}

WindowProjection FrameRenderer::GetWindowProjection(const Camera& camera) const {
    return WindowProjection(_LinearCamera(camera), _MakeTransform(camera));
}

void FrameRenderer::SetPlacement(size_t index, const Placement& placement) {
    if (index >= mo_scene.GetObjects().size())
        return;
    if (mv_placements.empty())
        mv_placements.resize(mo_scene.GetObjects().size());
    mv_placements[index] = placement;
    if (mo_scene.GetObjects()[index].transparent)
        mb_placements_changed = true;
}

const FrameRenderer::Placement& FrameRenderer::GetPlacement(size_t index) const {
    static const Placement UNPLACED;
    return index < mv_placements.size() ? mv_placements[index] : UNPLACED;
}

uint64_t FrameRenderer::_DrawSeeThrough(const Camera& camera) {
    if (mv_see_through.empty())
        return 0;
    // Before the cache's pass, which writes depth: whatever these cover stays visible through them.
    const Vector eye = camera.GetEye();
    // Each object's distance where the viewer has placed it (world = scale x point + offset).
    const auto distance = [&](const SeeThrough& entry) {
        const Placement& placement = GetPlacement(_IndexOf(*entry.object));
        const Vector centre = entry.object->bounds.Centre();
        return Distance({placement.scale[0] * centre.x + placement.offset[0],
                         placement.scale[1] * centre.y + placement.offset[1],
                         placement.scale[2] * centre.z + placement.offset[2]},
                        eye);
    };
    std::sort(mv_see_through.begin(), mv_see_through.end(), [&](const SeeThrough& a, const SeeThrough& b) {
        const double far_a = distance(a), far_b = distance(b);
        return far_a != far_b ? far_a > far_b : a.object < b.object;
    });
    mp_device->StartTransparency(false);
    mp_device->EnableZBuffer(true, false);
    mp_device->SetBackfaceVisible(true, true);
    uint64_t triangles = 0;
    for (SeeThrough& entry : mv_see_through) {
        const SceneObject& object = *entry.object;
        mp_device->SetTransformObjectWorld(_Place(_IndexOf(object), object.GetMeshToWorld().data()));
        mp_device->SetMaterialFront(MMaterial(object.colour));
        mp_device->SetTexture(object.texture.get());
        entry.container->RenderTriangles(*mp_device, true, false, 0);
        mp_device->SetTexture(nullptr);
        triangles += object.triangles;
    }
    mp_device->EndTransparency();
    mp_device->EnableZBuffer(true, true);
    return triangles;
}

size_t FrameRenderer::_IndexOf(const SceneObject& object) const {
    return size_t(&object - mo_scene.GetObjects().data());
}

bool FrameRenderer::Placement::IsIdentity() const {
    return scale[0] == 1.0 && scale[1] == 1.0 && scale[2] == 1.0 && offset[0] == 0.0 && offset[1] == 0.0 &&
           offset[2] == 0.0;
}

const float* FrameRenderer::_Place(size_t index, const float* object_world) {
    // world = placement · (object-to-world · point); an unplaced object keeps its matrix exactly.
    const Placement& placement = GetPlacement(index);
    if (placement.IsIdentity())
        return object_world;
    for (int row = 0; row < 3; ++row)
        for (int column = 0; column < 4; ++column)
            mf_placed_world[4 * row + column] =
                float(placement.scale[row] * double(object_world[4 * row + column]) +
                      placement.offset[row] * double(object_world[12 + column]));
    for (int column = 0; column < 4; ++column)
        mf_placed_world[12 + column] = object_world[12 + column];
    return mf_placed_world;
}

void FrameRenderer::_Place(size_t index, const Camera& camera, MMTransformMatrix& mesh_world, float* eye,
                           float* direction) const {
    // The cache takes eye and view direction in the mesh's own coordinates, so they go back
    // through the placed mesh-to-world transform.
    const Placement& placement = GetPlacement(index);
    if (placement.IsIdentity())
        return;
    MMTransformMatrix place;
    const double values[16] = {placement.scale[0],
                               0.0,
                               0.0,
                               placement.offset[0],
                               0.0,
                               placement.scale[1],
                               0.0,
                               placement.offset[1],
                               0.0,
                               0.0,
                               placement.scale[2],
                               placement.offset[2],
                               0.0,
                               0.0,
                               0.0,
                               1.0};
    place.MakeFromDouble16(values);
    mesh_world = place * mesh_world;
    MMTransformMatrix world_mesh;
    if (!mesh_world.GetInverse(world_mesh))
        return;
    MMPoint3d<double> mesh_eye, mesh_direction;
    world_mesh.Transform(mesh_eye, camera.GetEye(), false);
    world_mesh.Transform(mesh_direction, camera.GetForward(), true);
    eye[0] = float(mesh_eye.x);
    eye[1] = float(mesh_eye.y);
    eye[2] = float(mesh_eye.z);
    direction[0] = float(mesh_direction.x);
    direction[1] = float(mesh_direction.y);
    direction[2] = float(mesh_direction.z);
}
