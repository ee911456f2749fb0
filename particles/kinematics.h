// kinematics.h - a particle's momentum from its kinetic energy, the one formula the tracking uses
#pragma once

#include <cmath>

#include "util/constants.h"

// Momentum (kg m/s) of a particle of mass m (kg) and rest energy mc2 (MeV) with the given kinetic
// energy (MeV): p = c m sqrt(gamma^2 - 1) with gamma = kinetic / mc2 + 1, evaluated in exactly
// that order, so the demo, the tools and the magnet maps agree to the last bit.
inline double momentumfromkinetic(double kinetic, double mc2, double m) {
    double gamma = kinetic / mc2 + 1;
    return lightspeed * m * std::sqrt(gamma * gamma - 1);
}
