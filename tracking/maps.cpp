// The element maps for a single step of any length.
#include "tracking/maps.h"

#include <cmath>

#include "particles/decays.h"
#include "particles/kinematics.h"
#include "particles/species.h"

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
void kickparticles(particle* p, size_t n, double h) {
    const protonconstants pc = proton();
    for (size_t i = n; i-- > 0;) {
        double bx, by;
        expfield(p[i].x, p[i].y, &bx, &by);
        double k = h * pc.q / momentumfromkinetic(p[i].energy, pc.mc2, pc.m);
        p[i].xp = p[i].xp - k * by;
        p[i].yp = p[i].yp + k * bx;
    }
}

void steerparticles(particle* p, size_t n, double d) {
    for (size_t i = n; i-- > 0;) p[i].xp = p[i].xp - d;
}

// The correction cancels the kick of an on-axis particle at the reference energy.
void magnetstepparticles(particle* p, size_t n, double h) {
    kickparticles(p, n, h);
    const protonconstants pc = proton();
    double bx0, by0;
    expfield(0, 0, &bx0, &by0);
    double pref = momentumfromkinetic(referenceenergy, pc.mc2, pc.m);  // kg m/s
    steerparticles(p, n, -by0 * (h * pc.q / pref));
}

// Small-angle drift.
void driftparticles(particle* p, size_t n, double h) {
    for (size_t i = n; i-- > 0;) {
        p[i].x = p[i].x + p[i].xp * h;
        p[i].y = p[i].y + p[i].yp * h;
    }
}
