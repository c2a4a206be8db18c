#include "containers/IVVertexContainerTexturedPlane.h"

#include "containers/IVStlTriangleIterator.h"
#include "host/base/MUnit.h"
#include "host/mesh/MStlBase.h"

IVVertexContainerTexturedPlane::IVVertexContainerTexturedPlane(MStlBase* stl)
    : IVVertexContainerSTLData<IVVertexPNT>(stl), mo_plane_transform(), mb_internal_units(true) {}

IVVertexContainerTexturedPlane::IVVertexContainerTexturedPlane(const IVVertexContainerTexturedPlane& other)
    : IVVertexContainerSTLData<IVVertexPNT>(other), mo_plane_transform(other.mo_plane_transform),
      mf_max_u(other.mf_max_u), mf_max_v(other.mf_max_v), mf_plane_width(other.mf_plane_width),
      mf_plane_height(other.mf_plane_height), mb_internal_units(other.mb_internal_units) {}

IVVertexContainerTexturedPlane&
IVVertexContainerTexturedPlane::operator=(const IVVertexContainerTexturedPlane& other) {
    IVVertexContainerSTLData<IVVertexPNT>::operator=(other);
    mp_stl = other.mp_stl;
    mo_plane_transform = other.mo_plane_transform;
    mf_max_u = other.mf_max_u;
    mf_max_v = other.mf_max_v;
    mf_plane_width = other.mf_plane_width;
    mf_plane_height = other.mf_plane_height;
    mb_internal_units = other.mb_internal_units;
    return *this;
}

IVVertexContainerTexturedPlane::~IVVertexContainerTexturedPlane() {
    DestroyRenderOptimisations();
}

void IVVertexContainerTexturedPlane::DestroyRenderOptimisations() {
    IVVertexContainer<IVVertexPNT>::DestroyRenderOptimisations();
}

void IVVertexContainerTexturedPlane::SetParams(MMTransformMatrix& transform, float max_u, float max_v,
                                               float width, float height, bool internal_units) {
    mo_plane_transform = transform;
    mf_max_u = max_u;
    mf_max_v = max_v;
    mf_plane_width = width;
    mf_plane_height = height;
    mb_internal_units = internal_units;
}

void IVVertexContainerTexturedPlane::_Optimise(IIVVertexStream<IVVertexPNT>& stream) {
    _OptimiseFlatShading(stream);
}

IVVertexPNT IVVertexContainerTexturedPlane::_MakeCorner(const MStlPoint& point, float nx, float ny,
                                                        float nz) const {
    IVVertexPNT corner{};
    if (mb_internal_units) {
        // Single-precision division; the factor is asked for once per coordinate.
        corner.x = static_cast<float>(point.x) / static_cast<float>(MUnit::GetIE());
        corner.y = static_cast<float>(point.y) / static_cast<float>(MUnit::GetIE());
        corner.z = static_cast<float>(point.z) / static_cast<float>(MUnit::GetIE());
    } else {
        corner.x = static_cast<float>(point.x);
        corner.y = static_cast<float>(point.y);
        corner.z = static_cast<float>(point.z);
    }
    corner.nx = nx;
    corner.ny = ny;
    corner.nz = nz;

    // The transform's answer is not tested: a failed inverse leaves whatever it leaves in local.
    const MMPoint3d<double> position(corner.x, corner.y, corner.z);
    MMPoint3d<double> local;
    mo_plane_transform.InverseTransform(local, position, false);
    // Scaled in double, rounded to float; v is then flipped in single precision.
    corner.u =
        static_cast<float>(static_cast<double>(mf_max_u) * local.x / static_cast<double>(mf_plane_width));
    const float down =
        static_cast<float>(static_cast<double>(mf_max_v) * local.y / static_cast<double>(mf_plane_height));
    corner.v = mf_max_v - down;
    return corner;
}

void IVVertexContainerTexturedPlane::_OptimiseFlatShading(IIVVertexStream<IVVertexPNT>& stream) {
    stream.BeginTriangles();

    for (const MStlTriangle* triangle : IVStlTriangleRange{mp_stl->GetRootFeature()}) {
        if (!triangle->IsActive())
            continue;
        const float* normal = triangle->ma_normal;
        const IVVertexPNT a = _MakeCorner(*triangle->mp_points[0], normal[0], normal[1], normal[2]);
        const IVVertexPNT b = _MakeCorner(*triangle->mp_points[1], normal[0], normal[1], normal[2]);
        const IVVertexPNT c = _MakeCorner(*triangle->mp_points[2], normal[0], normal[1], normal[2]);
        stream.AddTriangle(a, b, c);
    }

    // Compact triangles carry no active flag: all of them are drawn. Their normals are quantised
    // by 127 and not clamped, so -128 comes out slightly beyond -1.
    const MStlCompact& compact = *mp_stl->GetCompact();
    const uint64_t count = compact.GetNumTriangles();
    for (uint64_t index = 0; index < count; ++index) {
        const MStlCompactTriangle& triangle = compact.GetTriangle(index);
        const float nx = static_cast<float>(triangle.ma_normal[0]) / 127.0f;
        const float ny = static_cast<float>(triangle.ma_normal[1]) / 127.0f;
        const float nz = static_cast<float>(triangle.ma_normal[2]) / 127.0f;
        const IVVertexPNT a = _MakeCorner(*triangle.mp_points[0], nx, ny, nz);
        const IVVertexPNT b = _MakeCorner(*triangle.mp_points[1], nx, ny, nz);
        const IVVertexPNT c = _MakeCorner(*triangle.mp_points[2], nx, ny, nz);
        stream.AddTriangle(a, b, c);
    }
    stream.End();
}
