// Our deterministic exp, sin, cos and sincos: the portable double path and the array routines of
// every SIMD target (the templates themselves are in tracking/vecmath-inl.h).
//
// Every entry point gives the same bits for the same argument, whichever SIMD target runs it, and is
// within 1 ulp of the correctly rounded result. Any argument is accepted: a not-a-number gives a
// not-a-number; exp overflows to +inf above 709.78, gives subnormals below -708.4 and 0 below
// -745.2; sin and cos of an infinity are not-a-numbers, sin(-0) = -0.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

// The portable path: the templates instantiated for plain double.
double vexp(double x);
double vsin(double x);
double vcos(double x);
void vsincos(double x, double* s, double* c);

// sin and cos for any argument, through the exact wide reduction beyond |x| = 1e5 (the path the SIMD
// code takes for those lanes too); slower, never needed inside the aperture.
void vsincoswide(double x, double* s, double* c);

// x = q pi/2 + rh + rl exactly to about 2^-120 relative, for any finite x, with |rh + rl| <= pi/4;
// returns q modulo 4. Works on the exact binary expansion of 2/pi (Payne and Hanek).
int vreducewide(double x, double* rh, double* rl);

// True when VOXDA_SIMD=scalar: the tracking then takes the portable path instead of the best SIMD
// target. Read once.
bool simdforcedscalar();

// Array forms of the functions, one set per target.
struct vecmathroutines {
    const char* target;  // "scalar" for the portable path, else Highway's target name (SSE4, AVX2, AVX3, ...)
    void (*exp)(const double* x, double* y, size_t n);
    void (*sin)(const double* x, double* y, size_t n);
    void (*cos)(const double* x, double* y, size_t n);
    void (*sincos)(const double* x, double* s, double* c, size_t n);
};

// The routines the tracking uses: the portable ones under VOXDA_SIMD=scalar, else the best target this
// CPU runs. Chosen once.
const vecmathroutines& vecmathchosen();
// The portable routines and those of every compiled target this CPU runs (for tests and benchmarks;
// not to be called while other threads use Highway's dispatch).
std::vector<vecmathroutines> vecmathalltargets();
