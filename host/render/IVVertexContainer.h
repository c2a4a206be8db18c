#pragma once
// IVVertexContainer: geometry that a device draws through a stream it fills lazily.
//
// RenderTriangles / RenderLines: when the container holds no stream (new, after
// DestroyRenderOptimisations, or always in dynamic mode), the device makes one and the
// container's _Optimise fills it; then the stream is drawn. In static mode (the default) later
// draws replay the stream filled last. Copies share the filled stream (it is immutable once
// filled); a copy constructed from another starts without one.
#include "host/render/IIVVertexStream.h"

#include <memory>

class IVRender;

template <class V> class IVVertexContainer {
public:
    IVVertexContainer() = default;
    IVVertexContainer(const IVVertexContainer& other) : mb_dynamic(other.mb_dynamic) {}
    IVVertexContainer& operator=(const IVVertexContainer&) = default;

protected:
    virtual void _Optimise(IIVVertexStream<V>& stream) = 0;

public:
    virtual ~IVVertexContainer() = default;
    virtual void DestroyRenderOptimisations() {
        mp_stream.reset();
        mb_optimised = false;
    }

    void SetModeDynamic(bool dynamic) { mb_dynamic = dynamic; }
    bool IsModeDynamic() const { return mb_dynamic; }
    bool HasRenderOptimisations() const { return mb_optimised; }

    // The flags and the last argument select host draw options that this stand-in does not model.
    bool RenderTriangles(IVRender& device, bool, bool, unsigned long);
    bool RenderLines(IVRender& device);

protected:
    std::shared_ptr<IIVVertexStream<V>> mp_stream;
    bool mb_dynamic = false;
    bool mb_optimised = false;
};

#include "host/render/IVVertex.h"

extern template class IVVertexContainer<IVVertexP>;
extern template class IVVertexContainer<IVVertexPN>;
extern template class IVVertexContainer<IVVertexPNC>;
extern template class IVVertexContainer<IVVertexPNT>;
