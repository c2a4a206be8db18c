#pragma once
// IVVertexContainerM3dBorder: draws every contour of a 3D border as a line loop. A contour of
// count n yields n segments, each from a point to the point its link leads to, starting at the
// contour's first point; a ring of n points is thus closed. A count of 0 or below draws nothing.
//
// Call order: default-construct; SetBorder(border); draw with the host's RenderLines(device).
// After editing the border or setting another, call DestroyRenderOptimisations() so that the
// next draw refills. A null border draws nothing at all.
//
// Units and frames: the border's float points are drawn as they are, in the frame and units of
// the device's current object-to-world transform. Ownership: the border is borrowed (copies share
// it) and read afresh at every fill; it must outlive every draw. A link that ends early (null)
// cuts that contour short rather than being followed. Threading: the host's rendering thread;
// nothing is locked.
#include "host/mesh/M3dBorder.h"
#include "host/render/IVVertex.h"
#include "host/render/IVVertexContainer.h"
#include "module/VantrelExport.h"

class VANTREL_API IVVertexContainerM3dBorder : public IVVertexContainer<IVVertexP> {
public:
    using TBorder = M3dBorder<float, float, M3dBorderContour<float, float, M3dBorderPoint<float, float>>>;

    IVVertexContainerM3dBorder();
    IVVertexContainerM3dBorder(const IVVertexContainerM3dBorder& other);
    IVVertexContainerM3dBorder& operator=(const IVVertexContainerM3dBorder& other);

protected:
    void _Optimise(IIVVertexStream<IVVertexP>& stream) override;

public:
    ~IVVertexContainerM3dBorder() override;

    void SetBorder(TBorder* border);

protected:
    TBorder* mp_border;
};
