// The persistent worker pool.
#include "tracking/threadpool.h"

threadpool::threadpool(unsigned threads) {
    for (unsigned i = 1; i < threads; ++i) workers.emplace_back([this] { work(); });
}

threadpool::~threadpool() {
    {
        std::lock_guard<std::mutex> guard(lock);
        stopping = true;
    }
    wake.notify_all();
    for (std::thread& t : workers) t.join();
}

// Takes task numbers until none is left.
void threadpool::drain() {
    for (size_t i = next.fetch_add(1, std::memory_order_relaxed); i < jobcount;
         i = next.fetch_add(1, std::memory_order_relaxed))
        jobtask(jobcontext, i);
}

void threadpool::work() {
    unsigned long seen = 0;
    for (;;) {
        {
            std::unique_lock<std::mutex> guard(lock);
            wake.wait(guard, [&] { return stopping || generation != seen; });
            if (stopping) return;
            seen = generation;
        }
        drain();
        std::lock_guard<std::mutex> guard(lock);
        if (--busy == 0) finished.notify_one();
    }
}

void threadpool::run(size_t count, void (*task)(void*, size_t), void* context) {
    if (count == 0) return;
    if (workers.empty() || count == 1) {
        for (size_t i = 0; i < count; ++i) task(context, i);
        return;
    }
    {
        std::lock_guard<std::mutex> guard(lock);
        jobtask = task;
        jobcontext = context;
        jobcount = count;
        next.store(0, std::memory_order_relaxed);
        busy = static_cast<unsigned>(workers.size());
        ++generation;
    }
    wake.notify_all();
    drain();
    std::unique_lock<std::mutex> guard(lock);
    finished.wait(guard, [&] { return busy == 0; });
}

unsigned threadsfor(unsigned requested) {
    if (requested > 0) return requested;
    unsigned cores = std::thread::hardware_concurrency();
    return cores > 0 ? cores : 1;
}
