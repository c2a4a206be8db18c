#pragma once
// MStlFeature: a node of a mesh's feature tree. It owns nothing; the mesh (MStlBase) owns every
// feature, surface and triangle and links them together. Surfaces and child features are numbered
// from 0 in the order they were added.
#include "host/mesh/MStlFeatureItem.h"

#include <cstddef>
#include <vector>

class MStlBase;
class MStlSurface;

class MStlFeature : public MStlFeatureItem {
public:
    MStlFeature* mp_parent = nullptr;

    // With `recursive` false: the feature's own surfaces (or children); with true, its whole subtree's.
    size_t GetNumSurfaces(bool recursive) const;
    size_t GetNumFeatures(bool recursive) const;
    MStlSurface* GetSurface(size_t index) const { return mv_surfaces[index]; }
    MStlFeature* GetFeature(size_t index) const { return mv_features[index]; }

private:
    friend class MStlBase;
    std::vector<MStlSurface*> mv_surfaces;
    std::vector<MStlFeature*> mv_features;
};
