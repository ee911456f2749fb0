// clock.h - a seconds clock that picks its time source on first use
#pragma once

// Seconds from a monotonic source; only differences are meaningful.  Starts as gettimefirst.
extern double (*gettime)();

// Chooses the performance counter when its frequency can be read, else the tick count, then
// returns the first reading.
double gettimefirst();

// The performance counter in seconds.
double gettimeperf();

// The tick count in seconds (millisecond resolution, wrapping after about 49.7 days).
double gettimetick();
