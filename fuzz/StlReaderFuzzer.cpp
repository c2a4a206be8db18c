// libFuzzer target for the STL reader: any byte string must give a mesh or an InputError, never a
// crash, a hang or undefined behaviour. Built by `make fuzz` with clang.
#include "apps/InputError.h"
#include "apps/StlReader.h"

#include <cstddef>
#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    try {
        const StlMesh mesh = StlReader().ReadMemory({data, size}, "fuzz.stl");
        // Every index must name a point.
        for (const auto& triangle : mesh.triangles)
            for (const uint32_t index : triangle)
                if (index >= mesh.points.size())
                    __builtin_trap();
    } catch (const InputError&) {
    }
    return 0;
}
