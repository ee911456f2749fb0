// Tests of the voxda-decay example program, run as a separate process.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "particles/species.h"
#include "particles/trackedparticle.h"
#include "tests/testfiles.h"
#include "tests/testprocess.h"
#include "util/vectors.h"

namespace {

// Runs voxda-decay with the arguments and collects its output.
processresult rundecay(const testtempdir& dir, const std::vector<std::string>& args) {
    return runbuilt("voxda-decay", args, dir.path);
}

std::string format6(double v) {
    char buffer[64];
    std::snprintf(buffer, sizeof buffer, "%.6g", v);
    return buffer;
}

TEST(VoxdaDecayTool, DecaysMatchTheLibraryAndTheSavedFile) {
    testtempdir dir;
    std::string saved = dir.file("pions.dat");
    processresult r = rundecay(dir, {"-n", "4", "--seed=7", "-e", "200MeV", "-o", saved});
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.err, "");

    // The same record followed with the library directly.
    trackedparticle p = newparticle(7, 1);
    p.species = 0;
    p.uz = ufromkinetic(200.0 * 1.602176462e-13, speciesrestenergy[0]);
    double gamma = gammafromu(vec3make(0, 0, p.uz));
    scheduledecay(&p, 4);
    std::vector<double> times;
    while (p.status == statusactive) {
        p.propertime = p.nextdecay;
        times.push_back(p.propertime);
        decayone(&p);
    }
    ASSERT_EQ(times.size(), 4u);

    // Printed rows: decay number, proper time and lab time (ns), distance (m), particles left.
    std::istringstream lines(r.out);
    std::string line;
    std::vector<std::vector<std::string>> rows;
    while (std::getline(lines, line)) {
        std::istringstream words(line);
        std::vector<std::string> row;
        for (std::string w; words >> w;) row.push_back(w);
        if (row.size() == 5 && row[0].find_first_not_of("0123456789") == std::string::npos)
            rows.push_back(row);
    }
    ASSERT_EQ(rows.size(), 4u) << r.out;
    for (size_t i = 0; i < 4; i++) {
        EXPECT_EQ(rows[i][0], std::to_string(i + 1));
        EXPECT_EQ(rows[i][1], format6(times[i] / 1e-9));
        EXPECT_EQ(rows[i][2], format6(gamma * times[i] / 1e-9));
        EXPECT_EQ(std::stod(rows[i][3]), std::stod(format6(p.uz * times[i])));
        EXPECT_EQ(rows[i][4], std::to_string(3 - i));
    }
    EXPECT_NE(r.out.find("saved 5 records (450 bytes)"), std::string::npos) << r.out;
    EXPECT_NE(r.out.find("every saved field matches"), std::string::npos) << r.out;

    // The saved file: the scheduled record, then one record after every decay.
    EXPECT_FALSE(std::filesystem::exists(saved + ".tmp"));
    EXPECT_EQ(temporariesin(std::filesystem::path(saved).parent_path()), std::vector<std::string>{});
    ASSERT_EQ(std::filesystem::file_size(saved), 4u * 102u + 42u);
    FILE* f = std::fopen(saved.c_str(), "rb");
    ASSERT_NE(f, nullptr);
    for (uint32_t i = 0; i < 5; i++) {
        bool ok = false;
        trackedparticle q = readparticle(f, &ok);
        ASSERT_TRUE(ok) << "record " << i;
        EXPECT_EQ(q.species, 0);
        EXPECT_EQ(q.status, i < 4 ? statusactive : statusdecayed);
        if (i < 4) {
            EXPECT_EQ(q.remaining, 4 - i);
            EXPECT_EQ(q.propertime, i == 0 ? 0.0 : times[i - 1]);
            EXPECT_NEAR(q.z, p.uz * q.propertime, 1e-12 * p.uz * times[3]);
        } else {
            EXPECT_NEAR(q.z, p.uz * times[3], 1e-6 * p.uz * times[3]);
        }
    }
    std::fclose(f);

    // The listing of the saved file.
    processresult listing = rundecay(dir, {"-r", saved});
    ASSERT_EQ(listing.status, 0) << listing.err;
    EXPECT_NE(listing.out.find(": 5 records"), std::string::npos) << listing.out;
    EXPECT_NE(listing.out.find("Decayed"), std::string::npos) << listing.out;
}

TEST(VoxdaDecayTool, HelpShowsTheUsage) {
    testtempdir dir;
    processresult r = rundecay(dir, {"--help"});
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.out.rfind("usage: voxda-decay", 0), 0u) << r.out;
    EXPECT_NE(r.out.find("--energy"), std::string::npos);
}

TEST(VoxdaDecayTool, BadInputIsRefusedWithStatusTwo) {
    testtempdir dir;
    // A saved file cut short in its second record.
    trackedparticle p = newparticle(1, 1);
    std::string cut = dir.file("cut.dat");
    FILE* f = std::fopen(cut.c_str(), "wb");
    ASSERT_NE(f, nullptr);
    ASSERT_TRUE(writeparticle(&p, f));
    ASSERT_EQ(std::fwrite("\1\2\3\4\5\6\7", 1, 7, f), 7u);
    std::fclose(f);
    struct badcase {
        std::vector<std::string> args;
        const char* message;
    };
    const badcase cases[] = {
        {{"-n", "0"}, "-n needs a whole number from 1 to 100000, not '0'"},
        {{"--count", "12x"}, "--count needs a whole number"},
        {{"--count=0"}, "--count needs a whole number from 1 to 100000, not '0'"},
        {{"--help=yes"}, "unknown option '--help=yes'"},
        {{"--seed", "-1"}, "--seed needs a whole number from 0 to 4294967295"},
        {{"-s", "xyz"}, "unknown species 'xyz'"},
        {{"-s", "proton"}, "p does not decay here"},
        {{"-e", "5furlongs"}, "--energy needs an energy in eV"},
        {{"-e", "3mm"}, "--energy needs an energy in eV"},
        {{"-e", "-3MeV"}, "--energy must be a finite energy of 0 or more"},
        {{"-e", "GeV"}, "--energy needs a number"},
        {{"-u", "m"}, "--unit needs a time unit"},
        {{"--frobnicate"}, "unknown option '--frobnicate'"},
        {{"-o"}, "-o needs a value"},
        {{"-r", dir.file("missing.dat")}, "cannot open"},
        {{"-r", cut}, "record 2 is cut short"},
    };
    for (const badcase& c : cases) {
        processresult r = rundecay(dir, c.args);
        EXPECT_EQ(r.status, 2) << c.message;
        EXPECT_NE(r.err.find(c.message), std::string::npos) << r.err;
        EXPECT_NE(r.err.find("usage: voxda-decay"), std::string::npos) << r.err;
        EXPECT_EQ(r.out, "") << c.message;
    }
}

TEST(VoxdaDecayTool, UnwritableOutputLeavesNoFile) {
    testtempdir dir;
    std::string target = dir.file("missing/pions.dat");
    processresult r = rundecay(dir, {"-n", "2", "-o", target});
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.err.find("cannot write"), std::string::npos) << r.err;
    EXPECT_FALSE(std::filesystem::exists(target));
    EXPECT_FALSE(std::filesystem::exists(target + ".tmp"));
    EXPECT_EQ(temporariesin(dir.path), std::vector<std::string>{});
}

}  // namespace
