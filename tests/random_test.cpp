// Tests of the random source and the small helpers.
#include "util/random.h"
#include "util/helpers.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <limits>
#include <set>

#include "tests/testfiles.h"
#include "tests/testrandom.h"

TEST(RandomSource, FirstValuesFromTheStartingState) {
    freshrandom fresh;
    EXPECT_EQ(randvalue(), 41);
    EXPECT_EQ(randvalue(), 18467);
    EXPECT_EQ(randvalue(), 6334);
    EXPECT_EQ(randvalue(), 26500);
    randstate = 1;
    EXPECT_EQ(randreal(2.0), 1.1271363068372011);
    // The next pair is 6334 (low bits) and 26500 (high bits).
    EXPECT_EQ(randreal(1.0), (6334 / 32768.0 + 26500) / 32768.0);
}

TEST(RandomSource, RealsStayInTheirHalfOpenRange) {
    freshrandom fresh;
    double lowest = 2, highest = 0;
    for (int i = 0; i < 100000; ++i) {
        double r = randreal(2.0);
        ASSERT_GE(r, 0.0);
        ASSERT_LT(r, 2.0);
        lowest = std::min(lowest, r);
        highest = std::max(highest, r);
        double n = randreal(-3.0);
        ASSERT_LE(n, 0.0);
        ASSERT_GT(n, -3.0);
    }
    EXPECT_LT(lowest, 0.001);
    EXPECT_GT(highest, 1.999);
    EXPECT_EQ(randreal(0.0), 0.0);
}

TEST(RandomSource, IntsCoverZeroToNMinusOne) {
    freshrandom fresh;
    struct {
        int n, lowest, highest;
    } cases[] = {{1, 0, 0}, {0, 0, 0}, {-5, 0, 0}, {7, 0, 6}, {2, 0, 1}};
    for (auto c : cases) {
        std::set<int> seen;
        for (int i = 0; i < 2000; ++i) seen.insert(randint(c.n));
        EXPECT_EQ(*seen.begin(), c.lowest) << c.n;
        EXPECT_EQ(*seen.rbegin(), c.highest) << c.n;
        EXPECT_EQ(seen.size(), static_cast<size_t>(c.highest - c.lowest + 1)) << c.n;
    }
}

TEST(HelpersFile, ReadWholeFile) {
    testtempdir dir;
    std::string empty = dir.file("empty"), five = dir.file("five");
    std::ofstream(empty, std::ios::binary).close();
    std::ofstream(five, std::ios::binary).write("a\0b\xffz", 5);
    int length = -7;
    EXPECT_EQ(readwholefile(empty.c_str(), &length), nullptr);
    EXPECT_EQ(length, 0);
    length = -7;
    unsigned char* block = readwholefile(five.c_str(), &length);
    ASSERT_NE(block, nullptr);
    ASSERT_EQ(length, 5);
    EXPECT_EQ(std::memcmp(block, "a\0b\xffz", 5), 0);
    std::free(block);
    length = -7;
    EXPECT_EQ(readwholefile(dir.file("absent").c_str(), &length), nullptr);
    EXPECT_EQ(length, -7);
    EXPECT_EQ(readwholefile(dir.path.c_str(), &length), nullptr);  // a directory
    EXPECT_EQ(length, -7);
    // A file longer than an int can count is refused before anything is read (sparse: no disk).
    std::string huge = dir.file("huge");
    std::ofstream(huge, std::ios::binary).close();
    std::filesystem::resize_file(huge, std::uintmax_t{1} << 31);
    EXPECT_EQ(readwholefile(huge.c_str(), &length), nullptr);
    EXPECT_EQ(length, -7);
    std::filesystem::remove(huge);
}

TEST(HelpersString, SetAndNewString) {
    char* text = nullptr;
    EXPECT_EQ(newstring(&text, "proton"), 6);
    char* first = text;
    EXPECT_STREQ(text, "proton");
    EXPECT_EQ(setstring(&text, "pi0"), 3);
    EXPECT_NE(text, first);  // a fresh copy; the old one was freed
    EXPECT_STREQ(text, "pi0");
    char* second = text;
    EXPECT_EQ(newstring(&text, ""), 0);
    EXPECT_STREQ(text, "");
    EXPECT_STREQ(second, "pi0");  // newstring leaves the old text alone
    std::free(second);
    EXPECT_EQ(setstring(&text, nullptr), 0);
    EXPECT_STREQ(text, "");
    std::free(text);
}

TEST(HelpersCharacter, LowercaseAndCharcode) {
    struct {
        int in, lower, code;
    } cases[] = {{'A', 'a', 65}, {'Z', 'z', 90},    {'@', '@', 64},    {'[', '[', 91}, {'m', 'm', 109},
                 {'a', 'a', 97}, {0xC9, 0xC9, 201}, {0xE9, 0xE9, 233}, {0, 0, 0},      {0xFF, 0xFF, 255}};
    for (auto c : cases) {
        char ch = static_cast<char>(c.in);
        EXPECT_EQ(lowercase(ch), static_cast<char>(c.lower)) << c.in;
        EXPECT_EQ(charcode(ch), c.code) << c.in;
    }
}

TEST(HelpersNumeric, MinMaxClampSquare) {
    double nan = std::numeric_limits<double>::quiet_NaN();
    EXPECT_TRUE(std::isnan(dmin(1, nan)));
    EXPECT_EQ(dmax(1, nan), 1);
    EXPECT_EQ(dmin(nan, 1), 1);
    EXPECT_TRUE(std::isnan(dmax(nan, 1)));
    EXPECT_EQ(dmin(2, -3), -3);
    EXPECT_EQ(dmax(2, -3), 2);
    EXPECT_TRUE(std::signbit(dmin(0.0, -0.0)));  // tie: b
    EXPECT_TRUE(std::signbit(dmax(0.0, -0.0)));  // tie: b
    EXPECT_TRUE(std::isnan(clampzero(nan)));
    EXPECT_EQ(clampzero(-0.5), 0);
    EXPECT_EQ(clampzero(0.25), 0.25);
    EXPECT_EQ(imin(3, -4), -4);
    EXPECT_EQ(imax(3, -4), 3);
    EXPECT_EQ(square(-1.5), 2.25);
}

TEST(HelpersStyle, SameStyleComparesAllBytes) {
    struct style28 {
        unsigned char b[28];
    };
    style28 a{}, b{};
    EXPECT_EQ(samestyle(a, b), 1);
    b.b[27] = 1;
    EXPECT_EQ(samestyle(a, b), 0);
    b = a;
    b.b[0] = 0x80;
    EXPECT_EQ(samestyle(a, b), 0);
}
