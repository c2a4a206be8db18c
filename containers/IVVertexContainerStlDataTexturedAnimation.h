#pragma once
// IVVertexContainerStlDataTexturedAnimation: draws the triangles of one mesh texture as textured
// position-normal-texture triangles, displaced like IVVertexContainerStlDataAnimation.
//
// Used beside the untextured animation container with skip-textures on: that one draws what the
// mesh's first texture does not cover, this one the covered triangles, in the texture's own list
// order. Set the scale before the first draw; the setter does not invalidate a filled stream.
// Filling brings the texture's cached triangle list up to date, so the texture must not be used
// from another thread meanwhile. Borrowed pointers only; copies share them.
#include "containers/IVVertexContainerSTLData.h"
#include "module/VantrelExport.h"

class MStlTexture;
class MStlVectorMaskPoints;

class VANTREL_API IVVertexContainerStlDataTexturedAnimation : public IVVertexContainerSTLData<IVVertexPNT> {
public:
    IVVertexContainerStlDataTexturedAnimation(MStlBase* stl, MStlVectorMaskPoints* mask_points,
                                              MStlTexture* texture);
    IVVertexContainerStlDataTexturedAnimation(const IVVertexContainerStlDataTexturedAnimation& other);
    IVVertexContainerStlDataTexturedAnimation&
    operator=(const IVVertexContainerStlDataTexturedAnimation& other);

protected:
    void _Optimise(IIVVertexStream<IVVertexPNT>& stream) override;

public:
    ~IVVertexContainerStlDataTexturedAnimation() override;

    void SetAnimationScale(float scale);

protected:
    // Not set by the constructor in the original design; zero (no displacement) here so that an
    // early draw reads no indeterminate value.
    float mf_animation_scale = 0.0f;
    MStlVectorMaskPoints* mp_mask_points;
    MStlTexture* mp_texture;
};
