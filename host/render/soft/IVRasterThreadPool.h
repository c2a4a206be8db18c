#pragma once
// IVRasterThreadPool: a fixed set of worker threads that run the numbered jobs of one batch
// (the rasterizer's tiles). The calling thread takes part, so a pool of n threads starts n - 1
// workers; a pool of 1 runs everything on the caller.
//
// Call order: construct; then, from one thread at a time, either Run (returns when all jobs are
// done) or Start followed later by Wait (the workers begin at once and the caller is free to do
// other work in between; Wait has the caller take the jobs still left and returns when all are
// done). A run must have been waited for before the next Start or Run; destruction waits for an
// unfinished run, then joins the workers. Each job runs exactly once: the workers take them from
// the first upwards, the caller from the last downwards, so that when runs list the same jobs in
// the same order (the rasterizer's tiles) a job mostly lands on the thread that ran it before and
// finds its data in that core's cache. Otherwise which thread runs which job is unspecified, so
// jobs must not depend on one another. Writes made by the jobs are visible to the caller once Run
// or Wait returns. Nothing allocates after construction.
#include "host/render/soft/IVClaimRange.h"

#include <atomic>
#include <condition_variable>
#include <cstddef>
#include <cstdint>
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
    void Run(size_t count, void (*job)(void* context, size_t index), void* context) {
        Start(count, job, context);
        Wait();
    }
    // Hands the jobs to the workers and returns; without workers they run here before it returns.
    void Start(size_t count, void (*job)(void* context, size_t index), void* context);
    // Runs the jobs of the started run that no worker has taken yet, then waits for the workers.
    // Returns at once when no run is under way.
    void Wait();
    bool IsBusy() const { return mb_started; }

private:
    void _Work(std::stop_token stop);
    // Runs unclaimed jobs, from the first (workers) or the last (the caller), until none is left.
    void _Drain(bool from_last);

    std::mutex mo_mutex;
    std::condition_variable_any mo_start;
    std::condition_variable mo_done;
    uint64_t mn_generation = 0; // guarded by mo_mutex
    size_t mn_running = 0;      // workers still in the current run, guarded by mo_mutex
    void (*mp_job)(void*, size_t) = nullptr;
    void* mp_context = nullptr;
    IVClaimRange mo_unclaimed; // the jobs of the current run no thread has taken yet
    bool mb_started = false;   // a run was started and not yet waited for; the caller's thread only
    std::vector<std::jthread> mv_workers;
};
