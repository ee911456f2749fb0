// Tracked particle objects: records of any species with decay scheduling and a compact save format.
#include "particles/trackedparticle.h"

#include <cmath>
#include <cstdlib>
#include <cstring>
#include <initializer_list>
#include <limits>

#include "particles/decays.h"
#include "particles/species.h"
#include "util/vectors.h"

static_assert(sizeof(double) == 8 && sizeof(float) == 4, "saved fields are 8-byte doubles and 4-byte floats");
static_assert(std::numeric_limits<double>::is_iec559 && std::numeric_limits<float>::is_iec559,
              "saved floating-point fields are IEEE 754");
// Header (weight, ident, species, status), then the active or the short body.
constexpr long particleheaderbytes = 8 + 4 + 1 + 1;
constexpr long particleactivebodybytes = 6 * 8 + 4 + 8 + 8 + 8 + 4 + 4 + 4;
constexpr long particleshortbodybytes = 6 * 4 + 4;
static_assert(particleheaderbytes + particleactivebodybytes == particlesavebytes);
static_assert(particleheaderbytes + particleshortbodybytes == particleshortsavebytes);

namespace {

// Stream constants: mixing start values, 2^-32, and the exponential tail.
constexpr uint32_t mixstarts = 19088743u;    // 0x01234567
constexpr uint32_t mixstartt = 2309737967u;  // 0x89ABCDEF
constexpr int mixrounds = 10;
constexpr double twotominus32 = 2.3283064365386963e-10;
constexpr double exptailthreshold = 0.006737946999085467;  // e^-5
constexpr double exptailoffset = 5.0;
constexpr uint32_t exptailjump = 100000000u;
// Tail re-draws before giving up; each happens with probability e^-5, so
// the bound is never reached in practice but keeps the loop finite.
constexpr int exptailmaxdraws = 4096;

// The ten rounds of mixing, all arithmetic modulo 2^32.
void mix(uint32_t a, uint32_t b, uint32_t* sout, uint32_t* tout) {
    uint32_t s = mixstarts + a;
    uint32_t t = mixstartt + b;
    for (int round = 0; round < mixrounds; round++) {
        s = s * t;
        t = t * s;
        s = s + (t >> 16);
        t = t + (s >> 16);
        if (round < mixrounds - 1) {
            s = s + a;
            t = t + b;
        }
    }
    *sout = s;
    *tout = t;
}

// Lifetime (s) of the record's species, 0 when it has none or does not decay.
double lifetimeof(const trackedparticle* p) {
    if (p->species < 0 || p->species >= speciescount) return 0.0;
    makedecaytables();
    return decays[p->species].lifetime;
}

// Waiting proper time (s) to the next decay among the remaining constituents.
void drawnextdecay(trackedparticle* p, double lifetime) {
    p->nextdecay =
        p->propertime + expvariate(p->seed, static_cast<uint32_t>(p->draws)) * lifetime / p->remaining;
    p->draws = static_cast<int32_t>(static_cast<uint32_t>(p->draws) + 1u);
}

// Little-endian encoding into and decoding from byte buffers.
unsigned char* put32(unsigned char* out, uint32_t v) {
    for (int i = 0; i < 4; i++) out[i] = static_cast<unsigned char>(v >> (8 * i));
    return out + 4;
}
unsigned char* put64(unsigned char* out, uint64_t v) {
    for (int i = 0; i < 8; i++) out[i] = static_cast<unsigned char>(v >> (8 * i));
    return out + 8;
}
unsigned char* putdouble(unsigned char* out, double v) {
    uint64_t bits;
    std::memcpy(&bits, &v, 8);
    return put64(out, bits);
}
unsigned char* putfloat(unsigned char* out, double v) {
    float f = static_cast<float>(v);
    uint32_t bits;
    std::memcpy(&bits, &f, 4);
    return put32(out, bits);
}
uint32_t get32(const unsigned char** in) {
    uint32_t v = 0;
    for (int i = 0; i < 4; i++) v |= static_cast<uint32_t>((*in)[i]) << (8 * i);
    *in += 4;
    return v;
}
uint64_t get64(const unsigned char** in) {
    uint64_t v = 0;
    for (int i = 0; i < 8; i++) v |= static_cast<uint64_t>((*in)[i]) << (8 * i);
    *in += 8;
    return v;
}
double getdouble(const unsigned char** in) {
    uint64_t bits = get64(in);
    double v;
    std::memcpy(&v, &bits, 8);
    return v;
}
double getfloat(const unsigned char** in) {
    uint32_t bits = get32(in);
    float f;
    std::memcpy(&f, &bits, 4);
    return f;
}

bool readexactly(FILE* file, unsigned char* buffer, long n) {
    return std::fread(buffer, 1, static_cast<size_t>(n), file) == static_cast<size_t>(n);
}

}  // namespace

