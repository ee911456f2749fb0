// clock.cpp - a seconds clock that picks its time source on first use
#include "platform/clock.h"

#include <cstdint>

#include "platform/platform.h"

double (*gettime)() = gettimefirst;

namespace {
double secondspercount = 0.0;  // 1 / performance-counter frequency
}

double gettimefirst() {
    int64_t frequency = 0;
    if (pfqueryperformancefrequency(&frequency) && frequency > 0) {
        uint64_t f = static_cast<uint64_t>(frequency);
        secondspercount = 1.0 / (static_cast<double>(static_cast<uint32_t>(f >> 32)) * 4294967296.0 +
                                 static_cast<double>(static_cast<uint32_t>(f)));
        gettime = gettimeperf;
    } else {
        gettime = gettimetick;
    }
    return gettime();
}

double gettimeperf() {
    int64_t count = 0;
    pfqueryperformancecounter(&count);
    // The high half is signed, the low half unsigned.
    double high = static_cast<double>(static_cast<int32_t>(static_cast<uint64_t>(count) >> 32));
    double low = static_cast<double>(static_cast<uint32_t>(count));
    return (high * 4294967296.0 + low) * secondspercount;
}

double gettimetick() { return static_cast<double>(pfgettickcount()) * 0.001; }
