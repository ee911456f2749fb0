// Tests of voxda-track, run as a program: CSV output, beam files in and out, bad input.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <sstream>
#include <string>
#include <vector>

#include "particles/decays.h"
#include "simulation/beam.h"
#include "tests/testfiles.h"
#include "tests/testprocess.h"
#include "util/dynarray.h"

namespace {

// Runs voxda-track with the arguments and collects its output.
processresult track(const testtempdir& dir, const std::vector<std::string>& args) {
    return runbuilt("voxda-track", args, dir.path);
}

struct csvrow {
    long frame;
    double distance, time, percent;
    unsigned long count;
};

std::vector<csvrow> parsecsv(const std::string& text, std::string* header) {
    std::istringstream in(text);
    std::string line;
    std::getline(in, *header);
    std::vector<csvrow> rows;
    while (std::getline(in, line)) {
        csvrow r;
        char* p = line.data();
        r.frame = std::strtol(p, &p, 10);
        r.distance = std::strtod(p + 1, &p);
        r.time = std::strtod(p + 1, &p);
        r.percent = std::strtod(p + 1, &p);
        r.count = std::strtoul(p + 1, &p, 10);
        EXPECT_EQ(*p, 0) << line;
        rows.push_back(r);
    }
    return rows;
}

std::string savebeam(const testtempdir& dir, const char* name, const std::vector<particle>& particles) {
    dynarray beam;
    dynarrayinit(&beam, sizeof(particle));
    for (const particle& p : particles) dynarrayappend(&beam, &p);
    std::string path = dir.file(name);
    EXPECT_TRUE(dynarraysave(&beam, path.c_str()));
    dynarrayrelease(beam);
    return path;
}

void writebytes(const std::string& path, const std::vector<unsigned char>& bytes) {
    std::ofstream(path, std::ios::binary)
        .write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
}

}  // namespace

TEST(VoxdaTrackCsv, DefaultBeamShortRun) {
    testtempdir dir;
    processresult r = track(dir, {"--frames", "4"});
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.err, "");
    std::string header;
    std::vector<csvrow> rows = parsecsv(r.out, &header);
    EXPECT_EQ(header, "frame,distance_m,time_ms,beam_percent,count");
    ASSERT_EQ(rows.size(), 4u);
    double distance = -2.0;
    for (long i = 0; i < 4; ++i) {
        EXPECT_EQ(rows[i].frame, i);
        EXPECT_EQ(rows[i].distance, distance);  // %.17g reads back exactly
        EXPECT_EQ(rows[i].time, distance / 252368289.06897998 / 0.001);
        EXPECT_EQ(rows[i].percent, 100.0);
        EXPECT_EQ(rows[i].count, 10000u);
        distance = distance + 0.05;
    }
    EXPECT_NEAR(rows[0].time, -7.92493e-06, 1e-11);
    char firstrow[100];
    std::snprintf(firstrow, sizeof firstrow, "\n0,-2,%.17g,100,10000\n", -2.0 / 252368289.06897998 / 0.001);
    EXPECT_NE(r.out.find(firstrow), std::string::npos) << firstrow;
    processresult joined = track(dir, {"--frames=4"});
    EXPECT_EQ(joined.status, 0) << joined.err;
    EXPECT_EQ(joined.out, r.out);
}

