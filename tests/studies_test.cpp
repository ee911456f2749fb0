// Tests of the study library: aperture tables, bisection, particle files, closed orbit and optics.
#include <gtest/gtest.h>

#include <array>
#include <cmath>
#include <cstdio>
#include <limits>
#include <string>
#include <vector>

#include "studies/checkpoint.h"
#include "studies/dascan.h"
#include "studies/optics.h"
#include "studies/quantities.h"

namespace {

const double nan = std::numeric_limits<double>::quiet_NaN();

// Rows given as (amplitude, angle, lost), out of amplitude order on purpose.
datable tableof(const std::vector<std::array<double, 3>>& rows) {
    datable t;
    for (const auto& r : rows) {
        t.add(gridpoint(particle{0, 0, 0, 0, 800}, r[0], r[1]), r[0], r[1]);
        t.lost.back() = static_cast<int64_t>(r[2]);
    }
    return t;
}

TEST(ApertureTable, BoundsPerAngleFollowTheFirstLossAndNeverGrowWithCells) {
    // Angle 0 has an island: 0.03 and 0.04 survive beyond the first loss at 0.02.
    datable t = tableof({{0.03, 0, -1},
                         {0.01, 0, -1},
                         {0.02, 0, 5},
                         {0.05, 0, 1},
                         {0.04, 0, -1},
                         {0.02, 30, 0},
                         {0.06, 30, 7},
                         {0.01, -10, -1},
                         {0.07, -10, -1}});
    std::vector<daedge> at10 = apertureedges(t, 10);
    ASSERT_EQ(at10.size(), 3u);
    EXPECT_EQ(at10[0].angle, -10);
    EXPECT_EQ(at10[0].lower, 0.07);
    EXPECT_TRUE(std::isnan(at10[0].upper));
    EXPECT_EQ(at10[1].lower, 0.01);
    EXPECT_EQ(at10[1].upper, 0.02);
    EXPECT_EQ(at10[2].lower, 0.0);  // lost at the very start
    EXPECT_EQ(at10[2].upper, 0.02);
    // After one cell only the 0.05 row of angle 0 (checked outside after cell 1) is lost there.
    std::vector<daedge> at1 = apertureedges(t, 1);
    EXPECT_EQ(at1[1].lower, 0.04);
    EXPECT_EQ(at1[1].upper, 0.05);
    EXPECT_EQ(at1[2].upper, 0.02);

    const std::string csv = aperturecsv(t, 10);
    const double edge = std::sqrt(8.0 * 0.00015);
    char expectmin[200], expectmean[200];
    std::snprintf(expectmin, sizeof expectmin, "10,min,0,0.02,0,%.17g\n", 0.02 / edge);
    std::snprintf(expectmean, sizeof expectmean, "10,mean,%.17g,,%.17g,\n", (0.07 + 0.01 + 0.0) / 3,
                  (0.07 + 0.01 + 0.0) / 3 / edge);
    EXPECT_NE(csv.find(expectmin), std::string::npos) << csv;
    EXPECT_NE(csv.find(expectmean), std::string::npos) << csv;
    EXPECT_EQ(csv.rfind("cells,angle_deg,lower_m,upper_m,lower_edges,upper_edges\n1,-10,", 0), 0u) << csv;
    EXPECT_EQ(reportedcells(1000), (std::vector<int64_t>{1, 10, 100, 1000}));
    EXPECT_EQ(reportedcells(250), (std::vector<int64_t>{1, 10, 100, 250}));
}

// A tracker standing in for the physics: a row is lost at cell 3 beyond an edge that depends on
// the angle, else survives.
struct edgetracker {
    int calls = 0, tracked = 0;
    bool run(datable& table, size_t first, size_t end) {
        ++calls;
        for (size_t i = first; i < end; ++i) {
            if (table.lost[i] != pending) continue;
            ++tracked;
            double edge = 0.0421 + 0.0003 * table.angle[i];
            table.lost[i] = table.amplitude[i] > edge ? 3 : survived;
        }
        return true;
    }
};

TEST(ApertureScan, BisectionNarrowsEveryEdgeAndAResumedScanTracksNothingTwice) {
    dasettings s;
    s.tracking.cells = 10;
    s.refine = 0.0001;
    s.centre = particle{0.001, 0, -0.002, 0, 800};
    scanrange amplitudes{0.01, 0.08, 8}, angles{0, 20, 3};
    datable t = polargrid(amplitudes, angles, s.centre);
    ASSERT_EQ(t.size(), 24u);
    EXPECT_EQ(t.initial[9].x, 0.001 + 0.02 * std::cos(10 * 0.017453292519943295));
    edgetracker fake;
    ASSERT_TRUE(runscan(&t, s, [&](datable& d, size_t a, size_t b) { return fake.run(d, a, b); }));
    for (const daedge& e : apertureedges(t, 10)) {
        double edge = 0.0421 + 0.0003 * e.angle;
        EXPECT_LE(e.lower, edge);
        EXPECT_GT(e.upper, edge);
        EXPECT_LT(e.upper - e.lower, 0.0001) << e.angle;
    }
    EXPECT_GT(t.size(), 24u);
    // Bisection rows sit at the scan's centre plus their amplitude.
    EXPECT_EQ(t.initial.back().x, gridpoint(s.centre, t.amplitude.back(), t.angle.back()).x);

    datable again = polargrid(amplitudes, angles, s.centre);
    edgetracker second;
    ASSERT_TRUE(runscan(
        &again, s, [&](datable& d, size_t a, size_t b) { return second.run(d, a, b); }, &t));
    EXPECT_EQ(second.tracked, 0);
    EXPECT_EQ(tablecsv(again), tablecsv(t));
}

TEST(ApertureScan, CheckpointTextKeepsFinishedRowsAndRefusesOtherParameters) {
    datable t = tableof({{0.01, 0, -1}, {0.02, 0, 4}, {0.03, 0, -1}});
    t.lost[1] = pending;
    dasettings s;
    const std::string parameters = scanparameters(t, s);
    datable back;
    bool other = true;
    std::string error;
    ASSERT_TRUE(readcheckpoint(checkpointtext(t, parameters), parameters, &back, &other, &error)) << error;
    ASSERT_EQ(back.size(), 3u);
    EXPECT_EQ(back.lost, (std::vector<int64_t>{-1, pending, -1}));
    EXPECT_EQ(back.initial[2].x, t.initial[2].x);
    dasettings longer = s;
    longer.tracking.cells = 2000;
    EXPECT_NE(scanparameters(t, longer), parameters);
    EXPECT_FALSE(
        readcheckpoint(checkpointtext(t, parameters), scanparameters(t, longer), &back, &other, &error));
    EXPECT_TRUE(other);
    std::string cut = checkpointtext(t, parameters);
    cut.pop_back();
    EXPECT_FALSE(readcheckpoint(cut, parameters, &back, &other, &error));
    EXPECT_FALSE(other);
}

TEST(ParticleFile, ColumnsInAnyOrderWithOrWithoutEnergy) {
    datable t;
    std::string error;
    particle centre{0.001, 0, 0, 0, 800};
    ASSERT_TRUE(
        readparticlecsv("yp,energy,x,y,xp\r\n1e-3,700,0.011,0.01,-2e-3\r\n\r\n", 800, centre, &t, &error))
        << error;
    ASSERT_EQ(t.size(), 1u);
    EXPECT_EQ(t.initial[0].x, 0.011);
    EXPECT_EQ(t.initial[0].xp, -2e-3);
    EXPECT_EQ(t.initial[0].y, 0.01);
    EXPECT_EQ(t.initial[0].yp, 1e-3);
    EXPECT_EQ(t.initial[0].energy, 700);
    EXPECT_EQ(t.amplitude[0], std::hypot(0.011 - 0.001, 0.01));
    EXPECT_DOUBLE_EQ(t.angle[0], 45);
    ASSERT_TRUE(readparticlecsv("x,xp,y,yp\nnan,0,0,0\n", 650, centre, &t, &error)) << error;
    EXPECT_EQ(t.initial[0].energy, 650);
    EXPECT_TRUE(std::isnan(t.initial[0].x));
}

TEST(ParticleFile, BadFilesAreRefusedWithOneLine) {
    const struct {
        const char* text;
        const char* message;
    } cases[] = {
        {"", "empty file"},
        {"x,xp,y,yq\n0,0,0,0\n", "unknown column 'yq'"},
        {"x,xp,y\n0,0,0\n", "missing column 'yp'"},
        {"x,xp,y,yp,x\n0,0,0,0,0\n", "column 'x' appears twice"},
        {"x,xp,y,yp\n0,0,0,0\n0,abc,0,0\n", "line 3: xp is not a number: 'abc'"},
        {"x,xp,y,yp\n0,0,0\n", "line 2: 3 fields"},
        {"x,xp,y,yp\n", "no particles"},
        {"x,xp,y,yp,energy\n0,0,0,0,-5\n", "line 2: energy must be"},
    };
    for (const auto& c : cases) {
        datable t;
        std::string error;
        EXPECT_FALSE(readparticlecsv(c.text, 800, particle{}, &t, &error)) << c.text;
        EXPECT_NE(error.find(c.message), std::string::npos) << error;
        EXPECT_EQ(error.find('\n'), std::string::npos) << error;
        EXPECT_EQ(t.size(), 0u);
    }
}

TEST(StudyQuantities, LengthsAndEnergiesWithUnits) {
    double v = 0;
    EXPECT_TRUE(parselength("5mm", &v));
    EXPECT_EQ(v, 0.005);
    EXPECT_TRUE(parselength("0.25", &v));
    EXPECT_EQ(v, 0.25);
    EXPECT_TRUE(parselength("2in", &v));
    EXPECT_EQ(v, 2 * 0.0254);
    for (const char* bad : {"", "mm", "5MeV", "5 mm", "-1mm", "5xm", "inf"})
        EXPECT_FALSE(parselength(bad, &v)) << bad;
    EXPECT_TRUE(parseenergymev("800", &v));
    EXPECT_EQ(v, 800);
    EXPECT_TRUE(parseenergymev("1.2GeV", &v));
    EXPECT_EQ(v, 1200);
    EXPECT_TRUE(parseenergymev("250keV", &v));
    EXPECT_EQ(v, 0.25);
    for (const char* bad : {"0", "-800", "800mm", "1e400MeV", "GeV", "nan"})
        EXPECT_FALSE(parseenergymev(bad, &v)) << bad;
}

TEST(CellOptics, AtEightHundredMeVTheOrbitIsTheAxisAndTheMapIsSymplectic) {
    particle orbit;
    ASSERT_TRUE(closedorbitfrom800(800, mathmode::exact, &orbit));
    EXPECT_EQ(orbit.x, 0.0);
    EXPECT_EQ(orbit.xp, 0.0);
    EXPECT_EQ(orbit.y, 0.0);
    EXPECT_EQ(orbit.yp, 0.0);
    particle after = onecell(orbit, mathmode::exact);
    EXPECT_EQ(after.x, 0.0);
    EXPECT_EQ(after.xp, 0.0);
    double m[4][4];
    cellmatrix(orbit, mathmode::exact, m);
    // M^T S M = S with S the symplectic form of (x, xp), (y, yp).
    const double s[4][4] = {{0, 1, 0, 0}, {-1, 0, 0, 0}, {0, 0, 0, 1}, {0, 0, -1, 0}};
    double worst = 0;
    for (int i = 0; i < 4; ++i)
        for (int j = 0; j < 4; ++j) {
            double sum = 0;
            for (int a = 0; a < 4; ++a)
                for (int b = 0; b < 4; ++b) sum += m[a][i] * s[a][b] * m[b][j];
            worst = std::fmax(worst, std::fabs(sum - s[i][j]));
        }
    EXPECT_LT(worst, 1e-6);
    EXPECT_NEAR(determinant4(m), 1.0, 1e-6);
    // The field couples the planes: the matrix is not block-diagonal.
    EXPECT_GT(std::fabs(m[0][2]) + std::fabs(m[2][0]) + std::fabs(m[1][2]) + std::fabs(m[3][0]), 1e-3);
}

TEST(CellOptics, TunesStayPutOverEnergyWhileTheOrbitMovesVertically) {
    std::vector<opticsrow> rows = opticsscan({600, 800, 1000, 10, 5}, mathmode::exact);
    ASSERT_EQ(rows.size(), 5u);
    const double mc2 = 938.272029;  // MeV
    auto momentum = [&](double e) { return std::sqrt(e * (e + 2 * mc2)); };
    for (int i = 0; i < 4; ++i) {
        ASSERT_TRUE(rows[i].found && rows[i].stable) << rows[i].energy;
        EXPECT_GT(rows[i].tune1, 0.0);
        EXPECT_LT(rows[i].tune1, rows[i].tune2);
        EXPECT_LT(rows[i].tune2, 0.5);
        EXPECT_NEAR(rows[i].tune1, rows[1].tune1, 1e-6);
        EXPECT_NEAR(rows[i].tune2, rows[1].tune2, 1e-6);
        // A closed orbit returns to itself after one cell.
        particle after = onecell(rows[i].orbit, mathmode::exact);
        EXPECT_NEAR(after.y, rows[i].orbit.y, 1e-11);
        EXPECT_NEAR(after.yp, rows[i].orbit.yp, 1e-11);
        // The field grows as e^(k y): the orbit sits where it scales with the momentum,
        // e^(k y) = p / p(800 MeV), on x = 0.
        EXPECT_NEAR(rows[i].orbit.y, std::log(momentum(rows[i].energy) / momentum(800)) / 5, 1e-9)
            << rows[i].energy;
        EXPECT_NEAR(rows[i].orbit.x, 0, 1e-9);
    }
    EXPECT_LT(rows[3].orbit.y, -0.47);  // 10 MeV: near the aperture's edge, yet inside
    EXPECT_FALSE(rows[4].found);        // 5 MeV: the orbit would lie outside
    const std::string csv = opticscsv(rows);
    EXPECT_NE(csv.find("\n5,,,,,,,,0\n"), std::string::npos) << csv;
    EXPECT_EQ(csv.rfind("energy_mev,x_m,xp_rad,y_m,yp_rad,tune1,tune2,det,stable\n600,", 0), 0u);
}

}  // namespace
