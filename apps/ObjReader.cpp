#include "apps/ObjReader.h"

#include "apps/FileBytes.h"
#include "apps/InputError.h"
#include "apps/MeshWelder.h"

#include <stb/stb_image.h>
#include <tiny_obj_loader.h>

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstring>
#include <filesystem>
#include <istream>
#include <map>
#include <memory>
#include <optional>
#include <set>
#include <span>
#include <streambuf>
#include <string_view>

namespace {

// More o and g names than this are not kept apart (see Build).
constexpr size_t MAX_OBJECTS = 256;
// Nor when objects times materials would exceed this (the table of groups is that large).
constexpr size_t MAX_GROUP_SLOTS = size_t(1) << 16;

// An input stream over bytes held elsewhere, so that the file is not copied to be parsed.
class ByteStreamBuffer : public std::streambuf {
public:
    explicit ByteStreamBuffer(std::span<const uint8_t> bytes) {
        char* begin = const_cast<char*>(reinterpret_cast<const char*>(bytes.data()));
        setg(begin, begin, begin + bytes.size());
    }
};

// The first line of a loader's message, without its trailing punctuation noise.
std::string FirstLine(const std::string& text) {
    std::string line = text.substr(0, text.find('\n'));
    while (!line.empty() && (line.back() == '\r' || line.back() == ' '))
        line.pop_back();
    return line;
}

// Material libraries are opened through FileBytes, so a missing one is an error, not a warning.
class MaterialLibraryReader : public tinyobj::MaterialReader {
public:
    MaterialLibraryReader(std::filesystem::path folder, std::string obj)
        : mo_folder(std::move(folder)), mo_obj(std::move(obj)) {}

    bool operator()(const std::string& name, std::vector<tinyobj::material_t>* materials,
                    std::map<std::string, int>* names, std::string* warning, std::string* error) override {
        const std::string path = (mo_folder / name).string();
        std::unique_ptr<FileBytes> file;
        try {
            file = std::make_unique<FileBytes>(path);
        } catch (const InputError& failure) {
            throw InputError(mo_obj + ": material library " + failure.what());
        }
        ByteStreamBuffer buffer(file->GetBytes());
        std::istream stream(&buffer);
        tinyobj::LoadMtl(names, materials, &stream, warning, error);
        _FindDiffuse(file->GetBytes());
        return true;
    }

    // Whether the material of this name had a Kd line: the loader reads a missing one as black.
    bool HasDiffuse(const std::string& material) const { return mo_with_diffuse.contains(material); }

private:
    void _FindDiffuse(std::span<const uint8_t> bytes) {
        const std::string_view text(reinterpret_cast<const char*>(bytes.data()), bytes.size());
        std::string material;
        for (size_t start = 0; start < text.size();) {
            const size_t end = std::min(text.find('\n', start), text.size());
            std::string_view line = text.substr(start, end - start);
            start = end + 1;
            // Split as the loader splits it, so that a name matches the loader's to the byte.
            line.remove_prefix(std::min(line.find_first_not_of(" \t"), line.size()));
            if (line.ends_with('\r'))
                line.remove_suffix(1);
            if (line.starts_with("newmtl ") || line.starts_with("newmtl\t")) {
                material = line.substr(7);
            } else if (line.starts_with("Kd ") || line.starts_with("Kd\t")) {
                mo_with_diffuse.insert(material);
            }
        }
    }

