#pragma once
// ModelReader: reads a mesh file by its extension, case-insensitive: ".obj" through ObjReader
// (one mesh per textured material plus one for the rest), ".stl" or none (pipes, /dev/fd/N)
// through StlReader. Any other extension is refused with an InputError naming the file.
// Stateless; one reader may be used from several threads.
#include "apps/StlMesh.h"

#include <string>
#include <vector>

class ModelReader {
public:
    std::vector<StlMesh> ReadFile(const std::string& path) const;
};
