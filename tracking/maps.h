// The element maps of the exponential-field magnet for a single step of any length, one particle
// array at a time: field, kick, reference-orbit correction, drift. The engine's kernels apply the
// same formulas in the same order to whole frames.
#pragma once

#include <cstddef>

#include "tracking/particle.h"

constexpr double magnetk = 5.0;              // field index and horizontal wave number, 1/m
constexpr double magnetb0 = 0.5;             // field at the origin, T
constexpr double referenceenergy = 800.0;    // kinetic energy of the reference particle, MeV
constexpr double accelerationfactor = 1.01;  // kinetic energy factor per acceleration step

// Field of the magnet at (x, y) in metres: bx = -sin(k x) B0 e^(k y), by = cos(k x) B0 e^(k y), T.
void expfield(double x, double y, double* bx, double* by);
// Thin magnetic kick of a step of signed length h (m), each particle with its own momentum.
void kickparticles(particle* p, size_t n, double h);
// Subtracts d (rad) from xp of every particle.
void steerparticles(particle* p, size_t n, double d);
// One magnet step of signed length h (m; + for F, - for D): kick, then the correction that keeps
// coordinates relative to the 800 MeV reference orbit.
void magnetstepparticles(particle* p, size_t n, double h);
// Field-free step of length h (m).
void driftparticles(particle* p, size_t n, double h);
