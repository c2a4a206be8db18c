#pragma once
// MValidityField: the mesh's "something changed" marker. Its first byte is 0 while a change has not
// yet been spread to the cached values that depend on it (the triangle count among them).
#include <cstdint>

class MStlBaseProperties;

class MValidityField {
public:
    uint8_t mn_state = 0; // first byte: 0 = change not yet spread
    MStlBaseProperties* mp_properties = nullptr;

    void _SpreadInvalidity() const;
};
