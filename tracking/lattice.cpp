// The "FODO" cell and the element-locating rule.
#include "tracking/lattice.h"

#include <cmath>

const char* const lattice = "FODO";

namespace {

constexpr double locatetolerance = 0.001;  // m: absorbs the rounding accumulated in distance

stepkind kindof(char element) {
    return element == 'F' ? stepkind::focusing : element == 'D' ? stepkind::defocusing : stepkind::drift;
}

}  // namespace

double elementlength(char letter) {
    switch (letter) {
        case 'F': return 0.4;
        case 'D': return 0.45;
        case 'O': return 4.0;
        default: return 0.0;
    }
}

double celllength(const char* cell) {
    double length = 0;
    for (const char* c = cell; *c; ++c) length += elementlength(*c);
    return length;
}

int cellsteps() { return static_cast<int>(std::floor(celllength(lattice) / beamstep + 0.5)); }

// The cursor, the current element and pos carry over from step to step within the frame.
stepplan locatesteps(double distance, int steps) {
    stepplan plan{};
    double cell = celllength(lattice);
    double pos = std::fmod(distance + cell, cell);
    const char* cursor = lattice;
    char current = lattice[0];
    for (int s = 0; s < steps; ++s) {
        while (pos > -locatetolerance) {
            pos -= elementlength(*cursor);
            current = *cursor;
            ++cursor;
            if (!*cursor) cursor = lattice;
        }
        stepkind kind = kindof(current);
        if (plan.runcount > 0 && plan.runs[plan.runcount - 1].kind == kind)
            ++plan.runs[plan.runcount - 1].count;
        else if (plan.runcount < maxstepruns)
            plan.runs[plan.runcount++] = {kind, 1};
        else
            break;  // cannot happen for the "FODO" cell; steps stops short rather than overflow
        ++plan.steps;
        distance = distance + beamstep;
        pos = pos + beamstep;
    }
    plan.enddistance = distance;
    return plan;
}
