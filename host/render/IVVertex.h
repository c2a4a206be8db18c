#pragma once
// The render library's vertex formats. Layouts are part of the contract: streams and records hand
// vertices around by reference and copy arrays of them, so no padding may creep in.
#include <cstddef>
#include <cstdint>

struct IVVertexP {
    float x, y, z;
};

struct IVVertexPN {
    float x, y, z;
    float nx, ny, nz;
};

struct IVVertexPNC {
    float x, y, z;
    float nx, ny, nz;
    uint8_t r, g, b, a; // the colour word's bytes, red first
};

struct IVVertexPNT {
    float x, y, z;
    float nx, ny, nz;
    float u, v;
};

static_assert(sizeof(IVVertexP) == 12);
static_assert(sizeof(IVVertexPN) == 24);
static_assert(sizeof(IVVertexPNC) == 28);
static_assert(sizeof(IVVertexPNT) == 32);
static_assert(offsetof(IVVertexPNC, r) == 24 && offsetof(IVVertexPNT, u) == 24);
