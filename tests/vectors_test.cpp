// Tests of the vector arithmetic and the relativistic kinematics helpers.
#include "util/vectors.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

namespace {

void expectvec(vec3 got, double x, double y, double z) {
    EXPECT_EQ(got.x, x);
    EXPECT_EQ(got.y, y);
    EXPECT_EQ(got.z, z);
}

TEST(VectorsArithmetic, ProductsOfTheUnitAxes) {
    vec3 ex = vec3make(1, 0, 0), ey = vec3make(0, 1, 0), ez = vec3make(0, 0, 1);
    expectvec(vec3cross(ex, ey), 0, 0, 1);
    expectvec(vec3cross(ey, ez), 1, 0, 0);
    expectvec(vec3cross(ez, ex), 0, 1, 0);
    expectvec(vec3cross(ey, ex), 0, 0, -1);
    EXPECT_EQ(vec3dot(ex, ey), 0.0);
    EXPECT_EQ(vec3dot(ez, ez), 1.0);
}

TEST(VectorsArithmetic, AsymmetricOperandsKeepTheirComponentsApart) {
    vec3 u = vec3make(1, 2, 3), v = vec3make(-4, 5, 0.5);
    expectvec(vec3add(u, v), -3, 7, 3.5);
    expectvec(vec3sub(u, v), 5, -3, 2.5);
    expectvec(vec3scale(2, u), 2, 4, 6);
    expectvec(vec3times(v, -2), 8, -10, -1);
    expectvec(vec3divint(vec3make(3, -6, 1), 4), 0.75, -1.5, 0.25);
    EXPECT_EQ(vec3dot(u, v), 1 * -4 + 2 * 5 + 3 * 0.5);
    // Cross product by hand: (2*0.5 - 3*5, 3*-4 - 1*0.5, 1*5 - 2*-4).
    expectvec(vec3cross(u, v), -14, -12.5, 13);
    EXPECT_EQ(vec3dot(vec3cross(u, v), u), 0.0);
    EXPECT_EQ(vec3dist2(u, v), 25 + 9 + 6.25);
    EXPECT_EQ(vec3length2(u), 14.0);
    EXPECT_EQ(vec3length(vec3make(2, -3, 6)), 7.0);
    EXPECT_EQ(scaledlength(vec3make(2, -3, 6), 0.5), 3.5);
    vec3 n = vec3unit(vec3make(0, -3, 4));
    EXPECT_EQ(n.x, 0.0);
    EXPECT_DOUBLE_EQ(n.y, -0.6);
    EXPECT_DOUBLE_EQ(n.z, 0.8);
    EXPECT_EQ(vec3equal(u, vec3make(1, 2, 3)), 1);
    EXPECT_EQ(vec3equal(u, vec3make(1, 2, 3.5)), 0);
    EXPECT_EQ(vec3equal(u, vec3make(1, 2.5, 3)), 0);
    EXPECT_EQ(vec3equal(u, vec3make(0, 2, 3)), 0);
}

TEST(VectorsArithmetic, MinimumIsComponentwiseAndPrefersTheFirstOnTies) {
    expectvec(vec3min(vec3make(1, 5, 3), vec3make(2, 4, 3)), 1, 4, 3);
    // On a tie the first operand's component is kept: -0 versus +0 shows which.
    vec3 m = vec3min(vec3make(-0.0, 0.0, 7), vec3make(0.0, -0.0, -7));
    EXPECT_TRUE(std::signbit(m.x));
    EXPECT_FALSE(std::signbit(m.y));
    EXPECT_EQ(m.z, -7.0);
}

TEST(VectorsKinematics, RestAndUnitGamma) {
    EXPECT_NEAR(gammafromu(vec3make(0, 0, 0)), 1.0, 1e-15);
    EXPECT_NEAR(invgammafromu(vec3make(0, 0, 0)), 1.0, 1e-15);
    EXPECT_NEAR(invgammafromu2(vec3make(0, 0, 0)), 1.0, 1e-15);
    EXPECT_EQ(ufromgamma(1.0), 0.0);
    EXPECT_EQ(betafromgamma(1.0), 0.0);
    EXPECT_EQ(gammafromvelocity(vec3make(0, 0, 0)), 1.0);
    EXPECT_EQ(speedfromu(vec3make(0, 0, 0)), 0.0);
    EXPECT_EQ(kineticfromu(vec3make(0, 0, 0), 938.0), 0.0);
}

TEST(VectorsKinematics, ProtonAt800MeV) {
    const double mc2 = 938.272029, t = 800.0;
    double gamma = 1.0 + t / mc2;
    double beta = std::sqrt(1.0 - 1.0 / (gamma * gamma));
    EXPECT_NEAR(speedfromkinetic(t, mc2) / lightspeed, 0.84181, 5e-6);
    EXPECT_NEAR(speedfromkinetic(t, mc2) / lightspeed, beta, 1e-15);
    double u = ufromkinetic(t, mc2);
    EXPECT_NEAR(u, gamma * beta * lightspeed, 1e-6);
    // The same proper speed split over three axes gives the same answers.
    vec3 uv = vec3make(u * 0.6, -u * 0.48, u * 0.64);
    EXPECT_NEAR(gammafromu(uv), gamma, 1e-14);
    EXPECT_NEAR(1.0 / invgammafromu(uv), gamma, 1e-14);
    EXPECT_NEAR(1.0 / invgammafromu2(uv), gamma, 1e-14);
    EXPECT_NEAR(kineticfromu(uv, mc2), t, 1e-10);
    EXPECT_NEAR(speedfromu(uv), beta * lightspeed, 1e-6);
    EXPECT_NEAR(speedfromuscalar(u), beta * lightspeed, 1e-6);
    EXPECT_NEAR(ufromgamma(gamma), u, 1e-6);
    EXPECT_NEAR(betafromgamma(gamma), beta, 1e-15);
    vec3 v = vec3make(0, 0, beta * lightspeed);
    EXPECT_NEAR(gammafromvelocity(v), gamma, 1e-13);
    EXPECT_NEAR(invgammafromvelocity(v), 1.0 / gamma, 1e-15);
}

TEST(VectorsKinematics, GammaFromProperVelocitySumsInTheWrittenOrder) {
    // ux^2 + c^2 + uy^2 + uz^2, left to right: with these magnitudes another order rounds differently.
    vec3 u = vec3make(3.0, 1.0e8, 7.0);
    double sum = u.x * u.x;
    sum += lightspeed2;
    sum += u.y * u.y;
    sum += u.z * u.z;
    EXPECT_EQ(gammafromu(u), std::sqrt(sum) / lightspeed);
    EXPECT_EQ(invgammafromu2(u), lightspeed / std::sqrt(sum));
}

TEST(VectorsBoost, ZeroBoostReturnsTheMomentum) {
    vec3 p = vec3make(0.3, -1.25, 2.0);
    expectvec(boostmomentum(p, 0.938, vec3make(0, 0, 0)), 0.3, -1.25, 2.0);
}

TEST(VectorsBoost, BoostConservesTheInvariantMass) {
    struct boostcase {
        vec3 p;
        double m;
        vec3 w;
    };
    const boostcase cases[] = {
        {{0, 0, 0}, 1.0, {0, 0, 0.75}},  // particle at rest picks up the boost
        {{0.3, -1.25, 2.0}, 0.938, {0.1, 0.2, -0.4}},
        {{5, 0, 0}, 0.105, {-3, 1, 0}},
    };
    for (const boostcase& c : cases) {
        vec3 q = boostmomentum(c.p, c.m, c.w);
        double e = std::sqrt(c.m * c.m + vec3length2(c.p));
        double gamma = std::sqrt(1.0 + vec3length2(c.w));
        // Energy transforms as E' = gamma E + w.p; the mass shell must hold after the boost.
        double e2 = gamma * e + vec3dot(c.w, c.p);
        EXPECT_NEAR(e2 * e2 - vec3length2(q), c.m * c.m, 1e-12);
    }
    // At rest: the momentum is m times the proper velocity.
    vec3 q = boostmomentum(vec3make(0, 0, 0), 2.0, vec3make(0.5, 0, -1.5));
    EXPECT_NEAR(q.x, 1.0, 1e-15);
    EXPECT_NEAR(q.y, 0.0, 1e-15);
    EXPECT_NEAR(q.z, -3.0, 1e-15);
}

// log f(T) - log y for the exponential law, evaluated independently.
double logresidual(double t, double y) {
    return std::log(1.64e-6) + 2.0 * std::log(t) - 8500000.0 / t - std::log(y);
}

TEST(VectorsExpLaw, SolvesAcrossTheWholeRange) {
    // Decades from the smallest subnormal up to the largest double, including
    // the regions where exp underflows and where T^2 overflows.
    for (double e = -323.0; e <= 308.0; e += 0.25) {
        double y = std::pow(10.0, e);
        if (y == 0.0) continue;
        double t = invertexplaw(y);
        ASSERT_TRUE(std::isfinite(t) && t > 0.0) << "y = " << y;
        // Near the subnormal bottom f itself can only be resolved to a few digits.
        double tolerance = y < 1e-300 ? 1e-3 : 1e-11;
        EXPECT_NEAR(logresidual(t, y), 0.0, tolerance) << "y = " << y;
    }
}

TEST(VectorsExpLaw, ModerateValuesSatisfyTheLawDirectly) {
    for (double y : {1e-12, 0.5, 333.0, 334.0, 1.0e7, 2.0e8, 1.0e30}) {
        double t = invertexplaw(y);
        double f = 1.64e-6 * (t * t) * std::exp(-8500000.0 / t);
        EXPECT_NEAR(f / y, 1.0, 1e-13) << "y = " << y;
    }
}

TEST(VectorsExpLaw, SpecialArguments) {
    const double inf = std::numeric_limits<double>::infinity();
    EXPECT_EQ(invertexplaw(0.0), 0.0);
    EXPECT_EQ(invertexplaw(inf), inf);
    EXPECT_TRUE(std::isnan(invertexplaw(-1.0)));
    EXPECT_TRUE(std::isnan(invertexplaw(-inf)));
    EXPECT_TRUE(std::isnan(invertexplaw(std::numeric_limits<double>::quiet_NaN())));
    double tiny = std::numeric_limits<double>::denorm_min();
    double t = invertexplaw(tiny);
    EXPECT_TRUE(t > 0.0 && t < 20000.0);
}

}  // namespace
