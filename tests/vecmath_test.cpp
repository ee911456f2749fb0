// Our deterministic math against MPFR (accuracy), against itself on every SIMD target (identity) and
// against SLEEF's deterministic functions (a second, independent reference).
#include <gtest/gtest.h>
#include <mpfr.h>
#include <sleef.h>

#include <bit>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <limits>
#include <random>
#include <sstream>
#include <string>
#include <vector>

#include "tests/testfiles.h"
#include "tests/testprocess.h"
#include "tracking/vecmath.h"

namespace {

// The full sweep runs in a few seconds in the optimised build. Under the sanitizers our code runs
// unoptimised and instrumented, ten times slower, so that build sweeps a tenth of the arguments
// (every kind of argument is still there).
#if defined(__SANITIZE_ADDRESS__)
constexpr int sweepscale = 10;
#else
constexpr int sweepscale = 1;
#endif

constexpr double inf = std::numeric_limits<double>::infinity();
constexpr double nan = std::numeric_limits<double>::quiet_NaN();
constexpr double tiny = std::numeric_limits<double>::denorm_min();

// Uniform doubles from a fixed-seed generator whose output the standard fixes exactly.
struct sampler {
    std::mt19937_64 bits{20091217};
    double unit() { return static_cast<double>(bits() >> 11) * 0x1p-53; }
    double uniform(double lo, double hi) { return lo + (hi - lo) * unit(); }
    // |x| log-uniform over [2^lo, 2^hi], random sign.
    double logwide(double lo, double hi) {
        const double x = std::exp2(uniform(lo, hi));
        return bits() & 1 ? -x : x;
    }
};

// Error of y in ulps of the exact value f(x) (MPFR, 128 bits); 0 when y is the correctly rounded
// result (infinities and zeros included), infinite when y is an infinity that should not be.
enum class function { exp, sin, cos };

struct mpfrreference {
    mpfr_t x, exact, diff;
    mpfrreference() { mpfr_inits2(128, x, exact, diff, static_cast<mpfr_ptr>(nullptr)); }
    ~mpfrreference() { mpfr_clears(x, exact, diff, static_cast<mpfr_ptr>(nullptr)); }
    mpfrreference(const mpfrreference&) = delete;
    mpfrreference& operator=(const mpfrreference&) = delete;

