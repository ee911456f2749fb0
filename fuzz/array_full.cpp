// Growable-array files in the full layout (count, element size, minimum capacity, growth).
#include "fuzz/fuzzarray.h"

VOXDA_FUZZ_TARGET(array_full) {
    FILE* file = fuzzstream(data, size);
    bool ok = false;
    dynarray array = dynarrayread(file, &ok);
    std::fclose(file);
    fuzzusearray(&array, ok);
    return 0;
}
