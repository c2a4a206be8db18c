#pragma once
// FrameStats: what one frame cost, as --stats prints it. Stages: prepare (camera, device state,
// registration of the transparent meshes), sort (the transparency cache's record preparation and
// depth sort, up to the moment it starts streaming), draw (opaque meshes, the transparent stream
// and the overlays).
#include <cstdint>
#include <string>

struct FrameStats {
    int frame = 0;
    uint64_t triangles = 0;             // every triangle of the scene
    uint64_t transparent_triangles = 0; // those drawn by the transparency cache
    uint64_t degenerate_triangles = 0;  // left out of the scene when it was loaded
    bool sorted = false;                // false: the cache kept the previous order
    double prepare_ms = 0.0;
    double sort_ms = 0.0;
    double draw_ms = 0.0;

    // "frame=3 triangles=22176 transparent=9536 degenerate=0 sort=skipped prepare_ms=0.12 sort_ms=0.01
    // draw_ms=31.40"
    std::string ToLine() const;
};
