#pragma once
// IVClaimRange: a range of numbered jobs [0, count) that several threads claim one at a time,
// some from the first upwards and some from the last downwards, so that each keeps to
// neighbouring jobs. Both ends move in one atomic word (first << 32 | last), so every job is
// claimed exactly once. Reset is not thread-safe: call it before the claimers start (the thread
// pool's lock or a thread start orders it before their claims).
#include <atomic>
#include <cstddef>
#include <cstdint>

class IVClaimRange {
public:
    // count: at most 2^32 - 1.
    void Reset(size_t count) { mn_unclaimed.store(uint64_t(count), std::memory_order_relaxed); }

    // Takes the first (or last) unclaimed job; false when none is left.
    bool Claim(bool from_last, size_t& index) {
        uint64_t unclaimed = mn_unclaimed.load(std::memory_order_relaxed);
        for (;;) {
            const uint64_t first = unclaimed >> 32, last = unclaimed & 0xFFFFFFFFu;
            if (first >= last)
                return false;
            const uint64_t claimed = from_last ? (first << 32 | (last - 1)) : ((first + 1) << 32 | last);
            if (mn_unclaimed.compare_exchange_weak(unclaimed, claimed, std::memory_order_relaxed)) {
                index = size_t(from_last ? last - 1 : first);
                return true;
            }
        }
    }

private:
    std::atomic<uint64_t> mn_unclaimed{0};
};
