// Particle species: names, charges, rest energies, identifier schemes, status names.
#pragma once

#include <cstdint>

#include "util/warnings.h"  // warnmessage, which the species lookups report through

constexpr int speciescount = 20;
constexpr int protonindex = 4;                        // the only species the simulation tracks
constexpr double elementarycharge = 1.602176462e-19;  // C
constexpr double joulespermev = 1.602176462e-13;      // J per MeV

extern const char* const speciesname[speciescount];
extern const double speciescharge[speciescount];      // C
extern const double speciesrestenergy[speciescount];  // J

// Identifier tables; species beyond the end of a table have no number in that scheme.
constexpr int marsidcount = 16;
constexpr int pdgidcount = 16;
constexpr int scheme3idcount = 10;
extern const int32_t marsid[marsidcount];
extern const int32_t pdgid[pdgidcount];
extern const int32_t scheme3id[scheme3idcount];

// Species index of a name, or -1. mode 0: the whole name, ignoring ASCII case;
// otherwise a candidate matching anywhere within the name. The words Pion, Muon, Proton,
// Neutron, Electron and Positron are tried before the table's names (from index 19 down).
int speciesbyname(const char* name, unsigned char mode);
// Species index of an identifier in scheme 1 (MARS), 2 (PDG) or 3, or -1.
int speciesbypid(int32_t id, int scheme);
// Name of a tracked particle's status code ("Quibbets" for codes not listed).
const char* statusname(int code);
