// Linear optics of the cell: closed orbit, one-cell transfer matrix, eigentunes.
#include "studies/optics.h"

#include <cmath>
#include <cstdio>
#include <cstring>
#include <limits>

#include "particles/decays.h"
#include "particles/species.h"
#include "simulation/magnet.h"

namespace {

constexpr double pi = 3.141592653589793;
constexpr double difference = 1e-6;      // m or rad: central-difference step of the matrix
constexpr double residuallimit = 1e-12;  // m or rad: a closed orbit returns to itself this closely
constexpr int newtoniterations = 40;
constexpr int continuationdepth = 24;  // energy intervals halved at most this often
constexpr double maxlogstep = 0.02;    // ln of the momentum ratio of one continuation step

double get(const particle& p, int k) {
    switch (k) {
        case 0: return p.x;
        case 1: return p.xp;
        case 2: return p.y;
        default: return p.yp;
    }
}

void set(particle* p, int k, double v) {
    switch (k) {
        case 0: p->x = v; break;
        case 1: p->xp = v; break;
        case 2: p->y = v; break;
        default: p->yp = v; break;
    }
}

// Solves a x = b by elimination with partial pivoting; false when singular.
bool solve4(double a[4][4], double b[4], double x[4]) {
    for (int c = 0; c < 4; ++c) {
        int pivot = c;
        for (int r = c + 1; r < 4; ++r)
            if (std::fabs(a[r][c]) > std::fabs(a[pivot][c])) pivot = r;
        if (!(std::fabs(a[pivot][c]) > 0)) return false;
        if (pivot != c) {
            for (int k = 0; k < 4; ++k) std::swap(a[c][k], a[pivot][k]);
            std::swap(b[c], b[pivot]);
        }
        for (int r = c + 1; r < 4; ++r) {
            double f = a[r][c] / a[c][c];
            for (int k = c; k < 4; ++k) a[r][k] = a[r][k] - f * a[c][k];
            b[r] = b[r] - f * b[c];
        }
    }
    for (int r = 3; r >= 0; --r) {
        double s = b[r];
        for (int k = r + 1; k < 4; ++k) s = s - a[r][k] * x[k];
        x[r] = s / a[r][r];
    }
    return true;
}

// Every particle of the array one cell on, in one call.
void cellsof(particle* p, size_t n, mathmode math) {
    int64_t lost[9];
    cellrequest request;
    request.cells = 1;
    request.math = math;
    request.threads = 1;
    trackwholecells(p, lost, n, request, cellcontrol{});
}

}  // namespace

particle onecell(const particle& p, mathmode math) {
    particle q = p;
    cellsof(&q, 1, math);
    return q;
}

// Column k: (map(p + h e_k) - map(p - h e_k)) / 2h; the eight displaced particles in one call.
void cellmatrix(const particle& p, mathmode math, double matrix[4][4]) {
    particle shifted[8];
    for (int k = 0; k < 4; ++k) {
        shifted[2 * k] = p;
        shifted[2 * k + 1] = p;
        set(&shifted[2 * k], k, get(p, k) + difference);
        set(&shifted[2 * k + 1], k, get(p, k) - difference);
    }
    cellsof(shifted, 8, math);
    for (int k = 0; k < 4; ++k) {
        double width = (get(p, k) + difference) - (get(p, k) - difference);  // the step as represented
        for (int r = 0; r < 4; ++r)
            matrix[r][k] = (get(shifted[2 * k], r) - get(shifted[2 * k + 1], r)) / width;
    }
}

double determinant4(const double m[4][4]) {
    double a[4][4];
    std::memcpy(a, m, sizeof a);
    double det = 1;
    for (int c = 0; c < 4; ++c) {
        int pivot = c;
        for (int r = c + 1; r < 4; ++r)
            if (std::fabs(a[r][c]) > std::fabs(a[pivot][c])) pivot = r;
        if (a[pivot][c] == 0) return 0;
        if (pivot != c) {
            for (int k = 0; k < 4; ++k) std::swap(a[c][k], a[pivot][k]);
            det = -det;
        }
        det = det * a[c][c];
        for (int r = c + 1; r < 4; ++r) {
            double f = a[r][c] / a[c][c];
            for (int k = c; k < 4; ++k) a[r][k] = a[r][k] - f * a[c][k];
        }
    }
    return det;
}

// Newton: z <- z - (J - I)^-1 (M(z) - z), J the one-cell matrix at z. Once the orbit closes
// within the limit, further steps are kept while they still shrink the residual, so the orbit
// ends as close as rounding allows.
bool closedorbit(double energy, const particle& guess, mathmode math, particle* orbit) {
    particle z = guess;
    z.energy = energy;
    bool closed = false;
    double best = 0;
    for (int iteration = 0; iteration < newtoniterations; ++iteration) {
        if (!inaperture(z)) break;
        particle m = onecell(z, math);
        double f[4], worst = 0;
        for (int k = 0; k < 4; ++k) {
            f[k] = get(m, k) - get(z, k);
            worst = std::fmax(worst, std::fabs(f[k]));
        }
        if (!std::isfinite(worst)) break;
        if (closed && !(worst < best)) break;
        if (worst <= residuallimit) {
            closed = true;
            best = worst;
            *orbit = z;
            if (worst == 0) break;
        }
        double j[4][4], step[4];
        cellmatrix(z, math, j);
        for (int k = 0; k < 4; ++k) j[k][k] = j[k][k] - 1;
        if (!solve4(j, f, step)) break;
        for (int k = 0; k < 4; ++k) set(&z, k, get(z, k) - step[k]);
    }
    return closed;
}

