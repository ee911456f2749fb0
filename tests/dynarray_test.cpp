// Tests of the growable array: growth and shrink rule, removal, mirror, both file layouts.
#include "util/dynarray.h"

#include <gtest/gtest.h>

#include <cstring>
#include <fstream>
#include <iterator>
#include <vector>

#include "tests/testfiles.h"

namespace {

// An array of ints holding values.
dynarray intarray(const std::vector<int>& values) {
    dynarray a;
    dynarrayinit(&a, sizeof(int));
    for (int v : values) dynarrayappend(&a, &v);
    return a;
}

std::vector<int> contents(const dynarray& a) {
    const int* p = static_cast<const int*>(a.data);
    return std::vector<int>(p, p + a.count);
}

// An array of 40-byte records whose bytes differ from element to element.
struct record40 {
    unsigned char b[40];
};
dynarray recordarray(int n) {
    dynarray a;
    dynarrayinit(&a, sizeof(record40));
    for (int i = 0; i < n; ++i) {
        record40 r;
        for (int k = 0; k < 40; ++k) r.b[k] = static_cast<unsigned char>(i * 41 + k);
        dynarrayappend(&a, &r);
    }
    return a;
}

}  // namespace

TEST(DynarrayGrowth, NewArrayThenFirstAndSecondAppend) {
    dynarray a;
    void* storage = dynarrayinit(&a, 12);
    EXPECT_EQ(storage, a.data);
    EXPECT_EQ(a.count, 0u);
    EXPECT_EQ(a.capacity, 1u);
    EXPECT_EQ(a.mincapacity, 1u);
    EXPECT_EQ(a.elemsize, 12u);
    EXPECT_EQ(a.growth, 60.0f);
    EXPECT_EQ(a.mirror, nullptr);
    char element[12] = "first";
    EXPECT_EQ(dynarrayappend(&a, element), 0u);
    EXPECT_EQ(a.data, storage);  // room for one: no reallocation
    EXPECT_EQ(a.capacity, 1u);
    std::strcpy(element, "second");
    EXPECT_EQ(dynarrayappend(&a, element), 1u);
    EXPECT_EQ(a.capacity, 2u);
    EXPECT_STREQ(static_cast<char*>(a.data), "first");
    EXPECT_STREQ(static_cast<char*>(a.data) + 12, "second");
    dynarrayrelease(a);
}

TEST(DynarrayGrowth, FullArrayGrowsByAQuarter) {
    struct {
        uint32_t full, grown;
    } cases[] = {{1, 2}, {2, 3}, {4, 6}, {100, 126}, {13, 17}};
    for (auto c : cases) {
        dynarray a;
        dynarrayinit(&a, sizeof(int));
        a.mincapacity = c.full;
        dynarrayclear(&a);  // fresh storage of exactly c.full elements
        for (uint32_t i = 0; i < c.full; ++i) dynarrayappend(&a, &i);
        EXPECT_EQ(a.capacity, c.full);
        int extra = -1;
        *static_cast<int*>(dynarrayappendslot(&a)) = extra;
        EXPECT_EQ(a.capacity, c.grown) << "full at " << c.full;
        std::vector<int> got = contents(a);
        for (uint32_t i = 0; i < c.full; ++i) ASSERT_EQ(got[i], static_cast<int>(i));
        EXPECT_EQ(got.back(), -1);
        dynarrayrelease(a);
    }
}

TEST(DynarrayGrowth, TenThousandAppends) {
    dynarray a;
    dynarrayinit(&a, sizeof(int));
    for (int i = 0; i < 10000; ++i) EXPECT_EQ(dynarrayappend(&a, &i), static_cast<uint32_t>(i));
    EXPECT_EQ(a.count, 10000u);
    EXPECT_GE(a.capacity, 10000u);
    EXPECT_LE(a.capacity, 12500u);
    std::vector<int> got = contents(a);
    for (int i = 0; i < 10000; ++i) ASSERT_EQ(got[i], i);
    dynarrayrelease(a);
}

TEST(DynarrayRemove, LastElementTakesThePlace) {
    struct {
        std::vector<int> before;
        uint32_t index;
        std::vector<int> after;
    } cases[] = {
        {{10, 11, 12, 13, 14}, 3, {10, 11, 12, 14}},
        {{10, 11, 12, 13, 14}, 0, {14, 11, 12, 13}},
        {{10, 11, 12, 13, 14}, 4, {10, 11, 12, 13}},  // the last: nothing moves
        {{10, 11, 12, 13, 14}, 5, {10, 11, 12, 13, 14}},
        {{10, 11, 12, 13, 14}, 0xFFFFFFFFu, {10, 11, 12, 13, 14}},
        {{}, 0, {}},
    };
    for (auto& c : cases) {
        dynarray a = intarray(c.before);
        dynarrayremove(&a, c.index);
        EXPECT_EQ(contents(a), c.after) << "index " << c.index;
        dynarrayrelease(a);
    }
}

