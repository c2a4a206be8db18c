#pragma once
// ObjReader: reads a Wavefront OBJ file, its MTL material library and the PNG or JPEG images its
// materials name as diffuse maps (map_Kd), through tinyobjloader and stb_image.
//
// The faces (polygons are triangulated) become one StlMesh per material that has an image, a
// diffuse colour (Kd) or an opacity below 1 (d, or Tr), carrying those and, with an image, its
// faces' texture coordinates; faces without such a material share one more mesh. Faces of
// different objects (o or g names) go to different meshes that carry the object's name, unless
// the file names more than 256 objects or objects times materials pass 65,536. Each mesh welds
// its points and leaves out degenerate triangles like the STL reader. Colours and opacities are
// clamped to 0..1; a value that is no finite number counts as not given. Facet normals are
// computed from the corners (the file's vertex normals are not used). Paths in the OBJ are
// relative to its folder.
//
// Errors throw InputError with one line naming the file: a malformed line (with its number), an
// index out of range, a material library or texture that is missing, an image that is not PNG or
// JPEG or cannot be decoded, a file without faces. Files go through FileBytes, so pipes are read
// up to its limit. Stateless; one reader may be used from several threads.
#include "apps/StlMesh.h"

#include <cstdint>
#include <span>
#include <string>
#include <vector>

class ObjReader {
public:
    std::vector<StlMesh> ReadFile(const std::string& path) const;
    // The same for a file's bytes held in memory; `path` names it in messages and places its
    // material libraries and textures.
    std::vector<StlMesh> ReadMemory(std::span<const uint8_t> bytes, const std::string& path) const;
};
