#pragma once
// RunParts: splits a loop over [0, count) into consecutive parts, one per thread, for the
// transparency cache's large passes (rebuild, depths, radix sort). Part 0 runs on the calling
// thread; a part whose thread cannot be started runs there afterwards, so that the work is always
// done. The first exception of any part is rethrown once every part has ended. Each part must
// write only what belongs to it, so results never depend on the number of parts.
#include <cstddef>
#include <exception>
#include <system_error>
#include <thread>

constexpr unsigned MAX_SORT_THREADS = 8;

// work(part, begin, end) for each part; at most MAX_SORT_THREADS parts.
template <class Work> inline void RunParts(unsigned threads, size_t count, const Work& work) {
    if (threads <= 1) {
        work(0u, size_t(0), count);
        return;
    }
    const auto begin_of = [&](unsigned part) { return count * part / threads; };
    std::exception_ptr errors[MAX_SORT_THREADS];
    std::thread helpers[MAX_SORT_THREADS];
    bool started[MAX_SORT_THREADS] = {};
    for (unsigned part = 1; part < threads; ++part) {
        try {
            helpers[part] = std::thread([&, part] {
                try {
                    work(part, begin_of(part), begin_of(part + 1));
                } catch (...) {
                    errors[part] = std::current_exception();
                }
            });
            started[part] = true;
        } catch (const std::system_error&) {
        }
    }
    try {
        work(0u, size_t(0), begin_of(1));
    } catch (...) {
        errors[0] = std::current_exception();
    }
    for (unsigned part = 1; part < threads; ++part) {
        if (started[part]) {
            helpers[part].join();
        } else {
            try {
                work(part, begin_of(part), begin_of(part + 1));
            } catch (...) {
                errors[part] = std::current_exception();
            }
        }
    }
    for (const std::exception_ptr& error : errors)
        if (error)
            std::rethrow_exception(error);
}
