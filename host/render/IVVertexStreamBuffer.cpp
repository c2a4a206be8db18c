#include "host/render/IVVertexStreamBuffer.h"

#include "host/render/IVRender.h"

#include <algorithm>
#include <atomic>
#include <cstdint>
#include <mutex>
#include <type_traits>
#include <vector>

namespace {

std::atomic<IVTexturedTriangleEntry::Function> g_textured_triangle{nullptr};

} // namespace

void IVTexturedTriangleEntry::Install(Function function) {
    g_textured_triangle.store(function, std::memory_order_release);
}

IVTexturedTriangleEntry::Function IVTexturedTriangleEntry::Get() {
    return g_textured_triangle.load(std::memory_order_acquire);
}

// IVRender's primitive operations are protected where the host keeps them internal; the stream
// is the render library's own and reaches them through this accessor.
class IVVertexStreamDraw {
public:
    // A stored triangle; a, b and c point at its corners' x, y, z.
    static void Triangle(IVRender& device, const IVReplayTriangle<IVVertexP>&, const float* a, const float* b,
                         const float* c) {
        const float normal[3] = {0.0f, 0.0f, 0.0f};
        device.DrawTriangle(a, b, c, normal);
    }
    static void Triangle(IVRender& device, const IVReplayTriangle<IVVertexPN>& triangle, const float* a,
                         const float* b, const float* c) {
        device.DrawTriangle(a, b, c, triangle.ma_normal);
    }
    static void Triangle(IVRender& device, const IVReplayTriangle<IVVertexPNC>& triangle, const float* a,
                         const float* b, const float* c) {
        device._DrawTriangle(a, b, c, triangle.ma_normal, triangle.mn_colour);
    }
    static void Triangle(IVRender& device, const IVReplayTriangle<IVVertexPNT>& triangle, const float*,
                         const float*, const float*) {
        Triangle(device, triangle.ma_vertices[0], triangle.ma_vertices[1], triangle.ma_vertices[2]);
    }
    static void Line(IVRender& device, const IVReplayLine& line) {
        const float* ends = line.ma_ends;
        device.DrawLine(ends[0], ends[1], ends[2], ends[3], ends[4], ends[5]);
    }
    // Straight to the device, for drawing-through streams: what a replay of a, b, c would do.
    static void Triangle(IVRender& device, const IVVertexP& a, const IVVertexP& b, const IVVertexP& c) {
        const float normal[3] = {0.0f, 0.0f, 0.0f};
        device.DrawTriangle(&a.x, &b.x, &c.x, normal);
    }
    static void Triangle(IVRender& device, const IVVertexPN& a, const IVVertexPN& b, const IVVertexPN& c) {
        const float normal[3] = {(a.nx + b.nx) + c.nx, (a.ny + b.ny) + c.ny, (a.nz + b.nz) + c.nz};
        device.DrawTriangle(&a.x, &b.x, &c.x, normal);
    }
    static void Triangle(IVRender& device, const IVVertexPNC& a, const IVVertexPNC& b, const IVVertexPNC& c) {
        const float normal[3] = {(a.nx + b.nx) + c.nx, (a.ny + b.ny) + c.ny, (a.nz + b.nz) + c.nz};
        device._DrawTriangle(&a.x, &b.x, &c.x, normal, Colour(a));
    }
    static void Triangle(IVRender& device, const IVVertexPNT& a, const IVVertexPNT& b, const IVVertexPNT& c) {
        const float normal[3] = {(a.nx + b.nx) + c.nx, (a.ny + b.ny) + c.ny, (a.nz + b.nz) + c.nz};
        const IVTexturedTriangleEntry::Function textured = IVTexturedTriangleEntry::Get();
        if (textured == nullptr || !textured(device, a, b, c, normal))
            device.DrawTriangle(&a.x, &b.x, &c.x, normal);
    }
    template <class V> static void Line(IVRender& device, const V& a, const V& b) {
        device.DrawLine(a.x, a.y, a.z, b.x, b.y, b.z);
    }

