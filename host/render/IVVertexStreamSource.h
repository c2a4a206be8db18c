#pragma once
// IVVertexStreamSource: where a device gets the streams it hands out. The default source makes
// IVVertexStreamBuffer streams; tests plug in a source that records what is streamed.
#include "host/render/IIVVertexStream.h"
#include "host/render/IVVertex.h"

#include <memory>

class IVVertexStreamSource {
public:
    virtual ~IVVertexStreamSource() = default;
    virtual std::unique_ptr<IIVVertexStream<IVVertexP>> CreateStream(const IVVertexP* tag) = 0;
    virtual std::unique_ptr<IIVVertexStream<IVVertexPN>> CreateStream(const IVVertexPN* tag) = 0;
    virtual std::unique_ptr<IIVVertexStream<IVVertexPNC>> CreateStream(const IVVertexPNC* tag) = 0;
    virtual std::unique_ptr<IIVVertexStream<IVVertexPNT>> CreateStream(const IVVertexPNT* tag) = 0;
};
