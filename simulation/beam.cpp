// Beam and lattice: the proton beam, the "FODO" cell, stepping, acceleration, aperture cut.
#include "simulation/beam.h"

#include <cmath>

#include "particles/decays.h"
#include "particles/kinematics.h"
#include "particles/species.h"
#include "simulation/magnet.h"
#include "util/random.h"

const char* const lattice = "FODO";

namespace {

constexpr double locatetolerance = 0.001;  // m: absorbs the rounding accumulated in distance

// Length of one lattice element, m; unknown letters are zero-length.
double elementlength(char letter) {
    switch (letter) {
        case 'F': return 0.4;
        case 'D': return 0.45;
        case 'O': return 4.0;
        default: return 0.0;
    }
}

}  // namespace

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

double celllength(const char* cell) {
    double length = 0;
    for (const char* c = cell; *c; ++c) length += elementlength(*c);
    return length;
}

// The element of each step is the one containing the step's start + 0.001 m.
void advancebeam(dynarray* beam, double* distance, bool fast) {
    double cell = celllength(lattice);
    double pos = std::fmod(*distance + cell, cell);
    const char* cursor = lattice;
    char current = lattice[0];
    int steps = fast ? static_cast<int>(std::floor(cell / beamstep + 0.5)) : 1;
    for (int s = 0; s < steps; ++s) {
        while (pos > -locatetolerance) {
            pos -= elementlength(*cursor);
            current = *cursor;
            ++cursor;
            if (!*cursor) cursor = lattice;
        }
        if (current == 'F')
            magnetstep(beam, +beamstep);
        else if (current == 'D')
            magnetstep(beam, -beamstep);
        driftbeam(beam, beamstep);
        *distance = *distance + beamstep;
        pos = pos + beamstep;
    }
}

// Adiabatic damping: the angles shrink by the ratio of the momenta before and after.
void acceleratebeam(dynarray* beam) {
    makedecaytables();
    double mc2 = speciesrestenergy[protonindex] / joulespermev;  // MeV
    double m = speciesmass[protonindex];                         // kg
    particle* p = static_cast<particle*>(beam->data);
    for (int64_t i = static_cast<int64_t>(beam->count) - 1; i >= 0; --i) {
        double p1 = momentumfromkinetic(p[i].energy, mc2, m);
        p[i].energy = accelerationfactor * p[i].energy;
        double p2 = momentumfromkinetic(p[i].energy, mc2, m);
        p[i].xp = p[i].xp * p1 / p2;
        p[i].yp = p[i].yp * p1 / p2;
    }
}

// From the last particle down, so the one moved into a hole has already been examined.
uint32_t cullbeam(dynarray* beam) {
    uint32_t removed = 0;
    for (int64_t i = static_cast<int64_t>(beam->count) - 1; i >= 0; --i) {
        const particle* p = static_cast<const particle*>(beam->data);
        if (!inaperture(p[i])) {
            dynarrayremove(beam, static_cast<uint32_t>(i));
            ++removed;
        }
    }
    return removed;
}
