#include "containers/IVStlTriangleIterator.h"

#include "host/mesh/MStlBase.h"

#include <gtest/gtest.h>

#include <vector>

namespace {

// Builds feature trees whose triangles are numbered in the order the walk must visit them:
// each triangle's first point has x = its expected position.
class TreeBuilder {
public:
    MStlBase mesh;

    MStlSurface* Surface(MStlFeature* feature, int triangles) {
        MStlSurface* surface = mesh.AddSurface(feature);
        for (int i = 0; i < triangles; ++i) {
            MStlPoint* a = mesh.AddPoint(mn_next++, 0, 0);
            mesh.AddTriangle(surface, a, mesh.AddPoint(0, 1, 0), mesh.AddPoint(0, 0, 1));
        }
        return surface;
    }

    std::vector<int> Walk(MStlFeature* root) {
        std::vector<int> order;
        for (const MStlTriangle* triangle : IVStlTriangleRange{root})
            order.push_back(triangle->mp_points[0]->x);
        return order;
    }

    std::vector<int> Expected() const {
        std::vector<int> order;
        for (int i = 0; i < mn_next; ++i)
            order.push_back(i);
        return order;
    }

private:
    int mn_next = 0;
};

TEST(TriangleWalk,
     VisitsSurfacesBeforeChildrenAndSubtreesBeforeSiblingsToTheStartingFeatureAndNothingInEmptyTrees) {
    TreeBuilder tree;
    EXPECT_TRUE(tree.Walk(nullptr).empty());
    EXPECT_TRUE(IVStlTriangleIterator::Begin(nullptr) == IVStlTriangleIterator::End(nullptr));
    MStlFeature* root = tree.mesh.CreateRootFeature();
    EXPECT_TRUE(tree.Walk(root).empty());
    tree.mesh.AddSurface(tree.mesh.AddFeature(root)); // an empty surface in an empty child
    tree.mesh.AddFeature(root);
    EXPECT_TRUE(tree.Walk(root).empty()) << "a tree without triangles";

    tree.Surface(root, 1);
    tree.Surface(root, 0); // empty surfaces and features without surfaces are passed over
    MStlFeature* first = tree.mesh.AddFeature(root);
    MStlFeature* second = tree.mesh.AddFeature(root);
    tree.mesh.AddFeature(first);
    tree.Surface(tree.mesh.AddFeature(first), 0);
    tree.Surface(first, 1);
    MStlFeature* grandchild = tree.mesh.AddFeature(first);
    tree.Surface(grandchild, 2);
    MStlFeature* deepest = tree.mesh.AddFeature(grandchild);
    tree.Surface(deepest, 1);
    tree.Surface(tree.mesh.AddFeature(first), 1);
    tree.Surface(second, 1);
    tree.Surface(tree.mesh.AddFeature(second), 1);
    // A surface added to the root after its children still belongs to the root's own surfaces,
    // which come first. Give it the next number and expect it second.
    MStlSurface* late = tree.Surface(root, 1);
    const int late_number = late->mp_first_triangle->mp_points[0]->x;

    std::vector<int> expected = tree.Expected();
    expected.erase(expected.begin() + late_number);
    expected.insert(expected.begin() + 1, late_number);
    EXPECT_EQ(tree.Walk(root), expected);

    TreeBuilder nested;
    MStlFeature* nested_root = nested.mesh.CreateRootFeature();
    MStlFeature* subtree = nested.mesh.AddFeature(nested_root);
    MStlFeature* sibling = nested.mesh.AddFeature(nested_root);
    nested.Surface(subtree, 1);
    MStlFeature* child = nested.mesh.AddFeature(subtree);
    nested.Surface(child, 1);
    MStlFeature* last = nested.mesh.AddFeature(child);
    nested.Surface(last, 1);
    nested.Surface(sibling, 3);
    nested.Surface(nested.mesh.AddFeature(nested_root), 1);

    EXPECT_EQ(nested.Walk(subtree), (std::vector<int>{0, 1, 2}));
    EXPECT_EQ(nested.Walk(child), (std::vector<int>{1, 2}));
    EXPECT_EQ(nested.Walk(nested_root), nested.Expected()) << "a root without surfaces";
}

} // namespace
