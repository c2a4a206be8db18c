#pragma once
// SceneObject: one mesh of a scene with how it is drawn. Owns its host mesh and, for opaque
// objects, the per-point displacement field that --animate scales (unit vectors times the
// object's internal units per model unit, so that the animation scale is in model units); a
// transparent object with a texture has a field of zeros, for its textured container.
//
// Each object keeps its points in internal units of its own: model coordinates less `origin`
// (the centre of its bounding box), times `units_per_model` (a power of two picked for the mesh's
// size). GetMeshToWorld gives the matrix that undoes this, for the library's mesh-to-world and
// object-to-world transforms; world coordinates are model units less the scene's world offset
// (see Scene::Recentre), and so are `origin`, `bounds` and `texture_plane`.
#include "apps/Bounds.h"
#include "apps/TexturePlane.h"
#include "host/mesh/MStlBase.h"
#include "host/mesh/MStlVectorMaskPoints.h"

#include <array>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>

class IVTextureSoft;

struct SceneObject {
    std::string name;
    // Objects with the same group other than 0 are the parts (in different materials) of one object
    // of their file, and are picked together.
    uint32_t group = 0;
    std::unique_ptr<MStlBase> mesh;
    std::unique_ptr<MStlVectorMaskPoints> displacement;
    uint32_t colour = 0xFFFFFFFFu; // colour word, alpha in byte 3; below 255 means transparent
    bool transparent = false;
    Bounds bounds; // model units
    uint64_t triangles = 0;
    uint64_t degenerate = 0; // triangles left out: corners that coincide in the file or in internal units
    double units_per_model = 1.0;
    MMPoint3d<double> origin{0.0, 0.0, 0.0}; // model units; exactly representable as float
    // The image of the mesh's first texture (which covers every triangle of a textured object);
    // null for an untextured object.
    std::shared_ptr<IVTextureSoft> texture;
    // A flat object whose `texture` is laid over its plane rather than mapped per corner.
    std::optional<TexturePlane> texture_plane;

    // Row-major, applied to column vectors: mesh coordinates to world model units.
    std::array<float, 16> GetMeshToWorld() const {
        const auto scale = float(1.0 / units_per_model);
        return {scale, 0, 0,     float(origin.x), 0, scale, 0, float(origin.y),
                0,     0, scale, float(origin.z), 0, 0,     0, 1};
    }
    // A world point (model units) in mesh coordinates.
    std::array<float, 3> ToMesh(const MMPoint3d<double>& world) const {
        return {float((world.x - origin.x) * units_per_model), float((world.y - origin.y) * units_per_model),
                float((world.z - origin.z) * units_per_model)};
    }
};
