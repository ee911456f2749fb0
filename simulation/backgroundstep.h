// One frame's stepping on a thread of its own, so that the demo draws while the beam moves.
#pragma once

#include <condition_variable>
#include <mutex>
#include <thread>

#include "tracking/frame.h"

// The thread starts once and waits between frames. Between start and wait the beam and the
// distance belong to the step: the caller must not touch them (it draws from values it took
// before the start). Use from one thread.
class backgroundstep {
  public:
    explicit backgroundstep(engine& e);
    ~backgroundstep();  // waits for a step under way
    backgroundstep(const backgroundstep&) = delete;
    backgroundstep& operator=(const backgroundstep&) = delete;

    // Starts stepframe(e, beam, distance, actions); the previous step must have been waited for.
    void start(dynarray* beam, double* distance, frameactions actions);
    // Returns once the step started last has finished (at once when none is under way).
    void wait();

  private:
    void work();

    engine& tracker;
    std::mutex lock;
    std::condition_variable wake, finished;
    dynarray* beam = nullptr;
    double* distance = nullptr;
    frameactions actions{};
    bool pending = false;  // a step was started and has not finished
    bool stopping = false;
    std::thread thread;  // last: starts once every other member is ready
};
