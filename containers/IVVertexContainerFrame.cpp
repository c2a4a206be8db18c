#include "containers/IVVertexContainerFrame.h"

IVVertexContainerFrame::IVVertexContainerFrame() : mo_frame() {}

IVVertexContainerFrame::IVVertexContainerFrame(const IVVertexContainerFrame& other)
    : IVVertexContainer<IVVertexP>(other), mo_frame(other.mo_frame) {}

IVVertexContainerFrame& IVVertexContainerFrame::operator=(const IVVertexContainerFrame& other) {
    mp_stream = other.mp_stream;
    mb_dynamic = other.mb_dynamic;
    mb_optimised = other.mb_optimised;
    mo_frame = other.mo_frame;
    return *this;
}

IVVertexContainerFrame::~IVVertexContainerFrame() = default;

void IVVertexContainerFrame::SetParams(MFrame<float> frame) {
    mo_frame = frame;
}

void IVVertexContainerFrame::_Optimise(IIVVertexStream<IVVertexP>& stream) {
    const MMPoint3d<float>& c = mo_frame.mo_corner;
    const MMPoint3d<float>& a = mo_frame.mo_edge_a;
    const MMPoint3d<float>& b = mo_frame.mo_edge_b;
    const IVVertexP corner{c.x, c.y, c.z};
    const IVVertexP corner_a{c.x + a.x, c.y + a.y, c.z + a.z};
    const IVVertexP corner_b{c.x + b.x, c.y + b.y, c.z + b.z};
    // Summed (B + A) + C, not C + A + B: the rounding differs and the order is part of the result.
    const IVVertexP far{(b.x + a.x) + c.x, (b.y + a.y) + c.y, (b.z + a.z) + c.z};

    stream.BeginLines();
    stream.AddLine(corner, corner_a);
    stream.AddLine(far, corner_a);
    stream.AddLine(far, corner_b);
    stream.AddLine(corner, corner_b);
    stream.End();
}
