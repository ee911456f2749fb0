// Tests of the beam: generation, the element-locating rule, fast mode, acceleration, the cut.
#include "simulation/beam.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <limits>
#include <string>
#include <vector>

#include "particles/decays.h"
#include "simulation/magnet.h"
#include "tests/testbeam.h"
#include "tests/testrandom.h"
#include "util/random.h"

namespace {

// A straightforward evaluation of the formulas, written independently of the library,
// used as the oracle for bit-for-bit comparisons.
namespace oracle {

uint32_t state;
int next() {
    state = state * 214013u + 2531011u;
    return static_cast<int>((state >> 16) & 0x7FFF);
}
double uniform(double x) {
    int a = next();
    int b = next();
    return ((a / 32768.0) + b) / 32768.0 * x;
}

std::vector<particle> beam() {
    state = 1;
    std::vector<particle> out;
    while (out.size() < 10000) {
        double x = uniform(2.0) - 1, y = uniform(2.0) - 1, xp = uniform(2.0) - 1, yp = uniform(2.0) - 1;
        if (x * x + y * y + xp * xp + yp * yp > 1) continue;
        double a = std::sqrt(8.0 * 0.00015);
        double b = a / 8.0;
        out.push_back({a * x, b * xp, a * y, b * yp, 800.0});
    }
    return out;
}

const double q = 1.602176462e-19;
const double m = 1.5032773598167815e-10 / 8.987551787368176e16;
const double mc2 = 1.5032773598167815e-10 / 1.602176462e-13;

double momentum(double energy) {
    double gamma = energy / mc2 + 1;
    return 299792458.0 * m * std::sqrt(gamma * gamma - 1);
}

void magnet(particle& p, double h) {
    double a = std::exp(5.0 * p.y) * 0.5;
    double bx = -std::sin(5.0 * p.x) * a;
    double by = std::cos(5.0 * p.x) * a;
    double k = h * q / momentum(p.energy);
    p.xp = p.xp - k * by;
    p.yp = p.yp + k * bx;
    double by0 = std::cos(5.0 * 0) * (std::exp(5.0 * 0) * 0.5);
    double d = -by0 * (h * q / momentum(800.0));
    p.xp = p.xp - d;
}

void drift(particle& p, double h) {
    p.x = p.x + p.xp * h;
    p.y = p.y + p.yp * h;
}

// Steps of the cell from its start: F 0-7, O 8-87, D 88-96, O 97-176.
char elementofstep(int index) {
    index %= 177;
    if (index < 8) return 'F';
    if (index < 88) return 'O';
    if (index < 97) return 'D';
    return 'O';
}

void step(particle& p, char element) {
    if (element == 'F') magnet(p, 0.05);
    if (element == 'D') magnet(p, -0.05);
    drift(p, 0.05);
}

void accelerate(particle& p) {
    double p1 = momentum(p.energy);
    p.energy = 1.01 * p.energy;
    double p2 = momentum(p.energy);
    p.xp = p.xp * p1 / p2;
    p.yp = p.yp * p1 / p2;
}

}  // namespace oracle

std::vector<particle> particlesof(const dynarray& beam) {
    const particle* p = static_cast<const particle*>(beam.data);
    return std::vector<particle>(p, p + beam.count);
}

// Bitwise equality, so that -0.0 and 0.0, or two not-a-numbers, are told apart exactly.
bool samebits(const std::vector<particle>& a, const std::vector<particle>& b) {
    return a.size() == b.size() && std::memcmp(a.data(), b.data(), a.size() * sizeof(particle)) == 0;
}

// A probe put at 808 MeV on the axis before each step: its x' grows in F, falls in D
// and stays zero in a drift.
char elementseenbyprobe(dynarray& probe, double& distance) {
    particle& p = static_cast<particle*>(probe.data)[0];
    p = {0, 0, 0, 0, 808.0};
    advancebeam(&probe, &distance, false);
    return p.xp > 0 ? 'F' : p.xp < 0 ? 'D' : 'O';
}

}  // namespace

