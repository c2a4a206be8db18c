#pragma once
// IVVertexContainerMStlSurfaceBorderContour: draws a mesh surface's border contour as a polyline,
// closed back to its first point when the contour is closed.
//
// Call order: default-construct; SetParams(contour); draw with the host's RenderLines(device).
// After editing the contour or setting another, call DestroyRenderOptimisations().
//
// Units and frames: the contour's points are mesh points (integer internal units); each
// coordinate is divided in double precision by StdBase::MInternalUnits (the same factor as
// MUnit::GetIE()) and then rounded to float, so the lines are in model units of the mesh's frame:
// the device's object-to-world transform should not scale again. An open contour of n points
// gives n - 1 segments, a closed one n (a closed single point gives one zero-length segment).
// Fewer than two ends to join, or a null contour, draws nothing, not even an empty list.
//
// Ownership: the contour is borrowed (copies share it) and must outlive every draw; a node link
// that ends early cuts the polyline short. Threading: the host's rendering thread; nothing is
// locked.
#include "host/render/IVVertex.h"
#include "host/render/IVVertexContainer.h"
#include "module/VantrelExport.h"

class MStlSurfaceBorderContour;

class VANTREL_API IVVertexContainerMStlSurfaceBorderContour : public IVVertexContainer<IVVertexP> {
public:
    IVVertexContainerMStlSurfaceBorderContour();
    IVVertexContainerMStlSurfaceBorderContour(const IVVertexContainerMStlSurfaceBorderContour& other);
    IVVertexContainerMStlSurfaceBorderContour&
    operator=(const IVVertexContainerMStlSurfaceBorderContour& other);

protected:
    void _Optimise(IIVVertexStream<IVVertexP>& stream) override;

public:
    ~IVVertexContainerMStlSurfaceBorderContour() override;

    void SetParams(MStlSurfaceBorderContour* contour);

protected:
    MStlSurfaceBorderContour* mp_contour;
};
