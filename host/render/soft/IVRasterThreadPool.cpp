#include "host/render/soft/IVRasterThreadPool.h"

#include <algorithm>

IVRasterThreadPool::IVRasterThreadPool(int threads) {
    const int workers = std::clamp(threads, 1, 64) - 1;
    mv_workers.reserve(size_t(workers));
    for (int i = 0; i < workers; ++i)
        mv_workers.emplace_back([this](std::stop_token stop) { _Work(stop); });
}

IVRasterThreadPool::~IVRasterThreadPool() {
    Wait();
    for (std::jthread& worker : mv_workers)
        worker.request_stop();
    {
        // Taking the lock orders the stop requests before a worker's next wait.
        std::lock_guard lock(mo_mutex);
    }
    mo_start.notify_all();
    mv_workers.clear(); // joins
}

void IVRasterThreadPool::_Drain(bool from_last) {
    size_t index = 0;
    while (mo_unclaimed.Claim(from_last, index))
        mp_job(mp_context, index);
}

void IVRasterThreadPool::Start(size_t count, void (*job)(void* context, size_t index), void* context) {
    if (count == 0)
        return;
    if (mv_workers.empty() || count == 1 || count > 0xFFFFFFFFu) {
        for (size_t index = 0; index < count; ++index)
            job(context, index);
        return;
    }
    {
        std::lock_guard lock(mo_mutex);
        mp_job = job;
        mp_context = context;
        mo_unclaimed.Reset(count);
        mn_running = mv_workers.size();
        ++mn_generation;
    }
    mb_started = true;
    mo_start.notify_all();
}

void IVRasterThreadPool::Wait() {
    if (!mb_started)
        return;
    mb_started = false;
    _Drain(true);
    std::unique_lock lock(mo_mutex);
    mo_done.wait(lock, [this] { return mn_running == 0; });
}

void IVRasterThreadPool::_Work(std::stop_token stop) {
    uint64_t seen = 0;
    for (;;) {
        {
            std::unique_lock lock(mo_mutex);
            if (!mo_start.wait(lock, stop, [&] { return mn_generation != seen; }))
                return;
            seen = mn_generation;
        }
        _Drain(false);
        std::lock_guard lock(mo_mutex);
        if (--mn_running == 0)
            mo_done.notify_one();
    }
}
