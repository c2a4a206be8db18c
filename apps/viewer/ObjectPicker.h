#pragma once
// ObjectPicker: which scene object a ray from the eye meets first, by testing the ray against the
// triangles of every object as the renderer places them (opaque displacements are not followed: they
// move points by a model unit or so). Objects whose placed box the ray misses are passed over. Each
// pick visits the meshes' points and triangles once; nothing is kept between picks.
//
// Reads the scene's meshes; keeps nothing. Single-threaded, like the scene.
#include "apps/Scene.h"
#include "apps/viewer/BoxEdit.h"

#include <optional>

class ObjectPicker {
public:
    static std::optional<size_t> Pick(const Scene& scene, const FrameRenderer& renderer, const Ray& ray);
};
