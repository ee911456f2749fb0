// Random numbers: our own 15-bit linear congruential source, uniform reals and ints.
#pragma once

#include <cstdint>

// State of the source; starts at 1 and is never seeded, so every run draws the same
// sequence on every platform (and so generates the same beam).
extern uint32_t randstate;

// Next value 0 ... 32767: state = state * 214013 + 2531011 (mod 2^32), value = bits 16..30.
int randvalue();
// Uniform double in [0, x) (in (x, 0] for negative x), from two values: low 15 bits first.
double randreal(double x);
// Uniform int in 0 ... n - 1; 0 when n <= 0.
int randint(int n);
