#include "host/mesh/MStlSurfaceBorderContour.h"

#include <limits>
#include <stdexcept>

namespace {

uint32_t CheckedCount(size_t count) {
    if (count > std::numeric_limits<uint32_t>::max())
        throw std::length_error("MStlSurfaceBorderContour: more points than a 32-bit count holds");
    return static_cast<uint32_t>(count);
}

} // namespace

MStlSurfaceBorderContour::MStlSurfaceBorderContour(const std::vector<MStlPoint*>& points, bool closed)
    : mn_num_points(CheckedCount(points.size())), mb_closed(closed), mv_nodes(points.size()) {
    for (size_t i = 0; i < mv_nodes.size(); ++i) {
        mv_nodes[i].mp_point = points[i];
        if (i + 1 < mv_nodes.size())
            mv_nodes[i].mp_next = &mv_nodes[i + 1];
    }
    if (!mv_nodes.empty()) {
        mp_first_node = &mv_nodes.front();
        if (closed)
            mv_nodes.back().mp_next = mp_first_node;
    }
}
