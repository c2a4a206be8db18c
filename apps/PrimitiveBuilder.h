#pragma once
// PrimitiveBuilder: tessellates simple solids (plate, box, sphere, torus) in model units into an
// StlMesh in model units, with outward facing counter-clockwise triangles and shared corners.
// Corners are snapped to a grid of 2^-20 model units so that points computed along different
// paths (a sphere's pole, a torus's seam) weld.
// Primitives are tessellated finely because the panoramic device bends only the vertices: edges
// stay straight between them. Build one mesh per builder; not thread-safe.
#include "apps/StlMesh.h"

#include "host/math/MMPoint3d.h"

#include <map>

class PrimitiveBuilder {
public:
    PrimitiveBuilder() = default;

    // A box from `minimum` to `maximum`, each face split into `divisions` x `divisions` quads.
    void AddBox(const MMPoint3d<double>& minimum, const MMPoint3d<double>& maximum, int divisions);
    void AddSphere(const MMPoint3d<double>& centre, double radius, int slices, int stacks);
    // A ring about the z axis through `centre`.
    void AddTorus(const MMPoint3d<double>& centre, double major_radius, double minor_radius, int slices,
                  int sides);

    StlMesh Take() { return std::move(mo_mesh); }

private:
    uint32_t _Point(const MMPoint3d<double>& point);
    void _Triangle(uint32_t a, uint32_t b, uint32_t c);
    void _Quad(uint32_t a, uint32_t b, uint32_t c, uint32_t d);
    // One face of a box: corner plus u and v spans, triangles facing u x v.
    void _Face(const MMPoint3d<double>& corner, const MMPoint3d<double>& u, const MMPoint3d<double>& v,
               int divisions);

    StlMesh mo_mesh;
    std::map<std::array<int64_t, 3>, uint32_t> mo_index;
};
