// Decay registry: species masses, lifetimes and decay channels; text splitting.
#pragma once

#include <cstdint>

#include "util/dynarray.h"

// One decay channel of a parent species.
struct decaychannel {
    double ratio;        // branching ratio, normalised so that a parent's ratios sum to one
    int32_t ndaughters;  // number of daughters (may be 0)
    int32_t* daughters;  // species indices in reaction-text order; heap block of max(1, 4 * n) bytes
};

// Lifetime and channels of one species.
struct decayentry {
    double lifetime;            // mean lifetime at rest, s; 0 when the species does not decay here
    dynarray channels;          // decaychannel records in registration order
    decaychannel* channellist;  // mirror of channels: the first channel record
};

// Species masses in kg (rest energy / c^2), null until makedecaytables has run.
extern double* speciesmass;
// One entry per species index, null until makedecaytables has run.
extern decayentry* decays;

// Builds speciesmass and decays once; later calls do nothing.
void makedecaytables();
// Stores a lifetime (s) for the species of that name; an unknown name is ignored.
void setlifetime(const char* name, double lifetime);
// Parses "parent --> daughter daughter ..." and appends the channel to the parent.
// A text without " --> " or with an unknown parent is ignored.
void adddecay(const char* text, double ratio);

// Splits text at every (non-overlapping) occurrence of separator. The result points at
// the first of splitcount() heap strings; free it with freesplit. An empty separator
// (or none) gives one piece, the whole text; a null text gives one empty piece.
char** splitstring(const char* separator, const char* text);
int splitcount(char** pieces);
void freesplit(char** pieces);