    // Corner 0's colour bytes as the colour word.
    static uint32_t Colour(const IVVertexPNC& a) {
        return uint32_t(a.r) | uint32_t(a.g) << 8 | uint32_t(a.b) << 16 | uint32_t(a.a) << 24;
    }
};

namespace {

// Storage given back by destroyed streams, per kind of store, the largest handed out first.
template <class Store> class StoragePool {
public:
    static Store Take() {
        std::lock_guard lock(mo_mutex);
        if (mv_free.empty())
            return {};
        Store storage = std::move(mv_free.back());
        mv_free.pop_back();
        return storage;
    }
    static void Give(Store&& storage) {
        if (storage.GetCapacity() == 0)
            return;
        storage.Clear();
        std::lock_guard lock(mo_mutex);
        if (mv_free.size() < KEPT)
            mv_free.push_back(std::move(storage));
        else if (storage.GetCapacity() > mv_free.front().GetCapacity())
            mv_free.front() = std::move(storage);
        else
            return;
        std::sort(mv_free.begin(), mv_free.end(),
                  [](const Store& a, const Store& b) { return a.GetCapacity() < b.GetCapacity(); });
    }

private:
    static constexpr size_t KEPT = 4;
    static inline std::mutex mo_mutex;
    static inline std::vector<Store> mv_free;
};

} // namespace

template <class V> IVVertexStreamBuffer<V>::~IVVertexStreamBuffer() {
    StoragePool<IVReplayTriangleStore<V>>::Give(std::move(mo_triangles));
    StoragePool<IVVertexStorage<IVReplayLine>>::Give(std::move(mo_lines));
}

template <class V> void IVVertexStreamBuffer<V>::_Begin(EPrimitive primitive) {
    me_primitive = primitive;
    mo_triangles.Clear();
    mo_lines.Clear();
    if (mb_through)
        return;
    if (primitive == EPrimitive::eTriangles && mo_triangles.GetCapacity() == 0)
        mo_triangles = StoragePool<IVReplayTriangleStore<V>>::Take();
    if (primitive == EPrimitive::eLines && mo_lines.GetCapacity() == 0)
        mo_lines = StoragePool<IVVertexStorage<IVReplayLine>>::Take();
}

template <class V> void IVVertexStreamBuffer<V>::End() {
    if (mp_immediate_device != nullptr && !mb_through)
        Render(*mp_immediate_device);
}

template <class V> void IVVertexStreamBuffer<V>::AddTriangle(const V& a, const V& b, const V& c) {
    if (me_primitive != EPrimitive::eTriangles)
        return;
    if (mb_through) {
        IVVertexStreamDraw::Triangle(*mp_immediate_device, a, b, c);
        return;
    }
    mo_triangles.Append(a, b, c);
}

template <class V> void IVVertexStreamBuffer<V>::AddLine(const V& a, const V& b) {
    if (me_primitive != EPrimitive::eLines)
        return;
    if (mb_through) {
        IVVertexStreamDraw::Line(*mp_immediate_device, a, b);
        return;
    }
    const IVReplayLine line = {{a.x, a.y, a.z, b.x, b.y, b.z}};
    mo_lines.Append(&line, 1);
}

template <class V> void IVVertexStreamBuffer<V>::Render(IVRender& device) {
    if (me_primitive == EPrimitive::eTriangles)
        mo_triangles.ForEach(
            [&](const IVReplayTriangle<V>& triangle, const float* a, const float* b, const float* c) {
                IVVertexStreamDraw::Triangle(device, triangle, a, b, c);
            });
    else if (me_primitive == EPrimitive::eLines)
        mo_lines.ForEachBlock([&](const IVReplayLine* lines, size_t count) {
            for (size_t i = 0; i < count; ++i)
                IVVertexStreamDraw::Line(device, lines[i]);
        });
}

template class IVVertexStreamBuffer<IVVertexP>;
template class IVVertexStreamBuffer<IVVertexPN>;
template class IVVertexStreamBuffer<IVVertexPNC>;
template class IVVertexStreamBuffer<IVVertexPNT>;
