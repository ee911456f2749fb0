// platform_datetime_test.cpp - file times and date and time pictures
#include <gtest/gtest.h>

#include <cstdlib>
#include <string>

#include "platform/platform.h"

namespace {

// Sets LC_ALL for one test and puts it back.
struct localeguard {
    std::string old;
    bool had;
    explicit localeguard(const char* value) {
        const char* v = std::getenv("LC_ALL");
        had = v != nullptr;
        if (v) old = v;
        setenv("LC_ALL", value, 1);
    }
    ~localeguard() {
        if (had)
            setenv("LC_ALL", old.c_str(), 1);
        else
            unsetenv("LC_ALL");
    }
};

}  // namespace

TEST(PlatformDatetime, PicturesOfAFixedDateAndTime) {
    localeguard c("C");
    // Tuesday 2024-03-05 14:07:09.
    pfsystemtime t{2024, 3, 2, 5, 14, 7, 9, 0};
    const struct {
        bool date;
        uint32_t flags;
        const char* picture;
        const char* expected;
    } cases[] = {
        {true, 0, "yyyy-MMM-dd", "2024-Mar-05"},
        {true, 0, "d/M/yy", "5/3/24"},
        {true, 0, "dddd d MMMM y", "Tuesday 5 March 24"},
        {true, 0, "ddd dd MM", "Tue 05 03"},
        {true, 0, "'day' d 'o''clock'", "day 5 o'clock"},
        {false, 0, "HH:mm:ss", "14:07:09"},
        {false, 0, "h:m:s tt", "2:7:9 PM"},
        {false, 0, "hh t", "02 P"},
        {false, PF_TIME_FORCE24HOURFORMAT, "hh:mm tt", "14:07 "},
    };
    for (const auto& c : cases) {
        char out[64];
        int n = c.date ? pfgetdateformat(PF_LOCALE_USER_DEFAULT, 0, &t, c.picture, out, sizeof out)
                       : pfgettimeformat(PF_LOCALE_USER_DEFAULT, c.flags, &t, c.picture, out, sizeof out);
        EXPECT_STREQ(out, c.expected) << c.picture;
        EXPECT_EQ(n, static_cast<int>(std::string(c.expected).size()) + 1) << c.picture;
    }
}

TEST(PlatformDatetime, ResultsThatDoNotFitAreRefused) {
    localeguard c("C");
    pfsystemtime t{2024, 3, 2, 5, 14, 7, 9, 0};
    char out[12] = "untouched";
    EXPECT_EQ(pfgetdateformat(0, 0, &t, "yyyy-MMM-dd", out, 12), 12);  // exactly fits
    EXPECT_EQ(pfgetdateformat(0, 0, &t, "yyyy-MMM-dd", out, 11), 0);
    EXPECT_STREQ(out, "");
    pfsystemtime bad{2024, 13, 0, 5, 0, 0, 0, 0};
    EXPECT_EQ(pfgetdateformat(0, 0, &bad, "yyyy", out, 12), 0);
}

TEST(PlatformDatetime, FileTimesSplitIntoCalendarFields) {
    const struct {
        uint64_t ticks;
        pfsystemtime expected;
    } cases[] = {
        {0, {1601, 1, 1, 1, 0, 0, 0, 0}},                      // a Monday
        {116444736000000000ull, {1970, 1, 4, 1, 0, 0, 0, 0}},  // a Thursday
        // Ticks computed with Python's datetime: 2000-02-29 12:34:56.789 (a leap day, Tuesday) and
        // 2100-03-01 (after a century year that is no leap year, Monday).
        {125963012967890000ull, {2000, 2, 2, 29, 12, 34, 56, 789}},
        {157520160000000000ull, {2100, 3, 1, 1, 0, 0, 0, 0}},
        {0x7FFFFFFFFFFFFFFFull, {30828, 9, 4, 14, 2, 48, 5, 477}},  // beyond the last year
    };
    for (const auto& c : cases) {
        pffiletime ft{static_cast<uint32_t>(c.ticks), static_cast<uint32_t>(c.ticks >> 32)};
        pfsystemtime s{};
        int ok = pffiletimetosystemtime(&ft, &s);
        if (c.expected.year > 30827) {
            EXPECT_EQ(ok, 0);
            continue;
        }
        ASSERT_EQ(ok, 1) << c.ticks;
        EXPECT_EQ(s.year, c.expected.year) << c.ticks;
        EXPECT_EQ(s.month, c.expected.month) << c.ticks;
        EXPECT_EQ(s.dayofweek, c.expected.dayofweek) << c.ticks;
        EXPECT_EQ(s.day, c.expected.day) << c.ticks;
        EXPECT_EQ(s.hour * 10000 + s.minute * 100 + s.second,
                  c.expected.hour * 10000 + c.expected.minute * 100 + c.expected.second);
        EXPECT_EQ(s.milliseconds, c.expected.milliseconds) << c.ticks;
    }
    pffiletime negative{0, 0x80000000u};
    pfsystemtime s{};
    EXPECT_EQ(pffiletimetosystemtime(&negative, &s), 0);
}
