#pragma once
// MHugePageBlock: raw memory for the host's append-only block stores (mesh points and triangles,
// vertex streams). A large block is aligned to 2 MiB and advised to be backed by huge pages, so
// that filling it faults a few times instead of once per 4 KiB page (a fresh small page costs
// 11 to 16 us on the machines this runs on); a small one comes from the heap. Both are given
// back with std::free (Free, for std::unique_ptr). Thread-safe as the heap and the kernel are.
#include <sys/mman.h>

#include <cstddef>
#include <cstdlib>
#include <new>

namespace MHugePageBlock {

constexpr std::size_t SIZE = std::size_t(1) << 21;

// `bytes` of uninitialised memory, huge-page aligned and advised (rounded up to 2 MiB) when
// `huge`; throws std::bad_alloc when there is none.
inline void* Allocate(std::size_t bytes, bool huge) {
    void* data = nullptr;
    if (huge) {
        const std::size_t rounded = (bytes + SIZE - 1) & ~(SIZE - 1);
        data = std::aligned_alloc(SIZE, rounded);
        if (data != nullptr)
            ::madvise(data, rounded, MADV_HUGEPAGE); // advice only
    } else {
        data = std::malloc(bytes);
    }
    if (data == nullptr)
        throw std::bad_alloc();
    return data;
}

struct Free {
    void operator()(void* data) const { std::free(data); }
};

} // namespace MHugePageBlock
