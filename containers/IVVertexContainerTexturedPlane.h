#pragma once
// IVVertexContainerTexturedPlane: draws a flat mesh as flat-shaded textured triangles whose
// texture coordinates are computed, not stored: each corner is carried into the plane's own frame
// by the inverse of the plane transform, and its local x and y are scaled into [0, max u] and
// [max v, 0] (v runs downwards as local y grows).
//
// Call order: construct with the mesh; SetParams before the first draw (until then the texture
// spans the unit square of the local frame); draw with the host's RenderTriangles(device, ...).
// The active triangles of the feature tree come first, then every triangle of the compact store.
// After SetParams or a mesh edit, call DestroyRenderOptimisations() so that the next draw refills.
//
// Units and frames: with internal_units true (the default) a corner's position is its integer
// coordinate divided by MUnit::GetIE(), i.e. model units, and the device's object-to-world
// transform should not scale again; with false it is the integer coordinate itself (internal
// units). The plane transform maps the plane's local frame (in the same units as the positions)
// into that position frame; width and height are the local x and y extents at which u reaches
// max u and v falls to 0. A zero width or height is not guarded (u or v become infinite or NaN).
//
// Ownership: the mesh (and its compact store, which must exist) is borrowed; copies share it. The
// plane transform is copied in. Threading: the host's rendering thread; nothing is locked.
#include "containers/IVVertexContainerSTLData.h"
#include "host/math/MMTransformMatrix.h"
#include "module/VantrelExport.h"

struct MStlPoint;

class VANTREL_API IVVertexContainerTexturedPlane : public IVVertexContainerSTLData<IVVertexPNT> {
public:
    explicit IVVertexContainerTexturedPlane(MStlBase* stl);
    IVVertexContainerTexturedPlane(const IVVertexContainerTexturedPlane& other);
    IVVertexContainerTexturedPlane& operator=(const IVVertexContainerTexturedPlane& other);

protected:
    void _Optimise(IIVVertexStream<IVVertexPNT>& stream) override;

public:
    ~IVVertexContainerTexturedPlane() override;
    void DestroyRenderOptimisations() override;

    // `transform` maps the plane's local frame into mesh coordinates (in the positions' units);
    // local x in [0, width] maps to u in [0, max_u], local y in [0, height] to v in [max_v, 0].
    void SetParams(MMTransformMatrix& transform, float max_u, float max_v, float width, float height,
                   bool internal_units);

protected:
    void _OptimiseFlatShading(IIVVertexStream<IVVertexPNT>& stream);

    MMTransformMatrix mo_plane_transform;
    // Not set by the constructor in the original design; here the texture spans the unit square
    // of the local frame until SetParams, so an early draw reads no indeterminate value.
    float mf_max_u = 1.0f;
    float mf_max_v = 1.0f;
    float mf_plane_width = 1.0f;
    float mf_plane_height = 1.0f;
    bool mb_internal_units = true;

private:
    // Position (in model units when mb_internal_units) and computed texture coordinates of a corner.
    IVVertexPNT _MakeCorner(const MStlPoint& point, float nx, float ny, float nz) const;
};
