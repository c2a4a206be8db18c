#pragma once
// IVRasterThreadPool: a fixed set of worker threads that run the numbered jobs of one batch
// (the rasterizer's tiles) and return when all are done. The calling thread takes part, so a
// pool of n threads starts n - 1 workers; a pool of 1 runs everything on the caller.
//
// Call order: construct, Run as often as needed (from one thread at a time), destroy (joins the
// workers). Jobs are handed out in increasing order, each exactly once; which thread runs which
// job is unspecified, so jobs must not depend on one another. Run does not allocate.
#include <atomic>
#include <condition_variable>
#include <cstddef>
#include <mutex>
#include <thread>
#include <vector>

class IVRasterThreadPool {
public:
    // threads: 1 to 64 (clamped).
    explicit IVRasterThreadPool(int threads);
    IVRasterThreadPool(const IVRasterThreadPool&) = delete;
    IVRasterThreadPool& operator=(const IVRasterThreadPool&) = delete;
    ~IVRasterThreadPool();

    int GetThreadCount() const { return int(mv_workers.size()) + 1; }

    // Calls job(context, index) for every index in [0, count).
    void Run(size_t count, void (*job)(void* context, size_t index), void* context);

private:
    void _Work(std::stop_token stop);
    void _Drain();

    std::mutex mo_mutex;
    std::condition_variable_any mo_start;
    std::condition_variable mo_done;
    uint64_t mn_generation = 0; // guarded by mo_mutex
    size_t mn_running = 0;      // workers still in the current batch, guarded by mo_mutex
    void (*mp_job)(void*, size_t) = nullptr;
    void* mp_context = nullptr;
    size_t mn_count = 0;
    std::atomic<size_t> mn_next{0};
    std::vector<std::jthread> mv_workers;
};
