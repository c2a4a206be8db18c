#include "apps/Scene.h"

#include "apps/InputError.h"

#include "host/render/soft/IVTextureSoft.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <type_traits>

namespace {

// Internal units per model unit for a mesh `extent` model units across (its longest side): the
// power of two that makes the extent 2^21 to 2^22 units. Every coordinate about the centre then
// stays below 2^22, exact in float (which the library converts points to) and far from the 2^31
// at which sums of three corners overflow.
double ChooseUnitsPerModel(double extent) {
    if (!(extent > 0.0))
        return 1.0;
    int exponent = 0;
    std::frexp(extent, &exponent); // extent = m 2^exponent, 0.5 <= m < 1
    return std::ldexp(1.0, 22 - exponent);
}

int32_t ToInternal(double value, double origin, double units_per_model) {
    return int32_t(std::nearbyint((value - origin) * units_per_model));
}

} // namespace

SceneObject& Scene::AddMesh(const StlMesh& data, const std::string& name, uint32_t colour, bool transparent,
                            const std::function<double(double, double, double)>& wave) {
    return _AddMesh(data, nullptr, name, colour, transparent, wave);
}

SceneObject& Scene::AddMesh(StlMesh&& data, const std::string& name, uint32_t colour, bool transparent,
                            const std::function<double(double, double, double)>& wave) {
    return _AddMesh(data, &data, name, colour, transparent, wave);
}

std::shared_ptr<IVTextureSoft> Scene::_TextureOf(const std::shared_ptr<const StlMesh::Image>& image) {
    // An image no mesh holds any more may have left its address to a new one: such an entry is
    // not this image.
    SharedTexture& shared = mo_textures[image.get()];
    if (shared.image.lock() == image && shared.texture != nullptr)
        return shared.texture;
    shared.image = image;
    shared.texture = std::make_shared<IVTextureSoft>();
    if (image != nullptr)
        shared.texture->SetImage(image->width, image->height, image->rgba.data(), image->rgba.size());
    return shared.texture;
}

SceneObject& Scene::_AddMesh(const StlMesh& data, StlMesh* release, const std::string& name, uint32_t colour,
                             bool transparent, const std::function<double(double, double, double)>& wave) {
    // Swapping with an empty vector gives the memory back, which clear() would keep.
    auto give_back = [](auto& vector) { std::remove_reference_t<decltype(vector)>().swap(vector); };
    SceneObject object;
    object.name = name;
    object.colour = colour;
    object.transparent = transparent;
    object.degenerate = data.degenerate;
    for (const auto& point : data.points)
        object.bounds.Add({point[0], point[1], point[2]});
    if (!object.bounds.IsEmpty()) {
        const MMPoint3d<double> size{object.bounds.maximum.x - object.bounds.minimum.x,
                                     object.bounds.maximum.y - object.bounds.minimum.y,
                                     object.bounds.maximum.z - object.bounds.minimum.z};
        const double extent = std::max({size.x, size.y, size.z});
        if (!std::isfinite(extent))
            throw InputError(name + ": the mesh spans more than the largest finite coordinate");
        // The origin is rounded to float so that the matrices the library gets in float hold it exactly.
        const MMPoint3d<double> centre = object.bounds.Centre();
        object.origin = {double(float(centre.x)), double(float(centre.y)), double(float(centre.z))};
        object.units_per_model = ChooseUnitsPerModel(extent);
    }
    const double scale = object.units_per_model;
    const MMPoint3d<double>& origin = object.origin;

    // The host mesh is built directly: points first, then triangles appended at the surface's tail.
    object.mesh = std::make_unique<MStlBase>();
    MStlBase& mesh = *object.mesh;
    mesh.Reserve(data.points.size(), data.triangles.size());
    MStlSurface* surface = mesh.AddSurface(mesh.CreateRootFeature());
    for (const auto& point : data.points)
        mesh.AddPoint(ToInternal(point[0], origin.x, scale), ToInternal(point[1], origin.y, scale),
                      ToInternal(point[2], origin.z, scale));
    const size_t num_points = data.points.size();
    if (release != nullptr && !wave)
        give_back(release->points);
    const bool textured = !data.texture_coordinates.empty();
    MStlTexture* texture = textured ? mesh.GetTextureFactory(true)->CreateTexture() : nullptr;
    MStlTriangle* tail = nullptr;
    for (size_t index = 0; index < data.triangles.size(); ++index) {
        const auto& corners = data.triangles[index];
        MStlPoint* a = mesh.GetPoint(corners[0]);
        MStlPoint* b = mesh.GetPoint(corners[1]);
        MStlPoint* c = mesh.GetPoint(corners[2]);
        auto same = [](const MStlPoint* p, const MStlPoint* q) {
            return p->x == q->x && p->y == q->y && p->z == q->z;
        };
        // Corners that differ in the file but not in internal units: a sliver below the resolution.
        if (same(a, b) || same(b, c) || same(a, c)) {
            ++object.degenerate;
            continue;
        }
        tail = mesh.AddTriangle(surface, a, b, c, tail);
        // The file's facet normal replaces the computed one where the file gave one.
        const auto& normal = data.normals[index];
        if (normal[0] != 0.0f || normal[1] != 0.0f || normal[2] != 0.0f)
            std::copy(normal.begin(), normal.end(), tail->ma_normal);
        if (texture != nullptr) {
            const auto& uv = data.texture_coordinates[index];
            MStlTextureCoordinates coordinates;
            std::copy(uv.begin(), uv.begin() + 3, coordinates.ma_u);
            std::copy(uv.begin() + 3, uv.end(), coordinates.ma_v);
            texture->SetCoordinates(tail, coordinates);
        }
        ++object.triangles;
    }
    if (textured)
        object.texture = _TextureOf(data.texture);
    if (release != nullptr) {
        give_back(release->triangles);
        give_back(release->normals);
        give_back(release->texture_coordinates);
        release->texture.reset();
    }

    // Transparent objects go through the transparency cache, which takes no displacement; one with
    // an image is drawn by the textured container instead, which needs a field, here an empty one.
    if (transparent && textured) {
        object.displacement = std::make_unique<MStlVectorMaskPoints>(num_points);
    } else if (!transparent) {
        // Point normals: the unweighted mean of the adjacent facet normals; the animation pushes
        // points along them, so a closed surface swells or shrinks without tearing.
        std::vector<std::array<float, 3>> sums(num_points, {0.0f, 0.0f, 0.0f});
        for (const MStlTriangle* triangle = surface->mp_first_triangle; triangle != nullptr;
             triangle = triangle->mp_next)
            for (const MStlPoint* point : triangle->mp_points)
                for (int axis = 0; axis < 3; ++axis)
                    sums[point->mn_index][axis] += triangle->ma_normal[axis];
        object.displacement = std::make_unique<MStlVectorMaskPoints>(num_points);
        for (size_t point = 0; point < sums.size(); ++point) {
            const auto& sum = sums[point];
            const double length =
                std::sqrt(double(sum[0]) * sum[0] + double(sum[1]) * sum[1] + double(sum[2]) * sum[2]);
            double factor = length > 0.0 ? scale / length : 0.0;
            if (wave)
                factor *= wave(data.points[point][0], data.points[point][1], data.points[point][2]);
            object.displacement->Set(point, float(sum[0] * factor), float(sum[1] * factor),
                                     float(sum[2] * factor));
        }
    }
    mv_objects.push_back(std::move(object));
    return mv_objects.back();
}

