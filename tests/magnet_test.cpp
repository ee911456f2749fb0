// Tests of the exponential magnet field, the kick with its reference-orbit correction, the drift.
#include "simulation/magnet.h"

#include <gtest/gtest.h>

#include <cmath>
#include <numbers>

#include "particles/decays.h"
#include "simulation/beam.h"
#include "tests/testbeam.h"

namespace {

particle& at(dynarray& beam, uint32_t i) { return static_cast<particle*>(beam.data)[i]; }

// Momentum of a proton of kinetic energy t (MeV) from E^2 = (pc)^2 + (mc^2)^2, in kg m/s.
double momentum(double t) {
    double mc2 = 938.272029;
    double pcmev = std::sqrt(t * t + 2 * t * mc2);
    return pcmev * 1.602176462e-13 / 299792458.0;
}

}  // namespace

TEST(MagnetField, ValuesOnAxisAboveAndAcross) {
    double bx, by;
    expfield(0, 0, &bx, &by);
    EXPECT_EQ(bx, 0.0);
    EXPECT_TRUE(std::signbit(bx));
    EXPECT_EQ(by, 0.5);
    expfield(0, 0.2, &bx, &by);
    EXPECT_NEAR(by, 0.5 * std::numbers::e, 1e-15);
    EXPECT_NEAR(by, 1.35914, 1e-5);
    expfield(std::numbers::pi / 10, 0, &bx, &by);
    EXPECT_NEAR(bx, -0.5, 1e-15);
    EXPECT_NEAR(by, 0.0, 1e-15);
    // Curl- and divergence-free: dBy/dx = dBx/dy and dBx/dx = -dBy/dy (central differences).
    double x = 0.03, y = -0.07, e = 1e-6, b1, b2, c1, c2;
    double xl, xr, yl, yr;
    expfield(x - e, y, &xl, &b1);
    expfield(x + e, y, &xr, &b2);
    expfield(x, y - e, &yl, &c1);
    expfield(x, y + e, &yr, &c2);
    EXPECT_NEAR((b2 - b1) / (2 * e), (yr - yl) / (2 * e), 1e-6);
    EXPECT_NEAR((xr - xl) / (2 * e), -(c2 - c1) / (2 * e), 1e-6);
}

TEST(MagnetStep, OnAxisReferenceParticleIsUnchanged) {
    for (double h : {0.05, -0.05}) {
        dynarray beam = beamof({{0, 0, 0, 0, 800.0}});
        magnetstep(&beam, h);
        EXPECT_NEAR(at(beam, 0).xp, 0.0, 1e-17) << h;
        EXPECT_EQ(at(beam, 0).yp, 0.0) << h;
        EXPECT_EQ(at(beam, 0).x, 0.0);
        EXPECT_EQ(at(beam, 0).y, 0.0);
        EXPECT_EQ(at(beam, 0).energy, 800.0);
        dynarrayrelease(beam);
    }
}

TEST(MagnetStep, FasterParticleKeepsANetKickWhoseSignFollowsThePolarity) {
    dynarray f = beamof({{0, 0, 0, 0, 808.0}});
    dynarray d = beamof({{0, 0, 0, 0, 808.0}});
    magnetstep(&f, 0.05);
    magnetstep(&d, -0.05);
    EXPECT_GT(at(f, 0).xp, 0.0);
    EXPECT_EQ(at(d, 0).xp, -at(f, 0).xp);
    EXPECT_EQ(at(f, 0).yp, 0.0);
    // Net angle: B0 h q (1/p_ref - 1/p), with momenta from the energy-momentum relation.
    double expected = 0.5 * 0.05 * 1.602176462e-19 * (1 / momentum(800.0) - 1 / momentum(808.0));
    EXPECT_NEAR(at(f, 0).xp / expected, 1.0, 1e-8);
    dynarrayrelease(f);
    dynarrayrelease(d);
}

TEST(MagnetStep, KickDependsOnPositionAndEachParticlesOwnMomentum) {
    // Above the axis the field is stronger (focusing downward in x'), and off to the side
    // the horizontal field bends y'.
    dynarray beam = beamof({{0, 0, 0.1, 0, 800.0}, {0.05, 0, 0, 0, 800.0}, {0, 0, 0, 0, 1600.0}});
    kickbeam(&beam, 0.05);
    double kick800 = 0.05 * 1.602176462e-19 / momentum(800.0);
    double kick1600 = 0.05 * 1.602176462e-19 / momentum(1600.0);
    EXPECT_NEAR(at(beam, 0).xp, -kick800 * 0.5 * std::exp(0.5), 1e-12);
    EXPECT_EQ(at(beam, 0).yp, 0.0);
    EXPECT_NEAR(at(beam, 1).xp, -kick800 * 0.5 * std::cos(0.25), 1e-12);
    EXPECT_NEAR(at(beam, 1).yp, -kick800 * 0.5 * std::sin(0.25), 1e-12);
    EXPECT_NEAR(at(beam, 2).xp, -kick1600 * 0.5, 1e-12);
    steerbeam(&beam, 0.002);
    EXPECT_NEAR(at(beam, 2).xp, -kick1600 * 0.5 - 0.002, 1e-12);
    EXPECT_NEAR(at(beam, 0).xp, -kick800 * 0.5 * std::exp(0.5) - 0.002, 1e-12);
    dynarrayrelease(beam);
}

TEST(MagnetDrift, MovesPositionsByAngleTimesStep) {
    dynarray beam = beamof({{0.01, 0.001, -0.02, -0.004, 800.0}, {0, 0, 0, 0, 900.0}});
    driftbeam(&beam, 0.05);
    EXPECT_DOUBLE_EQ(at(beam, 0).x, 0.01 + 5e-5);
    EXPECT_DOUBLE_EQ(at(beam, 0).y, -0.02 - 2e-4);
    EXPECT_EQ(at(beam, 0).xp, 0.001);
    EXPECT_EQ(at(beam, 0).yp, -0.004);
    EXPECT_EQ(at(beam, 1).x, 0.0);
    EXPECT_EQ(at(beam, 1).energy, 900.0);
    dynarrayrelease(beam);
}

TEST(MagnetStep, EmptyBeamIsLeftAlone) {
    dynarray beam;
    dynarrayinit(&beam, sizeof(particle));
    magnetstep(&beam, 0.05);
    driftbeam(&beam, 0.05);
    EXPECT_EQ(beam.count, 0u);
    dynarrayrelease(beam);
}
