#include "host/render/IVVertexStreamBuffer.h"

#include "host/render/IVRender.h"

#include <algorithm>
#include <atomic>
#include <cstdint>
#include <mutex>

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
        const unsigned long colour =
            uint32_t(a.r) | uint32_t(a.g) << 8 | uint32_t(a.b) << 16 | uint32_t(a.a) << 24;
        device._DrawTriangle(&a.x, &b.x, &c.x, normal, colour);
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
};

namespace {

// Storage given back by destroyed streams of one vertex format, the largest handed out first.
template <class V> class StoragePool {
public:
    static IVVertexStorage<V> Take() {
        std::lock_guard lock(mo_mutex);
        if (mv_free.empty())
            return {};
        IVVertexStorage<V> storage = std::move(mv_free.back());
        mv_free.pop_back();
        return storage;
    }
    static void Give(IVVertexStorage<V>&& storage) {
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
                  [](const IVVertexStorage<V>& a, const IVVertexStorage<V>& b) {
                      return a.GetCapacity() < b.GetCapacity();
                  });
    }

private:
    static constexpr size_t KEPT = 4;
    static inline std::mutex mo_mutex;
    static inline std::vector<IVVertexStorage<V>> mv_free;
};

} // namespace

template <class V> IVVertexStreamBuffer<V>::~IVVertexStreamBuffer() {
    StoragePool<V>::Give(std::move(mo_vertices));
}

template <class V> void IVVertexStreamBuffer<V>::_Begin(EPrimitive primitive) {
    me_primitive = primitive;
    if (mb_through)
        return;
    if (mo_vertices.GetCapacity() == 0)
        mo_vertices = StoragePool<V>::Take();
    mo_vertices.Clear();
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
    const V triangle[3] = {a, b, c};
    mo_vertices.Append(triangle, 3);
}

template <class V> void IVVertexStreamBuffer<V>::AddLine(const V& a, const V& b) {
    if (me_primitive != EPrimitive::eLines)
        return;
    if (mb_through) {
        IVVertexStreamDraw::Line(*mp_immediate_device, a, b);
        return;
    }
    const V line[2] = {a, b};
    mo_vertices.Append(line, 2);
}

template <class V> void IVVertexStreamBuffer<V>::Render(IVRender& device) {
    const EPrimitive primitive = me_primitive;
    mo_vertices.ForEachBlock([&](const V* vertices, size_t count) {
        if (primitive == EPrimitive::eTriangles)
            for (size_t i = 0; i + 2 < count; i += 3)
                IVVertexStreamDraw::Triangle(device, vertices[i], vertices[i + 1], vertices[i + 2]);
        else if (primitive == EPrimitive::eLines)
            for (size_t i = 0; i + 1 < count; i += 2)
                IVVertexStreamDraw::Line(device, vertices[i], vertices[i + 1]);
    });
}

template class IVVertexStreamBuffer<IVVertexP>;
template class IVVertexStreamBuffer<IVVertexPN>;
template class IVVertexStreamBuffer<IVVertexPNC>;
template class IVVertexStreamBuffer<IVVertexPNT>;
