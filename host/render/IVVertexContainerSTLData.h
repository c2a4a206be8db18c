#pragma once
// IVVertexContainerSTLData: common base of the containers that draw a mesh. Holds the mesh by
// borrowed pointer. The constructor is the render-mesh library's; copying, assignment and
// destruction come with the instantiations that the extension library exports.
#include "host/render/IVVertexContainer.h"

class MStlBase;

template <class V> class IVVertexContainerSTLData : public IVVertexContainer<V> {
protected:
    explicit IVVertexContainerSTLData(MStlBase* stl) : mp_stl(stl) {}

    void _Optimise(IIVVertexStream<V>& stream) override = 0;

public:
    IVVertexContainerSTLData(const IVVertexContainerSTLData& other);
    IVVertexContainerSTLData& operator=(const IVVertexContainerSTLData& other);
    IVVertexContainerSTLData& operator=(IVVertexContainerSTLData&& other);
    ~IVVertexContainerSTLData() override;

    MStlBase* GetStl() const { return mp_stl; }

protected:
    MStlBase* mp_stl;
};