TEST(VoxdaTrackCsv, CullsBeforeEachRowAndFastModeRunsWholeCells) {
    testtempdir dir;
    double nan = std::nan("");
    // Inside; outside; not-a-number; inside but leaving within one 0.05 m drift step.
    std::string in = savebeam(
        dir, "in.bin",
        {{0.01, 0, 0.02, 0, 800.0}, {0.6, 0, 0, 0, 800.0}, {nan, 0, 0, 0, 800.0}, {0, 0, 0.49, 0.5, 800.0}});
    processresult r = track(dir, {"--in", in, "--frames", "3"});
    ASSERT_EQ(r.status, 0) << r.err;
    std::string header;
    std::vector<csvrow> rows = parsecsv(r.out, &header);
    ASSERT_EQ(rows.size(), 3u);
    EXPECT_EQ(rows[0].count, 2u);
    EXPECT_EQ(rows[0].percent, 100.0 * 2 / 4);
    EXPECT_EQ(rows[1].count, 1u);
    EXPECT_EQ(rows[1].percent, 100.0 * 1 / 4);
    EXPECT_EQ(rows[2].count, 1u);

    // An empty starting beam runs on at 0 % rather than dividing by zero.
    std::string empty = savebeam(dir, "empty.bin", {});
    r = track(dir, {"--in", empty, "--frames", "2", "--fast", "--accelerate", "0:1"});
    ASSERT_EQ(r.status, 0) << r.err;
    std::vector<csvrow> emptyrows = parsecsv(r.out, &header);
    ASSERT_EQ(emptyrows.size(), 2u);
    for (const csvrow& row : emptyrows) {
        EXPECT_EQ(row.count, 0u);
        EXPECT_EQ(row.percent, 0.0);
    }
    EXPECT_NEAR(emptyrows[1].distance, 6.85, 1e-9);

    r = track(dir, {"--fast", "--frames", "3"});
    ASSERT_EQ(r.status, 0) << r.err;
    rows = parsecsv(r.out, &header);
    ASSERT_EQ(rows.size(), 3u);
    EXPECT_NEAR(rows[1].distance, -2.0 + 8.85, 1e-9);
    EXPECT_NEAR(rows[2].distance, -2.0 + 2 * 8.85, 1e-9);
    double distance = -2.0;
    for (int i = 0; i < 177; ++i) distance = distance + 0.05;
    EXPECT_EQ(rows[1].distance, distance);
}

TEST(VoxdaTrackFiles, InOutRoundTripAndAccelerationRange) {
    testtempdir dir;
    std::vector<particle> start = {
        {0.01, 0.001, -0.02, 0.002, 800.0}, {-0.03, -0.0005, 0.004, 0, 800.0}, {0, 0, 0, 0, 900.0}};
    std::string in = savebeam(dir, "in.bin", start);
    std::string out = dir.file("out.bin");
    processresult r = track(dir, {"--in", in, "--out", out, "--frames", "0"});
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out, "frame,distance_m,time_ms,beam_percent,count\n");
    EXPECT_EQ(readtext(out), readtext(in));

    // Frames 0 and 1 each step once; acceleration only in frame 1.
    r = track(dir, {"--in", in, "--out", out, "--frames", "2", "--accelerate", "1:1"});
    ASSERT_EQ(r.status, 0) << r.err;
    makedecaytables();
    dynarray expected;
    dynarrayinit(&expected, sizeof(particle));
    for (const particle& p : start) dynarrayappend(&expected, &p);
    double distance = -2.0;
    advancebeam(&expected, &distance, false);
    advancebeam(&expected, &distance, false);
    acceleratebeam(&expected);
    bool ok = false;
    dynarray got = dynarrayload(out.c_str(), &ok);
    ASSERT_TRUE(ok);
    ASSERT_EQ(got.count, 3u);
    EXPECT_EQ(got.elemsize, 40u);
    EXPECT_EQ(std::memcmp(got.data, expected.data, 3 * sizeof(particle)), 0);
    EXPECT_EQ(static_cast<particle*>(got.data)[2].energy, 1.01 * 900.0);
    // Only the input and output files are left: no temporary file.
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir.path), {}), 2);
    dynarrayrelease(got);
    dynarrayrelease(expected);
}

