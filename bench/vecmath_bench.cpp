// Our deterministic math against SLEEF's deterministic functions (cinz, 1 ulp: the portable C ones and
// the AVX and AVX-512 ones) and the C library, per element, on the arguments the tracking meets
// (5x and 5y inside the 0.5 m aperture), and for the magnet kick's exp + sincos per particle.
#include <benchmark/benchmark.h>

#include <cmath>
#include <cstddef>
#include <vector>

#include <sleef.h>

#include "bench/sleefwide.h"
#include "tracking/vecmath.h"

namespace {

constexpr size_t count = 4096;  // a multiple of every vector width; fits in the first-level cache

// Arguments of the kick: 5x or 5y for |x|, |y| < 0.5 m, spread evenly.
const std::vector<double>& arguments() {
    static const std::vector<double> x = [] {
        std::vector<double> v(count);
        for (size_t i = 0; i < count; ++i) v[i] = 2.5 * std::sin(0.7 * static_cast<double>(i));
        return v;
    }();
    return x;
}

using unary = void (*)(const double*, double*, size_t);
using binary = void (*)(const double*, double*, double*, size_t);

void libmexp(const double* x, double* y, size_t n) {
    for (size_t i = 0; i < n; ++i) y[i] = std::exp(x[i]);
}
void libmsin(const double* x, double* y, size_t n) {
    for (size_t i = 0; i < n; ++i) y[i] = std::sin(x[i]);
}
void libmcos(const double* x, double* y, size_t n) {
    for (size_t i = 0; i < n; ++i) y[i] = std::cos(x[i]);
}
void libmsincos(const double* x, double* s, double* c, size_t n) {
    for (size_t i = 0; i < n; ++i) ::sincos(x[i], &s[i], &c[i]);
}
void sleefexppurec(const double* x, double* y, size_t n) {
    for (size_t i = 0; i < n; ++i) y[i] = Sleef_cinz_expd1_u10purec(x[i]);
}
void sleefsinpurec(const double* x, double* y, size_t n) {
    for (size_t i = 0; i < n; ++i) y[i] = Sleef_cinz_sind1_u10purec(x[i]);
}
void sleefcospurec(const double* x, double* y, size_t n) {
    for (size_t i = 0; i < n; ++i) y[i] = Sleef_cinz_cosd1_u10purec(x[i]);
}
void sleefsincospurec(const double* x, double* s, double* c, size_t n) {
    for (size_t i = 0; i < n; ++i) {
        const Sleef_double_2 r = Sleef_cinz_sincosd1_u10purec(x[i]);
        s[i] = r.x;
        c[i] = r.y;
    }
}

// One set of functions to compare.
struct contender {
    unary exp, sin, cos;
    binary sincos;
    bool (*runs)();  // whether this CPU has the instructions
};

bool always() { return true; }
bool hasavx() { return __builtin_cpu_supports("avx"); }
bool hasavx512() { return __builtin_cpu_supports("avx512f"); }

contender ours() {
    const vecmathroutines& r = vecmathchosen();
    return {r.exp, r.sin, r.cos, r.sincos, always};
}
contender oursscalar() {
    const vecmathroutines r = vecmathalltargets().front();
    return {r.exp, r.sin, r.cos, r.sincos, always};
}
contender sleefpurec() { return {sleefexppurec, sleefsinpurec, sleefcospurec, sleefsincospurec, always}; }
contender sleefavx() { return {sleefexpavx, sleefsinavx, sleefcosavx, sleefsincosavx, hasavx}; }
contender sleefavx512() {
    return {sleefexpavx512, sleefsinavx512, sleefcosavx512, sleefsincosavx512, hasavx512};
}
contender libm() { return {libmexp, libmsin, libmcos, libmsincos, always}; }

bool runnable(benchmark::State& state, const contender& c) {
    if (!c.runs()) {
        state.SkipWithError("this CPU lacks the instructions");
        return false;
    }
    return true;
}

enum class what { exp, sin, cos, sincos, kick };

// Items are elements (particles for the kick), so the report's per-item time is the time per element.
void run(benchmark::State& state, contender (*make)(), what w) {
    const contender c = make();
    if (!runnable(state, c)) return;
    const std::vector<double>& x = arguments();
    std::vector<double> a(count), b(count), e(count);
    for (auto _ : state) {
        switch (w) {
            case what::exp: c.exp(x.data(), a.data(), count); break;
            case what::sin: c.sin(x.data(), a.data(), count); break;
            case what::cos: c.cos(x.data(), a.data(), count); break;
            case what::sincos: c.sincos(x.data(), a.data(), b.data(), count); break;
            case what::kick:  // the field of every particle: e^(k y), sin(k x), cos(k x), then combined
                c.exp(x.data(), e.data(), count);
                c.sincos(x.data(), a.data(), b.data(), count);
                for (size_t i = 0; i < count; ++i) {
                    a[i] = -a[i] * e[i];
                    b[i] = b[i] * e[i];
                }
                break;
        }
        benchmark::DoNotOptimize(a.data());
        benchmark::DoNotOptimize(b.data());
        benchmark::ClobberMemory();
    }
    state.SetItemsProcessed(static_cast<int64_t>(state.iterations() * count));
}

}  // namespace

#define VECMATH_BENCH(name, make)                              \
    BENCHMARK_CAPTURE(run, exp_##name, make, what::exp);       \
    BENCHMARK_CAPTURE(run, sin_##name, make, what::sin);       \
    BENCHMARK_CAPTURE(run, cos_##name, make, what::cos);       \
    BENCHMARK_CAPTURE(run, sincos_##name, make, what::sincos); \
    BENCHMARK_CAPTURE(run, kick_##name, make, what::kick)

VECMATH_BENCH(ours, ours);
VECMATH_BENCH(ours_scalar, oursscalar);
VECMATH_BENCH(sleef_cinz_avx512, sleefavx512);
VECMATH_BENCH(sleef_cinz_avx, sleefavx);
VECMATH_BENCH(sleef_cinz_purec, sleefpurec);
VECMATH_BENCH(libm, libm);
