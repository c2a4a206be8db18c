#include "apps/FrameRenderer.h"

#include "apps/CylindricalTransform.h"
#include "apps/EquirectTransform.h"
#include "apps/FisheyeTransform.h"
#include "apps/Overlay.h"

#include "containers/IVVertexContainerStlDataAnimation.h"
#include "host/base/MUnit.h"
#include "host/math/MMTransformMatrix.h"
#include "pano/IVRenderSoftPano.h"
#include "transparency/IVTransparencyCache.h"

#include <cmath>
#include <cstdio>
#include <numbers>

namespace {

using Clock = std::chrono::steady_clock;

double Milliseconds(Clock::time_point from, Clock::time_point to) {
    return std::chrono::duration<double, std::milli>(to - from).count();
}

// The narrower image side's half angle as the projection shows it, for the automatic framing.
double HalfExtentDegrees(const Options& options) {
    const double fov = options.GetFovDegrees();
    const double aspect = double(std::min(options.width, options.height)) / options.width;
    if (options.projection == Projection::eNone)
        return std::atan(std::tan(fov * std::numbers::pi / 360.0) * aspect) * 180.0 / std::numbers::pi;
    // Panoramas spend the same angle per pixel across and down; keep the scene in the middle part.
    return std::min(0.5 * fov * aspect, 50.0);
}

Camera MakeBaseCamera(const Scene& scene, const Options& options) {
    const Bounds bounds = scene.GetBounds();
    const MMPoint3d<double> target = options.target ? *options.target : bounds.Centre();
    MMPoint3d<double> eye = options.eye ? *options.eye : Camera::FrameEye(bounds, HalfExtentDegrees(options));
    if (!options.eye && options.target) {
        // Framed about the scene's centre, then moved so that it looks at the given target.
        const MMPoint3d<double> centre = bounds.Centre();
        eye = {eye.x + target.x - centre.x, eye.y + target.y - centre.y, eye.z + target.z - centre.z};
    }
    Camera camera(eye, target, options.width, options.height,
                  options.projection == Projection::eNone ? options.GetFovDegrees() : 90.0);
    const double dx = eye.x - bounds.Centre().x, dy = eye.y - bounds.Centre().y,
                 dz = eye.z - bounds.Centre().z;
    const double reach = std::sqrt(dx * dx + dy * dy + dz * dz) + 2.0 * bounds.Radius();
    camera.SetDepthRange(std::max(reach * 1e-4, 1e-6), reach * 4.0);
    return camera;
}

} // namespace

std::string FrameStats::ToLine() const {
    char line[256];
    std::snprintf(
        line, sizeof line,
        "frame=%d triangles=%llu transparent=%llu sort=%s prepare_ms=%.3f sort_ms=%.3f draw_ms=%.3f", frame,
        static_cast<unsigned long long>(triangles), static_cast<unsigned long long>(transparent_triangles),
        sorted ? "sorted" : "skipped", prepare_ms, sort_ms, draw_ms);
    return line;
}

FrameRenderer::FrameRenderer(Scene& scene, const Options& options)
    : mo_scene(scene), mo_options(options), mo_base_camera(MakeBaseCamera(scene, options)),
      mo_surface(options.width, options.height) {
    mo_factory.Create(IIVRenderFactoryStub::eRenderTypeSoftware);
    // The factory of the panoramic device makes nothing else; its device is a panoramic one.
    mp_device = static_cast<IVRenderSoftPano*>(mo_factory.GetDevice());
    mp_device->SetVertexStreamSource(&mo_probe);
    for (SceneObject& object : mo_scene.GetObjects()) {
        if (object.transparent)
            continue;
        auto container =
            std::make_unique<IVVertexContainerStlDataAnimation>(object.mesh.get(), object.displacement.get());
        container->SetSkipTextures(false);
        container->SetAnimationScale(float(GetAnimationScale(0)));
        mv_containers.push_back(std::move(container));
    }
    md_last_animation_scale = GetAnimationScale(0);
    mp_cache = std::make_unique<IVTransparencyCache>(mp_device);
    mp_cache->SetSkipSortTolerance(float(options.skip_sort_degrees));
    mp_cache->SetGouraudShadingEnabled(false);
    mp_overlay = std::make_unique<Overlay>(options);
}

