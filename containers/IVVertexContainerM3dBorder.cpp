#include "containers/IVVertexContainerM3dBorder.h"

IVVertexContainerM3dBorder::IVVertexContainerM3dBorder() : mp_border(nullptr) {}

IVVertexContainerM3dBorder::IVVertexContainerM3dBorder(const IVVertexContainerM3dBorder& other)
    : IVVertexContainer<IVVertexP>(other), mp_border(other.mp_border) {}

IVVertexContainerM3dBorder& IVVertexContainerM3dBorder::operator=(const IVVertexContainerM3dBorder& other) {
    mp_stream = other.mp_stream;
    mb_dynamic = other.mb_dynamic;
    mb_optimised = other.mb_optimised;
    mp_border = other.mp_border;
    return *this;
}

IVVertexContainerM3dBorder::~IVVertexContainerM3dBorder() = default;

void IVVertexContainerM3dBorder::SetBorder(TBorder* border) {
    mp_border = border;
}

void IVVertexContainerM3dBorder::_Optimise(IIVVertexStream<IVVertexP>& stream) {
    if (mp_border == nullptr)
        return;
    stream.BeginLines();
    for (const auto* contour = mp_border->mp_first_contour; contour != nullptr; contour = contour->mp_next) {
        const auto* point = contour->mp_first_point;
        for (int32_t index = 0;
             index < contour->mn_num_points && point != nullptr && point->mp_next != nullptr; ++index) {
            const auto* next = point->mp_next;
            stream.AddLine(IVVertexP{point->x, point->y, point->z}, IVVertexP{next->x, next->y, next->z});
            point = next;
        }
    }
    stream.End();
}
