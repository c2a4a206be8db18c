#pragma once
// IVVertexStreamBuffer: the render library's own stream. It keeps the primitives of the last fill
// and replays them on a device through the device's virtual drawing operations, so a device that
// overrides DrawTriangle / _DrawTriangle / DrawLine receives every primitive.
//
// A fill keeps only what its replay hands the device (IVReplayTriangleStore, IVReplayLine), worked
// out as the primitive comes in with the same single-precision sums the replay used to do, and
// triangles name corner positions shared with earlier triangles: a position-normal-colour triangle
// of a welded mesh takes about 35 bytes instead of three 28-byte vertices, which at two million
// transparent triangles is about 100 MB less beside the cache's own records.
//
// An immediate stream (made by IVRender::GetVertexStreamPN) draws its fill on its device at End.
// A drawing-through stream (see IVRender::SetDrawThrough) draws each primitive on its device as it
// is added and keeps none, so it has nothing to replay.
// Replay per format: P and PN triangles go to DrawTriangle with the device colour (PN with the sum
// of the corner normals, which keeps the side the corners agree on); PNC triangles go to the
// colour-word _DrawTriangle with corner 0's colour bytes; PNT triangles go to the textured-triangle
// entry installed for the device's kind (IVTexturedTriangleEntry), or, where none takes them, to
// DrawTriangle untextured. Lines of every format go to the plain DrawLine.
//
// The storage of destroyed streams is kept (per format, a few buffers) and taken over by the next
// stream that fills, so rebuilding a stream each frame does not allocate once warm. That is
// thread-safe; a single stream is not.
#include "host/render/IIVVertexStream.h"
#include "host/render/IVReplayTriangleStore.h"
#include "host/render/IVVertex.h"
#include "host/render/IVVertexStorage.h"

class IVRender;

// A line as its replay draws it, for every format: the two end positions.
struct IVReplayLine {
    float ma_ends[6];
};
static_assert(sizeof(IVReplayLine) == 24);

// Where buffered streams hand textured triangles. The render library does not know the devices
// that can draw them; the software device installs its entry when its first device is made.
// Installing is thread-safe; the entry must stay callable for the life of the process.
class IVTexturedTriangleEntry {
public:
    // Draws a, b, c textured (normal as DrawTriangle takes it) and returns true, or returns false
    // for a device it cannot draw on.
    using Function = bool (*)(IVRender& device, const IVVertexPNT& a, const IVVertexPNT& b,
                              const IVVertexPNT& c, const float* normal);
    static void Install(Function function);
    static Function Get();
};

template <class V> class IVVertexStreamBuffer final : public IIVVertexStream<V> {
public:
    enum class EPrimitive { eNone, eTriangles, eLines };

    explicit IVVertexStreamBuffer(IVRender* immediate_device = nullptr, bool through = false)
        : mp_immediate_device(immediate_device), mb_through(through && immediate_device != nullptr) {}
    IVVertexStreamBuffer(const IVVertexStreamBuffer&) = default;
    IVVertexStreamBuffer(IVVertexStreamBuffer&&) noexcept = default;
    IVVertexStreamBuffer& operator=(const IVVertexStreamBuffer&) = default;
    IVVertexStreamBuffer& operator=(IVVertexStreamBuffer&&) noexcept = default;
    // Hands the storage on to the next stream of this format that fills (see _Begin).
    ~IVVertexStreamBuffer() override;

    void BeginTriangles() override { _Begin(EPrimitive::eTriangles); }
    void BeginLines() override { _Begin(EPrimitive::eLines); }
    void End() override;
    void AddTriangle(const V& a, const V& b, const V& c) override;
    void AddLine(const V& a, const V& b) override;
    void Render(IVRender& device) override;

    EPrimitive GetPrimitive() const { return me_primitive; }
    // Three per triangle and two per line of the last fill.
    size_t GetNumVertices() const { return 3 * mo_triangles.GetSize() + 2 * mo_lines.GetSize(); }

private:
    // A container that rebuilds its stream every frame (an animated mesh) makes a new stream
    // each time; taking over a destroyed stream's storage spares growing a fresh buffer, whose
    // every new 4 KiB page costs a fault.
    void _Begin(EPrimitive primitive);

    IVRender* mp_immediate_device;
    bool mb_through;
    EPrimitive me_primitive = EPrimitive::eNone;
    // Only the store of the fill's primitive kind holds anything.
    IVReplayTriangleStore<V> mo_triangles;
    IVVertexStorage<IVReplayLine> mo_lines;
};

extern template class IVVertexStreamBuffer<IVVertexP>;
extern template class IVVertexStreamBuffer<IVVertexPN>;
extern template class IVVertexStreamBuffer<IVVertexPNC>;
extern template class IVVertexStreamBuffer<IVVertexPNT>;
