#pragma once
// BuiltInScene: the scene drawn when no mesh file is given. An opaque ground plate, an opaque
// blob whose points the animation pushes along a bumpy field, and three overlapping transparent
// objects (red sphere, green torus, blue box) between the blob and the default camera.
// Everything is generated in code, in model units, z up, about 200 units across.
#include "apps/Scene.h"

class BuiltInScene {
public:
    static constexpr uint32_t PLATE_COLOUR = 0xFFBEC8C8u;  // light grey
    static constexpr uint32_t BLOB_COLOUR = 0xFF288CE6u;   // orange
    static constexpr uint32_t SPHERE_COLOUR = 0x802828DCu; // red, alpha 128
    static constexpr uint32_t TORUS_COLOUR = 0x993CC828u;  // green, alpha 153
    static constexpr uint32_t BOX_COLOUR = 0x66E65A32u;    // blue, alpha 102
    // The largest displacement of the blob, in model units, at animation scale 1 (the default).
    static constexpr double DEFAULT_ANIMATION_SCALE = 5.0;

    // `detail` multiplies the tessellation (1 is the default look; tests use less).
    static Scene Make(int internal_units, double detail = 1.0);
};
