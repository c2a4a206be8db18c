#pragma once
// Scene: the meshes a frame draws, opaque and transparent, in world coordinates: model units less
// the world offset (zero unless Recentre moved the scene). Built once (from mesh files or by
// BuiltInScene) and then only read by FrameRenderer; objects never move, so the transparency cache
// may keep its prepared triangles across frames.
#include "apps/SceneObject.h"
#include "apps/StlMesh.h"

#include <array>
#include <functional>
#include <map>
#include <memory>
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

    // Moves the world to the scene when the scene lies far from the model's origin. The library's
    // matrices and the device's points are single precision: a room in survey coordinates, 2,600 km
    // out in metres, would reach it in steps of a quarter metre, and the bent edges of a panorama
    // would fall apart. The offset is the scene's centre rounded to a power of two near its size,
    // so a scene about the origin keeps an offset of zero and its pictures do not change. Call once,
    // after the last AddMesh; coordinates given in model units (eye, target, clipping plane) go
    // through ToWorld before they reach the library.
    void Recentre();
    const MMPoint3d<double>& GetWorldOffset() const { return mo_world_offset; }
    // A point in model units, in world coordinates.
    MMPoint3d<double> ToWorld(const MMPoint3d<double>& model) const {
        return {model.x - mo_world_offset.x, model.y - mo_world_offset.y, model.z - mo_world_offset.z};
    }
    // The plane A x + B y + C z + D = 0 in model units, in world coordinates (the same normal).
    std::array<double, 4> ToWorld(const std::array<double, 4>& plane) const {
        const MMPoint3d<double>& offset = mo_world_offset;
        return {plane[0], plane[1], plane[2],
                plane[3] + ((plane[0] * offset.x + plane[1] * offset.y) + plane[2] * offset.z)};
    }

    // The animation scale used when --animate is not given.
    double GetDefaultAnimationScale() const { return md_default_animation_scale; }
    void SetDefaultAnimationScale(double scale) { md_default_animation_scale = scale; }

private:
    // One texture per image, however many meshes share it.
    std::shared_ptr<IVTextureSoft> _TextureOf(const std::shared_ptr<const StlMesh::Image>& image);
    struct SharedTexture {
        std::weak_ptr<const StlMesh::Image> image;
        std::shared_ptr<IVTextureSoft> texture;
    };
    std::map<const StlMesh::Image*, SharedTexture> mo_textures;

    // `release`, when given, is `data` itself, whose parts may be freed once used.
    SceneObject& _AddMesh(const StlMesh& data, StlMesh* release, const std::string& name, uint32_t colour,
                          bool transparent, const std::function<double(double, double, double)>& wave);

    std::vector<SceneObject> mv_objects;
    MMPoint3d<double> mo_world_offset{0.0, 0.0, 0.0}; // model units
    double md_default_animation_scale = 0.0;
};