TEST(BeamMake, TenThousandProtonsFillingTheEllipsoid) {
    freshrandom fresh;
    dynarray beam;
    makebeam(&beam);
    ASSERT_EQ(beam.count, 10000u);
    EXPECT_EQ(beam.elemsize, 40u);
    std::vector<particle> got = particlesof(beam);
    for (const particle& p : got) {
        ASSERT_EQ(p.energy, 800.0);
        ASSERT_LE(p.x * p.x + p.y * p.y, 0.0012 * (1 + 1e-12));
        double e = 0.00015, b = 8.0;
        ASSERT_LE(p.x * p.x / (b * e) + b * p.xp * p.xp / e + p.y * p.y / (b * e) + b * p.yp * p.yp / e,
                  1 + 1e-12);
    }
    EXPECT_TRUE(samebits(got, oracle::beam()));
    dynarrayrelease(beam);
}

TEST(BeamLattice, CellLength) {
    EXPECT_EQ(celllength("FODO"), 0.4 + 4.0 + 0.45 + 4.0);
    EXPECT_EQ(celllength("FODO"), 8.850000000000001);
    EXPECT_EQ(celllength("FoXD"), 0.4 + 0.45);
    EXPECT_EQ(celllength(""), 0.0);
}

TEST(BeamAdvance, ElementLocatingRuleFromTheStart) {
    dynarray probe = beamof({{0, 0, 0, 0, 808.0}});
    double distance = startdistance;
    // The first step lies in the second drift and leaves the distance at -1.95.
    EXPECT_EQ(elementseenbyprobe(probe, distance), 'O');
    EXPECT_EQ(distance, -2.0 + 0.05);
    std::string seen = "O";
    for (int i = 1; i < 40; ++i) seen += elementseenbyprobe(probe, distance);
    EXPECT_EQ(seen, std::string(40, 'O'));
    EXPECT_NEAR(distance, 0.0, 1e-12);
    EXPECT_EQ(elementseenbyprobe(probe, distance), 'F');  // the forty-first enters F
    // Two whole cells later the pattern is still 8 F, 80 O, 9 D, 80 O.
    seen.assign(1, 'F');  // not seen = "F": GCC 12 at -O3 warns falsely (-Wrestrict) on that assignment
    for (int i = 1; i < 2 * 177; ++i) seen += elementseenbyprobe(probe, distance);
    std::string cell =
        std::string(8, 'F') + std::string(80, 'O') + std::string(9, 'D') + std::string(80, 'O');
    EXPECT_EQ(seen, cell + cell);
    dynarrayrelease(probe);
}

TEST(BeamAdvance, FastModeIsOneWholeCellOf177Steps) {
    freshrandom fresh;
    dynarray fastbeam, slowbeam;
    makebeam(&fastbeam);
    slowbeam = dynarrayclone(fastbeam);
    double fastdistance = startdistance, slowdistance = startdistance;
    for (int frame = 0; frame < 3; ++frame) {
        advancebeam(&fastbeam, &fastdistance, true);
        for (int i = 0; i < 177; ++i) advancebeam(&slowbeam, &slowdistance, false);
        EXPECT_NEAR(fastdistance, startdistance + (frame + 1) * 8.85, 1e-9);
        EXPECT_EQ(fastdistance, slowdistance);
        EXPECT_TRUE(samebits(particlesof(fastbeam), particlesof(slowbeam))) << "frame " << frame;
    }
    // Back at the same place in the cell: the next single step is a drift again.
    dynarray probe = beamof({{0, 0, 0, 0, 808.0}});
    double d = fastdistance;
    std::string seen;
    for (int i = 0; i < 41; ++i) seen += elementseenbyprobe(probe, d);
    EXPECT_EQ(seen, std::string(40, 'O') + "F");
    dynarrayrelease(probe);
    dynarrayrelease(fastbeam);
    dynarrayrelease(slowbeam);
}

