#pragma once
// IVVertexContainerBoundingBox: draws box edges given as point pairs, choosing them by whether
// they touch the corner of lowest transformed depth (z after the transform).
//
// Call order: default-construct; SetParams(points, transform, exclude_lowest_z); draw with the
// host's RenderLines(device). After changing the points, the transform or the flag, call
// DestroyRenderOptimisations() so that the next draw refills.
//
// With exclude-lowest-z false the edges meeting at the lowest corner are drawn (three of a box's
// twelve when one corner is lowest), with true the others; corners tied for the lowest depth all
// count. Units and frames: the points (two per edge: 0-1, 2-3, ...) are drawn as stored, in the
// frame and units of the device's current object-to-world transform. The transform serves only to
// find depths: it takes a point to a frame whose z is compared (give one whose z grows away from
// the viewer, such as eye coordinates, for "lowest" to mean "nearest"); null is the identity.
// A null point vector draws nothing at all; an empty one raises std::out_of_range from the fill
// after BeginLines and without End, and the container stays usable. An unpaired last point is
// ignored.
//
// Ownership: the point vector and the transform are borrowed and must outlive every draw; copies
// share them. Threading: the host's rendering thread; nothing is locked.
#include "host/render/IVVertex.h"
#include "host/render/IVVertexContainer.h"
#include "module/VantrelExport.h"

#include <vector>

class MMTransform;

class VANTREL_API IVVertexContainerBoundingBox : public IVVertexContainer<IVVertexP> {
public:
    IVVertexContainerBoundingBox();
    IVVertexContainerBoundingBox(const IVVertexContainerBoundingBox& other);
    IVVertexContainerBoundingBox& operator=(const IVVertexContainerBoundingBox& other);

protected:
    void _Optimise(IIVVertexStream<IVVertexP>& stream) override;

public:
    ~IVVertexContainerBoundingBox() override;

    // `transform` must be set whenever `points` is; a null one is taken as the identity.
    void SetParams(std::vector<IVVertexP>* points, const MMTransform* transform, bool exclude_lowest_z);

protected:
    std::vector<IVVertexP>* mp_points;
    const MMTransform* mp_transform;
    bool mb_exclude_lowest_z;

private:
    double _Depth(const IVVertexP& point) const;
};
