// A persistent pool of worker threads that share out numbered tasks; the caller works too.
#pragma once

#include <atomic>
#include <condition_variable>
#include <cstddef>
#include <mutex>
#include <thread>
#include <vector>

// The threads start once and wait between jobs: a frame never creates a thread or allocates.
// One caller at a time.
class threadpool {
  public:
    // threads: total threads working on a job, the caller's included (at least 1).
    explicit threadpool(unsigned threads);
    ~threadpool();
    threadpool(const threadpool&) = delete;
    threadpool& operator=(const threadpool&) = delete;

    unsigned threads() const { return static_cast<unsigned>(workers.size()) + 1; }

    // Calls task(context, index) once for every index below count, spread over the threads in
    // increasing order of index from one shared counter; returns when all have returned.
    void run(size_t count, void (*task)(void* context, size_t index), void* context);

  private:
    void work();
    void drain();

    std::vector<std::thread> workers;
    std::mutex lock;
    std::condition_variable wake, finished;
    // The current job, guarded by lock except for the counter.
    void (*jobtask)(void*, size_t) = nullptr;
    void* jobcontext = nullptr;
    size_t jobcount = 0;
    std::atomic<size_t> next{0};
    unsigned long generation = 0;
    unsigned busy = 0;  // workers still inside the current job
    bool stopping = false;
};

// Threads to use for a requested count: 0 means every core the machine reports.
unsigned threadsfor(unsigned requested);
