// Growable-array files in the compact layout (count, element size byte).
#include "fuzz/fuzzarray.h"

VOXDA_FUZZ_TARGET(array_compact) {
    FILE* file = fuzzstream(data, size);
    bool ok = false;
    dynarray array = dynarrayreadcompact(file, &ok);
    std::fclose(file);
    fuzzusearray(&array, ok);
    return 0;
}