TEST(BeamAdvance, MatchesAStraightforwardEvaluationBitForBit) {
    freshrandom fresh;
    dynarray beam;
    makebeam(&beam);
    std::vector<particle> expected = oracle::beam();
    double distance = startdistance;
    int stepindex = 137;  // -2.0 m is 6.85 m into the cell
    // Single steps, fast frames and accelerated frames mixed, over more than two cells.
    for (int frame = 0; frame < 260; ++frame) {
        bool fast = frame % 50 == 7;
        bool accelerate = frame >= 100 && frame < 130;
        advancebeam(&beam, &distance, fast);
        if (accelerate) acceleratebeam(&beam);
        for (int s = 0; s < (fast ? 177 : 1); ++s, ++stepindex)
            for (particle& p : expected) oracle::step(p, oracle::elementofstep(stepindex));
        if (accelerate)
            for (particle& p : expected) oracle::accelerate(p);
    }
    std::vector<particle> got = particlesof(beam);
    EXPECT_TRUE(samebits(got, expected));
    // The run did real work: every particle moved and was accelerated thirty times.
    std::vector<particle> start = oracle::beam();
    int moved = 0;
    for (size_t i = 0; i < got.size(); ++i) moved += got[i].x != start[i].x && got[i].xp != start[i].xp;
    EXPECT_EQ(moved, 10000);
    double energy = 800.0;
    for (int i = 0; i < 30; ++i) energy = 1.01 * energy;
    EXPECT_EQ(got[0].energy, energy);
    dynarrayrelease(beam);
}

TEST(BeamAccelerate, EnergyUpOnePercentAnglesDampedPositionsKept) {
    dynarray beam = beamof({{0.01, 0.002, -0.03, -0.001, 800.0}, {0, 0, 0, 0, 2000.0}});
    acceleratebeam(&beam);
    particle p = static_cast<particle*>(beam.data)[0];
    EXPECT_EQ(p.x, 0.01);
    EXPECT_EQ(p.y, -0.03);
    EXPECT_EQ(p.energy, 1.01 * 800.0);
    // Momentum ratio from E^2 = (pc)^2 + (mc^2)^2 with mc^2 = 938.272029 MeV.
    double mc2 = 938.272029, t1 = 800.0, t2 = 808.0;
    double ratio = std::sqrt(t1 * t1 + 2 * t1 * mc2) / std::sqrt(t2 * t2 + 2 * t2 * mc2);
    EXPECT_NEAR(ratio, 0.993553, 1e-6);
    EXPECT_NEAR(p.xp, 0.002 * ratio, 1e-15);
    EXPECT_NEAR(p.yp, -0.001 * ratio, 1e-15);
    EXPECT_EQ(static_cast<particle*>(beam.data)[1].energy, 1.01 * 2000.0);
    dynarrayrelease(beam);
}

TEST(BeamCull, RemovesOutsideAndNotANumberKeepsTheEdge) {
    double nan = std::numeric_limits<double>::quiet_NaN();
    double inf = std::numeric_limits<double>::infinity();
    struct {
        double x, y;
        bool stays;
    } cases[] = {{0.5, 0, true},         {0, -0.5, true},    {0.01, 0.02, true}, {0.6, 0, false},
                 {0.36, 0.36, false},    {nan, 0, false},    {0, nan, false},    {inf, 0, false},
                 {-0.5000001, 0, false}, {0.35, -0.35, true}};
    std::vector<particle> all;
    std::vector<double> keptenergies;
    for (size_t i = 0; i < std::size(cases); ++i) {
        all.push_back({cases[i].x, 0, cases[i].y, 0, 100.0 + i});
        if (cases[i].stays) keptenergies.push_back(100.0 + i);
    }
    dynarray beam = beamof(all);
    EXPECT_EQ(cullbeam(&beam), all.size() - keptenergies.size());
    std::vector<double> energies;
    for (const particle& p : particlesof(beam)) energies.push_back(p.energy);
    std::sort(energies.begin(), energies.end());
    EXPECT_EQ(energies, keptenergies);
    EXPECT_EQ(cullbeam(&beam), 0u);
    dynarrayrelease(beam);
}