FrameRenderer::~FrameRenderer() {
    // The cache and the containers hold streams of the device; they go before the factory ends it.
    mp_cache.reset();
    mv_containers.clear();
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
    const double fov = mo_options.GetFovDegrees();
    switch (mo_options.projection) {
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

Camera FrameRenderer::_LinearCamera(const Camera& camera) const {
    if (mo_options.projection == Projection::eNone)
        return camera;
    Camera canvas = PanoramicTransform::MakeCanvasCamera(camera);
    return canvas;
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
    mp_transform = std::move(transform);
    if (mo_options.clip) {
        const auto& plane = *mo_options.clip;
        mp_device->SetClippingPlane(0, float(plane[0]), float(plane[1]), float(plane[2]), float(plane[3]));
        mp_device->EnableClippingPlane(0, true);
    }
    mo_surface.Clear(BACKGROUND);
    mp_device->StartFrame(&mo_surface, nullptr);
    mp_device->EnableLighting(true);
    mp_device->EnableZBuffer(true, true);

    // Registration: the device's material at AddSTL time becomes the mesh's colour. Eye and view
    // direction are in the meshes' own coordinates, internal units; the mesh-to-world transform is
    // given in model units (the cache scales it by IE and draws with 1/IE), so it is 1/IE here.
    const float internal_units = float(MUnit::GetIE());
    float eye[3] = {float(camera.GetEye().x) * internal_units, float(camera.GetEye().y) * internal_units,
                    float(camera.GetEye().z) * internal_units};
    MMTransformMatrix mesh_world;
    mesh_world.MakeScale(1.0 / internal_units, 1.0 / internal_units, 1.0 / internal_units);
    if (mb_placements_changed) {
        mp_cache->Clear(); // the cache keeps its records while the same meshes come in
        mb_placements_changed = false;
    }
    for (SceneObject& object : mo_scene.GetObjects()) {
        if (!object.transparent)
            continue;
        float direction[3] = {float(camera.GetForward().x), float(camera.GetForward().y),
                              float(camera.GetForward().z)};
        mp_device->SetMaterialFront(MMaterial(object.colour));
        MMTransformMatrix placed_world = mesh_world;
        float placed_eye[3] = {eye[0], eye[1], eye[2]};
        _Place(_IndexOf(object), camera, placed_world, placed_eye, direction);
        mp_cache->AddSTL(object.mesh.get(), placed_eye, direction, placed_world);
        stats.transparent_triangles += object.triangles;
    }
    const Clock::time_point prepared = Clock::now();

    const float scale = 1.0f / internal_units;
    const float object_world[16] = {scale, 0, 0, 0, 0, scale, 0, 0, 0, 0, scale, 0, 0, 0, 0, 1};
    const double animation = GetAnimationScale(index);
    size_t container = 0;
    for (SceneObject& object : mo_scene.GetObjects()) {
        if (object.transparent)
            continue;
        IVVertexContainerStlDataAnimation& opaque = *mv_containers[container++];
        if (animation != md_last_animation_scale) {
            opaque.SetAnimationScale(float(animation));
            opaque.DestroyRenderOptimisations();
        }
        mp_device->SetTransformObjectWorld(_Place(_IndexOf(object), object_world));
        mp_device->SetMaterialFront(MMaterial(object.colour));
        opaque.RenderTriangles(*mp_device, true, false, 0);
    }
    md_last_animation_scale = animation;
    const Clock::time_point opaque_drawn = Clock::now();

    mo_probe.Reset();
    mp_cache->RenderStlTransparentPN(mp_device);
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

void FrameRenderer::SetView(Projection projection, double fov_degrees) {
    mo_options.projection = projection;
    mo_options.fov_degrees = fov_degrees;
}

void FrameRenderer::SetSkipSortTolerance(double degrees) {
    mo_options.skip_sort_degrees = degrees;
    mp_cache->SetSkipSortTolerance(float(degrees));
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
            mf_placed_world[4 * row + column] = float(placement.scale[row] * double(object_world[4 * row + column]) +
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
    const double values[16] = {placement.scale[0], 0.0, 0.0, placement.offset[0], 0.0, placement.scale[1], 0.0,
                               placement.offset[1], 0.0, 0.0, placement.scale[2], placement.offset[2],
                               0.0, 0.0, 0.0, 1.0};
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
