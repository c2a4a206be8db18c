#pragma once
// The position at which the animated containers draw a mesh point: its displacement vector times
// the animation scale, plus its integer coordinates converted to float. Single precision, product
// first; no unit conversion. Internal to the library.
#include "host/mesh/MStlPoint.h"
#include "host/mesh/MStlVectorMaskPoints.h"

struct IVDisplacedPoint {
    float x, y, z;

    IVDisplacedPoint(const MStlPoint& point, const MStlVectorMaskPoints& mask, float scale) {
        const float* displacement = mask.Get(point.mn_index);
        x = displacement[0] * scale + static_cast<float>(point.x);
        y = displacement[1] * scale + static_cast<float>(point.y);
        z = displacement[2] * scale + static_cast<float>(point.z);
    }
};
