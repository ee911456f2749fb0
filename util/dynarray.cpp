// dynarray: contiguous growable array of fixed-size elements, with an optional mirror pointer.
#include "util/dynarray.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "util/outputfile.h"

namespace {

// Largest room beyond the elements that one growth step, or a file's growth field, may ask
// for (64 MiB).
constexpr uint64_t maxgrowthroom = uint64_t(1) << 26;

// Fill target f of the growth rule.
double filltarget(float growth) { return 0.005 * growth + 0.5; }

// Integer part of n / f, kept within 32 bits; n itself when growth lies outside the
// range that keeps 0 < f <= 1 (such a value can only come from a damaged file).
uint32_t scaledcapacity(double n, float growth) {
    double f = filltarget(growth);
    if (!(f > 0.0 && f <= 1.0)) return n >= 4294967295.0 ? 4294967295u : static_cast<uint32_t>(n);
    double c = std::trunc(n / f);
    return c >= 4294967295.0 ? 4294967295u : static_cast<uint32_t>(c);
}

// Storage of capacity elements: at least one byte so that data is never null.
void* allocate(uint32_t capacity, uint32_t elemsize) {
    size_t bytes = static_cast<size_t>(capacity) * elemsize;
    return std::malloc(bytes ? bytes : 1);
}

// Stores data into the mirror variable, if one is bound.
void updatemirror(dynarray* array) {
    if (array->mirror) std::memcpy(array->mirror, &array->data, sizeof(void*));
}

// Allocate-copy-free resize to capacity elements.
void resize(dynarray* array, uint32_t capacity) {
    void* block = allocate(capacity, array->elemsize);
    if (array->count) std::memcpy(block, array->data, static_cast<size_t>(array->count) * array->elemsize);
    std::free(array->data);
    array->data = block;
    array->capacity = capacity;
    updatemirror(array);
}

// Grows the storage when it is full, before an element is added.
void growforappend(dynarray* array) {
    if (array->count < array->capacity) return;
    uint32_t capacity = scaledcapacity(static_cast<double>(array->count) + 1.0, array->growth);
    // A growth just above -100 (only a damaged file gives one) would ask for millions of
    // times the elements: one step adds at most maxgrowthroom bytes.
    uint64_t room = maxgrowthroom / (array->elemsize ? array->elemsize : 1);
    if (capacity > array->count + room)
        capacity = static_cast<uint32_t>(std::min<uint64_t>(array->count + room, 4294967295u));
    if (capacity <= array->count) capacity = array->count + 1;
    resize(array, capacity);
}

void putu32(unsigned char* out, uint32_t v) {
    out[0] = static_cast<unsigned char>(v);
    out[1] = static_cast<unsigned char>(v >> 8);
    out[2] = static_cast<unsigned char>(v >> 16);
    out[3] = static_cast<unsigned char>(v >> 24);
}

uint32_t getu32(const unsigned char* in) {
    return static_cast<uint32_t>(in[0]) | static_cast<uint32_t>(in[1]) << 8 |
           static_cast<uint32_t>(in[2]) << 16 | static_cast<uint32_t>(in[3]) << 24;
}

bool writeelements(const dynarray* array, FILE* file) {
    size_t bytes = static_cast<size_t>(array->count) * array->elemsize;
    return bytes == 0 || std::fwrite(array->data, 1, bytes, file) == bytes;
}

// Largest storage a file header may ask for beyond its elements (1 GiB).
constexpr uint64_t maxheaderstorage = uint64_t(1) << 30;
// Largest element size kept for the empty array returned by a failed read (1 MiB).
constexpr uint32_t maxfailedelemsize = 1u << 20;

// Builds the array a header describes and reads its elements; on any shortfall returns
// an empty array of that element size and reports false.
dynarray readbody(FILE* file, uint32_t count, uint32_t elemsize, uint32_t mincapacity, float growth,
                  bool* ok) {
    dynarray array;
    uint64_t need = static_cast<uint64_t>(count) * elemsize;
    bool good = static_cast<uint64_t>(mincapacity) * elemsize <= maxheaderstorage;
    // Read in chunks so that a header claiming more than the file holds never makes
    // us allocate what the file cannot fill.
    std::vector<unsigned char> bytes;
    while (good && bytes.size() < need) {
        size_t chunk = static_cast<size_t>(std::min<uint64_t>(need - bytes.size(), 1u << 20));
        size_t old = bytes.size();
        bytes.resize(old + chunk);
        size_t got = std::fread(bytes.data() + old, 1, chunk, file);
        if (got != chunk) good = false;
    }
    if (!good) {
        // Keep the header's element size unless it is absurd (then one byte).
        dynarrayinit(&array, elemsize <= maxfailedelemsize ? elemsize : 1);
        if (ok) *ok = false;
        return array;
    }
    uint32_t capacity = scaledcapacity(count, growth);
    // A growth just above -100 gives a tiny fill target and so an enormous capacity: the
    // room the growth rule adds beyond the elements read is bounded.
    if (elemsize && static_cast<uint64_t>(capacity - std::min(capacity, count)) * elemsize > maxgrowthroom)
        capacity =
            count + static_cast<uint32_t>(std::min<uint64_t>(maxgrowthroom / elemsize, 4294967295u - count));
    if (capacity < mincapacity) capacity = mincapacity;
    if (capacity < count) capacity = count;
    if (capacity < 1) capacity = 1;
    array.data = allocate(capacity, elemsize);
    if (need) std::memcpy(array.data, bytes.data(), static_cast<size_t>(need));
    array.mirror = nullptr;
    array.count = count;
    array.capacity = capacity;
    array.mincapacity = mincapacity;
    array.elemsize = elemsize;
    array.growth = growth;
    if (ok) *ok = true;
    return array;
}

// Writes through a temporary file beside path and renames it into place.
bool savevia(const dynarray* array, const char* path, bool (*writer)(const dynarray*, FILE*)) {
    outputfile out;
    if (!openoutput(&out, path)) return false;
    if (!writer(array, out.file)) {
        abortoutput(&out);
        return false;
    }
    return commitoutput(&out);
}

dynarray loadvia(const char* path, bool* ok, dynarray (*reader)(FILE*, bool*)) {
    FILE* file = std::fopen(path, "rb");
    if (!file) {
        dynarray array;
        dynarrayinit(&array, 1);
        if (ok) *ok = false;
        return array;
    }
    dynarray array = reader(file, ok);
    std::fclose(file);
    return array;
}

}  // namespace

