// One frame of the demo's beam, shared by the demo and voxda-track: check and cull, report, step,
// accelerate.
#pragma once

#include <cstdint>

#include "tracking/engine.h"
#include "util/dynarray.h"

constexpr double timedisplayspeed = 252368289.06897998;  // m/s, the speed at 800 MeV, for the time shown

// The time shown for a distance, ms: always at the fixed display speed, also after acceleration.
inline double displaytimems(double distance) { return distance / timedisplayspeed / 0.001; }
// Surviving share of the starting beam, %; 0 for an empty starting beam.
inline double beampercent(uint32_t count, uint32_t initialcount) {
    return initialcount ? 100.0 * count / initialcount : 0.0;
}

// What a frame reports after its cull: the state before its steps.
struct framestatus {
    double distance;  // m
    double timems;    // ms
    double percent;   // % of the starting beam
    uint32_t count;   // particles in the beam
};

// What the frame does after reporting.
struct frameactions {
    bool fast;        // one whole cell instead of one step
    bool accelerate;  // one acceleration step after stepping
};

// Callbacks of a frame; either may be null. plot sees every particle that stays, in the cull's
// order (last to first, the moved last particle already seen).
struct framehooks {
    void (*plot)(const particle& p, void* context) = nullptr;
    void (*report)(const framestatus& status, void* context) = nullptr;
    void* context = nullptr;
};

// Removes every particle outside the aperture, from the last down (removal moves the last particle
// into the hole, so every particle is examined once); calls plot for each that stays. Returns how
// many were removed.
uint32_t cullbeam(dynarray* beam, const framehooks& hooks = {});
// The frame's state as shown after the cull.
framestatus beamstatus(double distance, uint32_t count, uint32_t initialcount);
// Steps the beam (one step or one cell) and accelerates it when asked.
void stepframe(engine& e, dynarray* beam, double* distance, frameactions actions);
// One whole frame: cullbeam, report, stepframe.
void runframe(engine& e, dynarray* beam, double* distance, uint32_t initialcount, frameactions actions,
              const framehooks& hooks);
