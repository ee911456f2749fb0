// One frame's stepping on a thread of its own.
#include "simulation/backgroundstep.h"

backgroundstep::backgroundstep(engine& e) : tracker(e), thread([this] { work(); }) {}

backgroundstep::~backgroundstep() {
    {
        std::unique_lock<std::mutex> hold(lock);
        finished.wait(hold, [this] { return !pending; });
        stopping = true;
    }
    wake.notify_one();
    thread.join();
}

void backgroundstep::start(dynarray* b, double* d, frameactions a) {
    {
        std::lock_guard<std::mutex> hold(lock);
        beam = b, distance = d, actions = a;
        pending = true;
    }
    wake.notify_one();
}

void backgroundstep::wait() {
    std::unique_lock<std::mutex> hold(lock);
    finished.wait(hold, [this] { return !pending; });
}

void backgroundstep::work() {
    std::unique_lock<std::mutex> hold(lock);
    for (;;) {
        wake.wait(hold, [this] { return pending || stopping; });
        if (!pending) return;  // stopping with nothing to do
        hold.unlock();
        stepframe(tracker, beam, distance, actions);
        hold.lock();
        pending = false;
        finished.notify_all();
    }
}
