#pragma once
// UIObject: a scene object of the application, reduced to what the library reads: its IRender part
// (the box) and its own coordinate system (its placement in the world).
//
// The stand-in holds a box set by SetBox (none at first, so GetBoundingBox leaves the caller's
// values alone) and records the mask of the last GetBoundingBox call for tests. Not thread-safe.
#include "host/framework/IRender.h"
#include "host/framework/MCoordinateSystem.h"

#include <cstdint>

class UIObject : public IRender {
public:
    UIObject() = default;
    ~UIObject() override;

    IRender& GetRender() { return *this; }
    const IRender& GetRender() const { return *this; }
    const MCoordinateSystem& GetCoordinateSystem() const { return mo_coordinate_system; }
    void SetCoordinateSystem(const MCoordinateSystem& system) { mo_coordinate_system = system; }

    void SetBox(const M3DBoundingBox<float>& box);
    void ClearBox() { mb_has_box = false; }

    // Overwrites all six values with the object's box when it has one.
    void GetBoundingBox(M3DBoundingBox<float>& box, uint64_t mask) const override;

    uint64_t GetLastMask() const { return mn_last_mask; }
    int GetNumBoxRequests() const { return mn_num_box_requests; }

private:
    MCoordinateSystem mo_coordinate_system;
    M3DBoundingBox<float> mo_box;
    bool mb_has_box = false;
    mutable uint64_t mn_last_mask = 0;
    mutable int mn_num_box_requests = 0;
};
