// Saved tracked particles (102 bytes while active, 42 otherwise), read one after another.
#include "fuzz/fuzztarget.h"
#include "particles/decays.h"
#include "particles/trackedparticle.h"

VOXDA_FUZZ_TARGET(particle) {
    if (fuzzsetupneeded("particle")) makedecaytables();
    FILE* file = fuzzstream(data, size);
    for (int n = 0; n < 64; ++n) {
        bool ok = false;
        trackedparticle p = readparticle(file, &ok);
        if (!ok) break;
        // What was read saves and reads back to the same saved bytes.
        FILE* out = std::tmpfile();
        FUZZ_CHECK(out && writeparticle(&p, out));
        long length = std::ftell(out);
        FUZZ_CHECK(length == particlesavebytes || length == particleshortsavebytes);
        std::rewind(out);
        bool again = false;
        trackedparticle q = readparticle(out, &again);
        FUZZ_CHECK(again);
        FILE* out2 = std::tmpfile();
        FUZZ_CHECK(out2 && writeparticle(&q, out2));
        FUZZ_CHECK(std::ftell(out2) == length);
        std::vector<unsigned char> a(static_cast<size_t>(length)), b(static_cast<size_t>(length));
        std::rewind(out);
        std::rewind(out2);
        FUZZ_CHECK(std::fread(a.data(), 1, a.size(), out) == a.size());
        FUZZ_CHECK(std::fread(b.data(), 1, b.size(), out2) == b.size());
        FUZZ_CHECK(a == b);
        std::fclose(out);
        std::fclose(out2);
        (void)kineticenergy(&p);
        if (p.status == statusactive && p.remaining > 0 && p.remaining < 1000) {
            scheduledecay(&p, p.remaining);
            decayone(&p);
        }
        releaseparticle(&p);
        releaseparticle(&q);
    }
    std::fclose(file);
    return 0;
}
