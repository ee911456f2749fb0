// vecmathcoefficients: derives the constants of our deterministic exp, sin and cos
// (tracking/vecmath-inl.h, tracking/vecmath.cpp) with MPFR, and prints each with the error it carries.
//
// Polynomials are interpolated at Chebyshev nodes (near-minimax: within a small factor of the best
// polynomial of the same degree), then rounded to double; the printed error is measured on a dense
// grid in 256-bit arithmetic with the rounded coefficients, so it covers approximation and rounding
// of the coefficients, not the rounding of the double evaluation.
//
//   voxda-vecmathcoefficients   (no arguments; writes C++ lines to standard output)
#include <mpfr.h>

#include <cmath>
#include <cstdint>
#include <cstdio>
#include <initializer_list>
#include <vector>

namespace {

constexpr mpfr_prec_t precision = 256;

struct big {
    mpfr_t v;
    big() { mpfr_init2(v, precision); }
    big(const big&) = delete;
    big& operator=(const big&) = delete;
    ~big() { mpfr_clear(v); }
};

// The function a polynomial approximates, as a function of its variable t.
using target = void (*)(mpfr_t out, const mpfr_t t);

// sin r = r + r^3 P(r^2): P(s) = (sin(sqrt s) - sqrt s) / s^1.5.
void sinpart(mpfr_t out, const mpfr_t s) {
    big r, sr;
    mpfr_sqrt(r.v, s, MPFR_RNDN);
    mpfr_sin(sr.v, r.v, MPFR_RNDN);
    mpfr_sub(out, sr.v, r.v, MPFR_RNDN);
    mpfr_div(out, out, r.v, MPFR_RNDN);
    mpfr_div(out, out, s, MPFR_RNDN);
}

// cos r = 1 - r^2/2 + r^4 Q(r^2): Q(s) = (cos(sqrt s) - 1 + s/2) / s^2.
void cospart(mpfr_t out, const mpfr_t s) {
    big r, half;
    mpfr_sqrt(r.v, s, MPFR_RNDN);
    mpfr_cos(out, r.v, MPFR_RNDN);
    mpfr_sub_ui(out, out, 1, MPFR_RNDN);
    mpfr_div_2ui(half.v, s, 1, MPFR_RNDN);
    mpfr_add(out, out, half.v, MPFR_RNDN);
    mpfr_div(out, out, s, MPFR_RNDN);
    mpfr_div(out, out, s, MPFR_RNDN);
}

// e^r = 1 + r + r^2 E(r): E(r) = (e^r - 1 - r) / r^2. Near 0 (a node of an even degree lies within
// rounding of it) from its series, whose first omitted term is below 2^-240 there.
void exppart(mpfr_t out, const mpfr_t r) {
    if (mpfr_zero_p(r) || mpfr_get_exp(r) < -60) {  // 1/2 + r/6 + r^2/24 + r^3/120
        big t;
        mpfr_set_ui(t.v, 1, MPFR_RNDN);
        mpfr_div_ui(t.v, t.v, 24, MPFR_RNDN);
        mpfr_div_ui(out, r, 120, MPFR_RNDN);
        mpfr_add(out, out, t.v, MPFR_RNDN);
        mpfr_mul(out, out, r, MPFR_RNDN);
        mpfr_set_ui(t.v, 1, MPFR_RNDN);
        mpfr_div_ui(t.v, t.v, 6, MPFR_RNDN);
        mpfr_add(out, out, t.v, MPFR_RNDN);
        mpfr_mul(out, out, r, MPFR_RNDN);
        mpfr_add_d(out, out, 0.5, MPFR_RNDN);
        return;
    }
    mpfr_expm1(out, r, MPFR_RNDN);
    mpfr_sub(out, out, r, MPFR_RNDN);
    mpfr_div(out, out, r, MPFR_RNDN);
    mpfr_div(out, out, r, MPFR_RNDN);
}

// Coefficients c0..cn (rounded to double) of the polynomial of degree n through f at the n + 1
// Chebyshev nodes of [lo, hi], solved in 256-bit arithmetic (Gaussian elimination, partial pivoting).
std::vector<double> chebyshevfit(target f, double lo, double hi, int n) {
    const int m = n + 1;
    std::vector<big> a(m * m), b(m);
    big t, pi, c;
    mpfr_const_pi(pi.v, MPFR_RNDN);
    for (int j = 0; j < m; ++j) {
        // t_j = (lo + hi)/2 + (hi - lo)/2 cos(pi (j + 1/2) / m)
        mpfr_mul_d(c.v, pi.v, j + 0.5, MPFR_RNDN);
        mpfr_div_ui(c.v, c.v, m, MPFR_RNDN);
        mpfr_cos(c.v, c.v, MPFR_RNDN);
        mpfr_mul_d(c.v, c.v, (hi - lo) / 2, MPFR_RNDN);
        mpfr_add_d(t.v, c.v, (lo + hi) / 2, MPFR_RNDN);
        f(b[j].v, t.v);
        mpfr_set_ui(a[j * m].v, 1, MPFR_RNDN);
        for (int k = 1; k < m; ++k) mpfr_mul(a[j * m + k].v, a[j * m + k - 1].v, t.v, MPFR_RNDN);
    }
    for (int col = 0; col < m; ++col) {
        int pivot = col;
        for (int row = col + 1; row < m; ++row)
            if (mpfr_cmpabs(a[row * m + col].v, a[pivot * m + col].v) > 0) pivot = row;
        if (pivot != col) {
            for (int k = 0; k < m; ++k) mpfr_swap(a[col * m + k].v, a[pivot * m + k].v);
            mpfr_swap(b[col].v, b[pivot].v);
        }
        for (int row = col + 1; row < m; ++row) {
            mpfr_div(c.v, a[row * m + col].v, a[col * m + col].v, MPFR_RNDN);
            for (int k = col; k < m; ++k) {
                mpfr_mul(t.v, c.v, a[col * m + k].v, MPFR_RNDN);
                mpfr_sub(a[row * m + k].v, a[row * m + k].v, t.v, MPFR_RNDN);
            }
            mpfr_mul(t.v, c.v, b[col].v, MPFR_RNDN);
            mpfr_sub(b[row].v, b[row].v, t.v, MPFR_RNDN);
        }
    }
    std::vector<big> x(m);
    for (int row = m - 1; row >= 0; --row) {
        mpfr_set(x[row].v, b[row].v, MPFR_RNDN);
        for (int k = row + 1; k < m; ++k) {
            mpfr_mul(t.v, a[row * m + k].v, x[k].v, MPFR_RNDN);
            mpfr_sub(x[row].v, x[row].v, t.v, MPFR_RNDN);
        }
        mpfr_div(x[row].v, x[row].v, a[row * m + row].v, MPFR_RNDN);
    }
    std::vector<double> coefficients(m);
    for (int k = 0; k < m; ++k) coefficients[k] = mpfr_get_d(x[k].v, MPFR_RNDN);
    return coefficients;
}

// Horner in 256-bit arithmetic with the double coefficients.
void evaluate(mpfr_t out, const std::vector<double>& c, const mpfr_t t) {
    mpfr_set_d(out, c.back(), MPFR_RNDN);
    for (int k = static_cast<int>(c.size()) - 2; k >= 0; --k) {
        mpfr_mul(out, out, t, MPFR_RNDN);
        mpfr_add_d(out, out, c[k], MPFR_RNDN);
    }
}

enum class which { sine, cosine, exponential };

// Largest relative error of the whole approximation (e.g. r + r^3 P(r^2) against sin r) over r in
// [rlo, rhi], as log2.
double relativeerror(which w, const std::vector<double>& c, double rlo, double rhi) {
    big r, s, p, f, approx, err, worst;
    mpfr_set_ui(worst.v, 0, MPFR_RNDN);
    constexpr int points = 20000;
    for (int i = 0; i <= points; ++i) {
        const double rd = rlo + (rhi - rlo) * i / points;
        if (rd == 0) continue;
        mpfr_set_d(r.v, rd, MPFR_RNDN);
        mpfr_sqr(s.v, r.v, MPFR_RNDN);
        switch (w) {
            case which::sine:  // r + r^3 P(s)
                evaluate(p.v, c, s.v);
                mpfr_mul(approx.v, p.v, s.v, MPFR_RNDN);
                mpfr_mul(approx.v, approx.v, r.v, MPFR_RNDN);
                mpfr_add(approx.v, approx.v, r.v, MPFR_RNDN);
                mpfr_sin(f.v, r.v, MPFR_RNDN);
                break;
            case which::cosine:  // 1 - s/2 + s^2 Q(s)
                evaluate(p.v, c, s.v);
                mpfr_mul(approx.v, p.v, s.v, MPFR_RNDN);
                mpfr_mul(approx.v, approx.v, s.v, MPFR_RNDN);
                mpfr_div_2ui(p.v, s.v, 1, MPFR_RNDN);
                mpfr_sub(approx.v, approx.v, p.v, MPFR_RNDN);
                mpfr_add_ui(approx.v, approx.v, 1, MPFR_RNDN);
                mpfr_cos(f.v, r.v, MPFR_RNDN);
                break;
            case which::exponential:  // 1 + r + r^2 E(r)
                evaluate(p.v, c, r.v);
                mpfr_mul(approx.v, p.v, s.v, MPFR_RNDN);
                mpfr_add(approx.v, approx.v, r.v, MPFR_RNDN);
                mpfr_add_ui(approx.v, approx.v, 1, MPFR_RNDN);
                mpfr_exp(f.v, r.v, MPFR_RNDN);
                break;
        }
        mpfr_sub(err.v, approx.v, f.v, MPFR_RNDN);
        mpfr_div(err.v, err.v, f.v, MPFR_RNDN);
        mpfr_abs(err.v, err.v, MPFR_RNDN);
        if (mpfr_cmp(err.v, worst.v) > 0) mpfr_set(worst.v, err.v, MPFR_RNDN);
    }
    return std::log2(mpfr_get_d(worst.v, MPFR_RNDU));
}

void printpolynomial(const char* name, const std::vector<double>& c, double log2error) {
    std::printf("// %s: degree %zu, relative error of the approximation 2^%.1f\n", name, c.size() - 1,
                log2error);
    for (size_t k = 0; k < c.size(); ++k) std::printf("    %a,  // %.17g\n", c[k], c[k]);
}

// Splits v into parts of the given significant bits (the last one of 53); prints them and the rest.
void printsplit(const char* name, const mpfr_t v, const std::vector<int>& bits) {
    big rest, part;
    mpfr_set(rest.v, v, MPFR_RNDN);
    std::printf("// %s in parts of", name);
    for (int b : bits) std::printf(" %d", b);
    std::printf(" bits\n");
    for (int b : bits) {
        mpfr_t p;
        mpfr_init2(p, b);
        mpfr_set(p, rest.v, MPFR_RNDN);
        const double d = mpfr_get_d(p, MPFR_RNDN);
        mpfr_sub(rest.v, rest.v, p, MPFR_RNDN);
        std::printf("    %a,  // %.17g\n", d, d);
        mpfr_clear(p);
    }
    std::printf("    // remainder %.3g\n", mpfr_get_d(rest.v, MPFR_RNDN));
}

}  // namespace

