// Random numbers: our own 15-bit linear congruential source, uniform reals and ints.
#include "util/random.h"

#include <cmath>

uint32_t randstate = 1;

// One step of the generator.
int randvalue() {
    randstate = randstate * 214013u + 2531011u;
    return static_cast<int>((randstate >> 16) & 0x7FFF);
}

// A 30-bit fraction of x: the first value gives the low, the second the high 15 bits.
double randreal(double x) {
    int a = randvalue();
    int b = randvalue();
    return ((a / 32768.0) + b) / 32768.0 * x;
}

// floor of randreal(n), with a value rounded up to n (and every n <= 0) caught.
int randint(int n) {
    int k = static_cast<int>(std::floor(randreal(n)));
    if (k < n) return k;
    return n - 1 > 0 ? n - 1 : 0;
}
