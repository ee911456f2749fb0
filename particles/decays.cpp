// Decay registry: species masses, lifetimes and decay channels; text splitting.
#include "particles/decays.h"

#include <cstdlib>
#include <cstring>

#include "particles/species.h"
#include "util/constants.h"

double* speciesmass = nullptr;
decayentry* decays = nullptr;

namespace {

char* copyrange(const char* from, size_t length) {
    char* piece = static_cast<char*>(std::malloc(length + 1));
    std::memcpy(piece, from, length);
    piece[length] = 0;
    return piece;
}

}  // namespace

// The array's first slot holds the count, so the pieces start at the second.
char** splitstring(const char* separator, const char* text) {
    if (!text) text = "";
    size_t seplength = separator ? std::strlen(separator) : 0;
    size_t count = 1;
    if (seplength) {
        for (const char* p = text; *p;) {
            if (std::strncmp(p, separator, seplength) == 0) {
                ++count;
                p += seplength;
            } else {
                ++p;
            }
        }
    }
    char** block = static_cast<char**>(std::malloc((count + 1) * sizeof(char*)));
    std::memcpy(&block[0], &count, sizeof count);
    static_assert(sizeof(size_t) <= sizeof(char*), "the count shares a pointer slot");
    char** pieces = block + 1;
    size_t next = 0;
    const char* start = text;
    if (seplength) {
        for (const char* p = text; *p;) {
            if (std::strncmp(p, separator, seplength) == 0) {
                pieces[next++] = copyrange(start, static_cast<size_t>(p - start));
                p += seplength;
                start = p;
            } else {
                ++p;
            }
        }
    }
    pieces[next] = copyrange(start, std::strlen(start));
    return pieces;
}

int splitcount(char** pieces) {
    size_t count;
    std::memcpy(&count, pieces - 1, sizeof count);
    return static_cast<int>(count);
}

void freesplit(char** pieces) {
    int count = splitcount(pieces);
    for (int i = 0; i < count; ++i) std::free(pieces[i]);
    std::free(pieces - 1);
}

void setlifetime(const char* name, double lifetime) {
    int index = speciesbyname(name, 0);
    if (index >= 0 && decays) decays[index].lifetime = lifetime;
}

void adddecay(const char* text, double ratio) {
    if (!decays) return;
    char** parts = splitstring(" --> ", text);
    if (splitcount(parts) < 2) {
        freesplit(parts);
        return;
    }
    char** pieces = splitstring(" ", parts[1]);
    int n = parts[1][0] == 0 ? 0 : splitcount(pieces);
    int32_t* daughters = static_cast<int32_t*>(std::malloc(n > 0 ? 4 * static_cast<size_t>(n) : 1));
    for (int i = n - 1; i >= 0; --i) daughters[i] = speciesbyname(pieces[i], 0);
    int parent = speciesbyname(parts[0], 0);
    if (parent >= 0) {
        decaychannel channel{ratio, n, daughters};
        dynarrayappend(&decays[parent].channels, &channel);
    } else {
        std::free(daughters);
    }
    freesplit(pieces);
    freesplit(parts);
}

// Masses, empty registry, the registered channels, then normalised ratios.
void makedecaytables() {
    if (speciesmass) return;
    speciesmass = static_cast<double*>(std::malloc(speciescount * sizeof(double)));
    for (int i = speciescount - 1; i >= 0; --i) speciesmass[i] = speciesrestenergy[i] / lightspeed2;

    decays = static_cast<decayentry*>(std::malloc(speciescount * sizeof(decayentry)));
    for (int i = speciescount - 1; i >= 0; --i) {
        decays[i].lifetime = 0;
        dynarrayinit(&decays[i].channels, sizeof(decaychannel));
        dynarraybind(&decays[i].channels, &decays[i].channellist);
    }

    setlifetime("pi+", 2.6033e-08);
    adddecay("pi+ --> mu+ nu_mu", 0.999877);
    adddecay("pi+ --> e+ nu_e", 0.000123);
    setlifetime("pi-", 2.6033e-08);
    adddecay("pi- --> mu- nu_mubar", 0.999877);
    adddecay("pi- --> e- nu_ebar", 0.000123);
    setlifetime("mu+", 2.19703e-06);
    adddecay("mu+ --> e+ nu_e nu_mubar", 1);
    setlifetime("mu-", 2.19703e-06);
    adddecay("mu- --> e- nu_ebar nu_mu", 1);
    setlifetime("K+", 1.2385e-08);
    adddecay("K+ --> mu+ nu_mu", 0.6339);
    adddecay("K+ --> pi0 e+ nu_e", 0.0493);
    adddecay("K+ --> pi0 mu+ nu_mu", 0.033);
    adddecay("K+ --> pi+ pi0", 0.2103);
    adddecay("K+ --> pi+ pi0 pi0", 0.01757);
    adddecay("K+ --> pi+ pi+ pi-", 0.0559);
    setlifetime("K-", 1.2385e-08);
    adddecay("K- --> mu- nu_mubar", 0.6339);
    adddecay("K- --> pi0 e- nu_ebar", 0.0493);
    adddecay("K- --> pi0 mu- nu_mubar", 0.033);
    adddecay("K- --> pi- pi0", 0.2103);
    adddecay("K- --> pi- pi0 pi0", 0.01757);
    adddecay("K- --> pi- pi- pi+", 0.0559);
    setlifetime("pi0", 8.4e-17);
    adddecay("pi0 --> ", 0.98798);
    adddecay("pi0 --> e+ e-", 0.01198);

    for (int i = 0; i < speciescount; ++i) {
        uint32_t n = decays[i].channels.count;
        if (n == 0) continue;
        double sum = 0;
        for (uint32_t c = 0; c < n; ++c) sum += decays[i].channellist[c].ratio;
        for (uint32_t c = 0; c < n; ++c) decays[i].channellist[c].ratio /= sum;
    }
}
