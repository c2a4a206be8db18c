#include "containers/IVVertexContainerBoundingBox.h"

#include "host/math/MMTransform.h"

#include <limits>

IVVertexContainerBoundingBox::IVVertexContainerBoundingBox()
    : mp_points(nullptr), mp_transform(nullptr), mb_exclude_lowest_z(false) {}

IVVertexContainerBoundingBox::IVVertexContainerBoundingBox(const IVVertexContainerBoundingBox& other)
    : IVVertexContainer<IVVertexP>(other), mp_points(other.mp_points), mp_transform(other.mp_transform),
      mb_exclude_lowest_z(other.mb_exclude_lowest_z) {}

IVVertexContainerBoundingBox&
IVVertexContainerBoundingBox::operator=(const IVVertexContainerBoundingBox& other) {
    mp_stream = other.mp_stream;
    mb_dynamic = other.mb_dynamic;
    mb_optimised = other.mb_optimised;
    mp_points = other.mp_points;
    mp_transform = other.mp_transform;
    mb_exclude_lowest_z = other.mb_exclude_lowest_z;
    return *this;
}

IVVertexContainerBoundingBox::~IVVertexContainerBoundingBox() = default;

void IVVertexContainerBoundingBox::SetParams(std::vector<IVVertexP>* points, const MMTransform* transform,
                                             bool exclude_lowest_z) {
    mp_points = points;
    mp_transform = transform;
    mb_exclude_lowest_z = exclude_lowest_z;
}

double IVVertexContainerBoundingBox::_Depth(const IVVertexP& point) const {
    MMPoint3d<double> transformed(point.x, point.y, point.z);
    if (mp_transform != nullptr)
        mp_transform->Transform(transformed, transformed, false);
    return transformed.z;
}

void IVVertexContainerBoundingBox::_Optimise(IIVVertexStream<IVVertexP>& stream) {
    if (mp_points == nullptr)
        return;
    stream.BeginLines();
    const std::vector<IVVertexP>& points = *mp_points;
    (void)points.at(0); // the documented error for an empty vector, raised before End

    // Only paired points count; an odd last point belongs to no segment and is never read.
    const size_t paired = points.size() - points.size() % 2;
    double lowest = std::numeric_limits<double>::max();
    for (size_t index = 0; index < paired; ++index) {
        const double depth = _Depth(points[index]);
        if (depth < lowest) // a NaN depth keeps the lowest so far
            lowest = depth;
    }
    // Depths are compared exactly: the same point through the same transform gives the same z, so
    // every edge at a tied lowest corner counts as touching it.
    for (size_t index = 0; index < paired; index += 2) {
        const bool touches = _Depth(points[index]) == lowest || _Depth(points[index + 1]) == lowest;
        if (touches != mb_exclude_lowest_z)
            stream.AddLine(points[index], points[index + 1]);
    }
    stream.End();
}
