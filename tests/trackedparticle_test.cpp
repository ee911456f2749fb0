// Tests of tracked particle records: random stream, decays, save format, record arithmetic.
#include "particles/trackedparticle.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "particles/decays.h"
#include "particles/species.h"
#include "util/vectors.h"

namespace {

constexpr int pionplus = 0;
constexpr int protonspecies = 4;

// An active record with a distinct value in every field.
trackedparticle samplerecord() {
    trackedparticle p = newparticle(7, -3);
    p.x = 0.125;
    p.y = -2.5e-3;
    p.z = 1.0 / 3.0;
    p.ux = 1.5e8;
    p.uy = -2.75e7;
    p.uz = 3.0e6 + 0.1;
    p.weight = 0.75;
    p.propertime = 1.25e-9;
    p.nextdecay = 3.5e-8;
    p.auxtime = -4.0e-6;
    p.remaining = 3000000000u;
    p.ident = 0x01020304;
    p.seed = 0xDEADBEEFu;
    p.draws = 17;
    p.species = 2;
    p.status = statusactive;
    p.aux1 = 11;
    p.tag = -7;
    p.aux2 = 13;
    return p;
}

// The bytes written for a record to an anonymous temporary file.
std::vector<unsigned char> savedbytes(const trackedparticle& p) {
    FILE* f = std::tmpfile();
    EXPECT_NE(f, nullptr);
    EXPECT_TRUE(writeparticle(&p, f));
    std::vector<unsigned char> bytes(static_cast<size_t>(std::ftell(f)));
    std::rewind(f);
    EXPECT_EQ(std::fread(bytes.data(), 1, bytes.size(), f), bytes.size());
    std::fclose(f);
    return bytes;
}

// A temporary file holding the given bytes, positioned at its start.
FILE* filewith(const std::vector<unsigned char>& bytes) {
    FILE* f = std::tmpfile();
    EXPECT_NE(f, nullptr);
    if (!bytes.empty()) {
        EXPECT_EQ(std::fwrite(bytes.data(), 1, bytes.size(), f), bytes.size());
    }
    std::rewind(f);
    return f;
}

uint32_t le32(const std::vector<unsigned char>& b, size_t at) {
    return b[at] | b[at + 1] << 8 | b[at + 2] << 16 | static_cast<uint32_t>(b[at + 3]) << 24;
}

double le64double(const std::vector<unsigned char>& b, size_t at) {
    uint64_t bits = 0;
    for (int i = 7; i >= 0; i--) bits = bits << 8 | b[at + i];
    double v;
    std::memcpy(&v, &bits, 8);
    return v;
}

void expectfresh(const trackedparticle& p, int32_t ident, uint32_t seed) {
    EXPECT_EQ(p.x, 0.0);
    EXPECT_EQ(p.uz, 0.0);
    EXPECT_EQ(p.weight, 1.0);
    EXPECT_EQ(p.propertime, 0.0);
    EXPECT_EQ(p.nextdecay, 1e20);
    EXPECT_EQ(p.auxtime, 0.0);
    EXPECT_EQ(p.remaining, 0u);
    EXPECT_EQ(p.ident, ident);
    EXPECT_EQ(p.seed, seed);
    EXPECT_EQ(p.draws, 0);
    EXPECT_EQ(p.species, -1);
    EXPECT_EQ(p.status, 0);
    EXPECT_EQ(p.aux1, 0);
    EXPECT_EQ(p.tag, -1);
    EXPECT_EQ(p.aux2, 0);
    EXPECT_EQ(p.extra, nullptr);
}

TEST(TrackedParticleStream, MixingOfZeroes) {
    EXPECT_EQ(hashs(0, 0), 3062426862u);
    EXPECT_EQ(hasht(0, 0), 2929700744u);
    EXPECT_NEAR(hashuniform(0, 0), 0.71302682, 5e-9);
    EXPECT_EQ(hashuniform(0, 0), (3062426862.0 + 2929700744.0 / 4294967296.0) / 4294967296.0);
    // Both arguments matter, and not symmetrically.
    EXPECT_NE(hashs(1, 2), hashs(2, 1));
    EXPECT_NE(hashs(0, 1), hashs(0, 0));
    EXPECT_NE(hasht(1, 0), hasht(0, 0));
}

TEST(TrackedParticleStream, UniformStaysBelowOne) {
    // The largest pair of mixed values would round up to exactly 1.
    EXPECT_LT(uniformfrombits(0xFFFFFFFFu, 0xFFFFFFFFu), 1.0);
    EXPECT_GT(uniformfrombits(0xFFFFFFFFu, 0xFFFFFFFFu), 0.9999999999);
    EXPECT_EQ(uniformfrombits(0, 0), 0.0);
    EXPECT_EQ(uniformfrombits(1u << 31, 0), 0.5);
}

TEST(TrackedParticleStream, IntegersAreInRangeAndEvenlySpread) {
    const uint32_t n = 10, draws = 100000;
    unsigned bins[10] = {};
    for (uint32_t i = 0; i < draws; i++) {
        uint32_t k = hashint(n, 12345, i);
        ASSERT_LT(k, n);
        EXPECT_EQ(k, static_cast<uint32_t>(std::floor(hashuniform(12345, i) * n)));
        bins[k]++;
    }
    for (unsigned count : bins) EXPECT_NEAR(count, draws / n, 0.05 * draws / n);
    for (uint32_t i = 0; i < 100; i++) EXPECT_EQ(hashint(1, i, 3 * i), 0u);
    EXPECT_EQ(hashint(0, 5, 6), 0u);
}

TEST(TrackedParticleStream, ExponentialMeanVarianceAndTail) {
    const int draws = 200000;
    double sum = 0, sum2 = 0, tailsum = 0;
    int tail = 0;
    for (int i = 0; i < draws; i++) {
        double e = expvariate(0xC0FFEEu, static_cast<uint32_t>(i));
        ASSERT_GE(e, 0.0);
        sum += e;
        sum2 += e * e;
        if (e > 5.0) {
            tail++;
            tailsum += e;
        }
    }
    double mean = sum / draws;
    EXPECT_NEAR(mean, 1.0, 0.01);  // standard error 0.0022
    EXPECT_NEAR(sum2 / draws - mean * mean, 1.0, 0.03);
    EXPECT_NEAR(static_cast<double>(tail) / draws, std::exp(-5.0), 0.0012);  // about 6 standard errors
    EXPECT_NEAR(tailsum / tail, 6.0, 0.25);  // memoryless: the tail beyond 5 has mean 5 + 1
}

TEST(TrackedParticleStream, TailRedrawsMatchTheNestedDefinition) {
    // The nested definition: below e^-5, 5 + the value further along the stream.
    auto nested = [](uint32_t seed, uint32_t counter) {
        uint32_t k = counter + 1;
        return 5.0 + expvariate(seed, k + hashint(100000000u, seed, k));
    };
    const uint32_t seed = 99;
    int single = 0, twice = 0;
    for (uint32_t counter = 0; counter < 4000000 && (single < 3 || twice < 1); counter++) {
        if (hashuniform(seed, counter) >= 0.006737946999085467) continue;
        uint32_t k = counter + 1;
        uint32_t next = k + hashint(100000000u, seed, k);
        bool deeper = hashuniform(seed, next) < 0.006737946999085467;
        if (deeper ? twice >= 1 : single >= 3) continue;
        (deeper ? twice : single)++;
        double value = expvariate(seed, counter);
        EXPECT_EQ(value, nested(seed, counter)) << "counter " << counter;
        EXPECT_GT(value, deeper ? 10.0 : 5.0);
    }
    EXPECT_EQ(single, 3);
    EXPECT_EQ(twice, 1);
}

TEST(TrackedParticleRecord, CreationValues) {
    trackedparticle p = newparticle(0, 0);
    expectfresh(p, 0, 3062426862u);
    trackedparticle q = newparticle(-1, 42);
    expectfresh(q, 42, hashs(0xFFFFFFFFu, 42));
}

TEST(TrackedParticleRecord, ReleaseFreesTheExtraBlock) {
    trackedparticle p = newparticle(1, 2);
    p.extra = std::malloc(64);
    releaseparticle(&p);
    EXPECT_EQ(p.extra, nullptr);
    releaseparticle(&p);  // nothing left to free
    EXPECT_EQ(p.extra, nullptr);
    // A counted block: a 4-byte count, then the data handed out (the sanitizer build checks the address).
    unsigned char* block = static_cast<unsigned char*>(std::malloc(4 + 16));
    uint32_t count = 16;
    std::memcpy(block, &count, 4);
    freecounted(block + 4);
    freecounted(nullptr);
}

TEST(TrackedParticleRecord, ShiftsAndMidpoints) {
    trackedparticle p = samplerecord();
    const double d[6] = {1.0, -2.0, 4.0, 8.0, -16.0, 32.0};
    trackedparticle s = shiftparticle(p, d);
    EXPECT_EQ(s.x, p.x + 1.0);
    EXPECT_EQ(s.y, p.y - 2.0);
    EXPECT_EQ(s.z, p.z + 4.0);
    EXPECT_EQ(s.ux, p.ux + 8.0);
    EXPECT_EQ(s.uy, p.uy - 16.0);
    EXPECT_EQ(s.uz, p.uz + 32.0);
    trackedparticle h = halfshiftparticle(p, d);
    EXPECT_EQ(h.x, p.x + 0.5);
    EXPECT_EQ(h.y, p.y - 1.0);
    EXPECT_EQ(h.z, p.z + 2.0);
    EXPECT_EQ(h.ux, p.ux + 4.0);
    EXPECT_EQ(h.uy, p.uy - 8.0);
    EXPECT_EQ(h.uz, p.uz + 16.0);
    const double q[3] = {0.875, 0.0025, -1.0 / 3.0};
    trackedparticle m = midpointparticle(p, q);
    EXPECT_EQ(m.x, 0.5);
    EXPECT_EQ(m.y, 0.0);
    EXPECT_EQ(m.z, 0.0);
    EXPECT_EQ(m.ux, p.ux);  // proper velocity untouched
    for (const trackedparticle* r : {&s, &h, &m}) {
        EXPECT_EQ(r->weight, p.weight);
        EXPECT_EQ(r->seed, p.seed);
        EXPECT_EQ(r->propertime, p.propertime);
        EXPECT_EQ(r->tag, p.tag);
    }
}

TEST(TrackedParticleRecord, SetBitLeastSignificantFirst) {
    unsigned char buffer[3] = {0, 0, 0xFF};
    setbit(buffer, 0, 1);
    setbit(buffer, 9, 1);
    setbit(buffer, 15, 7);  // any non-zero flag sets
    setbit(buffer, 17, 0);
    setbit(buffer, -1, 1);  // ignored
    EXPECT_EQ(buffer[0], 0x01);
    EXPECT_EQ(buffer[1], 0x82);
    EXPECT_EQ(buffer[2], 0xFD);
    setbit(buffer, 9, 0);
    EXPECT_EQ(buffer[1], 0x80);
}

TEST(TrackedParticleEnergy, GammaAndKineticEnergy) {
    trackedparticle p = newparticle(1, 1);
    EXPECT_NEAR(gammaminusone(&p), 0.0, 1e-15);
    p.species = protonspecies;
    EXPECT_NEAR(kineticenergy(&p), 0.0, 1e-25);
    // 800 MeV proton: u from the kinetic energy, split over two axes.
    double restmev = 938.272029, t = 800.0;
    double u = ufromkinetic(t, restmev);
    p.ux = 0.6 * u;
    p.uz = -0.8 * u;
    EXPECT_NEAR(gammaminusone(&p), t / restmev, 1e-12);
    EXPECT_NEAR(kineticenergy(&p) / (t * 1.602176462e-13), 1.0, 1e-12);
    // A record without a valid species is refused.
    for (int32_t bad : {-1, 20, 127, -128}) {
        p.species = bad;
        EXPECT_TRUE(std::isnan(kineticenergy(&p))) << "species " << bad;
    }
}

TEST(TrackedParticleSave, ActiveRecordRoundTrip) {
    trackedparticle p = samplerecord();
    std::vector<unsigned char> bytes = savedbytes(p);
    ASSERT_EQ(bytes.size(), 102u);
    // Little-endian fields at their offsets.
    EXPECT_EQ(le64double(bytes, 0), 0.75);
    EXPECT_EQ(bytes[8], 0x04);
    EXPECT_EQ(bytes[11], 0x01);
    EXPECT_EQ(bytes[12], 2);
    EXPECT_EQ(bytes[13], 0);
    EXPECT_EQ(le64double(bytes, 14), 0.125);
    EXPECT_EQ(le64double(bytes, 54), 3.0e6 + 0.1);
    EXPECT_EQ(le32(bytes, 62), static_cast<uint32_t>(-7));
    EXPECT_EQ(le64double(bytes, 66), 1.25e-9);
    EXPECT_EQ(le64double(bytes, 74), -4.0e-6);
    EXPECT_EQ(le64double(bytes, 82), 3.5e-8);
    EXPECT_EQ(le32(bytes, 90), 3000000000u);
    EXPECT_EQ(le32(bytes, 94), 0xDEADBEEFu);
    EXPECT_EQ(le32(bytes, 98), 17u);

    FILE* f = filewith(bytes);
    bool ok = false;
    trackedparticle q = readparticle(f, &ok);
    std::fclose(f);
    EXPECT_TRUE(ok);
    EXPECT_EQ(q.x, p.x);
    EXPECT_EQ(q.y, p.y);
    EXPECT_EQ(q.z, p.z);
    EXPECT_EQ(q.ux, p.ux);
    EXPECT_EQ(q.uy, p.uy);
    EXPECT_EQ(q.uz, p.uz);
    EXPECT_EQ(q.weight, p.weight);
    EXPECT_EQ(q.propertime, p.propertime);
    EXPECT_EQ(q.nextdecay, p.nextdecay);
    EXPECT_EQ(q.auxtime, p.auxtime);
    EXPECT_EQ(q.remaining, p.remaining);
    EXPECT_EQ(q.ident, p.ident);
    EXPECT_EQ(q.seed, p.seed);
    EXPECT_EQ(q.draws, p.draws);
    EXPECT_EQ(q.species, p.species);
    EXPECT_EQ(q.status, p.status);
    EXPECT_EQ(q.tag, p.tag);
    // Not saved: creation values.
    EXPECT_EQ(q.aux1, 0);
    EXPECT_EQ(q.aux2, 0);
    EXPECT_EQ(q.extra, nullptr);
}

TEST(TrackedParticleSave, InactiveRecordKeepsSinglePrecisionPositions) {
    trackedparticle p = samplerecord();
    p.status = statusdecayed;
    std::vector<unsigned char> bytes = savedbytes(p);
    ASSERT_EQ(bytes.size(), 42u);
    EXPECT_EQ(bytes[13], 10);
    EXPECT_EQ(le32(bytes, 38), static_cast<uint32_t>(-7));
    FILE* f = filewith(bytes);
    bool ok = false;
    trackedparticle q = readparticle(f, &ok);
    std::fclose(f);
    EXPECT_TRUE(ok);
    EXPECT_EQ(q.status, 10);
    EXPECT_EQ(q.species, 2);
    EXPECT_EQ(q.weight, 0.75);
    EXPECT_EQ(q.ident, 0x01020304);
    EXPECT_EQ(q.tag, -7);
    EXPECT_EQ(q.x, 0.125);  // exact in single precision
    EXPECT_EQ(q.z, static_cast<double>(static_cast<float>(1.0 / 3.0)));
    EXPECT_NE(q.z, p.z);
    EXPECT_EQ(q.uy, static_cast<double>(static_cast<float>(p.uy)));
    EXPECT_EQ(q.uz, static_cast<double>(static_cast<float>(p.uz)));
    // The short form holds no times, counters or seed: creation values of newparticle(0, 0).
    EXPECT_EQ(q.propertime, 0.0);
    EXPECT_EQ(q.nextdecay, 1e20);
    EXPECT_EQ(q.remaining, 0u);
    EXPECT_EQ(q.seed, hashs(0, 0));
    EXPECT_EQ(q.draws, 0);
}

TEST(TrackedParticleSave, SpeciesAndStatusKeepTheirLowByteSigned) {
    struct bytecase {
        int32_t species, status;
        int32_t species2, status2;  // as read back
        size_t size;
    };
    const bytecase cases[] = {
        {19, -1, 19, -1, 42},
        {-1, 0, -1, 0, 102},
        {200, 3, -56, 3, 42},
        {5, 256, 5, 0, 102},  // 256 keeps its low byte 0: read back active
    };
    for (const bytecase& c : cases) {
        trackedparticle p = samplerecord();
        p.species = c.species;
        p.status = c.status;
        std::vector<unsigned char> bytes = savedbytes(p);
        EXPECT_EQ(bytes.size(), c.size);
        FILE* f = filewith(bytes);
        bool ok = false;
        trackedparticle q = readparticle(f, &ok);
        std::fclose(f);
        EXPECT_TRUE(ok);
        EXPECT_EQ(q.species, c.species2);
        EXPECT_EQ(q.status, c.status2);
    }
}

TEST(TrackedParticleSave, ShortFileGivesNoRecord) {
    trackedparticle active = samplerecord();
    trackedparticle decayed = samplerecord();
    decayed.status = statusdecayed;
    for (const trackedparticle* p : {&active, &decayed}) {
        std::vector<unsigned char> bytes = savedbytes(*p);
        for (size_t length = 0; length < bytes.size(); length++) {
            FILE* f = filewith(
                std::vector<unsigned char>(bytes.begin(), bytes.begin() + static_cast<long>(length)));
            bool ok = true;
            trackedparticle q = readparticle(f, &ok);
            std::fclose(f);
            EXPECT_FALSE(ok) << "length " << length;
            expectfresh(q, 0, hashs(0, 0));
        }
    }
    bool ok = true;
    readparticle(nullptr, &ok);
    EXPECT_FALSE(ok);
}

TEST(TrackedParticleSave, RecordsFollowEachOtherInAFile) {
    trackedparticle a = samplerecord();
    trackedparticle b = samplerecord();
    b.status = -1;
    b.ident = 77;
    trackedparticle c = newparticle(3, 4);
    FILE* f = std::tmpfile();
    ASSERT_NE(f, nullptr);
    for (const trackedparticle* p : {&a, &b, &c}) ASSERT_TRUE(writeparticle(p, f));
    EXPECT_EQ(std::ftell(f), 102 + 42 + 102);
    std::rewind(f);
    bool ok = false;
    EXPECT_EQ(readparticle(f, &ok).ident, a.ident);
    EXPECT_TRUE(ok);
    EXPECT_EQ(readparticle(f, &ok).ident, 77);
    EXPECT_TRUE(ok);
    EXPECT_EQ(readparticle(f, &ok).seed, c.seed);
    EXPECT_TRUE(ok);
    readparticle(f, &ok);
    EXPECT_FALSE(ok);
    std::fclose(f);
}

TEST(TrackedParticleSave, SignedBytes) {
    FILE* f = filewith({0x00, 0x7F, 0x80, 0xFF});
    bool ok = false;
    for (int expected : {0, 127, -128, -1}) {
        EXPECT_EQ(readsignedbyte(f, &ok), expected);
        EXPECT_TRUE(ok);
    }
    EXPECT_EQ(readsignedbyte(f, &ok), 0);
    EXPECT_FALSE(ok);
    std::fclose(f);
}

TEST(TrackedParticleDecay, PionDecaysAfterThreeConstituents) {
    makedecaytables();
    const double tau = decays[pionplus].lifetime;
    ASSERT_EQ(tau, 2.6033e-08);
    trackedparticle p = newparticle(5, 6);
    p.species = pionplus;
    p.propertime = 1e-9;
    scheduledecay(&p, 3);
    EXPECT_EQ(p.remaining, 3u);
    EXPECT_EQ(p.draws, 1);
    EXPECT_EQ(p.nextdecay, 1e-9 + expvariate(p.seed, 0) * tau / 3);
    EXPECT_GT(p.nextdecay, p.propertime);
    double first = p.nextdecay;
    p.propertime = first;
    decayone(&p);
    EXPECT_EQ(p.remaining, 2u);
    EXPECT_EQ(p.status, 0);
    EXPECT_EQ(p.draws, 2);
    EXPECT_EQ(p.nextdecay, first + expvariate(p.seed, 1) * tau / 2);
    p.propertime = p.nextdecay;
    decayone(&p);
    EXPECT_EQ(p.remaining, 1u);
    EXPECT_EQ(p.draws, 3);
    double last = p.nextdecay;
    decayone(&p);
    EXPECT_EQ(p.remaining, 0u);
    EXPECT_EQ(p.status, statusdecayed);
    EXPECT_EQ(p.draws, 3);
    EXPECT_EQ(p.nextdecay, last);
    // Nothing is left to decay: a further call changes nothing.
    decayone(&p);
    EXPECT_EQ(p.remaining, 0u);
    EXPECT_EQ(p.draws, 3);
}

TEST(TrackedParticleDecay, StableAndUnknownSpeciesScheduleNothing) {
    for (int32_t species : {protonspecies, -1, 20}) {
        trackedparticle p = newparticle(1, 2);
        p.species = species;
        p.remaining = 9;
        scheduledecay(&p, 5);
        EXPECT_EQ(p.remaining, 0u) << "species " << species;
        EXPECT_EQ(p.nextdecay, 1e20);
        EXPECT_EQ(p.draws, 0);
        decayone(&p);
        EXPECT_EQ(p.remaining, 0u);
        EXPECT_EQ(p.status, statusactive);
    }
    trackedparticle p = newparticle(1, 2);
    p.species = pionplus;
    scheduledecay(&p, 0);  // no constituents
    EXPECT_EQ(p.remaining, 0u);
    EXPECT_EQ(p.nextdecay, 1e20);
}

TEST(TrackedParticleDecay, WaitingTimesHaveMeanLifetimeOverSurvivors) {
    makedecaytables();
    const double tau = decays[1].lifetime;  // mu+
    const int records = 20000;
    double single = 0, fourfold = 0;
    for (int i = 0; i < records; i++) {
        trackedparticle p = newparticle(i, 1);
        p.species = 1;
        scheduledecay(&p, 1);
        single += p.nextdecay;
        trackedparticle q = newparticle(i, 2);
        q.species = 1;
        scheduledecay(&q, 4);
        fourfold += q.nextdecay;
    }
    EXPECT_NEAR(single / records / tau, 1.0, 0.03);  // standard error 0.007
    EXPECT_NEAR(fourfold / records / (tau / 4), 1.0, 0.03);
}

}  // namespace
