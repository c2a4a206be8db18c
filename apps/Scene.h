#pragma once
// Scene: the meshes a frame draws, opaque and transparent, in model units. Built once (from mesh
// files or by BuiltInScene) and then only read by FrameRenderer; objects never move, so the
// transparency cache may keep its prepared triangles across frames.
#include "apps/SceneObject.h"
#include "apps/StlMesh.h"

#include <functional>
#include <vector>

class Scene {
public:
    // Builds the host mesh in the object's own internal units (see SceneObject), with the facet
    // normals from the file where it gave them, the texture when the mesh has one, and the
    // displacement field of an opaque object. `wave`, when given, scales each point's unit normal
    // (point in model units).
    // A mesh whose extent is not finite is refused with an InputError.
    SceneObject& AddMesh(const StlMesh& mesh, const std::string& name, uint32_t colour, bool transparent,
                         const std::function<double(double, double, double)>& wave = {});
    // The same, giving back the file's points as soon as the host mesh holds them (unless `wave`
    // needs them) and its triangles once they are converted: a 2M-triangle file then never sits
    // whole beside its host mesh.
    SceneObject& AddMesh(StlMesh&& mesh, const std::string& name, uint32_t colour, bool transparent,
                         const std::function<double(double, double, double)>& wave = {});

    std::vector<SceneObject>& GetObjects() { return mv_objects; }
    const std::vector<SceneObject>& GetObjects() const { return mv_objects; }
    Bounds GetBounds() const;
    Bounds GetTransparentBounds() const;
    uint64_t GetNumTriangles() const;
    // Triangles the readers and the conversion to internal units left out, over all objects.
    uint64_t GetNumDegenerateTriangles() const;

    // The animation scale used when --animate is not given.
    double GetDefaultAnimationScale() const { return md_default_animation_scale; }
    void SetDefaultAnimationScale(double scale) { md_default_animation_scale = scale; }

private:
    // `release`, when given, is `data` itself, whose parts may be freed once used.
    SceneObject& _AddMesh(const StlMesh& data, StlMesh* release, const std::string& name, uint32_t colour,
                          bool transparent, const std::function<double(double, double, double)>& wave);

    std::vector<SceneObject> mv_objects;
    double md_default_animation_scale = 0.0;
};