// Starts an empty array with room for one element.
void* dynarrayinit(dynarray* array, uint32_t elemsize) {
    array->data = allocate(1, elemsize);
    array->mirror = nullptr;
    array->count = 0;
    array->capacity = 1;
    array->mincapacity = 1;
    array->elemsize = elemsize;
    array->growth = 60.0f;
    return array->data;
}

// Appends a copy of one element.
uint32_t dynarrayappend(dynarray* array, const void* elem) {
    growforappend(array);
    std::memcpy(
        static_cast<unsigned char*>(array->data) + static_cast<size_t>(array->count) * array->elemsize, elem,
        array->elemsize);
    return array->count++;
}

// Appends one element with undefined contents.
void* dynarrayappendslot(dynarray* array) {
    growforappend(array);
    void* slot =
        static_cast<unsigned char*>(array->data) + static_cast<size_t>(array->count) * array->elemsize;
    array->count++;
    return slot;
}

// Removes one element: the last takes its place; shrinks below the fill threshold.
void dynarrayremove(dynarray* array, uint32_t index) {
    if (index >= array->count) return;
    uint32_t last = array->count - 1;
    if (index != last) {
        unsigned char* base = static_cast<unsigned char*>(array->data);
        std::memcpy(base + static_cast<size_t>(index) * array->elemsize,
                    base + static_cast<size_t>(last) * array->elemsize, array->elemsize);
    }
    array->count = last;
    double fill = static_cast<double>(array->count) / static_cast<double>(array->capacity);
    if (fill < 0.01 * array->growth && array->capacity > array->mincapacity) {
        uint32_t capacity = scaledcapacity(array->count, array->growth);
        if (capacity < array->mincapacity) capacity = array->mincapacity;
        if (capacity < array->count) capacity = array->count;
        if (capacity < 1) capacity = 1;
        resize(array, capacity);
    }
}

