// Tests of the mass table, the decay registry and text splitting.
#include "particles/decays.h"
#include "particles/species.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

std::vector<std::string> pieces(const char* separator, const char* text) {
    char** split = splitstring(separator, text);
    std::vector<std::string> out(split, split + splitcount(split));
    freesplit(split);
    return out;
}

std::vector<std::vector<int>> daughtersof(int species) {
    std::vector<std::vector<int>> out;
    const decayentry& e = decays[species];
    for (uint32_t c = 0; c < e.channels.count; ++c)
        out.emplace_back(e.channellist[c].daughters,
                         e.channellist[c].daughters + e.channellist[c].ndaughters);
    return out;
}

}  // namespace

TEST(DecaysSplit, PiecesBetweenSeparators) {
    using v = std::vector<std::string>;
    struct {
        const char* separator;
        const char* text;
        v expected;
    } cases[] = {
        {" --> ", "pi0 --> ", v{"pi0", ""}},
        {" --> ", "pi+ --> mu+ nu_mu", v{"pi+", "mu+ nu_mu"}},
        {" --> ", "no arrow here", v{"no arrow here"}},
        {" ", "", v{""}},
        {" ", "e+ e-", v{"e+", "e-"}},
        {" ", " a  b ", v{"", "a", "", "b", ""}},
        {"aa", "aaa", v{"", "a"}},  // occurrences do not overlap
        {"aa", "aaaa", v{"", "", ""}},
        {"-->", "x-->", v{"x", ""}},
        {"", "abc", v{"abc"}},
    };
    for (auto& c : cases) EXPECT_EQ(pieces(c.separator, c.text), c.expected) << '"' << c.text << '"';
}

TEST(DecaysTables, MassesLifetimesAndMirrors) {
    makedecaytables();
    ASSERT_NE(speciesmass, nullptr);
    EXPECT_NEAR(speciesmass[protonindex], 1.6726216e-27, 1e-33);
    for (int i = 10; i <= 13; ++i) EXPECT_EQ(speciesmass[i], 0.0);
    for (int i = 0; i < speciescount; ++i) {
        EXPECT_EQ(speciesmass[i], speciesrestenergy[i] / (299792458.0 * 299792458.0)) << i;
        EXPECT_EQ(decays[i].channellist, decays[i].channels.data) << i;
        EXPECT_EQ(decays[i].channels.elemsize, sizeof(decaychannel));
    }
    struct {
        int species;
        double lifetime;
        uint32_t channels;
    } cases[] = {{0, 2.6033e-08, 2}, {2, 2.6033e-08, 2}, {1, 2.19703e-06, 1}, {3, 2.19703e-06, 1},
                 {6, 1.2385e-08, 6}, {7, 1.2385e-08, 6}, {14, 8.4e-17, 2},    {4, 0, 0},
                 {15, 0, 0},         {8, 0, 0},          {19, 0, 0}};
    for (auto c : cases) {
        EXPECT_EQ(decays[c.species].lifetime, c.lifetime) << speciesname[c.species];
        EXPECT_EQ(decays[c.species].channels.count, c.channels) << speciesname[c.species];
    }
}

TEST(DecaysTables, DaughtersInReactionOrder) {
    makedecaytables();
    using d = std::vector<std::vector<int>>;
    EXPECT_EQ(daughtersof(0), (d{{1, 12}, {8, 10}}));
    EXPECT_EQ(daughtersof(2), (d{{3, 13}, {9, 11}}));
    EXPECT_EQ(daughtersof(3), (d{{9, 11, 12}}));
    EXPECT_EQ(daughtersof(1), (d{{8, 10, 13}}));
    EXPECT_EQ(daughtersof(6), (d{{1, 12}, {14, 8, 10}, {14, 1, 12}, {0, 14}, {0, 14, 14}, {0, 0, 2}}));
    EXPECT_EQ(daughtersof(7), (d{{3, 13}, {14, 9, 11}, {14, 3, 13}, {2, 14}, {2, 14, 14}, {2, 2, 0}}));
    EXPECT_EQ(daughtersof(14), (d{{}, {8, 9}}));
    EXPECT_NE(decays[14].channellist[0].daughters, nullptr);
}

TEST(DecaysTables, RatiosAreNormalisedPerParent) {
    makedecaytables();
    for (int i = 0; i < speciescount; ++i) {
        double sum = 0;
        for (uint32_t c = 0; c < decays[i].channels.count; ++c) sum += decays[i].channellist[c].ratio;
        if (decays[i].channels.count) {
            EXPECT_NEAR(sum, 1.0, 1e-15) << speciesname[i];
        }
    }
    EXPECT_DOUBLE_EQ(decays[14].channellist[0].ratio, 0.98798 / (0.98798 + 0.01198));
    EXPECT_NEAR(decays[14].channellist[0].ratio, 0.98802, 1e-5);
    EXPECT_NEAR(decays[14].channellist[1].ratio, 0.01198, 1e-5);
    double kaon = 0.6339 + 0.0493 + 0.033 + 0.2103 + 0.01757 + 0.0559;
    EXPECT_DOUBLE_EQ(decays[6].channellist[3].ratio, 0.2103 / kaon);
    EXPECT_EQ(decays[1].channellist[0].ratio, 1.0);
}

TEST(DecaysTables, SecondBuildChangesNothing) {
    makedecaytables();
    double* masses = speciesmass;
    decayentry* entries = decays;
    void* kaonchannels = decays[6].channels.data;
    double ratio = decays[0].channellist[0].ratio;
    makedecaytables();
    EXPECT_EQ(speciesmass, masses);
    EXPECT_EQ(decays, entries);
    EXPECT_EQ(decays[6].channels.data, kaonchannels);
    EXPECT_EQ(decays[6].channels.count, 6u);
    EXPECT_EQ(decays[0].channellist[0].ratio, ratio);
}
