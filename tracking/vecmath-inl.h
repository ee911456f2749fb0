// Our deterministic exp, sin, cos and sincos, written once over the value type: a Highway vector of
// doubles on every SIMD target, plain double for the portable path (tracking/vecmath.h).
//
// Each function is one fixed sequence of IEEE double operations (add, subtract, multiply, compare,
// select, bit moves; never a fused multiply-add, never a table), so every SIMD width and the scalar
// path give the same bits for every input, on any machine and compiler that honours IEEE double
// arithmetic without contraction (the build sets -ffp-contract=off). Error within 1 ulp of the
// correctly rounded result (checked against MPFR in the tests).
//
// Constants come from tools/vecmathcoefficients.cpp (MPFR); the comments give their errors.
//
// Re-included once per target by foreach_target.h, hence the toggle guard instead of #pragma once.
#if defined(TRACKING_VECMATH_INL_H_) == defined(HWY_TARGET_TOGGLE)
#ifdef TRACKING_VECMATH_INL_H_
#undef TRACKING_VECMATH_INL_H_
#else
#define TRACKING_VECMATH_INL_H_
#endif

#include <bit>
#include <cmath>
#include <cstddef>
#include <cstdint>

#include <hwy/highway.h>

#include "tracking/vecmath.h"

HWY_BEFORE_NAMESPACE();
namespace vecmath {
namespace HWY_NAMESPACE {
namespace hn = hwy::HWY_NAMESPACE;

// ---------------------------------------------------------------------------------------------------
// The few lane operations the functions need besides + - *, for Highway vectors and for double.

template <class V>
struct lanes {
    using D = hn::DFromV<V>;
    using DU = hn::RebindToUnsigned<D>;
    using U = hn::Vec<DU>;  // the lanes' bits
    using M = hn::Mask<D>;

    static HWY_INLINE V set(double c) { return hn::Set(D(), c); }
    static HWY_INLINE U bits(V v) { return hn::BitCast(DU(), v); }
    static HWY_INLINE V frombits(U u) { return hn::BitCast(D(), u); }
    static HWY_INLINE U ubits(uint64_t c) { return hn::Set(DU(), c); }
    static HWY_INLINE U shiftleft52(U u) { return hn::ShiftLeft<52>(u); }
    static HWY_INLINE U shiftleft62(U u) { return hn::ShiftLeft<62>(u); }
    static HWY_INLINE V select(M m, V yes, V no) { return hn::IfThenElse(m, yes, no); }
    static HWY_INLINE M bitset(U u, uint64_t bit) { return hn::RebindMask(D(), hn::TestBit(u, ubits(bit))); }
    static HWY_INLINE bool any(M m) { return !hn::AllFalse(D(), m); }
    static HWY_INLINE M less(V a, V b) { return hn::Lt(a, b); }
    static HWY_INLINE M greater(V a, V b) { return hn::Gt(a, b); }
    static HWY_INLINE M equal(V a, V b) { return hn::Eq(a, b); }
    static HWY_INLINE M notlessequal(V a, V b) { return hn::Not(hn::Le(a, b)); }  // true for a NaN
    static HWY_INLINE M isnan(V a) { return hn::IsNaN(a); }
};

template <>
struct lanes<double> {
    using U = uint64_t;
    using M = bool;

