// platform_clock_test.cpp - gettime's choice of source and its readings on the virtual clock
#include <gtest/gtest.h>

#include "platform/headless/headless.h"
#include "platform/resultcodes.h"
#include "platform/clock.h"

TEST(PlatformClock, FirstCallPicksThePerformanceCounter) {
    ASSERT_EQ(pfheadlessstart(), 1);
    pfheadlessadvance(1500000000);  // 1.5 s
    gettime = gettimefirst;
    EXPECT_EQ(gettime(), 1.5);
    EXPECT_EQ(gettime, gettimeperf);
    pfheadlessadvance(250000);  // 0.25 ms
    EXPECT_DOUBLE_EQ(gettime(), 1.50025);
}

TEST(PlatformClock, WithoutAFrequencyTheTickCountIsUsed) {
    ASSERT_EQ(pfheadlessstart(), 1);
    pfheadlessfail("pfqueryperformancefrequency", PFERR_GENERIC, 1);
    pfheadlessadvance(2345678901);  // 2.345678901 s: ticks see whole milliseconds only
    gettime = gettimefirst;
    EXPECT_DOUBLE_EQ(gettime(), 2.345);
    EXPECT_EQ(gettime, gettimetick);
    pfsleep(30);
    EXPECT_DOUBLE_EQ(gettime(), 2.375);
    gettime = gettimefirst;
}
