#include "containers/IVVertexContainerMStlSurfaceBorderContour.h"

#include "host/base/MInternalUnits.h"
#include "host/mesh/MStlPoint.h"
#include "host/mesh/MStlSurfaceBorderContour.h"

#include <cstdint>

namespace {

IVVertexP ToVertex(const MStlPoint& point, double internal_units) {
    return {static_cast<float>(static_cast<double>(point.x) / internal_units),
            static_cast<float>(static_cast<double>(point.y) / internal_units),
            static_cast<float>(static_cast<double>(point.z) / internal_units)};
}

} // namespace

IVVertexContainerMStlSurfaceBorderContour::IVVertexContainerMStlSurfaceBorderContour()
    : mp_contour(nullptr) {}

IVVertexContainerMStlSurfaceBorderContour::IVVertexContainerMStlSurfaceBorderContour(
    const IVVertexContainerMStlSurfaceBorderContour& other)
    : IVVertexContainer<IVVertexP>(other), mp_contour(other.mp_contour) {}

IVVertexContainerMStlSurfaceBorderContour&
IVVertexContainerMStlSurfaceBorderContour::operator=(const IVVertexContainerMStlSurfaceBorderContour& other) {
    mp_stream = other.mp_stream;
    mb_dynamic = other.mb_dynamic;
    mb_optimised = other.mb_optimised;
    mp_contour = other.mp_contour;
    return *this;
}

IVVertexContainerMStlSurfaceBorderContour::~IVVertexContainerMStlSurfaceBorderContour() = default;

void IVVertexContainerMStlSurfaceBorderContour::SetParams(MStlSurfaceBorderContour* contour) {
    mp_contour = contour;
}

void IVVertexContainerMStlSurfaceBorderContour::_Optimise(IIVVertexStream<IVVertexP>& stream) {
    if (mp_contour == nullptr)
        return;
    const uint32_t count = mp_contour->mn_num_points;
    // Counted in 64 bits so that a closed contour of 2^32 - 1 points does not wrap to nothing.
    const uint64_t ends = uint64_t(count) + (mp_contour->mb_closed ? 1 : 0);
    if (ends <= 1)
        return;
    stream.BeginLines();
    const double internal_units = StdBase::MInternalUnits::mg_instance.md_internal_units;
    const MStlSurfaceBorderContour::TNode* node = mp_contour->mp_first_node;
    if (node != nullptr && node->mp_point != nullptr) {
        IVVertexP previous = ToVertex(*node->mp_point, internal_units);
        node = node->mp_next;
        for (uint32_t index = 1; index < count && node != nullptr && node->mp_point != nullptr; ++index) {
            const IVVertexP vertex = ToVertex(*node->mp_point, internal_units);
            stream.AddLine(previous, vertex);
            previous = vertex;
            node = node->mp_next;
        }
        // The node after the last is the first in a ring; a broken ring draws no closing segment.
        if (mp_contour->mb_closed && node != nullptr && node->mp_point != nullptr)
            stream.AddLine(previous, ToVertex(*node->mp_point, internal_units));
    }
    stream.End();
}