    double ulps(function f, double arg, double y) {
        mpfr_set_d(x, arg, MPFR_RNDN);
        switch (f) {
            case function::exp: mpfr_exp(exact, x, MPFR_RNDN); break;
            case function::sin: mpfr_sin(exact, x, MPFR_RNDN); break;
            case function::cos: mpfr_cos(exact, x, MPFR_RNDN); break;
        }
        const double rounded = mpfr_get_d(exact, MPFR_RNDN);
        if (std::bit_cast<uint64_t>(y) == std::bit_cast<uint64_t>(rounded)) return 0;
        if (std::isinf(y) || std::isinf(rounded) || std::isnan(y)) return inf;
        if (mpfr_zero_p(exact)) return inf;
        // ulp of the exact value's binade: 2^(e - 53) for a value in [2^(e-1), 2^e), 2^-1074 at least.
        const long binade = std::max(mpfr_get_exp(exact) - 53, -1074L);
        mpfr_sub_d(diff, exact, y, MPFR_RNDN);
        mpfr_abs(diff, diff, MPFR_RNDN);
        mpfr_mul_2si(diff, diff, -binade, MPFR_RNDN);
        return mpfr_get_d(diff, MPFR_RNDU);
    }
};

bool samebits(double a, double b) { return std::bit_cast<uint64_t>(a) == std::bit_cast<uint64_t>(b); }

// Arguments for exp: the whole range where the result is neither 0 nor inf nor 1, dense where the
// tracking lives (|5y| < 2.5), and the edges of overflow and of the subnormals.
std::vector<double> expsweep(int count) {
    sampler s;
    std::vector<double> x;
    for (int i = 0; i < count / 2; ++i) x.push_back(s.uniform(-746, 710));
    for (int i = 0; i < count / 4; ++i) x.push_back(s.uniform(-3, 3));
    for (int i = 0; i < count / 8; ++i) x.push_back(s.logwide(-60, 3));
    for (int i = 0; i < count / 16; ++i) x.push_back(s.uniform(-745.2, -708));  // subnormal results
    for (int i = 0; i < count / 16; ++i) x.push_back(s.uniform(709, 709.8));
    return x;
}

// Arguments for sin and cos: |x| up to 1e5 (the fast reduction), dense in the tracking's range, the
// doubles nearest to multiples of pi/2 (where the reduction cancels most), and beyond 1e5 to the
// largest doubles (the wide reduction).
std::vector<double> trigsweep(int count) {
    sampler s;
    std::vector<double> x;
    for (int i = 0; i < count / 4; ++i) x.push_back(s.uniform(-1e5, 1e5));
    for (int i = 0; i < count / 8; ++i) x.push_back(s.uniform(-5, 5));
    for (int i = 0; i < count / 8; ++i) x.push_back(s.uniform(-20, 20));  // both sides of 16
    for (int i = 0; i < count / 8; ++i) x.push_back(s.logwide(-40, 17));
    for (int i = 0; i < count / 4; ++i) {
        const double k = std::floor(s.uniform(0, 63662));
        double near = k * 0x1.921fb54442d18p+0;
        for (int step = static_cast<int>(s.bits() % 5); step > 0; --step) near = std::nextafter(near, inf);
        x.push_back(s.bits() & 1 ? -near : near);
    }
    for (int i = 0; i < count / 8; ++i) x.push_back(s.logwide(16.6, 1023.9));
    return x;
}

// Special arguments every path must get right.
const std::vector<double> edges = {0.0,
                                   -0.0,
                                   tiny,
                                   -tiny,
                                   0x1p-1022,
                                   -0x1p-1022,
                                   1e-300,
                                   -1e-300,
                                   0x1p-30,
                                   1.0,
                                   -1.0,
                                   0x1.921fb54442d18p+0,
                                   0x1.921fb54442d18p+1,
                                   3.0,
                                   5.0,
                                   -2.5,
                                   2.5,
                                   100.0,
                                   1e5,
                                   -1e5,
                                   std::nextafter(1e5, inf),
                                   1e6,
                                   -1e6,
                                   1e22,
                                   0x1p60,
                                   1.7976931348623157e308,
                                   -1.7976931348623157e308,
                                   709.782712893384,
                                   709.7827128933841,
                                   709.79,
                                   710.0,
                                   -708.3964185322641,
                                   -745.1332191019411,
                                   -745.1332191019412,
                                   -745.2,
                                   -746.0,
                                   -1000.0,
                                   inf,
                                   -inf,
                                   nan,
                                   -nan,
                                   std::numeric_limits<double>::signaling_NaN()};

struct sweepresult {
    double worst = 0;
    double worstarg = 0;
};

sweepresult sweep(function f, const std::vector<double>& args) {
    std::vector<double> y(args.size()), other(args.size());
    const vecmathroutines& r = vecmathchosen();
    switch (f) {
        case function::exp: r.exp(args.data(), y.data(), args.size()); break;
        case function::sin: r.sin(args.data(), y.data(), args.size()); break;
        case function::cos: r.cos(args.data(), y.data(), args.size()); break;
    }
    mpfrreference ref;
    sweepresult result;
    for (size_t i = 0; i < args.size(); ++i) {
        const double e = ref.ulps(f, args[i], y[i]);
        if (e > result.worst) result = {e, args[i]};
    }
    return result;
}

TEST(VecMath, WithinOneUlpOfMpfrOverAMillionArguments) {
    const std::vector<double> expargs = expsweep(600000 / sweepscale);
    const std::vector<double> trigargs = trigsweep(400000 / sweepscale);
    struct {
        function f;
        const char* name;
        const std::vector<double>* args;
    } const cases[] = {{function::exp, "exp", &expargs},
                       {function::sin, "sin", &trigargs},
                       {function::cos, "cos", &trigargs}};
    for (const auto& c : cases) {
        const sweepresult r = sweep(c.f, *c.args);
        EXPECT_LT(r.worst, 1.0) << c.name << "(" << r.worstarg << ")";
        std::printf("%s: max error %.3f ulp at %.17g over %zu arguments\n", c.name, r.worst, r.worstarg,
                    c.args->size());
    }
}

TEST(VecMath, SpecialValues) {
    mpfrreference ref;
    for (double x : edges) {
        if (std::isnan(x)) {
            EXPECT_TRUE(std::isnan(vexp(x)));
            EXPECT_TRUE(std::isnan(vsin(x)));
            EXPECT_TRUE(std::isnan(vcos(x)));
        } else if (std::isinf(x)) {
            EXPECT_TRUE(samebits(vexp(x), x > 0 ? inf : 0.0)) << x;
            EXPECT_TRUE(std::isnan(vsin(x))) << x;
            EXPECT_TRUE(std::isnan(vcos(x))) << x;
        } else {
            EXPECT_LT(ref.ulps(function::exp, x, vexp(x)), 1.0) << "exp(" << x << ")";
            EXPECT_LT(ref.ulps(function::sin, x, vsin(x)), 1.0) << "sin(" << x << ")";
            EXPECT_LT(ref.ulps(function::cos, x, vcos(x)), 1.0) << "cos(" << x << ")";
        }
    }
    // The signs and exact values the C library gives too.
    EXPECT_TRUE(samebits(vsin(-0.0), -0.0));
    EXPECT_TRUE(samebits(vsin(0.0), 0.0));
    EXPECT_TRUE(samebits(vsin(-tiny), -tiny));
    EXPECT_EQ(vcos(-0.0), 1.0);
    EXPECT_EQ(vexp(0.0), 1.0);
    EXPECT_EQ(vexp(-0.0), 1.0);
    EXPECT_EQ(vexp(710.0), inf);
    EXPECT_EQ(vexp(-746.0), 0.0);
    EXPECT_EQ(vexp(-745.0), 4.9406564584124654e-324);  // the smallest subnormal
    double s, c;
    vsincos(-0.0, &s, &c);
    EXPECT_TRUE(samebits(s, -0.0));
    EXPECT_EQ(c, 1.0);
}

// sincos gives exactly sin and cos, on the scalar path and the chosen target.
TEST(VecMath, SincosIsSinAndCos) {
    std::vector<double> x = trigsweep(20000);
    x.insert(x.end(), edges.begin(), edges.end());
    std::vector<double> s(x.size()), c(x.size()), sinx(x.size()), cosx(x.size());
    const vecmathroutines& r = vecmathchosen();
    r.sincos(x.data(), s.data(), c.data(), x.size());
    r.sin(x.data(), sinx.data(), x.size());
    r.cos(x.data(), cosx.data(), x.size());
    for (size_t i = 0; i < x.size(); ++i) {
        double ss, cc;
        vsincos(x[i], &ss, &cc);
        ASSERT_TRUE(samebits(s[i], sinx[i]) && samebits(c[i], cosx[i])) << x[i];
        ASSERT_TRUE(samebits(ss, vsin(x[i])) && samebits(cc, vcos(x[i]))) << x[i];
    }
}

// Every target this CPU runs gives the scalar path's bits, for every element of an array whose length
// is no multiple of any vector width.
TEST(VecMath, EveryTargetGivesTheScalarBits) {
    std::vector<double> x = trigsweep(40000 / sweepscale);
    const std::vector<double> e = expsweep(40000 / sweepscale);
    x.insert(x.end(), e.begin(), e.end());
    x.insert(x.end(), edges.begin(), edges.end());
    sampler s;
    for (int i = 0; i < 2000; ++i) x.push_back(std::bit_cast<double>(s.bits()));  // any bit pattern
    x.push_back(1.0);                                                             // odd length
    const std::vector<vecmathroutines> all = vecmathalltargets();
    ASSERT_EQ(std::string(all.front().target), "scalar");
    std::string seen;
    for (const vecmathroutines& t : all) seen += std::string(" ") + t.target;
    std::printf("targets:%s\n", seen.c_str());
#if defined(__x86_64__)
    // Highway's portable fallback (EMU128 or SCALAR, by build) runs everywhere.
    EXPECT_TRUE(seen.find("EMU128") != std::string::npos || seen.find("SCALAR") != std::string::npos) << seen;
    if (__builtin_cpu_supports("sse4.2")) {
        EXPECT_NE(seen.find("SSE4"), std::string::npos) << seen;
    }
    if (__builtin_cpu_supports("avx2")) {
        EXPECT_NE(seen.find("AVX2"), std::string::npos) << seen;
    }
    if (__builtin_cpu_supports("avx512f")) {
        EXPECT_NE(seen.find("AVX3"), std::string::npos) << seen;
    }
#endif
    const size_t n = x.size();
    std::vector<double> wantexp(n), wantsin(n), wantcos(n), wants(n), wantc(n);
    const vecmathroutines& scalar = all.front();
    scalar.exp(x.data(), wantexp.data(), n);
    scalar.sin(x.data(), wantsin.data(), n);
    scalar.cos(x.data(), wantcos.data(), n);
    scalar.sincos(x.data(), wants.data(), wantc.data(), n);
    for (const vecmathroutines& t : all) {
        std::vector<double> ex(n), sn(n), cs(n), ss(n), cc(n);
        t.exp(x.data(), ex.data(), n);
        t.sin(x.data(), sn.data(), n);
        t.cos(x.data(), cs.data(), n);
        t.sincos(x.data(), ss.data(), cc.data(), n);
        for (size_t i = 0; i < n; ++i) {
            ASSERT_TRUE(samebits(ex[i], wantexp[i])) << t.target << " exp(" << x[i] << ")";
            ASSERT_TRUE(samebits(sn[i], wantsin[i])) << t.target << " sin(" << x[i] << ")";
            ASSERT_TRUE(samebits(cs[i], wantcos[i])) << t.target << " cos(" << x[i] << ")";
            ASSERT_TRUE(samebits(ss[i], wants[i]) && samebits(cc[i], wantc[i])) << t.target << " " << x[i];
        }
        // And the portable functions themselves.
        for (size_t i = 0; i < n; i += 7) ASSERT_TRUE(samebits(vexp(x[i]), wantexp[i])) << x[i];
    }
}

// SLEEF's deterministic 1-ulp functions, a reference independent of MPFR: both are within 1 ulp of the
// exact value, so they may differ by one ulp (SLEEF rounds less carefully than ours in a few per cent
// of the cases) and never by more here.
TEST(VecMath, AgreesWithSleef) {
    const std::vector<double> ex = expsweep(100000 / sweepscale);
    const std::vector<double> tr = trigsweep(100000 / sweepscale);
    struct {
        const char* name;
        const std::vector<double>* args;
        double (*ours)(double);
        double (*sleef)(double);
    } const cases[] = {{"exp", &ex, vexp, [](double x) -> double { return Sleef_cinz_expd1_u10purec(x); }},
                       {"sin", &tr, vsin, [](double x) -> double { return Sleef_cinz_sind1_u10purec(x); }},
                       {"cos", &tr, vcos, [](double x) -> double { return Sleef_cinz_cosd1_u10purec(x); }}};
    for (const auto& c : cases) {
        size_t differ = 0;
        for (double x : *c.args) {
            const double a = c.ours(x), b = c.sleef(x);
            if (samebits(a, b)) continue;
            ++differ;
            ASSERT_TRUE(samebits(a, std::nextafter(b, inf)) || samebits(a, std::nextafter(b, -inf)))
                << c.name << "(" << x << "): " << a << " and SLEEF's " << b;
        }
        EXPECT_LT(differ, c.args->size() / 10) << c.name;
    }
}

}  // namespace