// Last element equal to key, byte for byte.
int dynarrayfind(const dynarray* array, const void* key) {
    const unsigned char* base = static_cast<const unsigned char*>(array->data);
    for (int64_t i = static_cast<int64_t>(array->count) - 1; i >= 0; --i)
        if (std::memcmp(base + static_cast<size_t>(i) * array->elemsize, key, array->elemsize) == 0)
            return static_cast<int>(i);
    return -1;
}

// Removes the element equal to key, if there is one.
void dynarrayremovevalue(dynarray* array, const void* key) {
    int index = dynarrayfind(array, key);
    if (index >= 0) dynarrayremove(array, static_cast<uint32_t>(index));
}

// Sorts the elements in use.
void dynarraysort(dynarray* array, int (*compare)(const void*, const void*)) {
    if (array->count > 1) std::qsort(array->data, array->count, array->elemsize, compare);
}

// Binds the mirror variable.
void* dynarraybind(dynarray* array, void* pointervariable) {
    void* previous = array->mirror;
    array->mirror = pointervariable;
    updatemirror(array);
    return previous;
}

// Empties the array to fresh storage of mincapacity elements.
void dynarrayclear(dynarray* array) {
    std::free(array->data);
    array->count = 0;
    array->capacity = array->mincapacity ? array->mincapacity : 1;
    array->data = allocate(array->capacity, array->elemsize);
    updatemirror(array);
}

// Copy with its own storage and no mirror.
dynarray dynarrayclone(dynarray array) {
    dynarray copy = array;
    copy.data = allocate(array.capacity, array.elemsize);
    std::memcpy(copy.data, array.data, static_cast<size_t>(array.capacity) * array.elemsize);
    copy.mirror = nullptr;
    return copy;
}

// Frees a heap-allocated record and its storage.
void dynarraydestroy(dynarray* array) {
    dynarrayrelease(*array);
    std::free(array);
}

// Frees the storage of a record held by value.
void dynarrayrelease(dynarray array) {
    if (array.mirror) {
        void* none = nullptr;
        std::memcpy(array.mirror, &none, sizeof(void*));
    }
    std::free(array.data);
}

// Full layout.
bool dynarraywrite(const dynarray* array, FILE* file) {
    unsigned char header[dynarrayheaderbytes];
    uint32_t growthbits;
    std::memcpy(&growthbits, &array->growth, 4);
    putu32(header, array->count);
    putu32(header + 4, array->elemsize);
    putu32(header + 8, array->mincapacity);
    putu32(header + 12, growthbits);
    return std::fwrite(header, 1, sizeof header, file) == sizeof header && writeelements(array, file);
}

// Compact layout.
bool dynarraywritecompact(const dynarray* array, FILE* file) {
    unsigned char header[dynarraycompactheaderbytes];
    putu32(header, array->count);
    header[4] = static_cast<unsigned char>(array->elemsize);
    return std::fwrite(header, 1, sizeof header, file) == sizeof header && writeelements(array, file);
}

bool dynarraysavecompact(const dynarray* array, const char* path) {
    return savevia(array, path, dynarraywritecompact);
}

bool dynarraysave(const dynarray* array, const char* path) { return savevia(array, path, dynarraywrite); }

// Reads the full layout.
dynarray dynarrayread(FILE* file, bool* ok) {
    unsigned char header[dynarrayheaderbytes];
    if (std::fread(header, 1, sizeof header, file) != sizeof header) {
        dynarray array;
        dynarrayinit(&array, 1);
        if (ok) *ok = false;
        return array;
    }
    float growth;
    uint32_t growthbits = getu32(header + 12);
    std::memcpy(&growth, &growthbits, 4);
    return readbody(file, getu32(header), getu32(header + 4), getu32(header + 8), growth, ok);
}

// Reads the compact layout.
dynarray dynarrayreadcompact(FILE* file, bool* ok) {
    unsigned char header[dynarraycompactheaderbytes];
    if (std::fread(header, 1, sizeof header, file) != sizeof header) {
        dynarray array;
        dynarrayinit(&array, 1);
        if (ok) *ok = false;
        return array;
    }
    return readbody(file, getu32(header), header[4], 1, 60.0f, ok);
}

dynarray dynarrayloadcompact(const char* path, bool* ok) { return loadvia(path, ok, dynarrayreadcompact); }

dynarray dynarrayload(const char* path, bool* ok) { return loadvia(path, ok, dynarrayread); }
