#include "host/framework/MFailingTransform.h"

#include <algorithm>

MFailingTransform::MFailingTransform(std::shared_ptr<const MMTransform> inner) : mp_inner(std::move(inner)) {}

bool MFailingTransform::_Fails(const MMPoint3d<double>& point) const {
    return std::find(mv_failing_points.begin(), mv_failing_points.end(), point) != mv_failing_points.end();
}

bool MFailingTransform::Transform(MMPoint3d<double>& out, const MMPoint3d<double>& in, bool direction) const {
    ++mn_num_calls;
    if (_Fails(in))
        return false;
    if (mp_inner == nullptr) {
        out = in;
        return true;
    }
    return mp_inner->Transform(out, in, direction);
}

bool MFailingTransform::InverseTransform(MMPoint3d<double>& out, const MMPoint3d<double>& in,
                                         bool direction) const {
    ++mn_num_calls;
    if (_Fails(in))
        return false;
    if (mp_inner == nullptr) {
        out = in;
        return true;
    }
    return mp_inner->InverseTransform(out, in, direction);
}
