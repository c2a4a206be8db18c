// Implementation of the stand-in mesh library: records, the mesh, its properties, compact store,
// textures and masks.
#include "host/mesh/MStlBase.h"
#include "host/mesh/MStlMeshBuilder.h"
#include "host/mesh/MStlVectorMaskPoints.h"

#include <cmath>
#include <limits>

MStlBase* MStlTriangle::GetStl() const { return mp_owner == nullptr ? nullptr : mp_owner->mp_stl; }

void MStlTriangle::CalculateNormal() {
    const MStlPoint& a = *mp_points[0];
    const MStlPoint& b = *mp_points[1];
    const MStlPoint& c = *mp_points[2];
    // Differences in double: int32 differences can overflow int32 and lose bits in float.
    const double ux = double(b.x) - a.x, uy = double(b.y) - a.y, uz = double(b.z) - a.z;
    const double vx = double(c.x) - a.x, vy = double(c.y) - a.y, vz = double(c.z) - a.z;
    const double nx = uy * vz - uz * vy, ny = uz * vx - ux * vz, nz = ux * vy - uy * vx;
    const double length = std::sqrt(nx * nx + ny * ny + nz * nz);
    if (length > 0.0) {
        ma_normal[0] = static_cast<float>(nx / length);
        ma_normal[1] = static_cast<float>(ny / length);
        ma_normal[2] = static_cast<float>(nz / length);
    } else {
        ma_normal[0] = ma_normal[1] = ma_normal[2] = 0.0f;
    }
}

size_t MStlFeature::GetNumSurfaces(bool recursive) const {
    size_t count = mv_surfaces.size();
    if (recursive)
        for (const MStlFeature* child : mv_features)
            count += child->GetNumSurfaces(true);
    return count;
}

size_t MStlFeature::GetNumFeatures(bool recursive) const {
    size_t count = mv_features.size();
    if (recursive)
        for (const MStlFeature* child : mv_features)
            count += child->GetNumFeatures(true);
    return count;
}

void MValidityField::_SpreadInvalidity() const {
    if (mp_properties != nullptr)
        mp_properties->mb_num_triangles_valid = false;
    const_cast<MValidityField*>(this)->mn_state = 1;
}

namespace {

template <class Visit> void VisitTreeTriangles(const MStlFeature* feature, Visit&& visit) {
    if (feature == nullptr)
        return;
    for (size_t s = 0; s < feature->GetNumSurfaces(false); ++s)
        for (MStlTriangle* t = feature->GetSurface(s)->mp_first_triangle; t != nullptr; t = t->mp_next)
            visit(t);
    for (size_t f = 0; f < feature->GetNumFeatures(false); ++f)
        VisitTreeTriangles(feature->GetFeature(f), visit);
}

} // namespace

void MStlBaseProperties::_CalculateNumTriangles() const {
    uint64_t count = 0;
    if (mp_stl != nullptr) {
        VisitTreeTriangles(mp_stl->GetRootFeature(), [&](MStlTriangle*) { ++count; });
        if (const MStlCompact* compact = mp_stl->GetCompact())
            count += compact->GetNumTriangles();
    }
    // The record holds a 32-bit count; saturate rather than wrap for absurd meshes.
    mn_num_triangles = count > uint64_t(std::numeric_limits<int32_t>::max())
                           ? std::numeric_limits<int32_t>::max()
                           : static_cast<int32_t>(count);
    mb_num_triangles_valid = true;
}

MStlCompact::~MStlCompact() { _DropNeighbourInfo(); }

MStlCompactTriangle& MStlCompact::AddTriangle(MStlPoint* p0, MStlPoint* p1, MStlPoint* p2, int8_t nx, int8_t ny,
                                              int8_t nz) {
    if (mn_num_triangles % BLOCK_SIZE == 0)
        mv_blocks.push_back(std::make_unique<MStlCompactTriangle[]>(BLOCK_SIZE));
    MStlCompactTriangle& record = mv_blocks[mn_num_triangles / BLOCK_SIZE][mn_num_triangles % BLOCK_SIZE];
    record.mp_points[0] = p0;
    record.mp_points[1] = p1;
    record.mp_points[2] = p2;
    record.ma_normal[0] = nx;
    record.ma_normal[1] = ny;
    record.ma_normal[2] = nz;
    ++mn_num_triangles;
    return record;
}

