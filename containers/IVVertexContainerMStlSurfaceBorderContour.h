#pragma once
// IVVertexContainerMStlSurfaceBorderContour: draws a mesh surface's border contour as a polyline,
// closed back to its first point when the contour is closed. Point coordinates are converted from
// internal units in double precision (divided by StdBase::MInternalUnits), then rounded to float.
//
// An open contour of n points gives n - 1 segments, a closed one n (a closed single point gives
// one zero-length segment). Fewer than two ends to join draws nothing, not even an empty list.
// The contour is borrowed (copies share it); a node link that ends early cuts the polyline short.
// Host rendering thread only.
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
