// Exponential-field magnet transport: field, kick, reference-orbit correction, drift.
#include "simulation/magnet.h"

#include <cmath>

#include "particles/decays.h"
#include "particles/kinematics.h"
#include "particles/species.h"
#include "simulation/beam.h"

namespace {

// Proton constants; the mass table is built on first need.
struct protonconstants {
    double q;    // C
    double m;    // kg
    double mc2;  // MeV
};

protonconstants proton() {
    makedecaytables();
    return {speciescharge[protonindex], speciesmass[protonindex],
            speciesrestenergy[protonindex] / joulespermev};
}

}  // namespace

void expfield(double x, double y, double* bx, double* by) {
    double a = std::exp(magnetk * y) * magnetb0;
    *bx = -std::sin(magnetk * x) * a;
    *by = std::cos(magnetk * x) * a;
}

// Angle change = field / rigidity (p / q) x step length, with each particle's own momentum.
void kickbeam(dynarray* beam, double h) {
    const protonconstants pc = proton();
    particle* p = static_cast<particle*>(beam->data);
    for (int64_t i = static_cast<int64_t>(beam->count) - 1; i >= 0; --i) {
        double bx, by;
        expfield(p[i].x, p[i].y, &bx, &by);
        double momentum = momentumfromkinetic(p[i].energy, pc.mc2, pc.m);  // kg m/s
        double k = h * pc.q / momentum;
        p[i].xp = p[i].xp - k * by;
        p[i].yp = p[i].yp + k * bx;
    }
}

void steerbeam(dynarray* beam, double d) {
    particle* p = static_cast<particle*>(beam->data);
    for (int64_t i = static_cast<int64_t>(beam->count) - 1; i >= 0; --i) p[i].xp = p[i].xp - d;
}

// The correction cancels the kick of an on-axis particle at the reference energy.
void magnetstep(dynarray* beam, double h) {
    kickbeam(beam, h);
    const protonconstants pc = proton();
    double bx0, by0;
    expfield(0, 0, &bx0, &by0);
    double pref = momentumfromkinetic(referenceenergy, pc.mc2, pc.m);  // kg m/s
    steerbeam(beam, -by0 * (h * pc.q / pref));
}

// Small-angle drift.
void driftbeam(dynarray* beam, double h) {
    particle* p = static_cast<particle*>(beam->data);
    for (int64_t i = static_cast<int64_t>(beam->count) - 1; i >= 0; --i) {
        p[i].x = p[i].x + p[i].xp * h;
        p[i].y = p[i].y + p[i].yp * h;
    }
}
