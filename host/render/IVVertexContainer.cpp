#include "host/render/IVVertexContainer.h"

#include "host/render/IVRender.h"

template <class V> bool IVVertexContainer<V>::RenderTriangles(IVRender& device, bool, bool, unsigned long) {
    return RenderLines(device);
}

// Triangles and lines differ only in what _Optimise writes; drawing a container is the same.
template <class V> bool IVVertexContainer<V>::RenderLines(IVRender& device) {
    if (mp_stream == nullptr || !mb_optimised || mb_dynamic) {
        const bool through = mb_dynamic && device.IsDrawingThrough();
        mp_stream = device.CreateVertexStream<V>(through);
        _Optimise(*mp_stream);
        mb_optimised = true;
        if (through) {
            // Drawn while filled and kept nowhere: a later static draw fills again.
            mp_stream.reset();
            return true;
        }
    }
    mp_stream->Render(device);
    return true;
}

template class IVVertexContainer<IVVertexP>;
template class IVVertexContainer<IVVertexPN>;
template class IVVertexContainer<IVVertexPNC>;
template class IVVertexContainer<IVVertexPNT>;
