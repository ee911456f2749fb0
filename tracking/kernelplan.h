// What the block kernels share: the constants of the maps and a block in structure-of-arrays form.
#pragma once

#include <cstddef>
#include <cstdint>

#include "tracking/lattice.h"
#include "tracking/particle.h"

// Particles per block: a multiple of every SIMD width (8 doubles at most).
constexpr int kernelblock = 16;

// Constants of the maps, computed once from the proton's tables.
struct kernelconstants {
    double mc2;                 // proton rest energy, MeV
    double cm;                  // c m: speed of light times proton mass, kg m/s
    double hq;                  // +0.05 m step times the proton charge, m C
    double steer;               // reference-orbit correction d of a +0.05 m step: xp <- xp - d, rad
    double fieldindex;          // k, 1/m
    double b0;                  // field at the origin, T
    double step;                // drift length of a step, m
    double accelerationfactor;  // kinetic energy factor per acceleration
};

// One block of particles, padded with particles on the axis.
struct kernelblockdata {
    alignas(64) double x[kernelblock];
    alignas(64) double xp[kernelblock];
    alignas(64) double y[kernelblock];
    alignas(64) double yp[kernelblock];
    alignas(64) double energy[kernelblock];
    alignas(64) double k[kernelblock];  // kick coefficient of an F step, per particle
};

// What trackcells asks of a kernel.
struct cellrange {
    int64_t cells;           // cells to travel
    int64_t acceleratefrom;  // accelerate after the step of cells from..to (inclusive)
    int64_t accelerateto;
};

// The kernels of one math mode on a contiguous run of particles (any count).
struct kernelset {
    // The frame's steps, then one acceleration when asked.
    void (*frame)(const kernelconstants& c, const stepplan& plan, bool accelerate, particle* p, size_t n);
    // Whole cells with the aperture check at the start and after every cell; lost[i] gets the
    // cells travelled at the first failed check, or -1.
    void (*cells)(const kernelconstants& c, const stepplan& cell, const cellrange& range, particle* p,
                  int64_t* lost, size_t n);
};