TEST(DynarrayRemove, ShrinksBelowSixtyPercentToEightyPercent) {
    dynarray a;
    dynarrayinit(&a, sizeof(int));
    a.mincapacity = 13;
    dynarrayclear(&a);
    a.mincapacity = 1;
    for (int i = 0; i < 9; ++i) dynarrayappend(&a, &i);
    dynarrayremove(&a, 8);
    EXPECT_EQ(a.count, 8u);
    EXPECT_EQ(a.capacity, 13u);  // 8/13 is above 0.6
    dynarrayremove(&a, 2);
    EXPECT_EQ(a.count, 7u);
    EXPECT_EQ(a.capacity, 8u);  // 7/13 is below 0.6: integer part of 7/0.8
    EXPECT_EQ(contents(a), (std::vector<int>{0, 1, 7, 3, 4, 5, 6}));
    while (a.count) dynarrayremove(&a, 0);
    EXPECT_EQ(a.capacity, 1u);
    dynarrayrelease(a);
}

TEST(DynarrayRemove, NeverBelowMinimumCapacity) {
    dynarray a;
    dynarrayinit(&a, sizeof(int));
    a.mincapacity = 5;
    dynarrayclear(&a);
    for (int i = 0; i < 40; ++i) dynarrayappend(&a, &i);
    EXPECT_GT(a.capacity, 40u);
    while (a.count) {
        dynarrayremove(&a, a.count - 1);
        ASSERT_GE(a.capacity, 5u);
        ASSERT_GE(a.capacity, a.count);
    }
    EXPECT_EQ(a.capacity, 5u);
    dynarrayclear(&a);
    EXPECT_EQ(a.capacity, 5u);
    dynarrayrelease(a);
}

TEST(DynarraySearch, FindRemoveValueAndSort) {
    dynarray a = intarray({5, 9, 2, 9, 7});
    int nine = 9, absent = 4;
    EXPECT_EQ(dynarrayfind(&a, &nine), 3);  // searched from the last index down
    EXPECT_EQ(dynarrayfind(&a, &absent), -1);
    dynarrayremovevalue(&a, &absent);
    EXPECT_EQ(a.count, 5u);
    dynarrayremovevalue(&a, &nine);
    EXPECT_EQ(contents(a), (std::vector<int>{5, 9, 2, 7}));
    dynarraysort(&a, [](const void* l, const void* r) {
        int x = *static_cast<const int*>(l), y = *static_cast<const int*>(r);
        return (x > y) - (x < y);
    });
    EXPECT_EQ(contents(a), (std::vector<int>{2, 5, 7, 9}));
    dynarrayrelease(a);
}

TEST(DynarrayMirror, FollowsEveryReallocationAndIsClearedOnRelease) {
    dynarray a;
    dynarrayinit(&a, sizeof(double));
    double* view = nullptr;
    EXPECT_EQ(dynarraybind(&a, &view), nullptr);
    EXPECT_EQ(view, a.data);
    for (int i = 0; i < 50; ++i) {
        double v = i * 0.5;
        uint32_t before = a.capacity;
        dynarrayappend(&a, &v);
        ASSERT_EQ(view, a.data);
        if (a.capacity != before) {
            ASSERT_EQ(view[i], v);
        }
    }
    bool shrank = false;
    while (a.count > 3) {
        uint32_t before = a.capacity;
        dynarrayremove(&a, 0);
        shrank |= a.capacity < before;
        ASSERT_EQ(view, a.data);
    }
    EXPECT_TRUE(shrank);
    dynarrayclear(&a);
    EXPECT_EQ(view, a.data);
    double* other = nullptr;
    EXPECT_EQ(dynarraybind(&a, &other), &view);
    EXPECT_EQ(other, a.data);
    dynarrayrelease(a);
    EXPECT_EQ(other, nullptr);

    dynarray* heap = static_cast<dynarray*>(std::malloc(sizeof(dynarray)));
    dynarrayinit(heap, 4);
    dynarraybind(heap, &view);
    EXPECT_NE(view, nullptr);
    dynarraydestroy(heap);
    EXPECT_EQ(view, nullptr);
}

TEST(DynarrayMirror, CloneHasItsOwnStorageAndNoMirror) {
    dynarray a = intarray({1, 2, 3});
    int* view = nullptr;
    dynarraybind(&a, &view);
    dynarray b = dynarrayclone(a);
    EXPECT_NE(b.data, a.data);
    EXPECT_EQ(b.mirror, nullptr);
    EXPECT_EQ(b.capacity, a.capacity);
    int four = 4;
    dynarrayappend(&b, &four);
    EXPECT_EQ(contents(a), (std::vector<int>{1, 2, 3}));
    EXPECT_EQ(contents(b), (std::vector<int>{1, 2, 3, 4}));
    EXPECT_EQ(view, a.data);
    dynarrayrelease(b);
    EXPECT_EQ(view, a.data);
    dynarrayrelease(a);
}