namespace {

// ln(p(b) / p(a)) for kinetic energies a and b (MeV) of a proton: the orbit moves by about this
// over k in the exponential field, so it measures how far one continuation step reaches.
double logmomentumratio(double a, double b) {
    const double mc2 = speciesrestenergy[protonindex] / joulespermev;  // MeV
    return 0.5 * std::log((b * (b + 2 * mc2)) / (a * (a + 2 * mc2)));
}

// From a known orbit at energy `from` to energy `to` in steps that move the orbit by a few
// millimetres at most, halving a step where Newton fails; a long jump could land on another
// fixed point of the map.
bool continueorbit(const particle& known, double from, double to, mathmode math, int depth, particle* orbit) {
    bool near = std::fabs(logmomentumratio(from, to)) <= maxlogstep;
    if (near && closedorbit(to, known, math, orbit)) return true;
    if (depth >= continuationdepth) return false;
    double middle = from + (to - from) / 2;
    particle halfway;
    if (!continueorbit(known, from, middle, math, depth + 1, &halfway)) return false;
    return continueorbit(halfway, middle, to, math, depth + 1, orbit);
}

particle axisat(double energy) {
    particle p{};
    p.energy = energy;
    return p;
}

std::string real(double v) {
    char buffer[40];
    std::snprintf(buffer, sizeof buffer, "%.17g", v);
    return buffer;
}

}  // namespace

bool closedorbitfrom800(double energy, mathmode math, particle* orbit) {
    makedecaytables();
    particle start;
    if (!closedorbit(referenceenergy, axisat(referenceenergy), math, &start)) return false;
    return continueorbit(start, referenceenergy, energy, math, 0, orbit);
}

std::vector<opticsrow> opticsscan(const std::vector<double>& energies, mathmode math) {
    makedecaytables();
    std::vector<opticsrow> rows;
    bool haveknown = false;
    particle known{};
    for (double energy : energies) {
        opticsrow row;
        row.energy = energy;
        if (haveknown) row.found = continueorbit(known, known.energy, energy, math, 0, &row.orbit);
        if (!row.found) row.found = closedorbitfrom800(energy, math, &row.orbit);
        if (row.found) {
            cellmatrix(row.orbit, math, row.matrix);
            // A fixed point whose neighbours leave the aperture or overflow is no usable orbit.
            for (const auto& line : row.matrix)
                for (double v : line) row.found = row.found && std::isfinite(v);
        }
        if (row.found) {
            haveknown = true;
            known = row.orbit;
            row.det = determinant4(row.matrix);
            // The eigenvalues come in pairs l, 1/l; t = l + 1/l solves t^2 - c1 t + c2 - 2 = 0 with c1 the
            // trace and c2 the sum of the principal 2x2 minors.
            const double(*m)[4] = row.matrix;
            double c1 = m[0][0] + m[1][1] + m[2][2] + m[3][3], c2 = 0;
            for (int a = 0; a < 4; ++a)
                for (int b = a + 1; b < 4; ++b) c2 = c2 + (m[a][a] * m[b][b] - m[a][b] * m[b][a]);
            double disc = c1 * c1 - 4 * (c2 - 2);
            if (disc >= 0) {
                double root = std::sqrt(disc);
                double t1 = (c1 + root) / 2, t2 = (c1 - root) / 2;
                if (std::fabs(t1) < 2 && std::fabs(t2) < 2) {
                    row.stable = true;
                    double q1 = std::acos(t1 / 2) / (2 * pi), q2 = std::acos(t2 / 2) / (2 * pi);
                    row.tune1 = std::fmin(q1, q2);
                    row.tune2 = std::fmax(q1, q2);
                }
            }
        }
        rows.push_back(row);
    }
    return rows;
}

std::string opticscsv(const std::vector<opticsrow>& rows) {
    std::string out = "energy_mev,x_m,xp_rad,y_m,yp_rad,tune1,tune2,det,stable\n";
    for (const opticsrow& r : rows) {
        out += real(r.energy);
        if (!r.found) {
            out += ",,,,,,,,0\n";
            continue;
        }
        out +=
            "," + real(r.orbit.x) + "," + real(r.orbit.xp) + "," + real(r.orbit.y) + "," + real(r.orbit.yp);
        out += r.stable ? "," + real(r.tune1) + "," + real(r.tune2) : std::string(",,");
        out += "," + real(r.det) + (r.stable ? ",1\n" : ",0\n");
    }
    return out;
}