    std::filesystem::path mo_folder;
    std::string mo_obj;
    std::set<std::string> mo_with_diffuse;
};

// A colour or opacity component from the library: clamped to 0..1, or `fallback` when not finite.
float Unit(double value, float fallback) {
    return std::isfinite(value) ? float(std::clamp(value, 0.0, 1.0)) : fallback;
}

StlMesh::Image ReadImage(const std::string& path, const std::string& what) {
    std::unique_ptr<FileBytes> file_holder;
    try {
        file_holder = std::make_unique<FileBytes>(path);
    } catch (const InputError& failure) {
        throw InputError(what + ": " + failure.what());
    }
    const FileBytes& file = *file_holder;
    const std::span<const uint8_t> bytes = file.GetBytes();
    static constexpr uint8_t PNG[] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
    static constexpr uint8_t JPEG[] = {0xFF, 0xD8, 0xFF};
    const bool png = bytes.size() >= sizeof PNG && std::memcmp(bytes.data(), PNG, sizeof PNG) == 0;
    const bool jpeg = bytes.size() >= sizeof JPEG && std::memcmp(bytes.data(), JPEG, sizeof JPEG) == 0;
    if (!png && !jpeg)
        throw InputError(what + ": unsupported image format (PNG and JPEG are read)");
    int width = 0, height = 0, channels = 0;
    std::unique_ptr<stbi_uc, void (*)(void*)> pixels(
        stbi_load_from_memory(bytes.data(), int(std::min<size_t>(bytes.size(), INT32_MAX)), &width, &height,
                              &channels, 4),
        stbi_image_free);
    if (!pixels)
        throw InputError(what + ": cannot decode the image: " + stbi_failure_reason());
    StlMesh::Image image;
    image.width = width;
    image.height = height;
    image.rgba.assign(pixels.get(), pixels.get() + size_t(width) * size_t(height) * 4);
    return image;
}

// The faces of one material group, gathered before welding.
struct Group {
    std::vector<std::array<double, 3>> corners;
    std::vector<std::array<float, 6>> texture_coordinates;
    std::string texture;  // image path, empty without one
    std::string material; // for messages
    std::optional<std::array<float, 3>> diffuse;
    float opacity = 1.0f;
    std::string object; // the o or g name, empty without one
};

// The loader reads a face's indices with atoi, which makes an index beyond the int range some
// other, valid one: refused here with its place. Zero and words that are no number the loader
// refuses itself.
void CheckFaceIndices(std::string_view content, size_t position, size_t line, const std::string& path) {
    while ((position = content.find_first_not_of(" \t\r", position)) != std::string_view::npos &&
           content[position] != '#') {
        const size_t word_end = std::min(content.find_first_of(" \t\r", position), content.size());
        for (size_t part = position; part < word_end;) {
            const size_t part_end = std::min(content.find('/', part), word_end);
            int index = 0;
            const char* first = content.data() + part + (content[part] == '+' ? 1 : 0);
            if (part < part_end &&
                std::from_chars(first, content.data() + part_end, index).ec == std::errc::result_out_of_range)
                throw InputError(path + ":" + std::to_string(line) + ":" + std::to_string(part + 1) +
                                 ": face index '" +
                                 std::string(content.substr(part, std::min<size_t>(part_end - part, 24))) +
                                 "' is out of range");
            part = part_end + 1;
        }
        position = word_end;
    }
}

// The loader reads a word that is no number as zero; such a line is refused here instead, with its
// place. Checks the values of position (v), texture (vt) and normal (vn) lines, and the indices of
// faces (f).
void CheckNumbers(std::span<const uint8_t> bytes, const std::string& path) {
    const std::string_view text(reinterpret_cast<const char*>(bytes.data()), bytes.size());
    size_t line = 1;
    for (size_t start = 0; start < text.size(); ++line) {
        size_t end = text.find('\n', start);
        if (end == std::string_view::npos)
            end = text.size();
        const std::string_view content = text.substr(start, end - start);
        start = end + 1;
        size_t position = content.find_first_not_of(" \t");
        if (position == std::string_view::npos || position + 1 >= content.size())
            continue;
        if (content[position] == 'f' && (content[position + 1] == ' ' || content[position + 1] == '\t')) {
            CheckFaceIndices(content, position + 2, line, path);
            continue;
        }
        if (content[position] != 'v')
            continue;
        const size_t keyword_end = content.find_first_of(" \t", position);
        const std::string_view keyword = content.substr(position, keyword_end - position);
        const int required = keyword == "v" || keyword == "vn" ? 3 : keyword == "vt" ? 1 : 0;
        position = keyword_end;
        for (int value = 0; value < required || position < content.size(); ++value) {
            position = content.find_first_not_of(" \t\r", position);
            if (position == std::string_view::npos || content[position] == '#') {
                if (value < required)
                    throw InputError(path + ":" + std::to_string(line) + ": expected " +
                                     std::to_string(required) + " numbers after '" + std::string(keyword) +
                                     "', found " + std::to_string(value));
                break;
            }
            const size_t word_end = std::min(content.find_first_of(" \t\r", position), content.size());
            const std::string_view word = content.substr(position, word_end - position);
            double number = 0.0;
            const char* first = word.data() + (word.front() == '+' ? 1 : 0);
            const auto [stop, error] = std::from_chars(first, word.data() + word.size(), number);
            if (stop != word.data() + word.size() ||
                (error != std::errc() && error != std::errc::result_out_of_range) || !std::isfinite(number))
                throw InputError(path + ":" + std::to_string(line) + ":" + std::to_string(position + 1) +
                                 ": expected a finite number, found '" + std::string(word.substr(0, 24)) +
                                 "'");
            position = word_end;
        }
    }
}

// What the loader makes of the file's text, with the material libraries it read.
struct Parsed {
    explicit Parsed(const std::string& path) : library(std::filesystem::path(path).parent_path(), path) {}
    tinyobj::attrib_t attributes;
    std::vector<tinyobj::shape_t> shapes;
    std::vector<tinyobj::material_t> materials;
    MaterialLibraryReader library;
};

void Parse(std::span<const uint8_t> bytes, const std::string& path, Parsed& parsed) {
    if (bytes.empty())
        throw InputError(path + ": the file is empty");
    CheckNumbers(bytes, path);
    ByteStreamBuffer buffer(bytes);
    std::istream stream(&buffer);
    std::string warning, error;
    if (!tinyobj::LoadObj(&parsed.attributes, &parsed.shapes, &parsed.materials, &warning, &error, &stream,
                          &parsed.library, true))
        throw InputError(path + ": " + FirstLine(error.empty() ? warning : error));
    if (warning.find("invalid vertex index") != std::string::npos)
        throw InputError(path + ": " + FirstLine(warning.substr(warning.find("Face with invalid"))));
}

std::vector<StlMesh> Build(Parsed& parsed, const std::string& path) {
    const tinyobj::attrib_t& attributes = parsed.attributes;
    const std::vector<tinyobj::shape_t>& shapes = parsed.shapes;
    const std::vector<tinyobj::material_t>& materials = parsed.materials;
    const MaterialLibraryReader& library = parsed.library;
    const std::filesystem::path folder = std::filesystem::path(path).parent_path();
    // Kind 0 is the faces without a material of their own; every material with an image, a colour
    // or an opacity below 1 is a kind of its own, in material order.
    std::vector<Group> kinds(1);
    std::vector<size_t> kind_of_material(materials.size(), 0);
    for (size_t index = 0; index < materials.size(); ++index) {
        const tinyobj::material_t& material = materials[index];
        Group group;
        group.material = material.name;
        if (!material.diffuse_texname.empty())
            group.texture = (folder / material.diffuse_texname).string();
        else if (library.HasDiffuse(material.name) && std::isfinite(material.diffuse[0]) &&
                 std::isfinite(material.diffuse[1]) && std::isfinite(material.diffuse[2]))
            group.diffuse = {Unit(material.diffuse[0], 1.0f), Unit(material.diffuse[1], 1.0f),
                             Unit(material.diffuse[2], 1.0f)};
        group.opacity = Unit(material.dissolve, 1.0f);
        if (group.texture.empty() && !group.diffuse && group.opacity == 1.0f)
            continue;
        kind_of_material[index] = kinds.size();
        kinds.push_back(std::move(group));
    }
    const auto kind_of_face = [&](const tinyobj::shape_t& shape, size_t face) {
        const int material = face < shape.mesh.material_ids.size() ? shape.mesh.material_ids[face] : -1;
        return material >= 0 && size_t(material) < materials.size() ? kind_of_material[size_t(material)] : 0;
    };

    // Objects: the names of o and g lines, in order of first use (object 0 has none), so that the
    // parts of a chair in several materials can be picked together. A file with too many of them
    // (a group per face, say) keeps them together rather than make a mesh of each, and so does one
    // whose objects and materials would make too large a table of groups.
    std::vector<std::string> objects(1);
    std::vector<size_t> object_of_shape(shapes.size(), 0);
    if (shapes.size() <= MAX_OBJECTS && shapes.size() * kinds.size() <= MAX_GROUP_SLOTS) {
        std::map<std::string, size_t> named;
        for (size_t index = 0; index < shapes.size(); ++index)
            if (!shapes[index].name.empty()) {
                const auto [at, added] = named.try_emplace(shapes[index].name, objects.size());
                if (added)
                    objects.push_back(shapes[index].name);
                object_of_shape[index] = at->second;
            }
    }

    // A group per object and kind that has faces, by object and then kind; each sized once, as
    // growing a million faces' corners by doubling copies them and faults in their pages twice.
    std::vector<size_t> faces_of(objects.size() * kinds.size(), 0);
    for (size_t index = 0; index < shapes.size(); ++index)
        for (size_t face = 0; face < shapes[index].mesh.num_face_vertices.size(); ++face)
            ++faces_of[object_of_shape[index] * kinds.size() + kind_of_face(shapes[index], face)];
    std::vector<Group> groups;
    std::vector<size_t> group_of(faces_of.size(), 0);
    for (size_t slot = 0; slot < faces_of.size(); ++slot) {
        if (faces_of[slot] == 0)
            continue;
        group_of[slot] = groups.size();
        Group& group = groups.emplace_back(kinds[slot % kinds.size()]);
        group.object = objects[slot / kinds.size()];
        group.corners.reserve(3 * faces_of[slot]);
        if (!group.texture.empty())
            group.texture_coordinates.reserve(faces_of[slot]);
    }

    const size_t vertex_count = attributes.vertices.size() / 3;
    const size_t texcoord_count = attributes.texcoords.size() / 2;
    for (size_t shape_index = 0; shape_index < shapes.size(); ++shape_index) {
        const tinyobj::shape_t& shape = shapes[shape_index];
        const auto& indices = shape.mesh.indices;
        for (size_t face = 0; face < shape.mesh.num_face_vertices.size(); ++face) {
            // Triangulation leaves three corners per face.
            Group& group =
                groups[group_of[object_of_shape[shape_index] * kinds.size() + kind_of_face(shape, face)]];
            std::array<float, 6> uv{};
            for (size_t corner = 0; corner < 3; ++corner) {
                const tinyobj::index_t& index = indices[3 * face + corner];
                if (index.vertex_index < 0 || size_t(index.vertex_index) >= vertex_count)
                    throw InputError(path + ": face " + std::to_string(face + 1) +
                                     (shape.name.empty() ? "" : " of '" + shape.name + "'") +
                                     " refers to a vertex that does not exist");
                const float* position = &attributes.vertices[3 * size_t(index.vertex_index)];
                group.corners.push_back(
                    {double(position[0]) + 0.0, double(position[1]) + 0.0, double(position[2]) + 0.0});
                if (index.texcoord_index >= 0 && size_t(index.texcoord_index) < texcoord_count) {
                    uv[corner] = attributes.texcoords[2 * size_t(index.texcoord_index)];
                    // OBJ counts v up from the image's bottom row.
                    uv[3 + corner] = 1.0f - attributes.texcoords[2 * size_t(index.texcoord_index) + 1];
                }
            }
            if (!group.texture.empty())
                group.texture_coordinates.push_back(uv);
        }
    }

    std::vector<StlMesh> meshes;
    uint64_t faces = 0, degenerate = 0;
    std::map<std::string, std::shared_ptr<const StlMesh::Image>> images; // decoded once per file
    for (Group& group : groups) {
        if (group.corners.empty())
            continue;
        faces += group.corners.size() / 3;
        std::vector<std::array<float, 3>> normals(group.corners.size() / 3, {0.0f, 0.0f, 0.0f});
        StlMesh mesh = MeshWelder::Weld(std::move(group.corners), std::move(normals),
                                        std::move(group.texture_coordinates));
        degenerate += mesh.degenerate;
        if (mesh.triangles.empty())
            continue;
        if (!group.texture.empty()) {
            std::shared_ptr<const StlMesh::Image>& image = images[group.texture];
            if (image == nullptr)
                image = std::make_shared<const StlMesh::Image>(
                    ReadImage(group.texture, path + ": texture '" + group.texture + "' of material '" +
                                                 group.material + "'"));
            mesh.texture = image;
        }
        mesh.diffuse = group.diffuse;
        mesh.opacity = group.opacity;
        mesh.object = group.object;
        meshes.push_back(std::move(mesh));
    }
    if (faces == 0)
        throw InputError(path + ": the file holds no faces");
    if (meshes.empty())
        throw InputError(path + ": all " + std::to_string(faces) +
                         " triangles are degenerate (corners coincide)");
    // The count of faces left out goes with the first mesh, so that the scene counts it once.
    for (StlMesh& mesh : meshes)
        mesh.degenerate = 0;
    meshes.front().degenerate = degenerate;
    return meshes;
}

} // namespace

std::vector<StlMesh> ObjReader::ReadFile(const std::string& path) const {
    Parsed parsed(path);
    {
        // The text goes before the meshes are built: a large file need not sit beside them.
        const FileBytes file(path);
        Parse(file.GetBytes(), path, parsed);
    }
    return Build(parsed, path);
}

std::vector<StlMesh> ObjReader::ReadMemory(std::span<const uint8_t> bytes, const std::string& path) const {
    Parsed parsed(path);
    Parse(bytes, path, parsed);
    return Build(parsed, path);
}
