// Whole-cell tracking for the studies: the one place where the studies call the tracking engine.
#pragma once

#include <atomic>
#include <cstddef>
#include <cstdint>

#include "simulation/beam.h"
#include "tracking/engine.h"

// What to track: whole cells from the observation point, with optional acceleration once per
// cell for cells from..to (counted from 0, inclusive), after the cell's step.
struct cellrequest {
    int64_t cells = 1000;
    bool accelerate = false;
    int64_t from = 0, to = -1;
    mathmode math = mathmode::exact;
    int threads = 0;  // 0: every core
};

// How a long run is watched and stopped. Every member may be null.
struct cellcontrol {
    const std::atomic<bool>* stop = nullptr;   // checked between chunks of particles
    std::atomic<int64_t>* finished = nullptr;  // particles finished so far (added to)
    std::atomic<uint8_t>* done = nullptr;      // per particle: 1 once its lost value is final
};

// lost value of a particle still inside after the last cell.
constexpr int64_t survived = -1;

// Tracks n particles for whole cells; lost[i] is the number of cells travelled when the
// aperture check first failed (0: outside at the start) or `survived`. The particles end with
// their coordinates at the last check. Returns false when stopped before every particle was
// finished (the finished ones have their done flag set).
bool trackwholecells(particle* particles, int64_t* lost, size_t n, const cellrequest& request,
                     const cellcontrol& control);
