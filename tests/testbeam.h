// Test helper: a beam (a dynarray of particles) made from a list of particles.
#pragma once

#include <vector>

#include "simulation/beam.h"
#include "util/dynarray.h"

// A new beam holding copies of the particles in order; the caller releases it.
inline dynarray beamof(const std::vector<particle>& particles) {
    dynarray beam;
    dynarrayinit(&beam, sizeof(particle));
    for (const particle& p : particles) dynarrayappend(&beam, &p);
    return beam;
}