trackedparticle newparticle(int32_t a, int32_t b) {
    trackedparticle p;
    std::memset(&p, 0, sizeof p);
    p.weight = 1.0;
    p.nextdecay = nodecayscheduled;
    p.ident = b;
    p.seed = hashs(static_cast<uint32_t>(a), static_cast<uint32_t>(b));
    p.species = -1;
    p.status = statusactive;
    p.tag = -1;
    p.extra = nullptr;
    return p;
}

void releaseparticle(trackedparticle* p) {
    if (p->extra) {
        std::free(p->extra);
        p->extra = nullptr;
    }
}

bool writeparticle(const trackedparticle* p, FILE* file) {
    unsigned char buffer[particlesavebytes];
    unsigned char* out = buffer;
    out = putdouble(out, p->weight);
    out = put32(out, static_cast<uint32_t>(p->ident));
    *out++ = static_cast<unsigned char>(p->species & 0xFF);
    *out++ = static_cast<unsigned char>(p->status & 0xFF);
    // The layout follows the saved status byte, so a status whose low byte is 0
    // (such as 256) is written in the layout that the reader will expect.
    if ((p->status & 0xFF) == statusactive) {
        for (double v : {p->x, p->y, p->z, p->ux, p->uy, p->uz}) out = putdouble(out, v);
        out = put32(out, static_cast<uint32_t>(p->tag));
        out = putdouble(out, p->propertime);
        out = putdouble(out, p->auxtime);
        out = putdouble(out, p->nextdecay);
        out = put32(out, p->remaining);
        out = put32(out, p->seed);
        out = put32(out, static_cast<uint32_t>(p->draws));
    } else {
        for (double v : {p->x, p->y, p->z, p->ux, p->uy, p->uz}) out = putfloat(out, v);
        out = put32(out, static_cast<uint32_t>(p->tag));
    }
    size_t n = static_cast<size_t>(out - buffer);
    return file && std::fwrite(buffer, 1, n, file) == n;
}

trackedparticle readparticle(FILE* file, bool* ok) {
    if (ok) *ok = false;
    if (!file) return newparticle(0, 0);
    trackedparticle p = newparticle(0, 0);
    unsigned char buffer[particlesavebytes];
    if (!readexactly(file, buffer, 12)) return newparticle(0, 0);
    const unsigned char* in = buffer;
    p.weight = getdouble(&in);
    p.ident = static_cast<int32_t>(get32(&in));
    bool byteok = false;
    p.species = readsignedbyte(file, &byteok);
    if (!byteok) return newparticle(0, 0);
    p.status = readsignedbyte(file, &byteok);
    if (!byteok) return newparticle(0, 0);
    in = buffer;
    if (p.status == statusactive) {
        if (!readexactly(file, buffer, particleactivebodybytes)) return newparticle(0, 0);
        p.x = getdouble(&in);
        p.y = getdouble(&in);
        p.z = getdouble(&in);
        p.ux = getdouble(&in);
        p.uy = getdouble(&in);
        p.uz = getdouble(&in);
        p.tag = static_cast<int32_t>(get32(&in));
        p.propertime = getdouble(&in);
        p.auxtime = getdouble(&in);
        p.nextdecay = getdouble(&in);
        p.remaining = get32(&in);
        p.seed = get32(&in);
        p.draws = static_cast<int32_t>(get32(&in));
    } else {
        if (!readexactly(file, buffer, particleshortbodybytes)) return newparticle(0, 0);
        p.x = getfloat(&in);
        p.y = getfloat(&in);
        p.z = getfloat(&in);
        p.ux = getfloat(&in);
        p.uy = getfloat(&in);
        p.uz = getfloat(&in);
        p.tag = static_cast<int32_t>(get32(&in));
    }
    if (ok) *ok = true;
    return p;
}

