// Particle species: names, charges, rest energies, identifier schemes, status names.
#include "particles/species.h"

#include <cstdio>

const char* const speciesname[speciescount] = {"pi+", "mu+", "pi-", "mu-",  "p",       "pbar",  "K+",
                                               "K-",  "e+",  "e-",  "nu_e", "nu_ebar", "nu_mu", "nu_mubar",
                                               "pi0", "n",   "H-",  "B5+",  "O8+",     "Na11+"};

// Charge numbers times the elementary charge.
const double speciescharge[speciescount] = {
    1 * elementarycharge,  1 * elementarycharge,  -1 * elementarycharge, -1 * elementarycharge,
    1 * elementarycharge,  -1 * elementarycharge, 1 * elementarycharge,  -1 * elementarycharge,
    1 * elementarycharge,  -1 * elementarycharge, 0 * elementarycharge,  0 * elementarycharge,
    0 * elementarycharge,  0 * elementarycharge,  0 * elementarycharge,  0 * elementarycharge,
    -1 * elementarycharge, 5 * elementarycharge,  8 * elementarycharge,  11 * elementarycharge};

// Rest energies in joules (139.5702, 105.6583568, 938.272029, 493.677, 0.510998918,
// 134.9766, 939.56536, 939.293976, 10329, 15024 and 21597 MeV).
const double speciesrestenergy[speciescount] = {2.2361608923663242e-11,
                                                1.6928333227855763e-11,
                                                2.2361608923663242e-11,
                                                1.6928333227855763e-11,
                                                1.5032773598167815e-10,
                                                1.5032773598167815e-10,
                                                7.909576692307741e-11,
                                                7.909576692307741e-11,
                                                8.187104385270682e-14,
                                                8.187104385270682e-14,
                                                0,
                                                0,
                                                0,
                                                0,
                                                2.162563314407892e-11,
                                                1.5053495043025564e-10,
                                                1.504914699245593e-10,
                                                1.6548880675998002e-09,
                                                2.4071099165088003e-09,
                                                3.4602205049814e-09};

const int32_t marsid[marsidcount] = {3, 7, 4, 8, 1, 12, 5, 6, 11, 10, 20, 21, 18, 19, 13, 2};
const int32_t pdgid[pdgidcount] = {211, -13, -211, 13,  2212, -2212, 321, -321,
                                   -11, 11,  12,   -12, 14,   -14,   111, 2112};
const int32_t scheme3id[scheme3idcount] = {3, 2, -3, -2, 5, -5, 4, -4, 1, -1};

namespace {

char asciilower(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c; }

// Equal ignoring ASCII letter case.
bool sameignoringcase(const char* a, const char* b) {
    for (; *a && *b; ++a, ++b)
        if (asciilower(*a) != asciilower(*b)) return false;
    return *a == *b;
}

// candidate occurs somewhere within text, ignoring ASCII letter case.
bool containsignoringcase(const char* text, const char* candidate) {
    for (const char* start = text;; ++start) {
        const char* t = start;
        const char* c = candidate;
        while (*c && *t && asciilower(*t) == asciilower(*c)) ++t, ++c;
        if (!*c) return true;
        if (!*start) return false;
    }
}

struct wordcandidate {
    const char* word;
    int index;
};
constexpr wordcandidate words[] = {{"Pion", 0},     {"Muon", 1},     {"Proton", 4},
                                   {"Neutron", 15}, {"Electron", 9}, {"Positron", 8}};

}  // namespace

// Words first, then the table's names from the last index down.
int speciesbyname(const char* name, unsigned char mode) {
    if (!name || !*name) return -1;
    auto matches = [&](const char* candidate) {
        return mode == 0 ? sameignoringcase(candidate, name) : containsignoringcase(name, candidate);
    };
    for (const wordcandidate& w : words)
        if (matches(w.word)) return w.index;
    for (int i = speciescount - 1; i >= 0; --i)
        if (matches(speciesname[i])) return i;
    char warning[100];
    std::snprintf(warning, sizeof warning, "[WARNING] Unrecognised particle species '%s'", name);
    warnmessage(warning);
    return -1;
}

// Searches the scheme's table from its last entry down.
int speciesbypid(int32_t id, int scheme) {
    const int32_t* table;
    int entries;
    const char* label;
    switch (scheme) {
        case 1:
            table = marsid;
            entries = marsidcount;
            label = "MARS";
            break;
        case 2:
            table = pdgid;
            entries = pdgidcount;
            label = "PDG";
            break;
        case 3:
            table = scheme3id;
            entries = scheme3idcount;
            label = "invalid type";
            break;
        default: return -1;
    }
    for (int i = entries - 1; i >= 0; --i)
        if (table[i] == id) return i;
    char warning[100];
    std::snprintf(warning, sizeof warning, "[WARNING] Unrecognised %s PID %d", label, static_cast<int>(id));
    warnmessage(warning);
    return -1;
}

const char* statusname(int code) {
    switch (code) {
        case -1: return "Finished";
        case 0: return "Active";
        case 1: return "Stopped";
        case 3: return "Reimpact";
        case 4: return "WrongEnergy";
        case 10: return "Decayed";
        default: return "Quibbets";
    }
}