TEST(DynarrayFile, FullLayoutBytesAndRoundTrip) {
    testtempdir dir;
    dynarray a = recordarray(3);
    a.mincapacity = 2;
    std::string path = dir.file("full.bin");
    FILE* f = std::fopen(path.c_str(), "wb");
    ASSERT_TRUE(f);
    EXPECT_TRUE(dynarraywrite(&a, f));
    std::fclose(f);
    std::vector<unsigned char> bytes = readbytes(path);
    ASSERT_EQ(bytes.size(), 16u + 3 * 40);
    // count 3, elemsize 40, mincapacity 2, growth 60.0f (0x42700000), little-endian.
    std::vector<unsigned char> header = {3, 0, 0, 0, 40, 0, 0, 0, 2, 0, 0, 0, 0x00, 0x00, 0x70, 0x42};
    EXPECT_EQ(std::vector<unsigned char>(bytes.begin(), bytes.begin() + 16), header);
    EXPECT_EQ(std::memcmp(bytes.data() + 16, a.data, 120), 0);

    bool ok = false;
    dynarray b = dynarrayload(path.c_str(), &ok);
    EXPECT_TRUE(ok);
    EXPECT_EQ(b.count, 3u);
    EXPECT_EQ(b.elemsize, 40u);
    EXPECT_EQ(b.mincapacity, 2u);
    EXPECT_EQ(b.growth, 60.0f);
    EXPECT_EQ(b.capacity, 3u);  // larger of 2 and the integer part of 3 / 0.8
    EXPECT_EQ(b.mirror, nullptr);
    EXPECT_EQ(std::memcmp(b.data, a.data, 120), 0);
    dynarrayrelease(a);
    dynarrayrelease(b);
}

TEST(DynarrayFile, CompactLayoutBytesAndRoundTrip) {
    testtempdir dir;
    dynarray a = recordarray(3);
    std::string path = dir.file("compact.bin");
    ASSERT_TRUE(dynarraysavecompact(&a, path.c_str()));
    std::vector<unsigned char> bytes = readbytes(path);
    ASSERT_EQ(bytes.size(), 125u);
    EXPECT_EQ(std::vector<unsigned char>(bytes.begin(), bytes.begin() + 5),
              (std::vector<unsigned char>{3, 0, 0, 0, 40}));
    EXPECT_EQ(std::memcmp(bytes.data() + 5, a.data, 120), 0);
    bool ok = false;
    dynarray b = dynarrayloadcompact(path.c_str(), &ok);
    EXPECT_TRUE(ok);
    EXPECT_EQ(b.count, 3u);
    EXPECT_EQ(b.elemsize, 40u);
    EXPECT_EQ(b.mincapacity, 1u);
    EXPECT_EQ(b.growth, 60.0f);
    EXPECT_EQ(std::memcmp(b.data, a.data, 120), 0);
    // Only the saved file is left in the directory (the temporary was renamed).
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir.path), {}), 1);
    dynarrayrelease(a);
    dynarrayrelease(b);
}

TEST(DynarrayFile, ShortDamagedAndMissingFilesAreReported) {
    testtempdir dir;
    std::vector<unsigned char> full = {3,    0,    0, 0, 4, 0, 0, 0, 1, 0, 0, 0,  0x00, 0x00,
                                       0x70, 0x42, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11,   12};
    struct {
        const char* what;
        std::vector<unsigned char> bytes;
        bool compact;
    } cases[] = {
        {"one element short", std::vector<unsigned char>(full.begin(), full.end() - 4), false},
        {"one byte short", std::vector<unsigned char>(full.begin(), full.end() - 1), false},
        {"header cut", std::vector<unsigned char>(full.begin(), full.begin() + 10), false},
        {"empty file", {}, false},
        {"huge count",
         {0xFF, 0xFF, 0xFF, 0xFF, 40, 0, 0, 0, 1, 0, 0, 0, 0x00, 0x00, 0x70, 0x42, 1, 2},
         false},
        {"huge minimum capacity",
         {0, 0, 0, 0, 40, 0, 0, 0, 0xFF, 0xFF, 0xFF, 0xFF, 0x00, 0x00, 0x70, 0x42},
         false},
        {"huge element size",
         {1, 0, 0, 0, 0, 0, 0, 0xF0, 1, 0, 0, 0, 0x00, 0x00, 0x70, 0x42, 1, 2, 3},
         false},
        {"compact short", {2, 0, 0, 0, 3, 1, 2, 3, 4, 5}, true},
        {"compact header cut", {2, 0, 0}, true},
    };
    for (auto& c : cases) {
        std::string path = dir.file("damaged.bin");
        writebytes(path, c.bytes);
        bool ok = true;
        dynarray a = c.compact ? dynarrayloadcompact(path.c_str(), &ok) : dynarrayload(path.c_str(), &ok);
        EXPECT_FALSE(ok) << c.what;
        EXPECT_EQ(a.count, 0u) << c.what;
        EXPECT_GE(a.capacity, 1u) << c.what;
        EXPECT_LE(a.elemsize, 40u) << c.what;
        int v = 7;
        if (a.elemsize == sizeof v) dynarrayappend(&a, &v);  // the result is usable
        dynarrayrelease(a);
    }
    bool ok = true;
    dynarray missing = dynarrayload(dir.file("absent.bin").c_str(), &ok);
    EXPECT_FALSE(ok);
    EXPECT_EQ(missing.count, 0u);
    dynarrayrelease(missing);
    ok = true;
    dynarray missingcompact = dynarrayloadcompact(dir.file("absent.bin").c_str(), &ok);
    EXPECT_FALSE(ok);
    dynarrayrelease(missingcompact);
}

