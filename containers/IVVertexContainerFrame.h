#pragma once
// IVVertexContainerFrame: draws the outline of a frame (a parallelogram with corner C and edge
// vectors A and B) as four segments: C to C + A, F to C + A, F to C + B, C to C + B, where the far
// corner F is (B + A) + C. Sums are per axis in single precision.
//
// The frame is held by value; set it with SetParams before drawing (a default frame gives four
// zero-length segments at the origin). Host rendering thread only.
#include "host/mesh/MFrame.h"
#include "host/render/IVVertex.h"
#include "host/render/IVVertexContainer.h"
#include "module/VantrelExport.h"

class VANTREL_API IVVertexContainerFrame : public IVVertexContainer<IVVertexP> {
public:
    IVVertexContainerFrame();
    IVVertexContainerFrame(const IVVertexContainerFrame& other);
    IVVertexContainerFrame& operator=(const IVVertexContainerFrame& other);

protected:
    void _Optimise(IIVVertexStream<IVVertexP>& stream) override;

public:
    ~IVVertexContainerFrame() override;

    void SetParams(MFrame<float> frame);

protected:
    MFrame<float> mo_frame;
};
