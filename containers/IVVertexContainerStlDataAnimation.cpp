#include "containers/IVVertexContainerStlDataAnimation.h"

#include "containers/IVDisplacedPoint.h"
#include "containers/IVStlTriangleIterator.h"
#include "host/mesh/MStlBase.h"
#include "host/mesh/MStlVectorMaskPoints.h"

IVVertexContainerStlDataAnimation::IVVertexContainerStlDataAnimation(MStlBase* stl,
                                                                     MStlVectorMaskPoints* mask_points)
    : IVVertexContainerSTLData<IVVertexPN>(stl), mp_mask_points(mask_points) {}

IVVertexContainerStlDataAnimation::IVVertexContainerStlDataAnimation(
    const IVVertexContainerStlDataAnimation& other)
    : IVVertexContainerSTLData<IVVertexPN>(other), mf_animation_scale(other.mf_animation_scale),
      mp_mask_points(other.mp_mask_points), mb_skip_textures(other.mb_skip_textures) {}

IVVertexContainerStlDataAnimation&
IVVertexContainerStlDataAnimation::operator=(const IVVertexContainerStlDataAnimation& other) {
    IVVertexContainerSTLData<IVVertexPN>::operator=(other);
    mf_animation_scale = other.mf_animation_scale;
    mp_mask_points = other.mp_mask_points;
    mb_skip_textures = other.mb_skip_textures;
    return *this;
}

IVVertexContainerStlDataAnimation::~IVVertexContainerStlDataAnimation() {
    DestroyRenderOptimisations();
}

void IVVertexContainerStlDataAnimation::SetAnimationScale(float scale) {
    mf_animation_scale = scale;
}

void IVVertexContainerStlDataAnimation::SetSkipTextures(bool skip) {
    mb_skip_textures = skip;
}

void IVVertexContainerStlDataAnimation::_Optimise(IIVVertexStream<IVVertexPN>& stream) {
    if (mp_mask_points == nullptr)
        return;
    stream.BeginTriangles();

    // Looked up on every fill, whatever the flag says: the texture list may have changed.
    const std::vector<MStlTexture*>& textures = mp_stl->GetTextureFactory(true)->GetTextures();
    const MStlTexture* skip_texture = textures.empty() ? nullptr : textures.front();

    for (const MStlTriangle* triangle : IVStlTriangleRange{mp_stl->GetRootFeature()}) {
        if (mb_skip_textures && skip_texture != nullptr) {
            MStlTextureCoordinates coordinates;
            if (skip_texture->GetCoordinates(triangle, coordinates, true))
                continue;
        }
        IVVertexPN corners[3];
        for (int k = 0; k < 3; ++k) {
            const IVDisplacedPoint position(*triangle->mp_points[k], *mp_mask_points, mf_animation_scale);
            corners[k] = {position.x,
                          position.y,
                          position.z,
                          triangle->ma_normal[0],
                          triangle->ma_normal[1],
                          triangle->ma_normal[2]};
        }
        stream.AddTriangle(corners[0], corners[1], corners[2]);
    }
    stream.End();
}
