#pragma once
// IVTranspRecordSlabs: the blocks that hold a transparency cache's triangle records, so that a
// rebuild of a million records costs one allocation instead of a million, and the records lie in
// build order, next to each other, for the passes that visit them.
//
// Call order: the cache asks Allocate for the records it must add (dead slots of its blocks are
// reused first, then one new block is made), and Trim after records were dropped, which frees
// the blocks no record of the cache lies in any more. Every slot handed out is zeroed.
//
// A block stays registered process-wide while it exists, so that IsSlabRecord can tell the
// record-level operator delete that a pointer lies in a block: deleting such a record frees
// nothing (the block goes with its owner), which keeps every operation of the owning pointer
// vector safe. Blocks of at least 2 MiB are asked for transparent huge pages, because a fresh
// 4 KiB page costs a fault of 10 to 30 us on the machines this runs on.
//
// Units: bytes. Threading: one owner uses an object at a time; the registry behind IsSlabRecord
// is locked, and is touched only when a block is made or freed and when a record is deleted one
// by one.
#include <cstddef>
#include <cstdint>
#include <vector>

class IVTranspRecordSlabs {
public:
    explicit IVTranspRecordSlabs(size_t slot_bytes) : mn_slot_bytes(slot_bytes) {}
    IVTranspRecordSlabs(const IVTranspRecordSlabs&) = delete;
    IVTranspRecordSlabs& operator=(const IVTranspRecordSlabs&) = delete;
    ~IVTranspRecordSlabs();

    // Writes `count` zeroed slots to `out`. `live` (`live_count` pointers) are the records still
    // in use; slots of this object's blocks that none of them names are handed out first.
    // Throws std::bad_alloc, leaving everything as it was.
    void Allocate(size_t count, void* const* live, size_t live_count, void** out);
    // Frees every block that none of `live` lies in.
    // FIXME: a block keeps all its memory while any record lives in it, so a cache that shrinks
    // from a million records to a few holds the large block until it grows again or is cleared
    // out; records cannot move to a smaller block, as their addresses must stay.
    void Trim(void* const* live, size_t live_count);
    // Frees every block: the records in them must not be used any more.
    void Release();

    // Whether `pointer` lies in one of this object's blocks.
    bool Owns(const void* pointer) const { return _Find(pointer) != nullptr; }
    // Whether `pointer` lies in the block of any object.
    static bool IsSlabRecord(const void* pointer);
    // Asks for transparent huge pages for the whole 2 MiB pages within [begin, begin + bytes);
    // a hint only, for large buffers that are about to be touched for the first time.
    static void AdviseHugePages(void* begin, size_t bytes);

    size_t GetReservedBytes() const;

private:
    struct TBlock {
        char* mp_begin;
        size_t mn_slots;
        size_t mn_mapped_bytes; // 0: from calloc
    };
    // The block that `pointer` lies in, or null.
    const TBlock* _Find(const void* pointer) const;
    void _Free(const TBlock& block);

    size_t mn_slot_bytes;
    std::vector<TBlock> mv_blocks; // sorted by address
};
