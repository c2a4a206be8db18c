#pragma once
// IRender: the render part of a scene object, through which the library reads the object's box.
// Implemented by UIObject; called from the rendering thread.
#include "host/framework/M3DBoundingBox.h"

#include <cstdint>

class IRender {
public:
    virtual ~IRender();

    // Fills the six values of `box` with the object's box in its own coordinate system; an object
    // without geometry leaves them as they are. `mask` selects parts of the object (all low bits set
    // for everything).
    virtual void GetBoundingBox(M3DBoundingBox<float>& box, uint64_t mask) const = 0;
};
