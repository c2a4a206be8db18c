#include "apps/StreamProbe.h"

#include "host/render/IVVertexStreamBuffer.h"

namespace {

// The render library's stream (buffered, or drawing through on the probe's device), reporting its
// fill and its replays to the probe.
class ProbedStream final : public IIVVertexStream<IVVertexPNC> {
public:
    explicit ProbedStream(StreamProbe& probe)
        : mo_probe(probe), mo_buffer(probe.GetDrawThrough(), probe.GetDrawThrough() != nullptr) {}

    void BeginTriangles() override {
        mo_probe._Note(true);
        mo_buffer.BeginTriangles();
    }
    void BeginLines() override {
        mo_probe._Note(true);
        mo_buffer.BeginLines();
    }
    void End() override { mo_buffer.End(); }
    void AddTriangle(const IVVertexPNC& a, const IVVertexPNC& b, const IVVertexPNC& c) override {
        mo_buffer.AddTriangle(a, b, c);
    }
    void AddLine(const IVVertexPNC& a, const IVVertexPNC& b) override { mo_buffer.AddLine(a, b); }
    void Render(IVRender& device) override {
        mo_probe._Note(false);
        mo_buffer.Render(device);
    }

private:
    StreamProbe& mo_probe;
    IVVertexStreamBuffer<IVVertexPNC> mo_buffer;
};

} // namespace

std::unique_ptr<IIVVertexStream<IVVertexP>> StreamProbe::CreateStream(const IVVertexP*) {
    return std::make_unique<IVVertexStreamBuffer<IVVertexP>>();
}
std::unique_ptr<IIVVertexStream<IVVertexPN>> StreamProbe::CreateStream(const IVVertexPN*) {
    return std::make_unique<IVVertexStreamBuffer<IVVertexPN>>();
}
std::unique_ptr<IIVVertexStream<IVVertexPNC>> StreamProbe::CreateStream(const IVVertexPNC*) {
    return std::make_unique<ProbedStream>(*this);
}
std::unique_ptr<IIVVertexStream<IVVertexPNT>> StreamProbe::CreateStream(const IVVertexPNT*) {
    return std::make_unique<IVVertexStreamBuffer<IVVertexPNT>>();
}
