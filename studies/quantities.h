// Quantities of the studies read from text with our unit parser.
#pragma once

#include <string>

// A length such as "5mm", "0.2in" or "0.1" (metres): false unless the whole text is a finite
// length of 0 or more in m (with a metric prefix), in or ft.
bool parselength(const std::string& text, double* metres);
// A kinetic energy such as "800", "800MeV" or "1.2GeV" in MeV (a plain number is MeV): false
// unless the whole text is a finite energy above 0 in eV with an optional metric prefix.
bool parseenergymev(const std::string& text, double* mev);
