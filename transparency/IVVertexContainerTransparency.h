#pragma once
// IVVertexContainerTransparency: the transparency cache's own PNC container. It streams the cache's
// prepared records in their current (sorted) order, writing into every vertex the diffuse colour,
// alpha included, of the mesh's registration.
//
// Call order: the cache sets mp_cache and mp_target_render before every draw, then draws with
// RenderTriangles; the host's render library calls _Optimise when the stream must be (re)filled.
// Owned by one cache; not thread-safe (the rendering thread only).
#include "host/render/IVVertex.h"
#include "host/render/IVVertexContainer.h"

class IVRender;
class IVTransparencyCache;

class IVVertexContainerTransparency : public IVVertexContainer<IVVertexPNC> {
public:
    IVVertexContainerTransparency();
    IVVertexContainerTransparency(const IVVertexContainerTransparency&) = delete;
    IVVertexContainerTransparency& operator=(const IVVertexContainerTransparency&) = delete;

protected:
    void _Optimise(IIVVertexStream<IVVertexPNC>& stream) override;

public:
    ~IVVertexContainerTransparency() override;

    IVTransparencyCache* mp_cache = nullptr; // whose records are streamed; not owned
    IVRender* mp_target_render = nullptr;    // the device of the current pass; only tested for null
};
