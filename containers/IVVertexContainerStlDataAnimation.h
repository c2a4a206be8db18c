#pragma once
// IVVertexContainerStlDataAnimation: draws a mesh whose points are displaced along a per-point
// vector field (MStlVectorMaskPoints) times an animation scale, as position-normal triangles.
//
// Optionally leaves out the triangles covered by the mesh's first texture, so that a textured
// container can draw those. Set the scale and the skip flag before the first draw; setters do not
// invalidate a stream already filled (call DestroyRenderOptimisations). Borrowed pointers only.
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
