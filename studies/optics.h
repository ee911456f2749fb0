// Linear optics of the cell: closed orbit, one-cell transfer matrix, eigentunes.
#pragma once

#include <string>
#include <vector>

#include "simulation/beam.h"
#include "studies/celltracker.h"

// The optics of the cell at one energy, at the observation point (2 m before an F magnet).
struct opticsrow {
    double energy = 0;            // MeV
    bool found = false;           // a closed orbit inside the aperture was found; nothing below holds without
    particle orbit{};             // the closed orbit (energy included)
    double matrix[4][4]{};        // one-cell map linearised about the orbit, rows and columns x, xp, y, yp
    double det = 0;               // its determinant (1 for a symplectic map)
    bool stable = false;          // both eigenvalue pairs on the unit circle
    double tune1 = 0, tune2 = 0;  // fractional phase advance per cell, ascending, in [0, 0.5]; stable only
};

// The particle after one cell of the scan's periodic cell, without acceleration (a particle
// outside the aperture at the start is not moved).
particle onecell(const particle& p, mathmode math);
// The one-cell 4x4 matrix about p by central differences.
void cellmatrix(const particle& p, mathmode math, double matrix[4][4]);
// Determinant of a 4x4 matrix.
double determinant4(const double m[4][4]);

// Closed orbit at an energy by Newton iteration on the one-cell map, started at `guess`; false
// when it does not converge to a point inside the aperture.
bool closedorbit(double energy, const particle& guess, mathmode math, particle* orbit);
// Closed orbit at an energy, continued from the axis at 800 MeV through intermediate energies.
bool closedorbitfrom800(double energy, mathmode math, particle* orbit);
// Optics at each energy in the order given, each orbit continued from the previous one found.
std::vector<opticsrow> opticsscan(const std::vector<double>& energies, mathmode math);
// The optics CSV: energy_mev,x_m,xp_rad,y_m,yp_rad,tune1,tune2,det,stable; empty fields
// where there is no orbit (or, for the tunes, no stable motion).
std::string opticscsv(const std::vector<opticsrow>& rows);
