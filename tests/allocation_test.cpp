// The tracking allocates nothing per frame once running: operator new is counted across frames of
// the demo's frame function and across whole-cell runs, and the beam's storage must stay put.
#include <gtest/gtest.h>

#include <atomic>
#include <cstdlib>
#include <new>
#include <vector>

#include "tracking/engine.h"
#include "tracking/frame.h"
#include "util/dynarray.h"

namespace {

std::atomic<bool> counting{false};
std::atomic<long> allocations{0};

}  // namespace

// The replacement pairs malloc with free; GCC cannot tell and warns of a mismatch.
#pragma GCC diagnostic ignored "-Wmismatched-new-delete"

// Counts every allocation of the test program, on every thread, while counting is on.
void* operator new(size_t bytes) {
    if (counting.load(std::memory_order_relaxed)) allocations.fetch_add(1, std::memory_order_relaxed);
    if (void* p = std::malloc(bytes ? bytes : 1)) return p;
    throw std::bad_alloc();
}
void operator delete(void* p) noexcept { std::free(p); }
void operator delete(void* p, size_t) noexcept { std::free(p); }

namespace {

// Counts the allocations made while body runs.
template <class Body>
long allocationsin(Body body) {
    allocations = 0;
    counting = true;
    body();
    counting = false;
    return allocations.load();
}

TEST(EngineAllocation, NoneAcrossFramesOrCellRuns) {
    engine e({mathmode::exact, 2});
    dynarray beam;
    dynarrayinit(&beam, sizeof(particle));
    for (int i = 0; i < 3000; ++i) {
        particle p{1e-5 * (i % 100), 1e-6 * (i % 7), -1e-5 * (i % 50), 0, 800.0};
        dynarrayappend(&beam, &p);
    }
    double distance = startdistance;
    long rows = 0;
    framehooks hooks;
    hooks.report = [](const framestatus&, void* context) { ++*static_cast<long*>(context); };
    hooks.plot = [](const particle&, void*) {};
    hooks.context = &rows;
    runframe(e, &beam, &distance, 3000, {true, false}, hooks);  // warmed up
    const void* storage = beam.data;
    EXPECT_EQ(allocationsin([&] {
                  for (int f = 0; f < 12; ++f)
                      runframe(e, &beam, &distance, 3000, {f % 3 != 0, f % 4 == 1}, hooks);
              }),
              0);
    EXPECT_EQ(rows, 13);
    EXPECT_EQ(beam.count, 3000u);  // nothing lost, so the storage never shrank
    EXPECT_EQ(beam.data, storage);

    std::vector<particle> cells(static_cast<particle*>(beam.data), static_cast<particle*>(beam.data) + 500);
    std::vector<int64_t> lost(cells.size());
    std::vector<uint8_t> done(cells.size());
    std::atomic<int64_t> finished{0};
    cellrun run;
    run.cells = 5;
    run.acceleratefrom = 1;
    run.accelerateto = 3;
    run.lostatcell = lost.data();
    run.done = done.data();
    run.finished = &finished;
    EXPECT_EQ(allocationsin([&] { trackcells(e, cells.data(), cells.size(), run); }), 0);
    EXPECT_EQ(finished.load(), 500);
    dynarrayrelease(beam);
}

// The counter does count: a plain allocation shows.
TEST(EngineAllocation, TheCounterSeesAnAllocation) {
    static std::vector<int>* volatile kept;
    EXPECT_EQ(allocationsin([] {
                  kept = new std::vector<int>(5);
                  delete kept;
              }),
              2);
}

}  // namespace
