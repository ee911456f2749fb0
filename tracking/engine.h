// The tracking engine: moves beams of particles through the "FODO" cell, exactly or in vector mode,
// on a persistent pool of threads. The demo, voxda-track and the studies all move particles here.
#pragma once

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

#include "tracking/lattice.h"
#include "tracking/particle.h"

// exact: the C library's exp, sin and cos, bit for bit the plain evaluation of the formulas.
// vector: our own deterministic SIMD exp and sincos, the same bits on every machine and width.
enum class mathmode { exact, vector };

// Reads "exact" or "vector"; false (mode untouched) on anything else.
bool parsemathmode(std::string_view text, mathmode* mode);
const char* mathmodename(mathmode mode);
// Whether this build has the mode's kernels.
bool mathmodeavailable(mathmode mode);

struct engineoptions;
// Reads VOXDA_MATH (exact or vector), VOXDA_THREADS (1 to 256, or 0 for every core) and VOXDA_SIMD
// (scalar forces the portable path, simd the widest the machine has) over the defaults in options;
// unset or empty variables leave them. False with one line of text in error on a bad value.
bool engineoptionsfromenvironment(engineoptions* options, std::string& error);
// A thread count for a command-line option or variable: 0 (every core) to 256; false on anything else.
bool parsethreads(std::string_view text, unsigned* threads);

struct engineoptions {
    mathmode math = mathmode::exact;
    unsigned threads = 0;       // threads working on a frame, the caller's included; 0 = all cores
    bool portablesimd = false;  // vector mode: the portable scalar path instead of the widest SIMD
};

struct enginestate;

// Holds the options, the kernels chosen once for them, and the thread pool. Results never depend
// on the thread count or the SIMD width. Use an engine from one thread at a time.
class engine {
  public:
    explicit engine(const engineoptions& options = {});
    ~engine();
    engine(const engine&) = delete;
    engine& operator=(const engine&) = delete;

    const engineoptions& options() const;
    unsigned threads() const;  // the actual count (0 resolved to the cores)
    enginestate& state() { return *s; }

  private:
    std::unique_ptr<enginestate> s;
};

// One frame's stepping: one 0.05 m step, or one whole cell (177 steps) when fast, from *distance
// (m) by the element-locating rule; *distance grows by 0.05 m per step, added in turn.
void advance(engine& e, particle* p, size_t n, double* distance, bool fast);
// One acceleration step: 1 % more kinetic energy, the angles damped by the momentum ratio.
void accelerate(engine& e, particle* p, size_t n);
// advance, then accelerate when asked, in one pass over the particles.
void advanceandaccelerate(engine& e, particle* p, size_t n, double* distance, bool fast,
                          bool accelerateafter);

// Whole periodic cells for the studies, from the demo's observation point (2 m before an F
// magnet): every cell is the 177-step sequence the locating rule gives at -2.0 m.
struct cellrun {
    int64_t cells = 0;              // cells to travel
    int64_t acceleratefrom = -1;    // accelerate once after the step of every cell from..to (inclusive);
    int64_t accelerateto = -2;      // the default range is empty
    int64_t* lostatcell = nullptr;  // n entries out: cells travelled at the first failed aperture
                                    // check (0 = outside at the start), -1 = inside after the last cell
    // Optional while it runs: stop asks for an early end (checked between chunks of particles);
    // finished counts finished particles; done[i] becomes 1 once particle i's results are written.
    // Read them with atomic loads (std::atomic_ref on done).
    const std::atomic<bool>* stop = nullptr;
    std::atomic<int64_t>* finished = nullptr;
    uint8_t* done = nullptr;
};

// Tracks n particles for run.cells cells, checking the aperture (x^2 + y^2 <= 0.25 m^2, a
// not-a-number is outside) at the start and after every cell and accelerating after the step as
// asked (the frame order of voxda-track --fast --accelerate FROM:TO). Final coordinates are
// written back; a lost particle keeps those at which it was found outside. Work goes out in small
// chunks from one queue; results are in particle order and independent of threads and chunks.
// Returns false when stopped early (particles not done are then left as they were).
bool trackcells(engine& e, particle* p, size_t n, const cellrun& run);

// The step sequence of every trackcells cell.
const stepplan& periodiccell();
