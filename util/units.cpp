// Units and constants: named units with SI values, metric prefixes, quantities read from text.
#include "util/units.h"

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <initializer_list>
#include <string>

#include "util/constants.h"
#include "util/warnings.h"

dynarray unittable;
bool unitsbuilt = false;

namespace {

// Position i stands for the factor 10^(i - 18); dots fill powers without a letter.
const char prefixtext[] = "a..f..p..n..u..mcd.Dhk..M..G..T..P..E";
constexpr int prefixlength = sizeof prefixtext - 1;
static_assert(prefixlength == 37, "prefixes run from 1e-18 to 1e18");

// The table in its order of registration.
const unitentry unitlist[] = {
    {"c", lightspeed},        // speed of light, m/s
    {"eV", 1.602176462e-19},  // J
    {"m", 1.0},
    {"kg", 1.0},
    {"s", 1.0},
    {"V", 1.0},
    {"C", 1.0},
    {"T", 1.0},
    {"Hz", 1.0},
    {"g", 0.001},                    // kg
    {"Gauss", 0.0001},               // T
    {"m_e", 9.10938188e-31},         // electron mass, kg
    {"m_p", 1.67262158e-27},         // proton mass, kg
    {"in", 0.0254},                  // m
    {"ft", 0.3048},                  // m
    {"\xB0", 0.017453292519943295},  // degree, rad
    {"rad", 1.0},
    {"%", 0.01},
    {"\x89", 0.001},                     // per mille
    {"\xC2\xB0", 0.017453292519943295},  // degree as typed in UTF-8, rad
};

// Bytes that may continue a unit name, built on first use by valuewithunit.
bool unitcharacter[256];
bool unitcharactersbuilt = false;

char asciilower(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; }

bool sameignoringcase(const char* a, const char* b) {
    for (; *a && *b; a++, b++)
        if (asciilower(*a) != asciilower(*b)) return false;
    return *a == *b;
}

void makeunitcharacters() {
    for (int i = 0; i < 256; i++) unitcharacter[i] = true;
    for (unsigned char c : {'\0', ' ', '"', '#', '\'', ',', '-', '.', ']'}) unitcharacter[c] = false;
    for (int c = '0'; c <= '9'; c++) unitcharacter[c] = false;
    // Tabs and line ends also end a name, so "5mm\n" read from a line still means 5 mm.
    for (unsigned char c : {'\t', '\n', '\v', '\f', '\r'}) unitcharacter[c] = false;
    unitcharactersbuilt = true;
}

}  // namespace

void makeunits() {
    if (unitsbuilt) return;
    dynarrayinit(&unittable, sizeof(unitentry));
    for (const unitentry& entry : unitlist) dynarrayappend(&unittable, &entry);
    unitsbuilt = true;
}

double unitvalue(const char* name) {
    makeunits();
    if (!name) return 0.0;
    const unitentry* entries = static_cast<const unitentry*>(unittable.data);
    int matches = 0;
    double value = 0.0;
    for (int i = static_cast<int>(unittable.count) - 1; i >= 0 && matches < 2; i--) {
        if (sameignoringcase(entries[i].name, name)) {
            matches++;
            value = entries[i].value;
        }
    }
    if (matches < 2) return matches == 1 ? value : 0.0;
    // Names that differ only in case: the exact spelling decides.
    for (int i = static_cast<int>(unittable.count) - 1; i >= 0; i--)
        if (std::strcmp(entries[i].name, name) == 0) return entries[i].value;
    return 0.0;
}

double unitprefix(char c) {
    if (c == '.') return 0.0;
    int matches = 0, position = -1;
    for (int i = prefixlength - 1; i >= 0 && matches < 2; i--) {
        if (asciilower(prefixtext[i]) == asciilower(c)) {
            matches++;
            position = i;
        }
    }
    if (matches == 2) {
        position = -1;
        for (int i = prefixlength - 1; i >= 0; i--) {
            if (prefixtext[i] == c) {
                position = i;
                break;
            }
        }
    }
    if (matches == 0 || position < 0) return 0.0;
    return std::pow(10.0, position - 18);
}

double unit(const char* text) {
    if (!text) text = "";
    if (const char* slash = std::strchr(text, '/')) {
        std::string numerator(text, slash);
        return unit(numerator.c_str()) / unit(slash + 1);
    }
    double v = unitvalue(text);
    if (v != 0.0) return v;
    if (*text == '\0') {
        warnmessage("[WARNING] Called unit(\"\") with empty string, returning zero!");
        return 0.0;
    }
    double w = unitvalue(text + 1);
    if (w != 0.0) return unitprefix(text[0]) * w;
    char warning[192];
    std::snprintf(warning, sizeof warning, "[WARNING] Unknown unit '%s', assuming unity", text);
    warnmessage(warning);
    return 1.0;
}

double valuewithunit(const char* text, const char** end, const char* defaultunit) {
    if (!text) {
        if (end) *end = text;
        return 0.0;
    }
    char* afternumber = nullptr;
    double value = std::strtod(text, &afternumber);
    if (!unitcharactersbuilt) {
        makeunitcharacters();
        makeunits();
    }
    const char* runend = afternumber;
    while (unitcharacter[static_cast<unsigned char>(*runend)]) runend++;
    if (runend == afternumber) {
        if (defaultunit) value *= unit(defaultunit);
    } else {
        std::string name(static_cast<const char*>(afternumber), runend);
        value *= unit(name.c_str());
    }
    if (end) *end = runend;
    return value;
}
