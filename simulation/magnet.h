// Exponential-field magnet transport: field, kick, reference-orbit correction, drift.
#pragma once

#include "util/dynarray.h"

constexpr double magnetk = 5.0;            // field index and horizontal wave number, 1/m
constexpr double magnetb0 = 0.5;           // field at the origin, T
constexpr double referenceenergy = 800.0;  // kinetic energy of the reference particle, MeV

// Field of the magnet at (x, y) in metres: bx = -sin(k x) B0 e^(k y), by = cos(k x) B0 e^(k y), T.
void expfield(double x, double y, double* bx, double* by);
// Thin magnetic kick of a step of signed length h (m) for every particle of the beam.
void kickbeam(dynarray* beam, double h);
// Subtracts d (rad) from xp of every particle.
void steerbeam(dynarray* beam, double d);
// One magnet step of signed length h (m; + for F, - for D): kick, then the correction
// that keeps coordinates relative to the 800 MeV reference orbit.
void magnetstep(dynarray* beam, double h);
// Field-free step of length h (m).
void driftbeam(dynarray* beam, double h);