int main() {
    big v;
    // Range reduction constants.
    mpfr_const_log2(v.v, MPFR_RNDN);
    printsplit("ln 2", v.v, {42, 53});
    mpfr_ui_div(v.v, 1, v.v, MPFR_RNDN);
    std::printf("// 1/ln 2 = %a  (%.17g)\n", mpfr_get_d(v.v, MPFR_RNDN), mpfr_get_d(v.v, MPFR_RNDN));
    mpfr_const_pi(v.v, MPFR_RNDN);
    mpfr_div_2ui(v.v, v.v, 1, MPFR_RNDN);
    printsplit("pi/2", v.v, {37, 37, 37, 53});
    printsplit("pi/2", v.v, {49, 49, 53});
    printsplit("pi/2", v.v, {53, 53});
    // How close the doubles come to k pi/2 for the multiples the short reduction serves (|x| <= 16):
    // its sum of two parts needs the reduced argument far above its rounding errors (2^-100).
    {
        big multiple, nearest, distance, worst;
        mpfr_set_ui(worst.v, 1, MPFR_RNDN);
        for (int k = 1; k <= 11; ++k) {
            mpfr_mul_ui(multiple.v, v.v, k, MPFR_RNDN);
            for (mpfr_rnd_t way : {MPFR_RNDD, MPFR_RNDU}) {
                mpfr_set_d(nearest.v, mpfr_get_d(multiple.v, way), MPFR_RNDN);
                mpfr_sub(distance.v, nearest.v, multiple.v, MPFR_RNDN);
                mpfr_abs(distance.v, distance.v, MPFR_RNDN);
                if (mpfr_cmp(distance.v, worst.v) < 0) mpfr_set(worst.v, distance.v, MPFR_RNDN);
            }
        }
        std::printf("// closest double to k pi/2, k = 1..11: 2^%.1f away\n",
                    std::log2(mpfr_get_d(worst.v, MPFR_RNDN)));
    }
    mpfr_ui_div(v.v, 1, v.v, MPFR_RNDN);
    std::printf("// 2/pi = %a  (%.17g)\n", mpfr_get_d(v.v, MPFR_RNDN), mpfr_get_d(v.v, MPFR_RNDN));

    // 2/pi in binary, 64 bits a word from the first bit after the point, for the wide reduction.
    {
        mpfr_t w, frac;
        mpfr_init2(w, 1600);
        mpfr_init2(frac, 1600);
        mpfr_const_pi(w, MPFR_RNDN);
        mpfr_ui_div(frac, 2, w, MPFR_RNDN);
        std::printf("// 2/pi, bits 1..1280 after the point\n");
        for (int i = 0; i < 20; ++i) {
            mpfr_mul_2ui(frac, frac, 32, MPFR_RNDN);
            const uint64_t hi32 = mpfr_get_ui(frac, MPFR_RNDZ);
            mpfr_sub_ui(frac, frac, hi32, MPFR_RNDN);
            mpfr_mul_2ui(frac, frac, 32, MPFR_RNDN);
            const uint64_t lo32 = mpfr_get_ui(frac, MPFR_RNDZ);
            mpfr_sub_ui(frac, frac, lo32, MPFR_RNDN);
            std::printf("    0x%016llx,\n", static_cast<unsigned long long>(hi32 << 32 | lo32));
        }
        mpfr_clear(w);
        mpfr_clear(frac);
    }

    // Polynomials. Reduced arguments: |r| <= pi/4 (sin, cos), |r| <= ln2/2 (exp), each with a margin
    // for the rounding of the quotient that picks the multiple.
    const double quarterpi = 0.7854, halfln2 = 0.3467;
    for (int n = 5; n <= 8; ++n) {
        const auto c = chebyshevfit(sinpart, 0, quarterpi * quarterpi, n);
        printpolynomial("sin P(s)", c, relativeerror(which::sine, c, 0, quarterpi));
    }
    for (int n = 5; n <= 8; ++n) {
        const auto c = chebyshevfit(cospart, 0, quarterpi * quarterpi, n);
        printpolynomial("cos Q(s)", c, relativeerror(which::cosine, c, 0, quarterpi));
    }
    for (int n = 9; n <= 12; ++n) {
        const auto c = chebyshevfit(exppart, -halfln2, halfln2, n);
        printpolynomial("exp E(r)", c, relativeerror(which::exponential, c, -halfln2, halfln2));
    }
    return 0;
}
