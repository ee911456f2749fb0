// Quantities of the studies read from text with our unit parser.
#include "studies/quantities.h"

#include <cmath>
#include <cstdlib>

#include "util/units.h"

namespace {

// The unit name after the number (empty when none), or false when the text has no number.
bool numberandunit(const std::string& text, double* number, std::string* name) {
    const char* start = text.c_str();
    char* afternumber = nullptr;
    *number = std::strtod(start, &afternumber);
    if (afternumber == start) return false;
    const char* end = nullptr;
    valuewithunit(start, &end, nullptr);
    if (*end != '\0') return false;
    *name = std::string(static_cast<const char*>(afternumber), end);
    return true;
}

}  // namespace

bool parselength(const std::string& text, double* metres) {
    double number;
    std::string name;
    if (!numberandunit(text, &number, &name)) return false;
    bool length = name.empty() || name == "m" || name == "in" || name == "ft" ||
                  (name.size() == 2 && name[1] == 'm' && unitprefix(name[0]) != 0.0);
    if (!length) return false;
    double v = name.empty() ? number : number * unit(name.c_str());
    if (!std::isfinite(v) || v < 0) return false;
    *metres = v;
    return true;
}

// The prefix factor over 1e6 keeps MeV exact: 800MeV is 800, not 800 (1 + 2^-52).
bool parseenergymev(const std::string& text, double* mev) {
    double number;
    std::string name;
    if (!numberandunit(text, &number, &name)) return false;
    double v;
    if (name.empty() || name == "MeV")
        v = number;
    else if (name == "eV")
        v = number / 1e6;
    else if (name.size() == 3 && name.compare(1, 2, "eV") == 0 && unitprefix(name[0]) != 0.0)
        v = unitprefix(name[0]) >= 1e6 ? number * (unitprefix(name[0]) / 1e6)
                                       : number / (1e6 / unitprefix(name[0]));
    else
        return false;
    if (!std::isfinite(v) || !(v > 0)) return false;
    *mev = v;
    return true;
}