    static HWY_INLINE double set(double c) { return c; }
    static HWY_INLINE U bits(double v) { return std::bit_cast<U>(v); }
    static HWY_INLINE double frombits(U u) { return std::bit_cast<double>(u); }
    static HWY_INLINE U ubits(uint64_t c) { return c; }
    static HWY_INLINE U shiftleft52(U u) { return u << 52; }
    static HWY_INLINE U shiftleft62(U u) { return u << 62; }
    static HWY_INLINE double select(M m, double yes, double no) { return m ? yes : no; }
    static HWY_INLINE M bitset(U u, uint64_t bit) { return (u & bit) != 0; }
    static HWY_INLINE bool any(M m) { return m; }
    static HWY_INLINE M less(double a, double b) { return a < b; }
    static HWY_INLINE M greater(double a, double b) { return a > b; }
    static HWY_INLINE M equal(double a, double b) { return a == b; }
    static HWY_INLINE M notlessequal(double a, double b) { return !(a <= b); }
    static HWY_INLINE M isnan(double a) { return a != a; }
};

// |v| and a sign flip where bit 1 of u is set (both exact bit operations).
template <class V>
HWY_INLINE V absolute(V v) {
    using L = lanes<V>;
    return L::frombits(L::bits(v) & L::ubits(0x7fffffffffffffffULL));
}
template <class V>
HWY_INLINE V flipsignbit1(V v, typename lanes<V>::U u) {
    using L = lanes<V>;
    return L::frombits(L::bits(v) ^ L::shiftleft62(u & L::ubits(2)));
}

// The nearest integer to v as a double, ties to even: adding 1.5 * 2^52 leaves no fraction bits.
// Exact for |v| < 2^51; the sum's low mantissa bits hold the integer modulo 2^51.
constexpr double roundingshifter = 0x1.8p52;

// s + e = a + b exactly (Knuth's TwoSum; no condition on the magnitudes).
template <class V>
HWY_INLINE void twosum(V a, V b, V& s, V& e) {
    s = a + b;
    const V bpart = s - a;
    e = (a - (s - bpart)) + (b - bpart);
}

// c[0] + t (c[1] + t (c[2] + ...)), Horner's rule in that order.
template <class V, size_t N>
HWY_INLINE V horner(V t, const double (&c)[N]) {
    using L = lanes<V>;
    V p = L::set(c[N - 1]);
    for (size_t k = N - 1; k-- > 0;) p = p * t + L::set(c[k]);
    return p;
}

// ---------------------------------------------------------------------------------------------------
// exp

// ln 2 = ln2hi + ln2lo + 1.95e-31: ln2hi has 42 significant bits, so k * ln2hi is exact for the
// |k| <= 1077 that can occur; ln2lo is the rest rounded to double.
constexpr double ln2hi = 0x1.62e42fefa38p-1;
constexpr double ln2lo = 0x1.ef35793c7673p-45;
constexpr double invln2 = 0x1.71547652b82fep+0;  // 1/ln 2 rounded; only picks k, any rounding is fine
// e^r = 1 + r + r^2 E(r) on |r| <= 0.3467 (ln2/2 and a margin for the rounding of x/ln2 that picks k):
// E interpolated at 11 Chebyshev nodes; relative error of 1 + r + r^2 E(r) with these doubles 2^-61.4.
constexpr double expcoefficients[] = {
    0x1p-1,                 // 0.5
    0x1.5555555555557p-3,   // 0.16666666666666671
    0x1.5555555555556p-5,   // 0.041666666666666671
    0x1.11111111100d3p-7,   // 0.0083333333333261202
    0x1.6c16c16c162cfp-10,  // 0.0013888888888883737
    0x1.a01a01abeccc3p-13,  // 0.00019841269874873975
    0x1.a01a01a6db488p-16,  // 2.4801587325585839e-05
    0x1.71de02225a2f3p-19,  // 2.7557255332554409e-06
    0x1.27e4db5bb725ap-22,  // 2.7557273594799413e-07
    0x1.af4e092e1705bp-26,  // 2.5105245153901371e-08
    0x1.1f7315649f2d7p-29,  // 2.0914707069612355e-09
};
// Above this e^x overflows to +inf (ln of the largest double is 709.7827...; between the two the
// computation overflows by itself); below the other it is under half the smallest subnormal.
constexpr double expoverflow = 709.79;
constexpr double expunderflow = -746.0;

// 2^k for an integral double k in [-1022, 1023]: k + 1023 placed in the exponent field. Adding
// 2^52 + 1023 puts k + 1023 in the low mantissa bits; the shift drops the rest.
template <class V>
HWY_INLINE V powerof2(V k) {
    using L = lanes<V>;
    return L::frombits(L::shiftleft52(L::bits(k + L::set(0x1p52 + 1023))));
}

// Up to this |x| the result is normal (|k| <= 1020) and 2^k can be added to e^r's exponent field.
constexpr double expnormallimit = 707.0;

// e^r 2^k where the result may overflow or be subnormal: 2^k in two factors, since 2^1024 and the
// subnormal range are out of reach of one. The first product is exact; the second rounds once, into
// the subnormals where the result lies there. The same bits as adding k to the exponent wherever
// that is possible.
template <class V>
HWY_NOINLINE V expscaled(V x, V k, V er) {
    using L = lanes<V>;
    const V shifter = L::set(roundingshifter);
    const V k1 = (k * L::set(0.5) + shifter) - shifter;
    const V k2 = k - k1;
    V y = er * powerof2(k1) * powerof2(k2);
    y = L::select(L::greater(x, L::set(expoverflow)), L::set(HUGE_VAL), y);
    y = L::select(L::less(x, L::set(expunderflow)), L::set(0.0), y);
    return L::select(L::isnan(x), x + x, y);  // a not-a-number comes back quiet, with its own bits
}

// e^x = 2^k e^r with k the nearest integer to x/ln2 and r = x - k ln2 (Cody and Waite).
template <class V>
HWY_INLINE V vexp(V x) {
    using L = lanes<V>;
    const V shifter = L::set(roundingshifter);
    const V shifted = x * L::set(invln2) + shifter;
    const V k = shifted - shifter;
    // r + rlo = x - k ln2 to about 2^-85: x - k ln2hi is exact (Sterbenz), the rest rounds once.
    const V high = x - k * L::set(ln2hi);
    const V klo = k * L::set(ln2lo);
    const V r = high - klo;
    const V rlo = (high - r) - klo;
    // 1 + r split exactly into a + alo (|r| < 1), the small terms added to alo first.
    const V one = L::set(1.0);
    const V a = one + r;
    const V alo = (one - a) + r;
    const V tail = alo + (rlo * a + (r * r) * horner(r, expcoefficients));
    const V er = a + tail;
    // k sits in the low bits of shifted; moved up it is the exponent increment.
    if (HWY_LIKELY(!L::any(L::notlessequal(absolute(x), L::set(expnormallimit)))))
        return L::frombits(L::bits(er) + L::shiftleft52(L::bits(shifted)));
    return expscaled(x, k, er);
}

// ---------------------------------------------------------------------------------------------------
// sin, cos, sincos

constexpr double twooverpi = 0x1.45f306dc9c883p-1;  // 2/pi rounded; only picks q, any rounding is fine
// pi/2 = halfpi1 + halfpi2 + halfpi3 + halfpi4 + 2.2e-51: the first three have 37 significant bits, so
// q * halfpiN is exact for q < 2^16, i.e. |x| <= fastlimit.
constexpr double halfpi1 = 0x1.921fb5444p+0;
constexpr double halfpi2 = 0x1.68c234c4cp-39;
constexpr double halfpi3 = 0x1.98a2e037p-77;
constexpr double halfpi4 = 0x1.cd129024e088ap-115;
// pi/2 = shorthalfpi1 + shorthalfpi2 + shorthalfpi3 + 7.4e-49: the first two have 49 significant bits,
// so q * shorthalfpiN is exact for q < 16, i.e. |x| <= shortlimit. The doubles come no closer than
// 2^-53.9 to k pi/2 for those q, far above the 2^-100 the short reduction leaves.
constexpr double shorthalfpi1 = 0x1.921fb54442d2p+0;
constexpr double shorthalfpi2 = -0x1.ee59d9cceba4p-50;
constexpr double shorthalfpi3 = 0x1.b839a252049c1p-104;
constexpr double shortlimit = 16;
// Arguments up to this take the branch-free reduction; larger ones (and infinities and
// not-a-numbers) go through vsincoswide's exact reduction.
constexpr double fastlimit = 1e5;

// sin r = r + r^3 P(r^2) on |r| <= 0.7854: P interpolated at 7 Chebyshev nodes in r^2; relative
// error of r + r^3 P(r^2) with these doubles 2^-57.1 (mostly the rounding of -1/6).
constexpr double sincoefficients[] = {
    -0x1.5555555555555p-3,   // -0.16666666666666666
    0x1.111111111111p-7,     // 0.0083333333333333315
    -0x1.a01a01a019938p-13,  // -0.00019841269841265065
    0x1.71de3a5460946p-19,   // 2.7557319219339078e-06
    -0x1.ae645412c3273p-26,  // -2.5052106232417426e-08
    0x1.61217f09bcb04p-33,   // 1.605853161420715e-10
    -0x1.ab17d2facc8bdp-41,  // -7.5866968359948027e-13
};
// cos r = 1 - r^2/2 + r^4 Q(r^2) on |r| <= 0.7854: Q interpolated at 6 Chebyshev nodes in r^2;
// relative error of the whole with these doubles 2^-59.5.
constexpr double coscoefficients[] = {
    0x1.5555555555555p-5,    // 0.041666666666666664
    -0x1.6c16c16c16967p-10,  // -0.0013888888888887398
    0x1.a01a019f4eaf1p-16,   // 2.4801587298765635e-05
    -0x1.27e4fa17d8c71p-22,  // -2.755731727170245e-07
    0x1.1eeb68e7eb073p-29,   // 2.0876146262704946e-09
    -0x1.907da2754caa9p-37,  // -1.1382632014983239e-11
};

// x = q pi/2 + rh + rl for shortlimit < |x| <= fastlimit, |rh + rl| <= pi/4 (to rounding), the pair accurate
// to about 2^-100 absolute; quadrant's low bits hold q modulo 4.
template <class V>
HWY_INLINE void reducehalfpi(V x, V& rh, V& rl, typename lanes<V>::U& quadrant) {
    using L = lanes<V>;
    const V shifter = L::set(roundingshifter);
    const V shifted = x * L::set(twooverpi) + shifter;
    quadrant = L::bits(shifted);
    const V q = shifted - shifter;
    const V a = x - q * L::set(halfpi1);  // exact: q * halfpi1 is, and it lies within 2x of x
    V s1, e1, s2, e2;
    twosum(a, q * L::set(-halfpi2), s1, e1);
    twosum(s1, q * L::set(-halfpi3), s2, e2);
    const V tail = (e1 + e2) - q * L::set(halfpi4);
    rh = s2 + tail;
    rl = (s2 - rh) + tail;
}

// The same for |x| <= shortlimit (the tracking's arguments), with fewer parts of pi/2.
template <class V>
HWY_INLINE void reducehalfpishort(V x, V& rh, V& rl, typename lanes<V>::U& quadrant) {
    using L = lanes<V>;
    const V shifter = L::set(roundingshifter);
    const V shifted = x * L::set(twooverpi) + shifter;
    quadrant = L::bits(shifted);
    const V q = shifted - shifter;
    const V a = x - q * L::set(shorthalfpi1);  // exact
    V s1, e1;
    twosum(a, q * L::set(-shorthalfpi2), s1, e1);
    const V tail = e1 - q * L::set(shorthalfpi3);
    rh = s1 + tail;
    rl = (s1 - rh) + tail;
}

// sin and cos of q pi/2 + rh + rl from the reduced pair and q's low bits.
template <class V>
HWY_INLINE void sincosreduced(V rh, V rl, typename lanes<V>::U quadrant, V& s, V& c) {
    using L = lanes<V>;
    const V one = L::set(1.0);
    const V z = rh * rh;
    const V hz = z * L::set(0.5);
    const V w = one - hz;
    // sin(rh + rl) = sin rh + rl cos rh, cos rh taken as 1 - z/2.
    const V sinr = rh + ((rh * z) * horner(z, sincoefficients) + rl * w);
    // cos(rh + rl) = cos rh - rl sin rh; 1 - z/2 = w plus its exact rounding error (1 - w) - hz.
    const V cosr = w + (((one - w) - hz) + ((z * z) * horner(z, coscoefficients) - rh * rl));
    // Odd quadrants swap the two; sin is negative in quadrants 2 and 3, cos in 1 and 2.
    const auto odd = L::bitset(quadrant, 1);
    s = flipsignbit1(L::select(odd, cosr, sinr), quadrant);
    c = flipsignbit1(L::select(odd, sinr, cosr), quadrant + L::ubits(1));
}

// The lanes beyond the fast reduction, one by one through the exact wide reduction.
template <class V>
HWY_NOINLINE void sincoswidelanes(V x, V& s, V& c) {
    const hn::DFromV<V> d;
    constexpr size_t most = HWY_MAX_BYTES / sizeof(double);
    double xs[most], ss[most], cs[most];
    hn::StoreU(x, d, xs);
    hn::StoreU(s, d, ss);
    hn::StoreU(c, d, cs);
    for (size_t i = 0; i < hn::Lanes(d); ++i)
        if (!(std::fabs(xs[i]) <= fastlimit)) vsincoswide(xs[i], &ss[i], &cs[i]);
    s = hn::LoadU(d, ss);
    c = hn::LoadU(d, cs);
}
HWY_INLINE void sincoswidelanes(double x, double& s, double& c) { vsincoswide(x, &s, &c); }

template <class V>
HWY_INLINE void vsincos(V x, V* s, V* c) {
    using L = lanes<V>;
    V rh, rl, sinx, cosx;
    typename L::U quadrant;
    reducehalfpishort(x, rh, rl, quadrant);
    const V size = absolute(x);
    if (HWY_UNLIKELY(L::any(L::notlessequal(size, L::set(shortlimit))))) {
        V longrh, longrl;
        typename L::U longquadrant;
        reducehalfpi(x, longrh, longrl, longquadrant);
        const auto beyond = L::notlessequal(size, L::set(shortlimit));
        rh = L::select(beyond, longrh, rh);
        rl = L::select(beyond, longrl, rl);
        quadrant = L::bits(L::select(beyond, L::frombits(longquadrant), L::frombits(quadrant)));
    }
    sincosreduced(rh, rl, quadrant, sinx, cosx);
    sinx = L::select(L::equal(x, L::set(0.0)), x, sinx);  // sin(-0) = -0
    if (HWY_UNLIKELY(L::any(L::notlessequal(size, L::set(fastlimit))))) sincoswidelanes(x, sinx, cosx);
    *s = sinx;
    *c = cosx;
}

template <class V>
HWY_INLINE V vsin(V x) {
    V s, c;
    vsincos(x, &s, &c);
    return s;
}

template <class V>
HWY_INLINE V vcos(V x) {
    V s, c;
    vsincos(x, &s, &c);
    return c;
}

// The same with a descriptor first, as Highway's own functions take it.
template <class D>
HWY_INLINE hn::Vec<D> vexp(D, hn::Vec<D> x) {
    return vexp(x);
}
template <class D>
HWY_INLINE void vsincos(D, hn::Vec<D> x, hn::Vec<D>* s, hn::Vec<D>* c) {
    vsincos(x, s, c);
}

}  // namespace HWY_NAMESPACE
}  // namespace vecmath
HWY_AFTER_NAMESPACE();

#endif  // TRACKING_VECMATH_INL_H_
