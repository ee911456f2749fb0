// The tracked proton record and the aperture test: the engine's unit of data.
#pragma once

// One tracked proton. Beams are contiguous arrays of these (a growable array of element size 40).
struct particle {
    double x;       // horizontal offset from the reference orbit, m
    double xp;      // horizontal angle dx/ds, rad
    double y;       // vertical offset, m
    double yp;      // vertical angle dy/ds, rad
    double energy;  // kinetic energy, MeV
};
static_assert(sizeof(particle) == 40, "the beam's element size and file layout are 40 bytes");

constexpr double aperturelimit = 0.25;  // m^2: x^2 + y^2 allowed (radius 0.5 m)

// True while a particle lies inside the aperture; a not-a-number counts as outside.
inline bool inaperture(const particle& p) { return p.x * p.x + p.y * p.y <= aperturelimit; }
