// Exponential-field magnet transport on the beam: the engine's element maps over a growable array.
#pragma once

#include "tracking/maps.h"
#include "util/dynarray.h"

// Thin magnetic kick of a step of signed length h (m) for every particle of the beam.
void kickbeam(dynarray* beam, double h);
// Subtracts d (rad) from xp of every particle.
void steerbeam(dynarray* beam, double d);
// One magnet step of signed length h (m; + for F, - for D): kick, then the correction
// that keeps coordinates relative to the 800 MeV reference orbit.
void magnetstep(dynarray* beam, double h);
// Field-free step of length h (m).
void driftbeam(dynarray* beam, double h);
