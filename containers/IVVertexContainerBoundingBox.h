#pragma once
// IVVertexContainerBoundingBox: draws box edges given as point pairs, choosing them by whether
// they touch the corner of lowest transformed depth (z after the transform).
//
// With exclude-lowest-z false the edges meeting at the lowest corner are drawn (three of a box's
// twelve when one corner is lowest), with true the others. The transform serves only to find
// depths: the points drawn are the stored ones. An empty point vector raises std::out_of_range
// from _Optimise after BeginLines and without End; the container stays usable. An unpaired last
// point is ignored. Borrowed pointers; copies share them. Host rendering thread only.
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