TEST(DynarrayFile, OddGrowthInAFileStillKeepsRoomForEveryElement) {
    testtempdir dir;
    // growth 1000.0f (0x447A0000) would give a fill target above one.
    std::vector<unsigned char> bytes = {2,    0,    0,    0,    4, 0, 0, 0, 1, 0, 0, 0,
                                        0x00, 0x00, 0x7A, 0x44, 1, 0, 0, 0, 2, 0, 0, 0};
    std::string path = dir.file("growth.bin");
    writebytes(path, bytes);
    bool ok = false;
    dynarray a = dynarrayload(path.c_str(), &ok);
    EXPECT_TRUE(ok);
    EXPECT_GE(a.capacity, 2u);
    for (int i = 3; i < 20; ++i) {
        dynarrayappend(&a, &i);
        ASSERT_GT(a.capacity, 0u);
        ASSERT_GE(a.capacity, a.count);
    }
    EXPECT_EQ(contents(a).front(), 1);
    EXPECT_EQ(contents(a).back(), 19);
    dynarrayrelease(a);
}

TEST(DynarrayFile, GrowthJustAboveMinusHundredKeepsTheStorageBounded) {
    testtempdir dir;
    // growth -99.99999f (0xC2C7FFFF): a fill target of 4e-8, so the growth rule alone would
    // ask for 25 million times the elements (100 GB for these 100 of 40 bytes).
    std::vector<unsigned char> bytes = {100, 0, 0, 0, 40, 0, 0, 0, 1, 0, 0, 0, 0xFF, 0xFF, 0xC7, 0xC2};
    for (int i = 0; i < 100 * 40; ++i) bytes.push_back(static_cast<unsigned char>(i * 7));
    std::string path = dir.file("growth.bin");
    writebytes(path, bytes);
    bool ok = false;
    dynarray a = dynarrayload(path.c_str(), &ok);
    ASSERT_TRUE(ok);
    EXPECT_EQ(a.count, 100u);
    EXPECT_GE(a.capacity, 100u);
    EXPECT_LE(static_cast<uint64_t>(a.capacity) * a.elemsize, 100u * 40 + (uint64_t(1) << 26));
    EXPECT_EQ(std::memcmp(a.data, bytes.data() + 16, 100 * 40), 0);
    // The whole capacity is really there.
    std::memset(a.data, 0, static_cast<size_t>(a.capacity) * a.elemsize);
    // Growing by appends keeps within the same bound per step.
    record40 r{};
    while (a.count < a.capacity) dynarrayappend(&a, &r);
    uint32_t full = a.capacity;
    dynarrayappend(&a, &r);
    EXPECT_GT(a.capacity, full);
    EXPECT_LE(static_cast<uint64_t>(a.capacity - full) * a.elemsize, uint64_t(1) << 26);
    std::memset(a.data, 0, static_cast<size_t>(a.capacity) * a.elemsize);
    dynarrayrelease(a);
}

TEST(DynarrayFile, FailedSaveLeavesNothingAndKeepsTheOldFile) {
    testtempdir dir;
    dynarray a = intarray({1, 2});
    EXPECT_FALSE(dynarraysavecompact(&a, dir.file("no-such-dir/out.bin").c_str()));
    EXPECT_FALSE(dynarraysave(&a, dir.file("no-such-dir/out.bin").c_str()));
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir.path), {}), 0);
    std::string path = dir.file("out.bin");
    writebytes(path, {9, 9, 9});
    ASSERT_TRUE(dynarraysave(&a, path.c_str()));
    EXPECT_EQ(readbytes(path).size(), 16u + 8);
    dynarrayrelease(a);
}
