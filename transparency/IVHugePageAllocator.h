#pragma once
// IVHugePageAllocator: a standard allocator for the transparency cache's large per-record buffers.
// Requests of 2 MiB or more get fresh pages aligned to and asked to be huge pages, so that a
// buffer of a million entries faults a few times instead of a few thousand (a fresh 4 KiB page
// costs 10 to 30 us on the machines this runs on); smaller ones come from the heap.
// Stateless: all instances are equal. Thread-safe as the heap and the kernel are.
#include <cstddef>
#include <new>

namespace IVHugePages {
constexpr std::size_t SIZE = std::size_t(2) << 20;
inline bool IsLarge(std::size_t bytes) {
    return bytes >= SIZE;
}
// Fresh zeroed pages for `bytes` (rounded up to 2 MiB); throws std::bad_alloc when there are none.
void* Map(std::size_t bytes);
// Gives back what Map gave for the same `bytes`.
void Unmap(void* pointer, std::size_t bytes) noexcept;
} // namespace IVHugePages

template <class T> class IVHugePageAllocator {
public:
    using value_type = T;

    IVHugePageAllocator() = default;
    template <class U> IVHugePageAllocator(const IVHugePageAllocator<U>&) noexcept {}

    T* allocate(std::size_t count) {
        const std::size_t bytes = count * sizeof(T);
        if (IVHugePages::IsLarge(bytes))
            return static_cast<T*>(IVHugePages::Map(bytes));
        return static_cast<T*>(::operator new(bytes));
    }
    void deallocate(T* pointer, std::size_t count) noexcept {
        const std::size_t bytes = count * sizeof(T);
        if (IVHugePages::IsLarge(bytes))
            IVHugePages::Unmap(pointer, bytes);
        else
            ::operator delete(pointer);
    }
    template <class U> bool operator==(const IVHugePageAllocator<U>&) const noexcept { return true; }
};
