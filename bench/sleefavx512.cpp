// SLEEF's AVX-512 functions (without FMA) over arrays (this file alone is compiled with -mavx512f; it
// includes nothing that could leave AVX-512 code in an inline function shared with other files).
#include <immintrin.h>
#include <sleef.h>

#include "bench/sleefwide.h"

void sleefexpavx512(const double* x, double* y, size_t n) {
    for (size_t i = 0; i < n; i += 8)
        _mm512_storeu_pd(y + i, Sleef_cinz_expd8_u10avx512fnofma(_mm512_loadu_pd(x + i)));
}
void sleefsinavx512(const double* x, double* y, size_t n) {
    for (size_t i = 0; i < n; i += 8)
        _mm512_storeu_pd(y + i, Sleef_cinz_sind8_u10avx512fnofma(_mm512_loadu_pd(x + i)));
}
void sleefcosavx512(const double* x, double* y, size_t n) {
    for (size_t i = 0; i < n; i += 8)
        _mm512_storeu_pd(y + i, Sleef_cinz_cosd8_u10avx512fnofma(_mm512_loadu_pd(x + i)));
}
void sleefsincosavx512(const double* x, double* s, double* c, size_t n) {
    for (size_t i = 0; i < n; i += 8) {
        const Sleef___m512d_2 r = Sleef_cinz_sincosd8_u10avx512fnofma(_mm512_loadu_pd(x + i));
        _mm512_storeu_pd(s + i, r.x);
        _mm512_storeu_pd(c + i, r.y);
    }
}
