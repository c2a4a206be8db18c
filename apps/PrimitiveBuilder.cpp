#include "apps/PrimitiveBuilder.h"

#include <cmath>
#include <numbers>

uint32_t PrimitiveBuilder::_Point(const MMPoint3d<double>& point) {
    constexpr double GRID = 1048576.0; // steps per model unit
    const std::array<int64_t, 3> key{std::llround(point.x * GRID), std::llround(point.y * GRID),
                                     std::llround(point.z * GRID)};
    const auto [found, inserted] = mo_index.try_emplace(key, uint32_t(mo_mesh.points.size()));
    if (inserted)
        mo_mesh.points.push_back({double(key[0]) / GRID, double(key[1]) / GRID, double(key[2]) / GRID});
    return found->second;
}

void PrimitiveBuilder::_Triangle(uint32_t a, uint32_t b, uint32_t c) {
    // Poles of spheres collapse a quad's edge; such slivers carry no area.
    if (a == b || b == c || a == c)
        return;
    mo_mesh.triangles.push_back({a, b, c});
    mo_mesh.normals.push_back({0.0f, 0.0f, 0.0f});
}

void PrimitiveBuilder::_Quad(uint32_t a, uint32_t b, uint32_t c, uint32_t d) {
    _Triangle(a, b, c);
    _Triangle(a, c, d);
}

void PrimitiveBuilder::_Face(const MMPoint3d<double>& corner, const MMPoint3d<double>& u,
                             const MMPoint3d<double>& v, int divisions) {
    auto at = [&](int i, int j) {
        const double s = double(i) / divisions, t = double(j) / divisions;
        return _Point(
            {corner.x + u.x * s + v.x * t, corner.y + u.y * s + v.y * t, corner.z + u.z * s + v.z * t});
    };
    for (int j = 0; j < divisions; ++j)
        for (int i = 0; i < divisions; ++i)
            _Quad(at(i, j), at(i + 1, j), at(i + 1, j + 1), at(i, j + 1));
}

void PrimitiveBuilder::AddBox(const MMPoint3d<double>& minimum, const MMPoint3d<double>& maximum,
                              int divisions) {
    const double dx = maximum.x - minimum.x, dy = maximum.y - minimum.y, dz = maximum.z - minimum.z;
    const MMPoint3d<double> x{dx, 0, 0}, y{0, dy, 0}, z{0, 0, dz};
    const MMPoint3d<double> negative_x{-dx, 0, 0}, negative_y{0, -dy, 0};
    _Face(minimum, y, x, divisions);                                    // bottom, facing -z
    _Face({minimum.x, minimum.y, maximum.z}, x, y, divisions);          // top, facing +z
    _Face(minimum, x, z, divisions);                                    // front, facing -y
    _Face({maximum.x, maximum.y, minimum.z}, negative_x, z, divisions); // back, facing +y
    _Face({minimum.x, maximum.y, minimum.z}, negative_y, z, divisions); // left, facing -x
    _Face({maximum.x, minimum.y, minimum.z}, y, z, divisions);          // right, facing +x
}

void PrimitiveBuilder::AddSphere(const MMPoint3d<double>& centre, double radius, int slices, int stacks) {
    auto at = [&](int slice, int stack) {
        const double azimuth = 2.0 * std::numbers::pi * slice / slices;
        const double polar = std::numbers::pi * stack / stacks;
        return _Point({centre.x + radius * std::sin(polar) * std::cos(azimuth),
                       centre.y + radius * std::sin(polar) * std::sin(azimuth),
                       centre.z + radius * std::cos(polar)});
    };
    for (int stack = 0; stack < stacks; ++stack)
        for (int slice = 0; slice < slices; ++slice)
            _Quad(at(slice, stack), at(slice, stack + 1), at(slice + 1, stack + 1), at(slice + 1, stack));
}

void PrimitiveBuilder::AddTorus(const MMPoint3d<double>& centre, double major_radius, double minor_radius,
                                int slices, int sides) {
    auto at = [&](int slice, int side) {
        const double around = 2.0 * std::numbers::pi * slice / slices;
        const double tube = 2.0 * std::numbers::pi * side / sides;
        const double ring = major_radius + minor_radius * std::cos(tube);
        return _Point({centre.x + ring * std::cos(around), centre.y + ring * std::sin(around),
                       centre.z + minor_radius * std::sin(tube)});
    };
    for (int slice = 0; slice < slices; ++slice)
        for (int side = 0; side < sides; ++side)
            _Quad(at(slice, side), at(slice + 1, side), at(slice + 1, side + 1), at(slice, side + 1));
}
