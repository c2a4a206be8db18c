#pragma once
// StlMesh: the triangles of one mesh file (or one generated solid) in the file's own model units,
// with identical points welded so that triangles share their corners (neighbour lists, and with
// them Gouraud normals, need shared points). Plain data; Scene turns it into a host mesh at a
// scale of internal units chosen for that mesh.
#include <array>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

struct StlMesh {
    // Model units, exactly as the file gave them (single-precision files lose nothing in double).
    std::vector<std::array<double, 3>> points;
    std::vector<std::array<uint32_t, 3>> triangles;
    // One per triangle: the file's facet normal brought to unit length, or zero when the file gave
    // none usable (zero, not finite); the mesh then keeps the normal computed from the corners.
    std::vector<std::array<float, 3>> normals;
    // Triangles the reader left out because two of their corners are the same point.
    uint64_t degenerate = 0;

    // An RGBA image, rows top to bottom.
    struct Image {
        int width = 0;
        int height = 0;
        std::vector<uint8_t> rgba;
    };
    // Textured meshes only (empty and null otherwise): one record per triangle, u of corners 0, 1,
    // 2 then their v, with v = 0 at the image's top row; and the image they index, shared by the
    // meshes of one file that use it (Scene then makes one texture of it).
    std::vector<std::array<float, 6>> texture_coordinates;
    std::shared_ptr<const Image> texture;

    // The material of an OBJ group: its diffuse colour (Kd, each 0..1) when the library gave one,
    // and its opacity (d, or 1 - Tr), 1 when none. The program's own colour stands in for a
    // missing diffuse colour.
    std::optional<std::array<float, 3>> diffuse;
    float opacity = 1.0f;
    // The OBJ object (its o or g name) the faces belong to, empty when the file names none: the
    // meshes of one object are its parts in different materials.
    std::string object;
};