double kineticenergy(const trackedparticle* p) {
    if (p->species < 0 || p->species >= speciescount) return std::numeric_limits<double>::quiet_NaN();
    return gammaminusone(p) * speciesrestenergy[p->species];
}

double gammaminusone(const trackedparticle* p) { return gammafromu(vec3make(p->ux, p->uy, p->uz)) - 1.0; }

void scheduledecay(trackedparticle* p, uint32_t n) {
    double lifetime = lifetimeof(p);
    if (lifetime == 0.0 || n == 0) {
        p->remaining = 0;
        return;
    }
    p->remaining = n;
    drawnextdecay(p, lifetime);
}

void decayone(trackedparticle* p) {
    if (p->remaining == 0) return;
    p->remaining--;
    if (p->remaining == 0) {
        p->status = statusdecayed;
        return;
    }
    drawnextdecay(p, lifetimeof(p));
}

trackedparticle shiftparticle(trackedparticle p, const double d[6]) {
    p.x += d[0];
    p.y += d[1];
    p.z += d[2];
    p.ux += d[3];
    p.uy += d[4];
    p.uz += d[5];
    return p;
}

trackedparticle halfshiftparticle(trackedparticle p, const double d[6]) {
    p.x += d[0] / 2;
    p.y += d[1] / 2;
    p.z += d[2] / 2;
    p.ux += d[3] / 2;
    p.uy += d[4] / 2;
    p.uz += d[5] / 2;
    return p;
}

trackedparticle midpointparticle(trackedparticle p, const double q[3]) {
    p.x = (p.x + q[0]) / 2;
    p.y = (p.y + q[1]) / 2;
    p.z = (p.z + q[2]) / 2;
    return p;
}

uint32_t hashs(uint32_t a, uint32_t b) {
    uint32_t s, t;
    mix(a, b, &s, &t);
    return s;
}

uint32_t hasht(uint32_t a, uint32_t b) {
    uint32_t s, t;
    mix(a, b, &s, &t);
    return t;
}

double uniformfrombits(uint32_t s, uint32_t t) {
    double u = (s + t * twotominus32) * twotominus32;
    // s near 2^32 - 1 with a large t rounds the sum up to 2^32, which would give 1.
    return u < 1.0 ? u : std::nextafter(1.0, 0.0);
}

double hashuniform(uint32_t a, uint32_t b) {
    uint32_t s, t;
    mix(a, b, &s, &t);
    return uniformfrombits(s, t);
}

uint32_t hashint(uint32_t n, uint32_t a, uint32_t b) {
    return static_cast<uint32_t>(std::floor(hashuniform(a, b) * n));
}

double expvariate(uint32_t seed, uint32_t counter) {
    // Each value below e^-5 is replaced by 5 plus a fresh draw further along the stream.
    int tails = 0;
    double u = hashuniform(seed, counter);
    while (u < exptailthreshold && tails < exptailmaxdraws) {
        uint32_t k = counter + 1u;
        uint32_t j = hashint(exptailjump, seed, k);
        counter = k + j;
        tails++;
        u = hashuniform(seed, counter);
    }
    // Added innermost first, as 5 + (5 + ... (-ln u)), so that every tail depth
    // rounds the same way as the nested definition.
    double value = -std::log(u);
    for (int i = 0; i < tails; i++) value = exptailoffset + value;
    return value;
}

int readsignedbyte(FILE* file, bool* ok) {
    int c = file ? std::fgetc(file) : EOF;
    if (ok) *ok = c != EOF;
    if (c == EOF) return 0;
    return c >= 128 ? c - 256 : c;
}

void setbit(unsigned char* buffer, int i, int on) {
    if (i < 0) return;
    unsigned char mask = static_cast<unsigned char>(1u << (i % 8));
    if (on)
        buffer[i / 8] |= mask;
    else
        buffer[i / 8] &= static_cast<unsigned char>(~mask);
}

void freecounted(void* address) {
    if (address) std::free(static_cast<unsigned char*>(address) - 4);
}