TEST(VoxdaTrackErrors, BadInputExitsTwoWithOneLineAndNoOutputFile) {
    testtempdir dir;
    std::string wrongsize = dir.file("wrongsize.bin"), shortfile = dir.file("short.bin"),
                headercut = dir.file("headercut.bin");
    // One 8-byte element: a valid array of the wrong element size.
    writebytes(wrongsize, {1, 0, 0, 0, 8, 0, 0, 0, 1, 0, 0, 0, 0, 0, 0x70, 0x42, 1, 2, 3, 4, 5, 6, 7, 8});
    // Header says two 40-byte particles, the file holds one.
    std::vector<unsigned char> bytes = {2, 0, 0, 0, 40, 0, 0, 0, 1, 0, 0, 0, 0, 0, 0x70, 0x42};
    bytes.resize(16 + 40, 0);
    writebytes(shortfile, bytes);
    writebytes(headercut, {2, 0, 0, 0, 40, 0});
    // A one-particle beam file with its element size changed to 41: the length then disagrees
    // with the header too, but the element size is the fault to name.
    std::string resized = dir.file("resized.bin");
    std::vector<unsigned char> resizedbytes = {1, 0, 0, 0, 41, 0, 0, 0, 1, 0, 0, 0, 0, 0, 0x70, 0x42};
    resizedbytes.resize(16 + 40, 0);
    writebytes(resized, resizedbytes);
    // Element size 0 with a million particles: no bytes to read, yet no particle either.
    std::string zerosize = dir.file("zerosize.bin");
    writebytes(zerosize, {0x40, 0x42, 0x0F, 0, 0, 0, 0, 0, 1, 0, 0, 0, 0, 0, 0x70, 0x42});
    std::string out = dir.file("out.bin");
    struct {
        std::vector<std::string> args;
        const char* mentions;
    } cases[] = {
        {{"--frames", "x"}, "--frames"},
        {{"--frames", "-3"}, "--frames"},
        {{"--frames"}, "--frames"},
        {{"--frames=x"}, "--frames"},
        {{"--fast=1"}, "--fast"},
        {{"--accelerate", "5"}, "--accelerate"},
        {{"--accelerate", "3:1"}, "--accelerate"},
        {{"--accelerate", "1:x"}, "--accelerate"},
        {{"--speed", "2"}, "--speed"},
        {{"--in"}, "--in"},
        {{"--in", dir.file("absent.bin")}, "absent.bin"},
        {{"--in", dir.path.string()}, "cannot read"},  // a directory
        {{"--in", wrongsize}, "element size"},
        {{"--in", shortfile}, "shorter than its header"},
        {{"--in", headercut}, "shorter than its header"},
        {{"--in", resized}, "element size is 41"},
        {{"--in", zerosize}, "element size is 0,"},
        {{"--math", "fast"}, "--math"},
        {{"--math"}, "--math"},
        {{"--threads", "0x2"}, "--threads"},
        {{"--threads", "257"}, "--threads"},
        {{"--threads", "-1"}, "--threads"},
    };
    for (auto& c : cases) {
        std::vector<std::string> args = c.args;
        args.insert(args.begin(), {"--out", out});
        processresult r = track(dir, args);
        EXPECT_EQ(r.status, 2) << c.mentions;
        EXPECT_EQ(r.out, "") << c.mentions;
        EXPECT_NE(r.err.find(c.mentions), std::string::npos) << r.err;
        EXPECT_EQ(std::count(r.err.begin(), r.err.end(), '\n'), 1) << r.err;
        EXPECT_FALSE(std::filesystem::exists(out)) << c.mentions;
    }
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir.path), {}), 5);

    processresult r = track(dir, {"--frames", "1", "--out", dir.file("no-such-dir/out.bin")});
    EXPECT_EQ(r.status, 2);
    EXPECT_NE(r.err.find("no-such-dir/out.bin"), std::string::npos) << r.err;
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir.path), {}), 5);
}

// The thread count changes nothing in the output, rows or beam file, over an accelerated run.
TEST(VoxdaTrackThreads, OutputIndependentOfTheThreadCount) {
    testtempdir dir;
    std::string reference;
    std::string referencebeam;
    for (const char* threads : {"1", "2", "3", "0"}) {
        std::string out = dir.file((std::string("out") + threads + ".bin").c_str());
        processresult r = track(dir, {"--fast", "--frames", "40", "--accelerate", "5:30", "--threads",
                                      threads, "--math", "exact", "--out", out});
        ASSERT_EQ(r.status, 0) << r.err;
        if (reference.empty()) {
            reference = r.out;
            referencebeam = readtext(out);
            EXPECT_GT(referencebeam.size(), 16u + 40u * 1000);
            continue;
        }
        EXPECT_EQ(r.out, reference) << threads << " threads";
        EXPECT_EQ(readtext(out), referencebeam) << threads << " threads";
    }
}

TEST(VoxdaTrackErrors, HelpPrintsUsage) {
    testtempdir dir;
    processresult r = track(dir, {"--help"});
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(
        r.out.rfind(
            "usage: voxda-track [--frames N] [--fast] [--accelerate FROM:TO] [--in FILE] [--out FILE]\n", 0),
        0u);
    EXPECT_EQ(r.err, "");
}