void MStlCompact::_DropNeighbourInfo() const {
    if (mp_stl == nullptr)
        return;
    VisitTreeTriangles(mp_stl->GetRootFeature(), [](MStlTriangle* triangle) {
        for (MStlPoint* point : triangle->mp_points) {
            point->mn_num_neighbours = 0;
            point->mpp_neighbours = nullptr;
        }
    });
    mv_neighbour_storage.clear();
    mv_neighbour_storage.shrink_to_fit();
    mn_neighbour_info = 0;
}

void MStlCompact::EnableNeighbourInfo(bool enable) const {
    if (!enable) {
        _DropNeighbourInfo();
        return;
    }
    if (mn_neighbour_info != 0 || mp_stl == nullptr)
        return;
    // Two passes over the tree: count uses per point (into mn_num_neighbours, saturating at the
    // 16-bit limit), then hand each point its slice of one shared array and fill it in walk order.
    const MStlFeature* root = mp_stl->GetRootFeature();
    uint64_t total = 0;
    VisitTreeTriangles(root, [&](MStlTriangle* triangle) {
        for (MStlPoint* point : triangle->mp_points) {
            point->mn_num_neighbours = 0;
            point->mpp_neighbours = nullptr;
        }
    });
    VisitTreeTriangles(root, [&](MStlTriangle* triangle) {
        for (MStlPoint* point : triangle->mp_points)
            if (point->mn_num_neighbours < std::numeric_limits<uint16_t>::max()) {
                ++point->mn_num_neighbours;
                ++total;
            }
    });
    mv_neighbour_storage.assign(total, nullptr);
    size_t next = 0;
    VisitTreeTriangles(root, [&](MStlTriangle* triangle) {
        for (MStlPoint* point : triangle->mp_points)
            if (point->mpp_neighbours == nullptr && point->mn_num_neighbours > 0) {
                point->mpp_neighbours = mv_neighbour_storage.data() + next;
                next += point->mn_num_neighbours;
                point->mn_num_neighbours = 0; // reused as the fill cursor below
            }
    });
    // The fill repeats the counting pass's sequence of uses, so each cursor stops at its slice's end.
    VisitTreeTriangles(root, [&](MStlTriangle* triangle) {
        for (MStlPoint* point : triangle->mp_points)
            if (point->mn_num_neighbours < std::numeric_limits<uint16_t>::max())
                point->mpp_neighbours[point->mn_num_neighbours++] = triangle;
    });
    mn_neighbour_info = 1;
}

void MStlTexture::SetCoordinates(const MStlTriangle* triangle, const MStlTextureCoordinates& coordinates) {
    auto [entry, inserted] = mv_coordinates.insert_or_assign(triangle, coordinates);
    (void)entry;
    if (inserted)
        mv_order.push_back(triangle);
    mb_changed = true;
}

bool MStlTexture::GetCoordinates(const MStlTriangle* triangle, MStlTextureCoordinates& coordinates,
                                 bool /*exact*/) const {
    const auto found = mv_coordinates.find(triangle);
    if (found == mv_coordinates.end())
        return false;
    coordinates = found->second;
    return true;
}

void MStlTexture::_SpreadInvalidity() const {
    if (mb_changed) {
        mb_list_valid = false;
        mb_changed = false;
    }
}

void MStlTexture::_ValidateVector() const {
    mv_triangles.clear();
    mv_triangles.reserve(mv_order.size());
    for (const MStlTriangle* triangle : mv_order)
        mv_triangles.push_back(const_cast<MStlTriangle*>(triangle));
    mb_list_valid = true;
}

MStlTexture* MStlTextureFactory::CreateTexture() {
    mv_storage.push_back(std::make_unique<MStlTexture>());
    mv_textures.push_back(mv_storage.back().get());
    return mv_textures.back();
}

void MStlVectorMaskPoints::Resize(uint64_t count) {
    while (mv_blocks.size() * BLOCK_SIZE < count)
        mv_blocks.push_back(std::make_unique<Entry[]>(BLOCK_SIZE)); // value-initialised: zero
    mn_count = count;
}

void MStlVectorMaskPoints::Set(uint64_t index, float x, float y, float z) {
    float* entry = mv_blocks[index / BLOCK_SIZE][index % BLOCK_SIZE];
    entry[0] = x;
    entry[1] = y;
    entry[2] = z;
}

