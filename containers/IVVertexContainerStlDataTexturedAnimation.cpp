#include "containers/IVVertexContainerStlDataTexturedAnimation.h"

#include "containers/IVDisplacedPoint.h"
#include "host/mesh/MStlPoint.h"
#include "host/mesh/MStlTexture.h"
#include "host/mesh/MStlTextureCoordinates.h"
#include "host/mesh/MStlTriangle.h"
#include "host/mesh/MStlVectorMaskPoints.h"

IVVertexContainerStlDataTexturedAnimation::IVVertexContainerStlDataTexturedAnimation(
    MStlBase* stl, MStlVectorMaskPoints* mask_points, MStlTexture* texture)
    : IVVertexContainerSTLData<IVVertexPNT>(stl), mp_mask_points(mask_points), mp_texture(texture) {}

IVVertexContainerStlDataTexturedAnimation::IVVertexContainerStlDataTexturedAnimation(
    const IVVertexContainerStlDataTexturedAnimation& other)
    : IVVertexContainerSTLData<IVVertexPNT>(other), mf_animation_scale(other.mf_animation_scale),
      mp_mask_points(other.mp_mask_points), mp_texture(other.mp_texture) {}

IVVertexContainerStlDataTexturedAnimation&
IVVertexContainerStlDataTexturedAnimation::operator=(const IVVertexContainerStlDataTexturedAnimation& other) {
    IVVertexContainerSTLData<IVVertexPNT>::operator=(other);
    mf_animation_scale = other.mf_animation_scale;
    mp_mask_points = other.mp_mask_points;
    mp_texture = other.mp_texture;
    return *this;
}

IVVertexContainerStlDataTexturedAnimation::~IVVertexContainerStlDataTexturedAnimation() {
    DestroyRenderOptimisations();
}

void IVVertexContainerStlDataTexturedAnimation::SetAnimationScale(float scale) {
    mf_animation_scale = scale;
}

void IVVertexContainerStlDataTexturedAnimation::_Optimise(IIVVertexStream<IVVertexPNT>& stream) {
    if (mp_mask_points == nullptr || mp_texture == nullptr)
        return;
    stream.BeginTriangles();

    mp_texture->_SpreadInvalidity();
    if (!mp_texture->IsListValid())
        mp_texture->_ValidateVector();

    for (const MStlTriangle* triangle : mp_texture->GetTriangles()) {
        MStlTextureCoordinates coordinates;
        const bool covered = mp_texture->GetCoordinates(triangle, coordinates, true);
        IVVertexPNT corners[3];
        for (int k = 0; k < 3; ++k) {
            // A triangle the texture answers false for gets (0, 0) at every corner rather than
            // whatever the previous triangle left, so each triangle's look depends on itself only.
            const IVDisplacedPoint position(*triangle->mp_points[k], *mp_mask_points, mf_animation_scale);
            corners[k] = {position.x,
                          position.y,
                          position.z,
                          triangle->ma_normal[0],
                          triangle->ma_normal[1],
                          triangle->ma_normal[2],
                          covered ? coordinates.ma_u[k] : 0.0f,
                          covered ? coordinates.ma_v[k] : 0.0f};
        }
        stream.AddTriangle(corners[0], corners[1], corners[2]);
    }
    stream.End();
}
