// SLEEF's AVX functions over arrays (this file alone is compiled with -mavx; it includes nothing that
// could leave AVX code in an inline function shared with other files).
#include <immintrin.h>
#include <sleef.h>

#include "bench/sleefwide.h"

void sleefexpavx(const double* x, double* y, size_t n) {
    for (size_t i = 0; i < n; i += 4)
        _mm256_storeu_pd(y + i, Sleef_cinz_expd4_u10avx(_mm256_loadu_pd(x + i)));
}
void sleefsinavx(const double* x, double* y, size_t n) {
    for (size_t i = 0; i < n; i += 4)
        _mm256_storeu_pd(y + i, Sleef_cinz_sind4_u10avx(_mm256_loadu_pd(x + i)));
}
void sleefcosavx(const double* x, double* y, size_t n) {
    for (size_t i = 0; i < n; i += 4)
        _mm256_storeu_pd(y + i, Sleef_cinz_cosd4_u10avx(_mm256_loadu_pd(x + i)));
}
void sleefsincosavx(const double* x, double* s, double* c, size_t n) {
    for (size_t i = 0; i < n; i += 4) {
        const Sleef___m256d_2 r = Sleef_cinz_sincosd4_u10avx(_mm256_loadu_pd(x + i));
        _mm256_storeu_pd(s + i, r.x);
        _mm256_storeu_pd(c + i, r.y);
    }
}