void Scene::Recentre() {
    const Bounds bounds = GetBounds();
    if (bounds.IsEmpty())
        return;
    int exponent = 0;
    std::frexp(std::max(bounds.Radius(), std::numeric_limits<double>::min()), &exponent);
    const double grid = std::ldexp(1.0, exponent); // the radius, rounded up to a power of two
    const MMPoint3d<double> centre = bounds.Centre();
    const MMPoint3d<double> offset{grid * std::nearbyint(centre.x / grid),
                                   grid * std::nearbyint(centre.y / grid),
                                   grid * std::nearbyint(centre.z / grid)};
    if (offset.x == 0.0 && offset.y == 0.0 && offset.z == 0.0)
        return;
    const auto moved = [&](const MMPoint3d<double>& point) {
        return MMPoint3d<double>{point.x - offset.x, point.y - offset.y, point.z - offset.z};
    };
    for (SceneObject& object : mv_objects) {
        // Still exact in float for the matrices; the mesh moves by at most half a float step of a
        // coordinate that is now small.
        const MMPoint3d<double> origin = moved(object.origin);
        object.origin = {double(float(origin.x)), double(float(origin.y)), double(float(origin.z))};
        if (!object.bounds.IsEmpty()) {
            object.bounds.minimum = moved(object.bounds.minimum);
            object.bounds.maximum = moved(object.bounds.maximum);
        }
        if (object.texture_plane)
            object.texture_plane->corner = moved(object.texture_plane->corner);
    }
    mo_world_offset = {mo_world_offset.x + offset.x, mo_world_offset.y + offset.y,
                       mo_world_offset.z + offset.z};
}

Bounds Scene::GetBounds() const {
    Bounds bounds;
    for (const SceneObject& object : mv_objects)
        bounds.Add(object.bounds);
    return bounds;
}

Bounds Scene::GetTransparentBounds() const {
    Bounds bounds;
    for (const SceneObject& object : mv_objects)
        if (object.transparent)
            bounds.Add(object.bounds);
    return bounds;
}

uint64_t Scene::GetNumTriangles() const {
    uint64_t total = 0;
    for (const SceneObject& object : mv_objects)
        total += object.triangles;
    return total;
}

uint64_t Scene::GetNumDegenerateTriangles() const {
    uint64_t total = 0;
    for (const SceneObject& object : mv_objects)
        total += object.degenerate;
    return total;
}
