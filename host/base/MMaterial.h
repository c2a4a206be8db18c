#pragma once
// MMaterial: a surface material. The diffuse colour carries the alpha that transparent drawing uses.
// Colours are 32-bit words: byte 0 red, byte 1 green, byte 2 blue, byte 3 alpha.
#include <cstdint>

class MMaterial {
public:
    MMaterial() = default;
    explicit MMaterial(uint32_t diffuse) : mn_diffuse(diffuse) {}

    uint32_t GetDiffuse() const { return mn_diffuse; }
    void SetDiffuse(uint32_t diffuse) { mn_diffuse = diffuse; }

    static constexpr uint32_t MakeColour(uint8_t red, uint8_t green, uint8_t blue, uint8_t alpha) {
        return uint32_t(red) | uint32_t(green) << 8 | uint32_t(blue) << 16 | uint32_t(alpha) << 24;
    }

    bool operator==(const MMaterial&) const = default;

private:
    uint32_t mn_diffuse = 0xFFFFFFFFu;
};
