#pragma once
// MCoordinateSystem: a coordinate system of the application, as a value. Copies name the same
// system (they share an id and the transforms); every system made by a constructor or factory is
// a new one.
//
// A system is tied to the world by one transform: either its placement (system to world, for
// scene objects) or its view (world to system, for windows: world points to window pixels, x right,
// y down, z a depth). The other direction is the transform's inverse. The world system itself
// has neither. The transforms are shared and must not change while a repository transform built
// from them is in use; make a new system instead. Copying and reading are thread-safe.
#include "host/math/MMTransform.h"

#include <cstdint>
#include <memory>

class MCoordinateSystem {
public:
    // The world system.
    MCoordinateSystem();

    static MCoordinateSystem MakePlaced(std::shared_ptr<const MMTransform> system_to_world);
    static MCoordinateSystem MakeViewed(std::shared_ptr<const MMTransform> world_to_system);

    uint64_t GetId() const { return mn_id; }
    bool operator==(const MCoordinateSystem& other) const { return mn_id == other.mn_id; }

    // A point or direction of this system in world coordinates, and back; false when the
    // transform fails. `out` may be `in`.
    bool ToWorld(MMPoint3d<double>& out, const MMPoint3d<double>& in, bool direction) const;
    bool FromWorld(MMPoint3d<double>& out, const MMPoint3d<double>& in, bool direction) const;

private:
    MCoordinateSystem(std::shared_ptr<const MMTransform> to_world,
                      std::shared_ptr<const MMTransform> from_world);

    uint64_t mn_id;
    std::shared_ptr<const MMTransform> mp_to_world;   // placement, or null
    std::shared_ptr<const MMTransform> mp_from_world; // view, or null
};
