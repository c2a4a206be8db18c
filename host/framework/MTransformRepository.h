#pragma once
// MTransformRepository: the application's single store of transforms between coordinate systems,
// reached through mgp_instance.
//
// GetTransform builds the transform from one system to another on first request and keeps it for
// the life of the process, so the reference it returns stays valid after the systems passed in
// (often temporaries) are gone. The repository only grows: every pair of systems asked for keeps
// one entry. Thread-safe (one mutex); the transforms themselves are immutable.
#include "host/framework/MCoordinateSystem.h"
#include "host/math/MMTransform.h"

#include <cstddef>
#include <map>
#include <memory>
#include <mutex>
#include <utility>

class MTransformRepository {
public:
    static MTransformRepository* mgp_instance;

    MTransformRepository() = default;
    MTransformRepository(const MTransformRepository&) = delete;
    MTransformRepository& operator=(const MTransformRepository&) = delete;

    // Maps points of `from` into `to`.
    const MMTransform& GetTransform(const MCoordinateSystem& from, const MCoordinateSystem& to) const;

    // How often GetTransform was called, for tests.
    size_t GetNumRequests() const;

private:
    mutable std::mutex mo_mutex;
    mutable std::map<std::pair<uint64_t, uint64_t>, std::unique_ptr<MMTransform>> mm_transforms;
    mutable size_t mn_num_requests = 0;
};
