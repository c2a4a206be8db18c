#pragma once
// IVTexture: an image a device can bind. Devices downcast to their own texture kind.

class IVTexture {
public:
    virtual ~IVTexture() = default;
};
