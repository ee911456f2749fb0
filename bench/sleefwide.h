// SLEEF's deterministic (cinz, 1 ulp) AVX and AVX-512 functions over arrays whose length is a multiple
// of 8. Compiled for those instructions (bench/CMakeLists.txt): call only on a CPU that has them.
#pragma once

#include <cstddef>

void sleefexpavx(const double* x, double* y, size_t n);
void sleefsinavx(const double* x, double* y, size_t n);
void sleefcosavx(const double* x, double* y, size_t n);
void sleefsincosavx(const double* x, double* s, double* c, size_t n);
void sleefexpavx512(const double* x, double* y, size_t n);
void sleefsinavx512(const double* x, double* y, size_t n);
void sleefcosavx512(const double* x, double* y, size_t n);
void sleefsincosavx512(const double* x, double* s, double* c, size_t n);
