// The "FODO" cell and the rule that finds the element of every 0.05 m step.
#pragma once

#include <cstdint>

constexpr double beamstep = 0.05;       // m per tracking step
constexpr double startdistance = -2.0;  // m: the demo's observation point, 2 m before an F magnet
constexpr int maxstepruns = 8;          // runs a fast frame can fall into (5 for the "FODO" cell)

// The lattice cell, read as a ring of element letters.
extern const char* const lattice;

// Length of one lattice element, m; letters other than F, D and O are zero-length.
double elementlength(char letter);
// Sum of the element lengths of a lattice string, m.
double celllength(const char* cell);
// Steps in one fast frame: the whole cell, floor(cell / step + 0.5) = 177.
int cellsteps();

// What one step does: a magnet kick of +step (F) or -step (D) before its drift, or only the drift.
enum class stepkind : uint8_t { drift, focusing, defocusing };

// Consecutive steps of one kind.
struct steprun {
    stepkind kind;
    int32_t count;
};

// The steps of one frame, as the locating rule gives them for the frame's starting distance.
struct stepplan {
    steprun runs[maxstepruns];
    int32_t runcount;
    int32_t steps;
    double enddistance;  // m: the distance after the frame, each step's 0.05 m added in turn
};

// Runs the locating rule for steps steps (1, or cellsteps() in fast mode) from distance (m): the
// element of a step is the one containing its start + 0.001 m, found afresh from the cell's first
// letter at the frame's start. Equal steps are merged into runs. Computed per frame, so that it
// follows the rounding the distance accumulates exactly.
stepplan locatesteps(double distance, int steps);
