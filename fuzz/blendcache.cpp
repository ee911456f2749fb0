// The colour-combination cache "crarray.cgf": read, unpacked into the two tables and used.
#include <cstring>

#include "fuzz/fuzzscreen.h"
#include "fuzz/fuzztarget.h"

VOXDA_FUZZ_TARGET(blendcache) {
    if (fuzzsetupneeded("blendcache")) fuzzscreen(1, 16, 16);
    static unsigned char file[blendcachesize];
    const char* path = fuzzfile(data, size, ".cgf");
    if (!readblendcache(path, file)) {
        FUZZ_CHECK(size != static_cast<size_t>(blendcachesize));
        return 0;
    }
    FUZZ_CHECK(std::memcmp(file, data, blendcachesize) == 0);
    unpackblendcache(file, multiplytable, screenblendtable);
    // Both tables are symmetric, and every entry drives the 8-bit writers safely.
    for (int a = 0; a < 255; a += 17)
        for (int b = 0; b < 255; b += 13) {
            FUZZ_CHECK(multiplytable[blendentry(a, b)] == multiplytable[blendentry(b, a)]);
            FUZZ_CHECK(screenblendtable[blendentry(a, b)] == screenblendtable[blendentry(b, a)]);
        }
    for (int c = 0; c < 256; c += 5) {
        multiplypixelclipped(c % 16, c / 16, c);
        screenblendpixelclipped(c % 16, c / 16, c);
    }
    return 0;
}
