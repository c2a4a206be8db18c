#pragma once
// IVVertexContainerStlDataTexturedAnimation: draws the triangles one mesh texture covers as
// textured position-normal-texture triangles, displaced like IVVertexContainerStlDataAnimation.
//
// Used beside the untextured animation container with skip-textures on: that one draws what the
// mesh's first texture does not cover, this one the covered triangles, in the texture's own list
// order (not the feature tree's), whatever flags they carry.
//
// Call order: construct with the mesh, the displacement field and the texture; SetAnimationScale
// (0 until then); draw with the host's RenderTriangles(device, ...). After changing the scale or
// editing the texture, mesh or field, call DestroyRenderOptimisations(): the setter alone does not
// refill a stream already drawn.
//
// Units and frames: positions are mesh coordinates in internal units plus displacement x scale,
// as in the untextured container (draw with an object-to-world scale of 1 / MUnit::GetIE() for
// model units); normals are the facet normals; u and v are the texture's own coordinates for each
// corner, as MStlTexture::GetCoordinates gives them. A triangle the texture gives no coordinates
// for is drawn with (0, 0) at every corner. A null field or texture draws nothing at all.
//
// Ownership: mesh, field and texture are borrowed and must outlive every draw; copies share them.
// Threading: the host's rendering thread. Filling brings the texture's cached triangle list up to
// date, so the texture must not be used from another thread meanwhile.
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
