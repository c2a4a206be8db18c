#include "apps/ModelReader.h"

#include "apps/InputError.h"
#include "apps/ObjReader.h"
#include "apps/StlReader.h"

#include <filesystem>

std::vector<StlMesh> ModelReader::ReadFile(const std::string& path) const {
    std::string extension = std::filesystem::path(path).extension().string();
    for (char& character : extension)
        character = char(std::tolower(static_cast<unsigned char>(character)));
    if (extension == ".obj")
        return ObjReader().ReadFile(path);
    if (extension.empty() || extension == ".stl") {
        std::vector<StlMesh> meshes;
        meshes.push_back(StlReader().ReadFile(path));
        return meshes;
    }
    throw InputError(path + ": unsupported mesh format '" + extension + "' (STL and OBJ files are read)");
}
