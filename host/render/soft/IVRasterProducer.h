#pragma once
// IVRasterProducer: something that holds primitives back from a rasterizer before handing them
// over (a device that projects triangles in batches on several threads). The rasterizer asks for
// them with HandOver before anything that could see or change their outcome: any other raster
// operation, a state change, a flush or a surface read. HandOver calls the rasterizer's raster
// operations for the held primitives in their order, on the rasterizer's thread.
class IVRasterProducer {
public:
    virtual void HandOver() = 0;

protected:
    ~IVRasterProducer() = default;
};
