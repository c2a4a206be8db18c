#include "transparency/IVTranspRecordSlabs.h"

#include "transparency/IVHugePageAllocator.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <mutex>
#include <new>
#include <utility>

#if defined(__linux__)
#include <sys/mman.h>
#endif

namespace {

constexpr size_t HUGE_PAGE = size_t(2) << 20;

// Address ranges of every block in the process, sorted by start.
struct Registry {
    std::mutex mo_mutex;
    std::vector<std::pair<uintptr_t, uintptr_t>> mv_ranges;
};

// Never destroyed, so that caches destroyed at exit, in any order, still find it.
Registry& TheRegistry() {
    static Registry* const registry = new Registry;
    return *registry;
}

void Register(uintptr_t begin, uintptr_t end) {
    Registry& registry = TheRegistry();
    const std::lock_guard lock(registry.mo_mutex);
    const auto at =
        std::lower_bound(registry.mv_ranges.begin(), registry.mv_ranges.end(), std::make_pair(begin, end));
    registry.mv_ranges.insert(at, {begin, end});
}

void Unregister(uintptr_t begin) {
    Registry& registry = TheRegistry();
    const std::lock_guard lock(registry.mo_mutex);
    const auto at =
        std::find_if(registry.mv_ranges.begin(), registry.mv_ranges.end(),
                     [begin](const std::pair<uintptr_t, uintptr_t>& range) { return range.first == begin; });
    if (at != registry.mv_ranges.end())
        registry.mv_ranges.erase(at);
}

// Fresh anonymous pages, aligned to a huge page and asked to be huge, so that a block of 96 MB
// faults about 50 times instead of 24,000. Returns the start and the mapped size, or null.
std::pair<char*, size_t> MapHuge(size_t bytes) {
#if defined(__linux__)
    const size_t size = (bytes + HUGE_PAGE - 1) / HUGE_PAGE * HUGE_PAGE;
    void* raw = mmap(nullptr, size + HUGE_PAGE, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    if (raw == MAP_FAILED)
        return {nullptr, 0};
    const uintptr_t start = reinterpret_cast<uintptr_t>(raw);
    const uintptr_t aligned = (start + HUGE_PAGE - 1) / HUGE_PAGE * HUGE_PAGE;
    if (aligned > start)
        munmap(raw, aligned - start);
    const size_t tail = start + size + HUGE_PAGE - (aligned + size);
    if (tail > 0)
        munmap(reinterpret_cast<void*>(aligned + size), tail);
    madvise(reinterpret_cast<void*>(aligned), size, MADV_HUGEPAGE);
    return {reinterpret_cast<char*>(aligned), size};
#else
    (void)bytes;
    return {nullptr, 0};
#endif
}

} // namespace

void* IVHugePages::Map(std::size_t bytes) {
#if defined(__linux__)
    const auto [begin, mapped] = MapHuge(bytes);
    if (begin == nullptr)
        throw std::bad_alloc();
    return begin;
#else
    return ::operator new(bytes);
#endif
}

void IVHugePages::Unmap(void* pointer, std::size_t bytes) noexcept {
#if defined(__linux__)
    munmap(pointer, (bytes + HUGE_PAGE - 1) / HUGE_PAGE * HUGE_PAGE);
#else
    (void)bytes;
    ::operator delete(pointer);
#endif
}

IVTranspRecordSlabs::~IVTranspRecordSlabs() {
    Release();
}

void IVTranspRecordSlabs::Release() {
    for (const TBlock& block : mv_blocks)
        _Free(block);
    mv_blocks.clear();
}

void IVTranspRecordSlabs::_Free(const TBlock& block) {
    Unregister(reinterpret_cast<uintptr_t>(block.mp_begin));
#if defined(__linux__)
    if (block.mn_mapped_bytes != 0) {
        munmap(block.mp_begin, block.mn_mapped_bytes);
        return;
    }
#endif
    std::free(block.mp_begin);
}

const IVTranspRecordSlabs::TBlock* IVTranspRecordSlabs::_Find(const void* pointer) const {
    const char* address = static_cast<const char*>(pointer);
    auto at = std::upper_bound(mv_blocks.begin(), mv_blocks.end(), address,
                               [](const char* a, const TBlock& block) { return a < block.mp_begin; });
    if (at == mv_blocks.begin())
        return nullptr;
    --at;
    return address < at->mp_begin + at->mn_slots * mn_slot_bytes ? &*at : nullptr;
}

void IVTranspRecordSlabs::Allocate(size_t count, void* const* live, size_t live_count, void** out) {
    if (count == 0)
        return;
    size_t capacity = 0;
    for (const TBlock& block : mv_blocks)
        capacity += block.mn_slots;
    size_t produced = 0;
    std::vector<char*> reused;
    if (capacity > 0) {
        // Dead slots: those no live record names. Only a rebuild that grows gets here.
        std::vector<bool> used(capacity, false);
        std::vector<size_t> first_slot;
        size_t slots = 0;
        for (const TBlock& block : mv_blocks) {
            first_slot.push_back(slots);
            slots += block.mn_slots;
        }
        for (size_t i = 0; i < live_count; ++i)
            if (const TBlock* block = _Find(live[i]))
                used[first_slot[size_t(block - mv_blocks.data())] +
                     size_t(static_cast<const char*>(live[i]) - block->mp_begin) / mn_slot_bytes] = true;
        for (size_t b = 0; b < mv_blocks.size() && reused.size() < count; ++b)
            for (size_t s = 0; s < mv_blocks[b].mn_slots && reused.size() < count; ++s)
                if (!used[first_slot[b] + s])
                    reused.push_back(mv_blocks[b].mp_begin + s * mn_slot_bytes);
    }
    const size_t fresh = count - reused.size();
    if (fresh > 0) {
        mv_blocks.reserve(mv_blocks.size() + 1);
        const size_t bytes = fresh * mn_slot_bytes;
        TBlock block{nullptr, fresh, 0};
        if (bytes >= HUGE_PAGE) {
            const auto [begin, mapped] = MapHuge(bytes);
            block.mp_begin = begin;
            block.mn_mapped_bytes = mapped;
        }
        if (block.mp_begin == nullptr)
            block.mp_begin = static_cast<char*>(std::calloc(fresh, mn_slot_bytes));
        if (block.mp_begin == nullptr)
            throw std::bad_alloc();
        try {
            Register(reinterpret_cast<uintptr_t>(block.mp_begin),
                     reinterpret_cast<uintptr_t>(block.mp_begin + bytes));
        } catch (...) {
            _Free(block);
            throw;
        }
        const auto at =
            std::upper_bound(mv_blocks.begin(), mv_blocks.end(), block,
                             [](const TBlock& a, const TBlock& b) { return a.mp_begin < b.mp_begin; });
        mv_blocks.insert(at, block);
        for (size_t s = 0; s < fresh; ++s)
            out[produced++] = block.mp_begin + s * mn_slot_bytes; // fresh pages read as zero
    }
    for (char* slot : reused) {
        std::memset(slot, 0, mn_slot_bytes);
        out[produced++] = slot;
    }
}

void IVTranspRecordSlabs::Trim(void* const* live, size_t live_count) {
    if (mv_blocks.empty())
        return;
    std::vector<bool> used(mv_blocks.size(), false);
    size_t found = 0;
    for (size_t i = 0; i < live_count && found < mv_blocks.size(); ++i)
        if (const TBlock* block = _Find(live[i])) {
            const size_t index = size_t(block - mv_blocks.data());
            found += used[index] ? 0 : 1;
            used[index] = true;
        }
    std::vector<TBlock> kept;
    for (size_t b = 0; b < mv_blocks.size(); ++b) {
        if (used[b])
            kept.push_back(mv_blocks[b]);
        else
            _Free(mv_blocks[b]);
    }
    mv_blocks.swap(kept);
}

bool IVTranspRecordSlabs::IsSlabRecord(const void* pointer) {
    const uintptr_t address = reinterpret_cast<uintptr_t>(pointer);
    Registry& registry = TheRegistry();
    const std::lock_guard lock(registry.mo_mutex);
    auto at = std::upper_bound(
        registry.mv_ranges.begin(), registry.mv_ranges.end(), address,
        [](uintptr_t a, const std::pair<uintptr_t, uintptr_t>& range) { return a < range.first; });
    if (at == registry.mv_ranges.begin())
        return false;
    --at;
    return address < at->second;
}

void IVTranspRecordSlabs::AdviseHugePages(void* begin, size_t bytes) {
#if defined(__linux__)
    const uintptr_t start = reinterpret_cast<uintptr_t>(begin);
    const uintptr_t first = (start + HUGE_PAGE - 1) / HUGE_PAGE * HUGE_PAGE;
    const uintptr_t last = (start + bytes) / HUGE_PAGE * HUGE_PAGE;
    if (last > first)
        madvise(reinterpret_cast<void*>(first), last - first, MADV_HUGEPAGE);
#else
    (void)begin;
    (void)bytes;
#endif
}

size_t IVTranspRecordSlabs::GetReservedBytes() const {
    size_t bytes = 0;
    for (const TBlock& block : mv_blocks)
        bytes += block.mn_slots * mn_slot_bytes;
    return bytes;
}
