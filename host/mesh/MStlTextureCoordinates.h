#pragma once
// MStlTextureCoordinates: texture coordinates of one triangle: u of corners 0, 1, 2, then v of
// corners 0, 1, 2. A fresh record is all zero.

struct MStlTextureCoordinates {
    float ma_u[3] = {0.0f, 0.0f, 0.0f};
    float ma_v[3] = {0.0f, 0.0f, 0.0f};
};
static_assert(sizeof(MStlTextureCoordinates) == 6 * sizeof(float), "u values then v values, packed");
