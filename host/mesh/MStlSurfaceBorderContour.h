#pragma once
// MStlSurfaceBorderContour: a border contour of a mesh surface, as a chain of point nodes.
//
// Each node links to the next node and to its mesh point (borrowed from the mesh). An open
// contour's last node links to null; in a closed contour the node after the last is the first, so
// the nodes form a ring. The contour owns its nodes, which is why it can be neither copied nor
// moved: the links point into its own storage. Build it once, then only read it.
#include <cstdint>
#include <vector>

struct MStlPoint;

class MStlSurfaceBorderContour {
public:
    struct TNode {
        TNode* mp_next = nullptr;
        MStlPoint* mp_point = nullptr;
    };

    // An empty open contour.
    MStlSurfaceBorderContour() = default;
    // One node per point, in order; `closed` links the last node back to the first.
    MStlSurfaceBorderContour(const std::vector<MStlPoint*>& points, bool closed);
    MStlSurfaceBorderContour(const MStlSurfaceBorderContour&) = delete;
    MStlSurfaceBorderContour& operator=(const MStlSurfaceBorderContour&) = delete;

    TNode* GetFirstNode() const { return mp_first_node; }
    uint32_t GetNumPoints() const { return mn_num_points; }
    bool IsClosed() const { return mb_closed; }

    TNode* mp_first_node = nullptr;
    uint32_t mn_num_points = 0;
    bool mb_closed = false;

private:
    std::vector<TNode> mv_nodes; // sized once by the constructor, so node addresses are stable
};
