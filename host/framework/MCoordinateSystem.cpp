#include "host/framework/MCoordinateSystem.h"

#include <atomic>

namespace {

uint64_t NextId() {
    static std::atomic<uint64_t> next{1};
    return next.fetch_add(1);
}

} // namespace

MCoordinateSystem::MCoordinateSystem() : mn_id(0) {}

MCoordinateSystem::MCoordinateSystem(std::shared_ptr<const MMTransform> to_world,
                                     std::shared_ptr<const MMTransform> from_world)
    : mn_id(NextId()), mp_to_world(std::move(to_world)), mp_from_world(std::move(from_world)) {}

MCoordinateSystem MCoordinateSystem::MakePlaced(std::shared_ptr<const MMTransform> system_to_world) {
    return MCoordinateSystem(std::move(system_to_world), nullptr);
}

MCoordinateSystem MCoordinateSystem::MakeViewed(std::shared_ptr<const MMTransform> world_to_system) {
    return MCoordinateSystem(nullptr, std::move(world_to_system));
}

bool MCoordinateSystem::ToWorld(MMPoint3d<double>& out, const MMPoint3d<double>& in, bool direction) const {
    if (mp_to_world != nullptr)
        return mp_to_world->Transform(out, in, direction);
    if (mp_from_world != nullptr)
        return mp_from_world->InverseTransform(out, in, direction);
    out = in;
    return true;
}

bool MCoordinateSystem::FromWorld(MMPoint3d<double>& out, const MMPoint3d<double>& in, bool direction) const {
    if (mp_from_world != nullptr)
        return mp_from_world->Transform(out, in, direction);
    if (mp_to_world != nullptr)
        return mp_to_world->InverseTransform(out, in, direction);
    out = in;
    return true;
}
