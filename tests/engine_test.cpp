// Tests of the tracking engine: exact mode bit for bit against the plain oracle, whatever the
// thread count and beam size; the locating rule across the shift of an element boundary; whole
// cells for the studies; the frame shared by the demo and voxda-track.
#include "tracking/engine.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <cmath>
#include <cstring>
#include <limits>
#include <vector>

#include "tests/trackingoracle.h"
#include "tracking/frame.h"
#include "tracking/lattice.h"

namespace {

namespace oracle = trackingoracle;

const double nan = std::numeric_limits<double>::quiet_NaN();
const double inf = std::numeric_limits<double>::infinity();

// A reproducible beam of n particles around the axis, up to 3 cm and 4 mrad, some of them far
// out or broken so that they blow up or stay not-a-number.
std::vector<particle> testbeam(size_t n) {
    std::vector<particle> beam;
    uint64_t s = 12345;
    auto uniform = [&s] {
        s = s * 6364136223846793005ull + 1442695040888963407ull;
        return static_cast<double>(s >> 11) / 9007199254740992.0 * 2 - 1;
    };
    for (size_t i = 0; i < n; ++i) {
        particle p{0.03 * uniform(), 0.004 * uniform(), 0.03 * uniform(), 0.004 * uniform(), 800.0};
        if (i % 97 == 5) p.y = 0.4;  // runs into the growing field
        if (i % 89 == 7) p.x = nan;  // stays not-a-number
        if (i % 83 == 11) p.yp = inf;
        if (i % 61 == 3) p.energy = 1600.0;
        beam.push_back(p);
    }
    return beam;
}

struct framestep {
    bool fast, accelerated;
};

// Single steps, fast frames and accelerated frames, mixed.
const framestep frames[] = {{false, false}, {true, false}, {false, true}, {true, true},  {true, false},
                            {false, false}, {true, true},  {true, false}, {false, true}, {true, false}};

TEST(EngineExact, MatchesTheOracleBitForBitForAnyThreadsAndBeamSize) {
    for (size_t n : {0u, 1u, 3u, 17u, 1000u}) {
        std::vector<particle> expected = testbeam(n);
        double expecteddistance = startdistance;
        std::vector<double> distances;
        std::vector<std::vector<particle>> states;
        for (const framestep& f : frames) {
            oracle::frame(expected, &expecteddistance, f.fast, f.accelerated);
            distances.push_back(expecteddistance);
            states.push_back(expected);
        }
        for (unsigned threads : {1u, 2u, 3u}) {
            engine e({mathmode::exact, threads});
            EXPECT_EQ(e.threads(), threads);
            std::vector<particle> beam = testbeam(n);
            double distance = startdistance;
            for (size_t f = 0; f < std::size(frames); ++f) {
                advanceandaccelerate(e, beam.data(), beam.size(), &distance, frames[f].fast,
                                     frames[f].accelerated);
                ASSERT_EQ(distance, distances[f]) << n << " particles, frame " << f;
                ASSERT_TRUE(oracle::samebits(beam, states[f]))
                    << n << " particles, " << threads << " threads, frame " << f;
            }
        }
    }
}

// Separate advance and accelerate calls give the same bits as the fused frame.
TEST(EngineExact, AdvanceThenAccelerateEqualsTheFusedFrame) {
    engine e({mathmode::exact, 2});
    std::vector<particle> a = testbeam(50), b = a;
    double da = startdistance, db = startdistance;
    for (int f = 0; f < 3; ++f) {
        advanceandaccelerate(e, a.data(), a.size(), &da, true, true);
        advance(e, b.data(), b.size(), &db, true);
        accelerate(e, b.data(), b.size());
    }
    EXPECT_EQ(da, db);
    EXPECT_TRUE(oracle::samebits(a, b));
    EXPECT_NE(a[0].energy, 800.0);
}

// The demo's own beam over fast frames, the case the demo and voxda-track spend their time on.
TEST(EngineExact, DemoSizedBeamOverFastFrames) {
    std::vector<particle> expected = testbeam(10000), beam = expected;
    double expecteddistance = startdistance, distance = startdistance;
    engine e({mathmode::exact, 3});
    for (int f = 0; f < 3; ++f) {
        oracle::frame(expected, &expecteddistance, true, f == 1);
        advanceandaccelerate(e, beam.data(), beam.size(), &distance, true, f == 1);
    }
    EXPECT_EQ(distance, expecteddistance);
    EXPECT_TRUE(oracle::samebits(beam, expected));
}

// The first fast frame (from -2.0 m, 0.05 m added per step) whose steps, by the locating rule,
// differ from those of the first frame: the accumulated rounding has moved an element boundary by
// one step. Found by running the rule frame after frame; also gives the distance three frames
// before it.
struct boundaryshift {
    long frame = -1;
    double threebefore = 0;  // m: the distance at the start of frame - 3
};

const boundaryshift& firstshift() {
    static const boundaryshift found = [] {
        boundaryshift b;
        double distance = startdistance, probe = startdistance;
        char first[177], letters[177];
        oracle::locateinto(&probe, 177, first);
        double starts[4] = {distance, distance, distance, distance};
        for (long f = 0; f < 2000000; ++f) {
            starts[f % 4] = distance;
            oracle::locateinto(&distance, 177, letters);
            if (std::memcmp(letters, first, sizeof first) != 0) {
                b.frame = f;
                b.threebefore = starts[(f + 1) % 4];
                break;
            }
        }
        return b;
    }();
    return found;
}

TEST(EngineLocate, FollowsTheRuleAcrossTheShiftOfAnElementBoundary) {
    const boundaryshift& shift = firstshift();
    ASSERT_GE(shift.frame, 0) << "no shift within two million cells";
    EXPECT_GT(shift.frame, 250000);  // far out, about 309 000 cells on
    // Start three frames before it, at the distance accumulated exactly as a run would.
    const double start = shift.threebefore;
    // The engine's plans are the rule's, frame by frame, and the shift lies in this window.
    int differing = 0;
    double probe = startdistance;
    const std::vector<char> first = oracle::locate(&probe, 177);
    double d = start;
    for (int f = 0; f < 6; ++f) {
        const stepplan plan = locatesteps(d, 177);
        std::vector<char> letters;
        for (int r = 0; r < plan.runcount; ++r)
            for (int i = 0; i < plan.runs[r].count; ++i)
                letters.push_back(plan.runs[r].kind == stepkind::focusing     ? 'F'
                                  : plan.runs[r].kind == stepkind::defocusing ? 'D'
                                                                              : 'O');
        double expectedend = d;
        const std::vector<char> expected = oracle::locate(&expectedend, 177);
        // The oracle names drifts 'O'; so does the plan.
        ASSERT_EQ(letters, expected) << "frame " << f;
        EXPECT_EQ(plan.enddistance, expectedend);
        differing += expected != first;
        d = expectedend;
    }
    EXPECT_GT(differing, 0);
    // And the particles follow it bit for bit, in fast frames and single steps.
    std::vector<particle> expected = testbeam(40), beam = expected;
    double expecteddistance = start, trackeddistance = start;
    engine e({mathmode::exact, 2});
    for (int f = 0; f < 6; ++f) {
        const bool fast = f != 2;
        oracle::frame(expected, &expecteddistance, fast, false);
        advance(e, beam.data(), beam.size(), &trackeddistance, fast);
    }
    EXPECT_EQ(trackeddistance, expecteddistance);
    EXPECT_TRUE(oracle::samebits(beam, expected));
}

// The oracle of trackcells: the frame order check, step, accelerate, particle by particle.
void cellsoracle(std::vector<particle>& beam, std::vector<int64_t>& lost, int64_t cells, int64_t from,
                 int64_t to) {
    lost.assign(beam.size(), -1);
    for (size_t i = 0; i < beam.size(); ++i) {
        std::vector<particle> one{beam[i]};
        double distance = startdistance;
        for (int64_t c = 0;; ++c) {
            if (!oracle::inside(one[0])) {
                lost[i] = c;
                break;
            }
            if (c == cells) break;
            oracle::frame(one, &distance, true, from <= c && c <= to);
        }
        beam[i] = one[0];
    }
}

TEST(EngineCells, EachParticleAsTheFramesWouldTrackItForAnyThreads) {
    struct runcase {
        int64_t cells, from, to;
    } cases[] = {{0, -1, -2}, {1, -1, -2}, {25, -1, -2}, {40, 5, 30}};
    for (const runcase& k : cases) {
        std::vector<particle> start = testbeam(45);
        start[0] = {0.6, 0, 0, 0, 800};  // outside at the start
        std::vector<particle> expected = start;
        std::vector<int64_t> expectedlost;
        cellsoracle(expected, expectedlost, k.cells, k.from, k.to);
        for (unsigned threads : {1u, 2u, 3u}) {
            engine e({mathmode::exact, threads});
            std::vector<particle> beam = start;
            std::vector<int64_t> lost(beam.size(), 7);
            std::vector<uint8_t> done(beam.size(), 0);
            std::atomic<int64_t> finished{0};
            cellrun run;
            run.cells = k.cells;
            run.acceleratefrom = k.from;
            run.accelerateto = k.to;
            run.lostatcell = lost.data();
            run.finished = &finished;
            run.done = done.data();
            EXPECT_TRUE(trackcells(e, beam.data(), beam.size(), run));
            EXPECT_EQ(lost, expectedlost) << k.cells << " cells, " << threads << " threads";
            EXPECT_TRUE(oracle::samebits(beam, expected)) << k.cells << " cells, " << threads << " threads";
            EXPECT_EQ(finished.load(), 45);
            EXPECT_EQ(std::count(done.begin(), done.end(), 1), 45);
        }
        if (k.cells == 40) {  // the run covers particles lost at the start, later, and never
            EXPECT_EQ(expectedlost[0], 0);
            EXPECT_GT(
                std::count_if(expectedlost.begin(), expectedlost.end(), [](int64_t c) { return c > 0; }), 0);
            EXPECT_GT(std::count(expectedlost.begin(), expectedlost.end(), -1), 0);
        }
    }
}

TEST(EngineCells, AStopBeforeTheStartLeavesEveryParticleAlone) {
    engine e({mathmode::exact, 2});
    std::vector<particle> beam = testbeam(100), start = beam;
    std::vector<int64_t> lost(beam.size(), 7);
    std::vector<uint8_t> done(beam.size(), 0);
    std::atomic<bool> stop{true};
    cellrun run;
    run.cells = 10;
    run.lostatcell = lost.data();
    run.stop = &stop;
    run.done = done.data();
    EXPECT_FALSE(trackcells(e, beam.data(), beam.size(), run));
    EXPECT_TRUE(oracle::samebits(beam, start));
    EXPECT_EQ(std::count(lost.begin(), lost.end(), 7), 100);
    EXPECT_EQ(std::count(done.begin(), done.end(), 0), 100);
}

TEST(EngineOptions, ParsersTakeOnlyTheirWords) {
    mathmode m = mathmode::vector;
    EXPECT_TRUE(parsemathmode("exact", &m));
    EXPECT_EQ(m, mathmode::exact);
    EXPECT_TRUE(parsemathmode("vector", &m));
    EXPECT_EQ(m, mathmode::vector);
    for (const char* bad : {"", "Exact", "vec", "exact ", "scalar"})
        EXPECT_FALSE(parsemathmode(bad, &m)) << bad;
    unsigned t = 99;
    EXPECT_TRUE(parsethreads("0", &t));
    EXPECT_EQ(t, 0u);
    EXPECT_TRUE(parsethreads("256", &t));
    EXPECT_EQ(t, 256u);
    for (const char* bad : {"", "-1", "257", "2x", " 2", "1000"}) EXPECT_FALSE(parsethreads(bad, &t)) << bad;
    EXPECT_EQ(t, 256u);
}

}  // namespace

