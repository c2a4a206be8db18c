#include "host/render/IVVertexStreamBuffer.h"

#include "host/render/IVRender.h"

#include <sys/mman.h>

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

// Grows `vertices` to hold `needed`, doubling, and asks for huge pages on the whole 2 MiB pages
// of a new block: a large model's first fill otherwise faults in every 4 KiB page on its own,
// at 11 to 16 microseconds each, which costs more than the fill.
template <class V> void Grow(std::vector<V>& vertices, size_t needed) {
    if (needed <= vertices.capacity())
        return;
    vertices.reserve(std::max(needed, 2 * vertices.capacity()));
    constexpr uintptr_t HUGE_PAGE = uintptr_t(1) << 21;
    const auto first = reinterpret_cast<uintptr_t>(vertices.data());
    const uintptr_t begin = (first + HUGE_PAGE - 1) & ~(HUGE_PAGE - 1);
    const uintptr_t end = (first + vertices.capacity() * sizeof(V)) & ~(HUGE_PAGE - 1);
    if (end > begin)
        ::madvise(reinterpret_cast<void*>(begin), end - begin, MADV_HUGEPAGE); // advice only
}

// Storage given back by destroyed streams of one vertex format, the largest handed out first.
template <class V> class StoragePool {
public:
    static std::vector<V> Take() {
        std::lock_guard lock(mo_mutex);
        if (mv_free.empty())
            return {};
        std::vector<V> storage = std::move(mv_free.back());
        mv_free.pop_back();
        return storage;
    }
    static void Give(std::vector<V>&& storage) {
        if (storage.capacity() == 0)
            return;
        storage.clear();
        std::lock_guard lock(mo_mutex);
        if (mv_free.size() < KEPT)
            mv_free.push_back(std::move(storage));
        else if (storage.capacity() > mv_free.front().capacity())
            mv_free.front() = std::move(storage);
        else
            return;
        std::sort(mv_free.begin(), mv_free.end(), [](const std::vector<V>& a, const std::vector<V>& b) {
            return a.capacity() < b.capacity();
        });
    }

private:
    static constexpr size_t KEPT = 4;
    static inline std::mutex mo_mutex;
    static inline std::vector<std::vector<V>> mv_free;
};

} // namespace

template <class V> IVVertexStreamBuffer<V>::~IVVertexStreamBuffer() {
    StoragePool<V>::Give(std::move(mv_vertices));
}

template <class V> void IVVertexStreamBuffer<V>::_Begin(EPrimitive primitive) {
    me_primitive = primitive;
    if (mb_through)
        return;
    if (mv_vertices.capacity() == 0)
        mv_vertices = StoragePool<V>::Take();
    mv_vertices.clear();
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
    Grow(mv_vertices, mv_vertices.size() + 3);
    mv_vertices.push_back(a);
    mv_vertices.push_back(b);
    mv_vertices.push_back(c);
}

template <class V> void IVVertexStreamBuffer<V>::AddLine(const V& a, const V& b) {
    if (me_primitive != EPrimitive::eLines)
        return;
    if (mb_through) {
        IVVertexStreamDraw::Line(*mp_immediate_device, a, b);
        return;
    }
    Grow(mv_vertices, mv_vertices.size() + 2);
    mv_vertices.push_back(a);
    mv_vertices.push_back(b);
}

template <class V> void IVVertexStreamBuffer<V>::Render(IVRender& device) {
    const size_t count = mv_vertices.size();
    if (me_primitive == EPrimitive::eTriangles)
        for (size_t i = 0; i + 2 < count; i += 3)
            IVVertexStreamDraw::Triangle(device, mv_vertices[i], mv_vertices[i + 1], mv_vertices[i + 2]);
    else if (me_primitive == EPrimitive::eLines)
        for (size_t i = 0; i + 1 < count; i += 2)
            IVVertexStreamDraw::Line(device, mv_vertices[i], mv_vertices[i + 1]);
}

template class IVVertexStreamBuffer<IVVertexP>;
template class IVVertexStreamBuffer<IVVertexPN>;
template class IVVertexStreamBuffer<IVVertexPNC>;
template class IVVertexStreamBuffer<IVVertexPNT>;
