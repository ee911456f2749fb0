// constants.h - the physical constants, each written once for the whole program
#pragma once

// Speed of light (m/s), its square (m^2/s^2) and inverse square (s^2/m^2),
// each stored as written rather than recomputed, so results are reproducible.
inline constexpr double lightspeed = 299792458.0;
inline constexpr double lightspeed2 = 8.987551787368176e16;
inline constexpr double invlightspeed2 = 1.1126500560536185e-17;
