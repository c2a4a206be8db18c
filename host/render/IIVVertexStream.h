#pragma once
// IIVVertexStream: a device-side list of primitives. A fill opens with BeginTriangles or
// BeginLines, adds primitives of that kind and closes with End. Render draws what the last fill
// left, as often as asked. Streams belong to whoever created them (a container, or the caller
// of IVRender::GetVertexStreamPN) and must not outlive the device they draw on.

class IVRender;

template <class V> class IIVVertexStream {
public:
    virtual ~IIVVertexStream() = default;
    virtual void BeginTriangles() = 0;
    virtual void BeginLines() = 0;
    virtual void End() = 0;
    virtual void AddTriangle(const V& a, const V& b, const V& c) = 0;
    virtual void AddLine(const V& a, const V& b) = 0;
    virtual void Render(IVRender& device) = 0;
};
