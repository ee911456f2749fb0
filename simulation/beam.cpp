// Beam and lattice: the proton beam and the demo's frame operations on it.
#include "simulation/beam.h"

#include <cmath>

#include "util/random.h"

// Rejection sampling of the unit 4-ball, scaled to the beam ellipse.
void makebeam(dynarray* beam) {
    dynarrayinit(beam, sizeof(particle));
    while (beam->count < beamsize) {
        particle p;
        p.x = randreal(2.0) - 1;
        p.y = randreal(2.0) - 1;
        p.xp = randreal(2.0) - 1;
        p.yp = randreal(2.0) - 1;
        if (p.x * p.x + p.y * p.y + p.xp * p.xp + p.yp * p.yp > 1) continue;
        double a = std::sqrt(beambeta * beamemittance);  // m
        p.x = a * p.x;
        p.y = a * p.y;
        double b = a / beambeta;  // rad
        p.xp = b * p.xp;
        p.yp = b * p.yp;
        p.energy = beamenergy;
        dynarrayappend(beam, &p);
    }
}

void advancebeam(engine& e, dynarray* beam, double* distance, bool fast) {
    advance(e, static_cast<particle*>(beam->data), beam->count, distance, fast);
}

void acceleratebeam(engine& e, dynarray* beam) {
    accelerate(e, static_cast<particle*>(beam->data), beam->count);
}

// Never destroyed: a process that forks or exits from any thread must not wait on its workers.
engine& sharedengine() {
    static engine& shared = *new engine;
    return shared;
}

void advancebeam(dynarray* beam, double* distance, bool fast) {
    advancebeam(sharedengine(), beam, distance, fast);
}
void acceleratebeam(dynarray* beam) { acceleratebeam(sharedengine(), beam); }