namespace {

// Vector mode gives the same bits on the portable path and on the widest SIMD target, over a long
// accelerated run in which the beam blows up and is lost (infinities and not-a-numbers included).
TEST(EngineVector, PortablePathAndSimdGiveTheSameBytes) {
    std::vector<particle> simd = testbeam(300), portable = simd, exact = simd;
    engine simdengine({mathmode::vector, 2, false}), portableengine({mathmode::vector, 3, true});
    engine exactengine({mathmode::exact, 2});
    double d1 = startdistance, d2 = startdistance, d3 = startdistance;
    for (int f = 0; f < 320; ++f) {
        advanceandaccelerate(simdengine, simd.data(), simd.size(), &d1, true, true);
        advanceandaccelerate(portableengine, portable.data(), portable.size(), &d2, true, true);
        if (f < 3) advanceandaccelerate(exactengine, exact.data(), exact.size(), &d3, true, true);
        if (f == 2) {
            EXPECT_FALSE(oracle::samebits(simd, exact));  // really our own math, not the C library's
        }
    }
    EXPECT_EQ(d1, d2);
    ASSERT_EQ(simd.size(), portable.size());
    EXPECT_EQ(std::memcmp(simd.data(), portable.data(), simd.size() * sizeof(particle)), 0);
    EXPECT_GT(std::count_if(simd.begin(), simd.end(), [](const particle& p) { return !oracle::inside(p); }),
              250);
}

}  // namespace
