// libFuzzer target for the OBJ reader: any text must give meshes or an InputError, never a crash, a
// hang or undefined behaviour. Material libraries and textures it names are looked for in a folder
// that holds none, so only the OBJ text itself is explored. Built by `make fuzz` with clang.
#include "apps/InputError.h"
#include "apps/ObjReader.h"

#include <cstddef>
#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    try {
        for (const StlMesh& mesh : ObjReader().ReadMemory({data, size}, "/nonexistent/fuzz.obj")) {
            // Every index must name a point, and a textured mesh has coordinates for every triangle.
            for (const auto& triangle : mesh.triangles)
                for (const uint32_t index : triangle)
                    if (index >= mesh.points.size())
                        __builtin_trap();
            if (!mesh.texture_coordinates.empty() && mesh.texture_coordinates.size() != mesh.triangles.size())
                __builtin_trap();
        }
    } catch (const InputError&) {
    }
    return 0;
}
