// The portable path of our math (the templates for plain double) and the exact wide reduction.
#include <bit>
#include <cmath>
#include <cstdint>

#include "tracking/vecmath-inl.h"
#include "tracking/vecmath.h"

namespace {

namespace vm = vecmath::HWY_NAMESPACE;

// 2/pi in binary: bit i after the point (i = 1, 2, ...) is bit 64 - ((i - 1) % 64) - 1 of word
// (i - 1) / 64. From tools/vecmathcoefficients.cpp (MPFR, 1600 bits). Enough for every double: the
// largest exponent reads up to bit 1162.
constexpr uint64_t twooverpibits[] = {
    0xa2f9836e4e441529, 0xfc2757d1f534ddc0, 0xdb6295993c439041, 0xfe5163abdebbc561, 0xb7246e3a424dd2e0,
    0x06492eea09d1921c, 0xfe1deb1cb129a73e, 0xe88235f52ebb4484, 0xe99c7026b45f7e41, 0x3991d639835339f4,
    0x9c845f8bbdf9283b, 0x1ff897ffde05980f, 0xef2f118b5a0a6d1f, 0x6d367ecf27cb09b7, 0x4f463f669e5fea2d,
    0x7527bac7ebe5f17b, 0x3d0739f78a5292ea, 0x6bfb5fb11f8d5d08, 0x56033046fc7b6bab, 0xf0cfbc209af4361d,
};
constexpr int twooverpiwords = sizeof(twooverpibits) / sizeof(twooverpibits[0]);

// pi/2 = halfpihi + halfpilo + 1.5e-33.
constexpr double halfpihi = 0x1.921fb54442d18p+0;
constexpr double halfpilo = 0x1.1a62633145c07p-54;

// 64 bits of 2/pi starting at bit i (1-based), zeros past the table.
uint64_t twooverpiat(int i) {
    const int word = (i - 1) / 64, shift = (i - 1) % 64;
    const uint64_t first = word < twooverpiwords ? twooverpibits[word] : 0;
    const uint64_t second = word + 1 < twooverpiwords ? twooverpibits[word + 1] : 0;
    return shift == 0 ? first : first << shift | second >> (64 - shift);
}

// 64 bits of the little-endian words p starting at bit position pos (p has a zero word past the end).
uint64_t bitsat(const uint64_t* p, int pos) {
    const int word = pos / 64, shift = pos % 64;
    return shift == 0 ? p[word] : p[word] >> shift | p[word + 1] << (64 - shift);
}

// a * b = product + error exactly (Dekker's product with Veltkamp's split; no fused multiply-add).
void twoproduct(double a, double b, double* product, double* error) {
    constexpr double splitter = 0x1p27 + 1;
    const double ca = splitter * a, cb = splitter * b;
    const double ahigh = ca - (ca - a), alow = a - ahigh;
    const double bhigh = cb - (cb - b), blow = b - bhigh;
    *product = a * b;
    *error = ((ahigh * bhigh - *product) + ahigh * blow + alow * bhigh) + alow * blow;
}

}  // namespace

double vexp(double x) { return vm::vexp(x); }
double vsin(double x) { return vm::vsin(x); }
double vcos(double x) { return vm::vcos(x); }
void vsincos(double x, double* s, double* c) { vm::vsincos(x, s, c); }

int vreducewide(double x, double* rh, double* rl) {
    if (std::fabs(x) <= vm::fastlimit) {
        uint64_t quadrant;
        if (std::fabs(x) <= vm::shortlimit)
            vm::reducehalfpishort(x, *rh, *rl, quadrant);
        else
            vm::reducehalfpi(x, *rh, *rl, quadrant);
        return static_cast<int>(quadrant & 3);
    }
    // |x| = m 2^e with m an integer of 53 bits, e >= -36 here.
    const uint64_t xbits = std::bit_cast<uint64_t>(x);
    const int e = static_cast<int>(xbits >> 52 & 0x7ff) - 1023 - 52;
    const uint64_t m = (xbits & 0xfffffffffffffULL) | 1ULL << 52;
    // x 2/pi modulo 4 needs the bits of 2/pi from i0 = e - 1 on (the earlier ones add multiples of 4);
    // 192 of them leave an error below m 2^(e - i0 - 191) < 2^-137.
    const int i0 = e >= 2 ? e - 1 : 1;
    const uint64_t window[3] = {twooverpiat(i0 + 128), twooverpiat(i0 + 64), twooverpiat(i0)};  // low first
    uint64_t p[5] = {};  // m * window, 245 bits, and a zero word
    unsigned __int128 carry = 0;
    for (int k = 0; k < 3; ++k) {
        const unsigned __int128 t = static_cast<unsigned __int128>(m) * window[k] + carry;
        p[k] = static_cast<uint64_t>(t);
        carry = t >> 64;
    }
    p[3] = static_cast<uint64_t>(carry);
    // x 2/pi = p 2^-f (mod 4): two integer bits above bit f, the fraction below.
    const int f = i0 + 191 - e;
    uint64_t q = bitsat(p, f) & 3;
    unsigned __int128 fraction = static_cast<unsigned __int128>(bitsat(p, f - 64)) << 64 | bitsat(p, f - 128);
    // The nearest multiple: a fraction of a half or more counts from the next one, negatively.
    const bool negative = fraction >> 127 != 0;
    if (negative) {
        fraction = -fraction;
        q = (q + 1) & 3;
    }
    if (fraction == 0) {  // no double is a multiple of pi/2, but be safe
        *rh = *rl = 0;
        return static_cast<int>(q);
    }
    // The fraction as a pair of doubles (106 bits), then times pi/2.
    int lead = 0;
    while (!(fraction >> 127)) {
        fraction <<= 1;
        ++lead;
    }
    const double fhigh = std::ldexp(static_cast<double>(static_cast<uint64_t>(fraction >> 75)), -53 - lead);
    const double flow = std::ldexp(
        static_cast<double>(static_cast<uint64_t>(fraction >> 22) & ((1ULL << 53) - 1)), -106 - lead);
    double product, error;
    twoproduct(fhigh, halfpihi, &product, &error);
    const double tail = error + (fhigh * halfpilo + flow * halfpihi);
    double high = product + tail;
    double low = (product - high) + tail;
    if (negative != (x < 0)) {  // the reduction was of |x|; sin is odd, cos even
        high = -high;
        low = -low;
    }
    if (x < 0) q = (4 - q) & 3;
    *rh = high;
    *rl = low;
    return static_cast<int>(q);
}

void vsincoswide(double x, double* s, double* c) {
    if (!std::isfinite(x)) {
        *s = *c = x - x;  // not-a-number, the argument's own if it is one
        return;
    }
    if (std::fabs(x) <= vm::fastlimit) {
        vm::vsincos(x, s, c);
        return;
    }
    double rh, rl;
    const uint64_t quadrant = static_cast<uint64_t>(vreducewide(x, &rh, &rl));
    vm::sincosreduced(rh, rl, quadrant, *s, *c);
}
