#pragma once
// MStlSurface: a list of triangles inside a feature. It knows the mesh it belongs to so that a
// triangle reaches its mesh in two steps.

class MStlBase;
class MStlFeature;
class MStlTriangle;

class MStlSurface {
public:
    MStlTriangle* mp_first_triangle = nullptr;
    MStlFeature* mp_feature = nullptr;
    MStlBase* mp_stl = nullptr;

    MStlTriangle* GetFirstTriangle() const { return mp_first_triangle; }
};
