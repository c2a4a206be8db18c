#pragma once
// MStlFeatureItem: the part of a feature that knows its number among its parent's children.
#include <cstddef>

class MStlFeatureItem {
public:
    size_t GetIndex() const { return mn_index; }

protected:
    size_t mn_index = 0;
};
