// Unit texts, as unit() and valuewithunit() read them (with and without a default unit).
#include <cstring>

#include "fuzz/fuzztarget.h"
#include "util/units.h"

VOXDA_FUZZ_TARGET(units) {
    std::string text(reinterpret_cast<const char*>(data), size);  // ends at its first zero
    const char* t = text.c_str();
    size_t length = std::strlen(t);
    (void)unit(t);
    for (const char* defaultunit : {static_cast<const char*>(nullptr), "mm", t}) {
        const char* end = nullptr;
        (void)valuewithunit(t, &end, defaultunit);
        FUZZ_CHECK(end >= t && end <= t + length);
    }
    return 0;
}
