// Tests of the species tables and their lookups.
#include "particles/species.h"

#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <vector>

namespace {

std::vector<std::string> warnings;
void collect(const char* text) { warnings.push_back(text); }

// Collects the warnings given while it lives.
struct warningcatcher {
    warningcatcher() {
        warnings.clear();
        warnobserver = collect;
    }
    ~warningcatcher() { warnobserver = nullptr; }
};

}  // namespace

TEST(SpeciesTable, RestEnergiesChargesAndNumbers) {
    const double mev[speciescount] = {139.5702,   105.6583568, 139.5702, 105.6583568, 938.272029,
                                      938.272029, 493.677,     493.677,  0.510998918, 0.510998918,
                                      0,          0,           0,        0,           134.9766,
                                      939.56536,  939.293976,  10329,    15024,       21597};
    const int charge[speciescount] = {1, 1, -1, -1, 1, -1, 1, -1, 1, -1, 0, 0, 0, 0, 0, 0, -1, 5, 8, 11};
    for (int i = 0; i < speciescount; ++i) {
        EXPECT_NEAR(speciesrestenergy[i] / joulespermev, mev[i], mev[i] * 1e-12) << speciesname[i];
        EXPECT_EQ(speciescharge[i], charge[i] * 1.602176462e-19) << speciesname[i];
    }
    EXPECT_EQ(speciesrestenergy[protonindex], 1.5032773598167815e-10);
    EXPECT_STREQ(speciesname[protonindex], "p");
    // Every listed identifier leads back to its species.
    for (int i = 0; i < marsidcount; ++i) EXPECT_EQ(speciesbypid(marsid[i], 1), i);
    for (int i = 0; i < pdgidcount; ++i) EXPECT_EQ(speciesbypid(pdgid[i], 2), i);
    for (int i = 0; i < scheme3idcount; ++i) EXPECT_EQ(speciesbypid(scheme3id[i], 3), i);
}

TEST(SpeciesByName, WholeAndPartModes) {
    struct {
        const char* name;
        unsigned char mode;
        int index;
    } cases[] = {
        {"p", 0, 4},
        {"P", 0, 4},
        {"proton", 0, 4},
        {"PI+", 0, 0},
        {"pion", 0, 0},
        {"Muon", 0, 1},
        {"electron", 0, 9},
        {"Positron", 0, 8},
        {"Neutron", 0, 15},
        {"Na11+", 0, 19},
        {"na11+", 0, 19},
        {"nu_MUBAR", 0, 13},
        {"e-", 0, 9},
        {"pions", 0, -1},
        {"Fast Pions", 1, 0},
        {"pi+", 1, 4},
        {"my Muon beam", 1, 1},
        {"ko8+x", 1, 18},
        {"K+", 1, 6},
        {"xyz", 1, -1},
    };
    warningcatcher catcher;
    for (auto c : cases)
        EXPECT_EQ(speciesbyname(c.name, c.mode), c.index) << c.name << " mode " << int(c.mode);
}

TEST(SpeciesByName, WarningsForUnknownNamesOnly) {
    warningcatcher catcher;
    EXPECT_EQ(speciesbyname("xyz", 0), -1);
    ASSERT_EQ(warnings.size(), 1u);
    EXPECT_EQ(warnings[0], "[WARNING] Unrecognised particle species 'xyz'");
    EXPECT_EQ(speciesbyname("", 0), -1);
    EXPECT_EQ(speciesbyname("", 1), -1);
    EXPECT_EQ(speciesbyname(nullptr, 0), -1);
    EXPECT_EQ(speciesbyname("p", 0), 4);
    EXPECT_EQ(warnings.size(), 1u);
    // A long name is cut to fit the 100-character buffer.
    std::string longname(300, 'q');
    EXPECT_EQ(speciesbyname(longname.c_str(), 0), -1);
    ASSERT_EQ(warnings.size(), 2u);
    EXPECT_EQ(warnings[1].size(), 99u);
    EXPECT_EQ(warnings[1].rfind("[WARNING] Unrecognised particle species 'qqq", 0), 0u);
}

TEST(SpeciesByPid, SchemesAndWarnings) {
    warningcatcher catcher;
    struct {
        int32_t id;
        int scheme, index;
    } cases[] = {{2212, 2, 4}, {13, 1, 14},   {13, 2, 3},   {5, 3, 4},  {-1, 3, 9},
                 {2, 1, 15},   {2112, 2, 15}, {999, 2, -1}, {1, 4, -1}, {2212, 0, -1}};
    for (auto c : cases) EXPECT_EQ(speciesbypid(c.id, c.scheme), c.index) << c.id << " in " << c.scheme;
    ASSERT_EQ(warnings.size(), 1u);  // only 999 in scheme 2: bad schemes give no warning
    EXPECT_EQ(warnings[0], "[WARNING] Unrecognised PDG PID 999");
    EXPECT_EQ(speciesbypid(-7, 1), -1);
    EXPECT_EQ(speciesbypid(2212, 3), -1);
    ASSERT_EQ(warnings.size(), 3u);
    EXPECT_EQ(warnings[1], "[WARNING] Unrecognised MARS PID -7");
    EXPECT_EQ(warnings[2], "[WARNING] Unrecognised invalid type PID 2212");
}

TEST(SpeciesStatus, NamesAndTheCatchAll) {
    struct {
        int code;
        const char* name;
    } cases[] = {{-1, "Finished"},   {0, "Active"},    {1, "Stopped"},  {3, "Reimpact"},
                 {4, "WrongEnergy"}, {10, "Decayed"},  {2, "Quibbets"}, {5, "Quibbets"},
                 {9, "Quibbets"},    {11, "Quibbets"}, {-2, "Quibbets"}};
    for (auto c : cases) EXPECT_STREQ(statusname(c.code), c.name) << c.code;
}
