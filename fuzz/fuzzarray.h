// What a program does with an array it read: checks its record, appends, removes, finds,
// writes it back; the invariants of the record hold throughout.
#pragma once

#include <cstring>
#include <vector>

#include "fuzz/fuzztarget.h"
#include "util/dynarray.h"

inline void fuzzcheckarray(const dynarray& a) {
    FUZZ_CHECK(a.data != nullptr);
    FUZZ_CHECK(a.count <= a.capacity);
    FUZZ_CHECK(a.capacity >= 1);
}

inline void fuzzusearray(dynarray* a, bool ok) {
    fuzzcheckarray(*a);
    if (!ok) FUZZ_CHECK(a->count == 0);
    // Every element read is really there.
    if (a->count && a->elemsize) {
        const unsigned char* last =
            static_cast<const unsigned char*>(a->data) + static_cast<size_t>(a->count - 1) * a->elemsize;
        volatile unsigned char sink = last[a->elemsize - 1];
        (void)sink;
    }
    if (ok && a->elemsize <= 4096 && a->count < 100000) {
        std::vector<unsigned char> element(a->elemsize ? a->elemsize : 1, 0x5A);
        for (int k = 0; k < 3; ++k) dynarrayappend(a, element.data());
        fuzzcheckarray(*a);
        FUZZ_CHECK(dynarrayfind(a, element.data()) == static_cast<int>(a->count) - 1 || a->elemsize == 0);
        dynarrayremove(a, 0);
        dynarrayremove(a, a->count);  // beyond the end: nothing
        fuzzcheckarray(*a);
        FILE* out = std::tmpfile();
        if (out) {
            FUZZ_CHECK(dynarraywrite(a, out));
            std::rewind(out);
            bool again = false;
            dynarray b = dynarrayread(out, &again);
            FUZZ_CHECK(again && b.count == a->count && b.elemsize == a->elemsize);
            FUZZ_CHECK(std::memcmp(a->data, b.data, static_cast<size_t>(a->count) * a->elemsize) == 0);
            dynarrayrelease(b);
            std::fclose(out);
        }
    }
    dynarrayrelease(*a);
}
