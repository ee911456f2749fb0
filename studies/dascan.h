// Dynamic-aperture scan: initial conditions, whole-cell tracking, bisection at the edge, and the
// aperture per angle derived from the table of results.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "simulation/beam.h"
#include "studies/celltracker.h"

// The demo beam's edge radius sqrt(beta epsilon), the unit of the aperture tables, m.
double beamedge();

// lost value of a row not tracked yet.
constexpr int64_t pending = -2;

// The scan's table, one row per initial condition, in columns. Rows are never reordered.
struct datable {
    std::vector<particle> initial;  // coordinates before the first cell
    std::vector<double> amplitude;  // m, distance in (x, y) from the centre of the scan
    std::vector<double> angle;      // degrees, atan2(y, x) about the centre
    std::vector<int64_t> lost;      // cells travelled at the first failed check, survived or pending
    size_t size() const { return initial.size(); }
    void add(const particle& p, double amplitude, double angle);
};

// A range of COUNT values from FROM to TO, both included (COUNT 1: FROM alone).
struct scanrange {
    double from = 0, to = 0;
    int64_t count = 0;
    double at(int64_t i) const;
};

// What a scan needs besides its initial conditions.
struct dasettings {
    cellrequest tracking;  // cells, acceleration, math, threads
    double refine = 0;     // m: bisect each angle's edge until the bounds are closer; 0: no bisection
    particle centre{};     // amplitudes are measured from (centre.x, centre.y)
};

// The point at amplitude a (m) and angle (degrees) from the centre; the angles and energy are the
// centre's.
particle gridpoint(const particle& centre, double amplitude, double angle);
// Rows of a polar grid, angle-major, each at gridpoint(centre, amplitude, angle).
datable polargrid(const scanrange& amplitudes, const scanrange& angles, const particle& centre);

// Rows from a CSV text with the header x,xp,y,yp and an optional energy column (any column
// order); amplitude and angle are measured from the centre. False with *error set (one line)
// on a bad header, a missing column, a field that is not a number, a short row or no rows.
bool readparticlecsv(const std::string& text, double defaultenergy, const particle& centre, datable* table,
                     std::string* error);

// Tracks rows [first, end) whose lost value is pending; false when stopped early.
using batchtracker = std::function<bool(datable& table, size_t first, size_t end)>;

// Where a running scan stands, for progress lines.
struct scanprogress {
    int64_t rows = 0;                      // rows in the table so far
    int64_t done = 0;                      // rows with their result
    int64_t particlecells = 0;             // cells travelled by the finished rows of this run
    int64_t batchrows = 0, batchdone = 0;  // rows of the batch being tracked, and of them finished
};

// Called about twenty times a second while a batch runs. `snapshot` gives the table with every
// row finished so far (the others pending), for checkpoints; it copies the table.
using scanwatch = std::function<void(const scanprogress& progress, const std::function<datable()>& snapshot)>;

// Tracks the listed rows of the table on every core of this machine; watch may be empty. A stop
// flag in control ends early with the finished rows kept; false then.
bool trackrows(datable& table, const std::vector<size_t>& rows, const dasettings& settings,
               const cellcontrol& control, const scanwatch& watch);

// The local tracker: the pending rows of each batch through trackrows.
batchtracker localtracker(const dasettings& settings, const cellcontrol& control, scanwatch watch);

// Runs the scan: the rows already in the table, then rounds of bisection rows appended at the
// end. Rows that `resume` holds finished with the same initial coordinates are not tracked again.
// False when the tracker stopped early; the table then holds what is finished.
bool runscan(datable* table, const dasettings& settings, const batchtracker& track,
             const datable* resume = nullptr);

// The aperture of one angle after a number of cells, m: lower is the largest amplitude below
// which every row of the angle survived (0 when the smallest was lost), upper the smallest lost
// amplitude (not a number when none was lost).
struct daedge {
    double angle;  // degrees
    double lower, upper;
};

// Per angle, in increasing angle, for rows that survived more than `cells` cells.
std::vector<daedge> apertureedges(const datable& table, int64_t cells);

// The counts of cells reported: 1, 10, 100, ... below cells, then cells itself.
std::vector<int64_t> reportedcells(int64_t cells);

// The -da.csv text: per counts of cells, one row per angle, then the minimum and the mean
// over angles, in metres and in beam edges.
std::string aperturecsv(const datable& table, int64_t cells);
// The table as CSV, one row per initial condition (coordinates before tracking).
std::string tablecsv(const datable& table);
