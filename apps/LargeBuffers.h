#pragma once
// Helpers for the readers' large buffers. On this kind of machine the first touch of each fresh
// 4 KiB page costs about as much as parsing a hundred triangles, so buffers of many megabytes ask
// for transparent huge pages before they are first written. And the readers split long loops
// over a few threads (VANTREL_THREADS overrides the count); each thread writes its own range, so
// results never depend on the count.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <thread>
#include <vector>

#include <sys/mman.h>

namespace large_buffers {

// Reserves room for `count` elements and asks the kernel to back it with huge pages where the
// reservation spans whole 2 MiB pages. Call before the elements are first written.
template <class T> void Reserve(std::vector<T>& vector, size_t count) {
    vector.reserve(count);
    constexpr uintptr_t HUGE_PAGE = uintptr_t(1) << 21;
    const auto first = reinterpret_cast<uintptr_t>(vector.data());
    const uintptr_t begin = (first + HUGE_PAGE - 1) & ~(HUGE_PAGE - 1);
    const uintptr_t end = (first + count * sizeof(T)) & ~(HUGE_PAGE - 1);
    if (end > begin)
        ::madvise(reinterpret_cast<void*>(begin), end - begin, MADV_HUGEPAGE); // advice only
}

inline unsigned CountThreads() {
    if (const char* text = std::getenv("VANTREL_THREADS")) {
        const long count = std::strtol(text, nullptr, 10);
        if (count >= 1)
            return unsigned(std::min(count, 64L));
    }
    return std::clamp(std::thread::hardware_concurrency(), 1u, 64u);
}

// Calls work(begin, end) on consecutive ranges covering [0, count), on up to CountThreads()
// threads; ranges below `grain` items are not worth a thread.
template <class Work> void ForRanges(size_t count, size_t grain, const Work& work) {
    const size_t threads =
        std::min<size_t>(CountThreads(), std::max<size_t>(1, count / std::max<size_t>(grain, 1)));
    if (threads <= 1) {
        work(size_t(0), count);
        return;
    }
    std::vector<std::jthread> pool;
    pool.reserve(threads - 1);
    for (size_t thread = 1; thread < threads; ++thread)
        pool.emplace_back([&, thread] { work(count * thread / threads, count * (thread + 1) / threads); });
    work(size_t(0), count / threads);
}

} // namespace large_buffers
