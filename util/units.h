// Units and constants: named units with SI values, metric prefixes, quantities read from text.
#pragma once

#include "util/dynarray.h"

// One named unit or constant. Names are Windows-1252 bytes: 0xB0 is the degree
// sign and 0x89 the per-mille sign; the UTF-8 degree sign (0xC2 0xB0) is also known.
struct unitentry {
    const char* name;
    double value;  // SI
};

// The unit table, built once by makeunits and never freed.
extern dynarray unittable;
extern bool unitsbuilt;

// Builds the unit table if it is not built yet.
void makeunits();
// SI value of the unit of that name, or 0. Case is ignored unless two units
// differ only in case (c is the speed of light, C the coulomb).
double unitvalue(const char* name);
// Factor of a metric prefix letter (a f p n u m c d D h k M G T P E), or 0.
// Case is ignored unless two prefixes differ only in case (m and M).
double unitprefix(char c);
// SI factor of a unit text such as "MeV", "mT" or "km/s"; everything after the
// first "/" is the denominator. An unknown unit gives 1 and an empty text 0,
// each with a warning to warnmessage; an unknown prefix letter gives 0.
double unit(const char* text);
// Reads a number (strtod rules) and an optional unit name directly after it,
// such as "5mm", and returns the value in SI units. Without a unit name the
// default unit text applies when given. *end (when not null) receives the
// position after the number and its unit. A unit name ends at NUL, whitespace,
// '"', '#', '\'', ',', '-', '.', ']' or a digit.
double valuewithunit(const char* text, const char** end, const char* defaultunit);