// The compiled code of the tracking library, every SIMD target of it, holds no fused multiply-add: the
// build's -ffp-contract=off must reach the per-target code (compiled with FMA enabled on AVX2 and
// AVX-512), and nothing may call one.
TEST(VecMath, NoFusedMultiplyAddInTheTrackingCode) {
    const std::filesystem::path dir = freshtestdir("vecmath_fma");
    const std::filesystem::path listing = dir / "code.txt";
    ASSERT_EQ(runcommand("objdump -d --no-show-raw-insn -C " + shellquoted(VOXDA_TRACKING_LIBRARY) + " > " +
                         shellquoted(listing.string())),
              0);
    std::istringstream code(readtext(listing));
    std::filesystem::remove_all(dir);
    std::string function;
    int targets = 0;
    for (std::string line; std::getline(code, line);) {
        if (line.size() > 2 && line.back() == ':' && line.find('<') != std::string::npos) {
            function = line;
            targets += function.find("::sincosarray(") != std::string::npos;
            continue;
        }
        for (const char* fused : {"vfmadd", "vfmsub", "vfnmadd", "vfnmsub"})
            ASSERT_EQ(line.find(fused), std::string::npos) << function << "\n" << line;
    }
    EXPECT_GE(targets, 3);  // the code of several targets was read
}
