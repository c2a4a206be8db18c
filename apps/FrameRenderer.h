#pragma once
// FrameRenderer: draws the frames of a scene through the library, on the panoramic software
// device made by IVRenderFactoryStubSoftPano, into an RGBA surface.
//
// Per frame: the camera of the frame (orbiting the target), the panoramic transform and linear
// camera matrices, the clipping plane; the opaque meshes through one
// IVVertexContainerStlDataAnimation each, or the textured one for a textured mesh (object-to-world
// from each object's own units and origin, the animation scale of the frame);
// transparent meshes with a texture through their textured container, blended without writing
// depth, farthest object first (the cache draws colours only, and a texture matters more than the
// order of one object's own triangles); the other transparent meshes registered with one
// IVTransparencyCache kept for the whole sequence (so it can skip sorts) and drawn in one pass,
// sorted back to front; then the overlays (gizmo, label) through the stand-in GDI drawing into the
// frame.
//
// Call order: construct with a built scene and the options, Render(0), Render(1) ... in order
// (the cache's skip-sort decision depends on the previous frame), reading GetPixels() after each.
// The scene must outlive the renderer and stay unchanged. Single-threaded.
#include "apps/Camera.h"
#include "apps/FrameStats.h"
#include "apps/Options.h"
#include "apps/PanoramicTransform.h"
#include "apps/Scene.h"
#include "apps/StreamProbe.h"
#include "apps/WindowProjection.h"

#include "host/math/MMTransformMatrix.h"
#include "host/render/soft/IVDisplaySurfaceSoft.h"
#include "pano/IVRenderFactoryStubSoftPano.h"

#include <memory>
#include <vector>

class IVRenderSoftPano;
class IVTransparencyCache;
class IVVertexContainerStlDataAnimation;
class IVVertexContainerTexturedPlane;
class IVVertexContainerStlDataTexturedAnimation;
class Overlay;

class FrameRenderer {
public:
    static constexpr uint32_t BACKGROUND = 0xFF342C28u; // colour word: dark slate blue, opaque

    FrameRenderer(Scene& scene, const Options& options);
    ~FrameRenderer();
    FrameRenderer(const FrameRenderer&) = delete;
    FrameRenderer& operator=(const FrameRenderer&) = delete;

    FrameStats Render(int index);

    // RGBA, rows top to bottom, after the last Render.
    const uint8_t* GetPixels() const { return mo_surface.GetPixels(); }
    int GetWidth() const { return mo_surface.GetWidth(); }
    int GetHeight() const { return mo_surface.GetHeight(); }

    // The viewer's camera of frame `index` (before any panoramic canvas).
    Camera GetCamera(int index) const;
    // Where frame `index` shows a world point: window pixel x, y and distance z; false when it
    // cannot be shown (at or behind the eye of a linear camera).
    bool Project(int index, const MMPoint3d<double>& world, MMPoint3d<double>& window) const;
    // The animation scale of frame `index`.
    double GetAnimationScale(int index) const;
    // Triangles the last frame handed to the rasterizer, after clipping and subdivision.
    size_t GetNumRasterTriangles() const;

private:
    std::shared_ptr<PanoramicTransform> _MakeTransform(const Camera& camera) const;
    Camera _LinearCamera(const Camera& camera) const;

    Scene& mo_scene;
    Options mo_options;
    Camera mo_base_camera;
    StreamProbe mo_probe;
    IVRenderFactoryStubSoftPano mo_factory;
    IVRenderSoftPano* mp_device = nullptr;
    IVDisplaySurfaceSoft mo_surface;
    std::shared_ptr<PanoramicTransform> mp_transform;                              // the device borrows it
    std::vector<std::unique_ptr<IVVertexContainerStlDataAnimation>> mv_containers; // one per opaque object
    // Beside mv_containers: the textured container of a textured object, null for the others.
    std::vector<std::unique_ptr<IVVertexContainerStlDataTexturedAnimation>> mv_textured_containers;
    // Beside mv_containers: the container of an object with a texture laid over its plane, or null.
    std::vector<std::unique_ptr<IVVertexContainerTexturedPlane>> mv_plane_containers;
    // Transparent objects with a texture, and their textured containers.
    struct SeeThrough {
        const SceneObject* object;
        std::unique_ptr<IVVertexContainerStlDataTexturedAnimation> container;
    };
    std::vector<SeeThrough> mv_see_through;
    std::unique_ptr<IVTransparencyCache> mp_cache;
    std::unique_ptr<Overlay> mp_overlay;
    double md_last_animation_scale = 0.0;

public:
    // --- Interactive use (vantrel-view): the caller's camera, size, view and object placements ---

    // Where an object is drawn, per world axis: world = scale · model + offset (model units).
    // Scales are positive; the default leaves the object where the scene put it.
    struct Placement {
        double scale[3] = {1.0, 1.0, 1.0};
        double offset[3] = {0.0, 0.0, 0.0};

        bool IsIdentity() const;
    };

    // The frame seen by `camera` (the viewer's camera, before any panoramic canvas), at the
    // animation scale of a single frame. Stats report frame 0.
    FrameStats RenderFrom(const Camera& camera);
    // Draws at the new size from the next frame on (sides of at least 1 pixel).
    void Resize(int width, int height);
    // Projection and field of view from the next frame on.
    void SetView(Projection projection, double fov_degrees);
    void SetSkipSortTolerance(double degrees);
    // The transparency sort key from the next frame on (Options::sort_key).
    void SetSortKey(SortKey key) { mo_options.sort_key = key; }
    // Where the frame seen by `camera` shows world points, as the gizmo projects them.
    WindowProjection GetWindowProjection(const Camera& camera) const;
    // Places object `index` of the scene (ignored when out of range); the transparency cache
    // rebuilds its records at the next frame when a transparent object moved.
    void SetPlacement(size_t index, const Placement& placement);
    const Placement& GetPlacement(size_t index) const;
    const Options& GetOptions() const { return mo_options; }

private:
    size_t _IndexOf(const SceneObject& object) const;
    // The transparent objects with a texture, farthest first; returns their triangle count.
    uint64_t _DrawSeeThrough(const Camera& camera);
    // The object-to-world matrix of object `index` with its placement applied (scratch storage).
    const float* _Place(size_t index, const float* object_world);
    // A transparent object's registration with its placement applied.
    void _Place(size_t index, const Camera& camera, MMTransformMatrix& mesh_world, float* eye,
                float* direction) const;

    std::vector<Placement> mv_placements; // empty until one is set: every object where it is
    bool mb_placements_changed = false;
    float mf_placed_world[16] = {};
};