MStlBase::MStlBase()
    : mp_compact_storage(std::make_unique<MStlCompact>(this)),
      mp_texture_factory(std::make_unique<MStlTextureFactory>()) {
    mo_data.mp_compact = mp_compact_storage.get();
    mo_properties.mp_validity = &mo_validity;
    mo_properties.mp_stl = this;
    mo_validity.mp_properties = &mo_properties;
}

MStlBase::~MStlBase() = default;

MStlTextureFactory* MStlBase::GetTextureFactory(const bool& /*create*/) { return mp_texture_factory.get(); }

int32_t MStlBase::GetNumTriangles() const {
    if (mo_properties.mp_validity != nullptr && mo_properties.mp_validity->mn_state == 0)
        mo_properties.mp_validity->_SpreadInvalidity();
    if (!mo_properties.mb_num_triangles_valid)
        mo_properties._CalculateNumTriangles();
    return mo_properties.mn_num_triangles;
}

void MStlBase::Invalidate() { mo_validity.mn_state = 0; }

void MStlBase::Reserve(size_t points, size_t triangles) {
    mo_points.Reserve(points);
    mo_triangles.Reserve(triangles);
}

MStlPoint* MStlBase::AddPoint(int32_t x, int32_t y, int32_t z) {
    MStlPoint& point = mo_points.EmplaceBack();
    point.x = x;
    point.y = y;
    point.z = z;
    point.mn_index = mo_points.GetSize() - 1;
    return &point;
}

MStlFeature* MStlBase::CreateRootFeature() {
    if (mp_root_feature == nullptr) {
        mp_root_feature = &mo_features.emplace_back();
        Invalidate();
    }
    return mp_root_feature;
}

MStlFeature* MStlBase::AddFeature(MStlFeature* parent) {
    MStlFeature& feature = mo_features.emplace_back();
    feature.mp_parent = parent;
    feature.mn_index = parent->mv_features.size();
    parent->mv_features.push_back(&feature);
    Invalidate();
    return &feature;
}

MStlSurface* MStlBase::AddSurface(MStlFeature* feature) {
    MStlSurface& surface = mo_surfaces.emplace_back();
    surface.mp_feature = feature;
    surface.mp_stl = this;
    feature->mv_surfaces.push_back(&surface);
    Invalidate();
    return &surface;
}

MStlTriangle* MStlBase::AddTriangle(MStlSurface* surface, MStlPoint* p0, MStlPoint* p1, MStlPoint* p2,
                                   MStlTriangle* after) {
    MStlTriangle& triangle = mo_triangles.EmplaceBack();
    triangle.mp_points[0] = p0;
    triangle.mp_points[1] = p1;
    triangle.mp_points[2] = p2;
    triangle.mp_owner = surface;
    triangle.CalculateNormal();
    if (after != nullptr) {
        triangle.mp_next = after->mp_next;
        after->mp_next = &triangle;
    } else {
        MStlTriangle** link = &surface->mp_first_triangle;
        while (*link != nullptr)
            link = &(*link)->mp_next;
        *link = &triangle;
    }
    Invalidate();
    return &triangle;
}

std::vector<MStlPoint*> MStlMeshBuilder::AddPoints(MStlBase& mesh, const std::vector<Point>& points) {
    std::vector<MStlPoint*> result;
    result.reserve(points.size());
    for (const Point& point : points)
        result.push_back(mesh.AddPoint(point[0], point[1], point[2]));
    return result;
}

void MStlMeshBuilder::AddTriangles(MStlBase& mesh, MStlSurface* surface, const std::vector<MStlPoint*>& points,
                                   const std::vector<Triangle>& triangles) {
    // Find the current tail once, then append in constant time per triangle.
    MStlTriangle* tail = surface->mp_first_triangle;
    while (tail != nullptr && tail->mp_next != nullptr)
        tail = tail->mp_next;
    for (const Triangle& indices : triangles)
        tail = mesh.AddTriangle(surface, points.at(indices[0]), points.at(indices[1]), points.at(indices[2]), tail);
}

std::unique_ptr<MStlBase> MStlMeshBuilder::Make(const std::vector<Point>& points,
                                                const std::vector<Triangle>& triangles) {
    auto mesh = std::make_unique<MStlBase>();
    mesh->Reserve(points.size(), triangles.size());
    MStlSurface* surface = mesh->AddSurface(mesh->CreateRootFeature());
    AddTriangles(*mesh, surface, AddPoints(*mesh, points), triangles);
    return mesh;
}
