#pragma once
// IVDisplaySurface: what a device draws a frame into. Devices downcast to their own surface kind.

class IVDisplaySurface {
public:
    virtual ~IVDisplaySurface() = default;
};
