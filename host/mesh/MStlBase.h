#pragma once
// MStlBase: a triangle mesh. It owns its points, feature tree (features, surfaces, triangles),
// compact store, texture factory and properties; everything is allocated in stable storage so
// that the raw pointers handed out stay valid for the mesh's lifetime.
//
// Building: CreateRootFeature, then AddFeature / AddSurface / AddTriangle (appends to a surface's
// list) / AddPoint, or MStlMeshBuilder for the common shapes. Every structural change invalidates
// the cached triangle count. Not thread-safe; one thread builds and reads at a time.
#include "host/mesh/MStlBaseProperties.h"
#include "host/mesh/MStlBlockStore.h"
#include "host/mesh/MStlCompact.h"
#include "host/mesh/MStlFeature.h"
#include "host/mesh/MStlPoint.h"
#include "host/mesh/MStlSurface.h"
#include "host/mesh/MStlTextureFactory.h"
#include "host/mesh/MStlTriangle.h"
#include "host/mesh/MValidityField.h"

#include <cstdint>
#include <deque>
#include <memory>

// The sub-record through which the mesh reaches its compact store.
struct MStlBaseData {
    MStlCompact* mp_compact = nullptr;
};

class MStlBase {
public:
    MStlBase();
    MStlBase(const MStlBase&) = delete;
    MStlBase& operator=(const MStlBase&) = delete;
    ~MStlBase();

    MStlFeature* GetRootFeature() const { return mp_root_feature; }
    MStlCompact* GetCompact() const { return mo_data.mp_compact; }
    const MStlBaseProperties& GetProperties() const { return mo_properties; }
    MStlTextureFactory* GetTextureFactory(const bool& create);

    // The current triangle count, brought up to date the way the host's callers do it.
    int32_t GetNumTriangles() const;

    // Room for `points` more points and `triangles` more triangles, each in one block: a builder
    // that knows its sizes spares the mesh growing block by block.
    void Reserve(size_t points, size_t triangles);
    MStlPoint* AddPoint(int32_t x, int32_t y, int32_t z);
    size_t GetNumPoints() const { return mo_points.GetSize(); }
    MStlPoint* GetPoint(size_t index) { return &mo_points[index]; }

    MStlFeature* CreateRootFeature();
    MStlFeature* AddFeature(MStlFeature* parent);
    MStlSurface* AddSurface(MStlFeature* feature);
    // Links the new triangle after `after` (a triangle of `surface`), or at the end of the surface's
    // list when `after` is null; computes the facet normal; the triangle starts active.
    MStlTriangle* AddTriangle(MStlSurface* surface, MStlPoint* p0, MStlPoint* p1, MStlPoint* p2,
                              MStlTriangle* after = nullptr);

    // Marks cached values stale; call after changing points or flags by hand.
    void Invalidate();

    MStlFeature* mp_root_feature = nullptr;
    MStlBaseData mo_data;
    MStlBaseProperties mo_properties;
    MValidityField mo_validity;

private:
    MStlBlockStore<MStlPoint> mo_points;
    std::deque<MStlFeature> mo_features;
    std::deque<MStlSurface> mo_surfaces;
    MStlBlockStore<MStlTriangle> mo_triangles;
    std::unique_ptr<MStlCompact> mp_compact_storage;
    std::unique_ptr<MStlTextureFactory> mp_texture_factory;
};
