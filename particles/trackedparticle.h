// Tracked particle objects: records of any species with decay scheduling and a compact save format.
#pragma once

#include <cstdint>
#include <cstdio>

// Status codes used here (names in statusname).
constexpr int32_t statusactive = 0;
constexpr int32_t statusdecayed = 10;
// Proper time (s) of the next decay when none is scheduled.
constexpr double nodecayscheduled = 1e20;

// One tracked record; it may stand for several identical unstable particles.
struct trackedparticle {
    double x, y, z;      // position, m
    double ux, uy, uz;   // proper velocity (gamma * velocity), m/s
    double weight;       // statistical weight
    double propertime;   // the particle's proper time, s
    double nextdecay;    // proper time of the next decay, s (nodecayscheduled: none)
    double auxtime;      // a second time value, s; saved with active particles
    uint32_t remaining;  // constituents that have not decayed yet
    int32_t ident;       // identifier given by the creator
    uint32_t seed;       // key of the particle's random stream
    int32_t draws;       // values taken from the stream so far
    int32_t species;     // species index 0 ... 19, or -1 for none
    int32_t status;      // status code; statusactive or statusdecayed here
    int32_t aux1;        // not saved
    int32_t tag;         // saved with every particle
    int32_t aux2;        // not saved
    void* extra;         // optional malloc'd block owned by the record, or null
};

// Saved sizes (little-endian, no padding): an active record and any other.
constexpr long particlesavebytes = 102;
constexpr long particleshortsavebytes = 42;

// A new record: ident b, seed hashs(a, b), weight 1, species -1, tag -1,
// status active, no decay scheduled, everything else zero.
trackedparticle newparticle(int32_t a, int32_t b);
// Frees extra if set and clears it. Copies of a record share its extra block.
void releaseparticle(trackedparticle* p);
// Writes the saved form: 102 bytes for an active record, 42 bytes (position and
// proper velocity in single precision) for any other. Species and status keep
// their low 8 bits, and the layout follows the saved status byte (a status of
// 256 saves as active). Returns false when the file could not take every byte.
bool writeparticle(const trackedparticle* p, FILE* file);
// Reads one saved record. When the file ends before the record is complete,
// *ok (when given) is set to false and the result is newparticle(0, 0);
// otherwise *ok is set to true. Fields not held by the saved form keep their
// creation values.
trackedparticle readparticle(FILE* file, bool* ok = nullptr);

// Kinetic energy (J): (gamma - 1) times the species' rest energy. A record
// without a valid species (0 ... 19) gives not-a-number.
double kineticenergy(const trackedparticle* p);
// gamma - 1 of the record's proper velocity.
double gammaminusone(const trackedparticle* p);

// Starts the decay clock for n constituents: the next decay falls after an
// exponential waiting time with mean lifetime / n. A species that does not
// decay (lifetime 0, no valid species) or n = 0 leaves remaining 0 and
// schedules nothing.
void scheduledecay(trackedparticle* p, uint32_t n);
// One constituent decays; the last one leaves the record Decayed. A record
// with nothing remaining is left unchanged.
void decayone(trackedparticle* p);

// The record with x, y, z, ux, uy, uz increased by d[0] ... d[5].
trackedparticle shiftparticle(trackedparticle p, const double d[6]);
// The record with x, y, z, ux, uy, uz increased by d[0] / 2 ... d[5] / 2.
trackedparticle halfshiftparticle(trackedparticle p, const double d[6]);
// The record with x, y, z replaced by their midpoints with q[0], q[1], q[2].
trackedparticle midpointparticle(trackedparticle p, const double q[3]);

// Counter-based random stream: ten rounds of multiplicative mixing of (a, b).
uint32_t hashs(uint32_t a, uint32_t b);
uint32_t hasht(uint32_t a, uint32_t b);
// (s + t * 2^-32) * 2^-32 for the mixed pair (s, t): a double in [0, 1).
double hashuniform(uint32_t a, uint32_t b);
// The uniform value of a mixed pair (s, t), kept below 1 where the sum rounds up.
double uniformfrombits(uint32_t s, uint32_t t);
// floor(hashuniform(a, b) * n), in 0 ... n - 1 (0 when n is 0).
uint32_t hashint(uint32_t n, uint32_t a, uint32_t b);
// Exponentially distributed value with mean 1 for a stream position. Values in
// the tail beyond 5 are drawn again further along the stream and offset by 5;
// this is a loop, so no tail however long can exhaust the stack.
double expvariate(uint32_t seed, uint32_t counter);

// One byte read as a signed value -128 ... 127. At the end of the file the
// result is 0 and *ok (when given) is false.
int readsignedbyte(FILE* file, bool* ok = nullptr);
// Sets (on != 0) or clears bit i % 8 (least significant first) of byte i / 8;
// a negative i does nothing.
void setbit(unsigned char* buffer, int i, int on);
// Frees a counted block: address is 4 bytes past the start of a malloc'd block
// (the 4 bytes before it hold the count). A null address does nothing.
void freecounted(void* address);
