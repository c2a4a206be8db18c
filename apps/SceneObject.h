#pragma once
// SceneObject: one mesh of a scene with how it is drawn. Owns its host mesh and, for opaque
// objects, the per-point displacement field that --animate scales (unit vectors times the
// internal-units factor, so that the animation scale is in model units).
#include "apps/Bounds.h"
#include "host/mesh/MStlBase.h"
#include "host/mesh/MStlVectorMaskPoints.h"

#include <cstdint>
#include <memory>
#include <string>

struct SceneObject {
    std::string name;
    std::unique_ptr<MStlBase> mesh;
    std::unique_ptr<MStlVectorMaskPoints> displacement;
    uint32_t colour = 0xFFFFFFFFu; // colour word, alpha in byte 3; below 255 means transparent
    bool transparent = false;
    Bounds bounds; // model units
    uint64_t triangles = 0;
};
