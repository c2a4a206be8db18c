#pragma once
// IVVertexContainerStlDataAnimation: draws every triangle of a mesh's feature tree as
// position-normal triangles, each point moved along its own displacement vector times an
// animation scale. Optionally leaves out the triangles the mesh's first texture covers, so that an
// IVVertexContainerStlDataTexturedAnimation beside it can draw those with their texture.
//
// Call order: construct with the mesh and the displacement field; SetAnimationScale and
// SetSkipTextures (0 and false until then); draw with the host's RenderTriangles(device, ...),
// which fills the container's stream at the first draw and replays it afterwards. After changing
// the scale or the flag, or editing the mesh or the field, call DestroyRenderOptimisations() so
// that the next draw fills again: the setters alone change nothing already drawn.
//
// Units and frames: positions are the mesh's own coordinates in internal units (the integer
// point coordinates converted to float, no unit conversion) plus displacement x scale, so the
// displacement vectors are internal units per unit of scale (a scale of 0 draws the mesh as it
// is). Give the device an object-to-world transform that scales by 1 / MUnit::GetIE() to draw in
// model units. Normals are the triangles' facet normals (unit vectors in the mesh frame),
// not recomputed for displaced points. The field holds one vector of three floats per point index
// and must cover every index the mesh's triangles use; a null field draws nothing at all. Only the
// feature tree is drawn (not the compact store), active or not.
//
// Ownership: mesh, field and textures are borrowed and must outlive every draw; copies share them.
// Threading: the host's rendering thread; nothing is locked, and the mesh, field and textures must
// not change while a draw fills the stream.
#include "containers/IVVertexContainerSTLData.h"
#include "module/VantrelExport.h"

class MStlVectorMaskPoints;

class VANTREL_API IVVertexContainerStlDataAnimation : public IVVertexContainerSTLData<IVVertexPN> {
public:
    IVVertexContainerStlDataAnimation(MStlBase* stl, MStlVectorMaskPoints* mask_points);
    IVVertexContainerStlDataAnimation(const IVVertexContainerStlDataAnimation& other);
    IVVertexContainerStlDataAnimation& operator=(const IVVertexContainerStlDataAnimation& other);

protected:
    void _Optimise(IIVVertexStream<IVVertexPN>& stream) override;

public:
    ~IVVertexContainerStlDataAnimation() override;

    void SetAnimationScale(float scale);
    void SetSkipTextures(bool skip);

protected:
    // Not set by the constructor in the original design; given defined values here
    // (no displacement, nothing skipped) so that an early draw reads no indeterminate value.
    float mf_animation_scale = 0.0f;
    MStlVectorMaskPoints* mp_mask_points;
    bool mb_skip_textures = false;
};
