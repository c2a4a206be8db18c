#pragma once
// IVVertexContainerFrame: draws the outline of a frame (a parallelogram with corner C and edge
// vectors A and B) as four segments: C to C + A, F to C + A, F to C + B, C to C + B, where the far
// corner F is (B + A) + C. Sums are per axis in single precision.
//
// Call order: default-construct; SetParams(frame) (a default frame gives four zero-length
// segments at the origin); draw with the host's RenderLines(device). After SetParams on a drawn
// container, call DestroyRenderOptimisations() so that the next draw refills.
//
// Units and frames: C is a point and A, B are vectors in the frame and units of the device's
// current object-to-world transform; the frame's leading scalar and fourth point are not read.
// Ownership: the frame is held by value; nothing is borrowed. Threading: the host's rendering
// thread; nothing is locked.
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
