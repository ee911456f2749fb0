// Exponential-field magnet transport on the beam.
#include "simulation/magnet.h"

namespace {

particle* particlesof(dynarray* beam) { return static_cast<particle*>(beam->data); }

}  // namespace

void kickbeam(dynarray* beam, double h) { kickparticles(particlesof(beam), beam->count, h); }
void steerbeam(dynarray* beam, double d) { steerparticles(particlesof(beam), beam->count, d); }
void magnetstep(dynarray* beam, double h) { magnetstepparticles(particlesof(beam), beam->count, h); }
void driftbeam(dynarray* beam, double h) { driftparticles(particlesof(beam), beam->count, h); }
