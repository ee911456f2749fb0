// Fuzz targets: one function per input the system reads, over arbitrary bytes. Each file in
// fuzz/ defines one with VOXDA_FUZZ_TARGET. Built alone (VOXDA_LIBFUZZER) it becomes a
// libFuzzer program; linked into the tests, the corpus in fuzz/corpus/NAME/ is replayed
// through the same function.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include <unistd.h>

struct fuzztarget {
    const char* name;
    int (*run)(const uint8_t* data, size_t size);
};

// Every target linked into this program, in no particular order.
inline std::vector<fuzztarget>& fuzztargets() {
    static std::vector<fuzztarget> targets;
    return targets;
}

struct fuzzregistration {
    fuzzregistration(const char* name, int (*run)(const uint8_t*, size_t)) {
        fuzztargets().push_back({name, run});
    }
};

#ifdef VOXDA_LIBFUZZER
#define VOXDA_FUZZ_ENTRY(name)                                                \
    extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) { \
        return fuzz_##name(data, size);                                       \
    }
#else
#define VOXDA_FUZZ_ENTRY(name) static fuzzregistration fuzzregistered_##name(#name, fuzz_##name);
#endif

#define VOXDA_FUZZ_TARGET(name)                               \
    static int fuzz_##name(const uint8_t* data, size_t size); \
    VOXDA_FUZZ_ENTRY(name)                                    \
    static int fuzz_##name(const uint8_t* data, size_t size)

// A broken invariant is a finding: abort so that libFuzzer (and the replay) reports it.
#define FUZZ_CHECK(condition)                                                                        \
    do {                                                                                             \
        if (!(condition)) {                                                                          \
            std::fprintf(stderr, "fuzz check failed: %s (%s:%d)\n", #condition, __FILE__, __LINE__); \
            std::abort();                                                                            \
        }                                                                                            \
    } while (0)

// True once per run of a target, and again whenever another target ran in between (the
// replay runs every target in one process): the target then sets up its global state.
inline bool fuzzsetupneeded(const char* name) {
    static const char* last = nullptr;
    bool needed = last != name;
    last = name;
    return needed;
}

// A scratch file of this process holding the bytes; its path.
inline const char* fuzzfile(const uint8_t* data, size_t size, const char* suffix = "") {
    static std::string path;
    const char* dir = std::getenv("TMPDIR");
    path = std::string(dir && *dir ? dir : "/tmp") + "/voxda-fuzz-" + std::to_string(getpid()) + suffix;
    FILE* f = std::fopen(path.c_str(), "wb");
    if (!f) std::abort();
    if (size) std::fwrite(data, 1, size, f);
    std::fclose(f);
    return path.c_str();
}

// The bytes as an open stream (close it with fclose).
inline FILE* fuzzstream(const uint8_t* data, size_t size) {
    FILE* f = std::tmpfile();
    if (!f) std::abort();
    if (size) std::fwrite(data, 1, size, f);
    std::rewind(f);
    return f;
}

// The path of the shipped font.
inline std::string fuzzfontpath() {
#ifdef VOXDA_SOURCE_DIR
    return std::string(VOXDA_SOURCE_DIR) + "/assets/font.dat";
#else
    return "assets/font.dat";
#endif
}

// Takes n bytes from the front of the input as a little-endian number (fewer when short).
inline uint32_t fuzztake(const uint8_t*& data, size_t& size, int n) {
    uint32_t v = 0;
    for (int k = 0; k < n && size; ++k, ++data, --size) v |= static_cast<uint32_t>(*data) << (8 * k);
    return v;
}
