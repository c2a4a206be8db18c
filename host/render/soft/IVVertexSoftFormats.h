#pragma once
// The vertex formats that only the software factory's streams use, beside the render library's
// own (IVVertex.h). Layouts follow the same packing rules: floats first, colour bytes red first.
#include <cstddef>
#include <cstdint>

struct IVVertexPNCT {
    float x, y, z;
    float nx, ny, nz;
    uint8_t r, g, b, a;
    float u, v;
};

struct IVVertexPC {
    float x, y, z;
    uint8_t r, g, b, a;
};

struct IVVertexPT {
    float x, y, z;
    float u, v;
};

static_assert(sizeof(IVVertexPNCT) == 36 && offsetof(IVVertexPNCT, u) == 28);
static_assert(sizeof(IVVertexPC) == 16);
static_assert(sizeof(IVVertexPT) == 20);
