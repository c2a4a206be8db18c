#pragma once
// MPrefetchForWriting: brings a cache line to this core in the state a store needs.
//
// For buffers that two threads take turns on: one thread writes a record, another reads it, and
// the first writes that line again a batch later. Each of those stores waits while the other
// core's copy is taken back, and a long run of them fills the store buffer and stalls the writer;
// asking for the lines a few records ahead hides the wait. A read prefetch would not do: it
// brings the line shared, and the store must still ask for it again.
//
// PREFETCHW on x86-64 (a no-op on processors without it); a plain write prefetch elsewhere.
// Never faults, whatever the address.

inline void MPrefetchForWriting(const void* address) {
#if defined(__x86_64__)
    asm volatile("prefetchw %0" : : "m"(*static_cast<const char*>(address)));
#else
    __builtin_prefetch(address, 1);
#endif
}
