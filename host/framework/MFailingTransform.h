#pragma once
// MFailingTransform: a transform for tests that passes points through another transform but fails
// on chosen input points, leaving the output untouched then. It counts its calls, so a test can
// see where a caller stopped. Set the failing points before use; not thread-safe while setting.
#include "host/math/MMTransform.h"

#include <atomic>
#include <memory>
#include <vector>

class MFailingTransform final : public MMTransform {
public:
    explicit MFailingTransform(std::shared_ptr<const MMTransform> inner);

    void FailOn(const MMPoint3d<double>& point) { mv_failing_points.push_back(point); }
    size_t GetNumCalls() const { return mn_num_calls.load(); }

    using MMTransform::Transform;
    bool Transform(MMPoint3d<double>& out, const MMPoint3d<double>& in, bool direction) const override;
    bool InverseTransform(MMPoint3d<double>& out, const MMPoint3d<double>& in, bool direction) const override;

private:
    bool _Fails(const MMPoint3d<double>& point) const;

    std::shared_ptr<const MMTransform> mp_inner;
    std::vector<MMPoint3d<double>> mv_failing_points;
    mutable std::atomic<size_t> mn_num_calls{0};
};
