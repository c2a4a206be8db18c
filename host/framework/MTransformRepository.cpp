#include "host/framework/MTransformRepository.h"

namespace {

// From one system through the world into another; holds copies of both systems, so the shared
// transforms live as long as it does.
class MComposedTransform final : public MMTransform {
public:
    MComposedTransform(MCoordinateSystem from, MCoordinateSystem to)
        : mo_from(std::move(from)), mo_to(std::move(to)) {}

    using MMTransform::Transform;
    bool Transform(MMPoint3d<double>& out, const MMPoint3d<double>& in, bool direction) const override {
        MMPoint3d<double> world;
        if (!mo_from.ToWorld(world, in, direction))
            return false;
        return mo_to.FromWorld(out, world, direction);
    }
    bool InverseTransform(MMPoint3d<double>& out, const MMPoint3d<double>& in,
                          bool direction) const override {
        MMPoint3d<double> world;
        if (!mo_to.ToWorld(world, in, direction))
            return false;
        return mo_from.FromWorld(out, world, direction);
    }

private:
    MCoordinateSystem mo_from;
    MCoordinateSystem mo_to;
};

MTransformRepository g_repository;

} // namespace

MTransformRepository* MTransformRepository::mgp_instance = &g_repository;

const MMTransform& MTransformRepository::GetTransform(const MCoordinateSystem& from,
                                                      const MCoordinateSystem& to) const {
    const std::lock_guard lock(mo_mutex);
    ++mn_num_requests;
    std::unique_ptr<MMTransform>& entry = mm_transforms[{from.GetId(), to.GetId()}];
    if (entry == nullptr)
        entry = std::make_unique<MComposedTransform>(from, to);
    return *entry;
}

size_t MTransformRepository::GetNumRequests() const {
    const std::lock_guard lock(mo_mutex);
    return mn_num_requests;
}
