// Test oracle of the tracking: the formulas evaluated straightforwardly, particle by particle and
// step by step, with the C library's exp, sin and cos and the element-locating rule written out
// plainly. Independent of the engine's code; the engine must match it bit for bit in exact mode.
#pragma once

#include <cmath>
#include <cstdint>
#include <cstring>
#include <vector>

#include "tracking/particle.h"

namespace trackingoracle {

inline const double q = 1.602176462e-19;                                // C
inline const double m = 1.5032773598167815e-10 / 8.987551787368176e16;  // kg
inline const double mc2 = 1.5032773598167815e-10 / 1.602176462e-13;     // MeV

inline double momentum(double energy) {
    double gamma = energy / mc2 + 1;
    return 299792458.0 * m * std::sqrt(gamma * gamma - 1);
}

inline void magnet(particle& p, double h) {
    double a = std::exp(5.0 * p.y) * 0.5;
    double bx = -std::sin(5.0 * p.x) * a;
    double by = std::cos(5.0 * p.x) * a;
    double k = h * q / momentum(p.energy);
    p.xp = p.xp - k * by;
    p.yp = p.yp + k * bx;
    double by0 = std::cos(5.0 * 0) * (std::exp(5.0 * 0) * 0.5);
    double d = -by0 * (h * q / momentum(800.0));
    p.xp = p.xp - d;
}

inline void drift(particle& p, double h) {
    p.x = p.x + p.xp * h;
    p.y = p.y + p.yp * h;
}

inline void accelerate(particle& p) {
    double p1 = momentum(p.energy);
    p.energy = 1.01 * p.energy;
    double p2 = momentum(p.energy);
    p.xp = p.xp * p1 / p2;
    p.yp = p.yp * p1 / p2;
}

inline double length(char e) { return e == 'F' ? 0.4 : e == 'D' ? 0.45 : e == 'O' ? 4.0 : 0.0; }

// The elements of a frame's steps by the locating rule: from the cell's first letter, skip
// elements while pos > -0.001; pos and distance grow by 0.05 per step. Writes the letters.
inline void locateinto(double* distance, int steps, char* out) {
    const char* cell = "FODO";
    double celllen = 0.4 + 4.0 + 0.45 + 4.0;
    double pos = std::fmod(*distance + celllen, celllen);
    int cursor = 0;
    char current = 'F';
    for (int s = 0; s < steps; ++s) {
        while (pos > -0.001) {
            pos -= length(cell[cursor]);
            current = cell[cursor];
            cursor = (cursor + 1) % 4;
        }
        out[s] = current;
        *distance = *distance + 0.05;
        pos = pos + 0.05;
    }
}

inline std::vector<char> locate(double* distance, int steps) {
    std::vector<char> out(static_cast<size_t>(steps));
    locateinto(distance, steps, out.data());
    return out;
}

// One frame's steps over the beam, then its acceleration.
inline void frame(std::vector<particle>& beam, double* distance, bool fast, bool accelerated) {
    for (char e : locate(distance, fast ? 177 : 1))
        for (particle& p : beam) {
            if (e == 'F') magnet(p, 0.05);
            if (e == 'D') magnet(p, -0.05);
            drift(p, 0.05);
        }
    if (accelerated)
        for (particle& p : beam) accelerate(p);
}

inline bool inside(const particle& p) { return p.x * p.x + p.y * p.y <= 0.25; }

// Equal bits in every field, so that -0.0 and 0.0 are told apart; a not-a-number matches any
// not-a-number. (Which of two not-a-number operands an x86 multiplication passes on depends on the
// operand order the compiler picks, so their sign and payload differ between builds.)
inline bool samefield(double a, double b) {
    if (std::isnan(a) || std::isnan(b)) return std::isnan(a) && std::isnan(b);
    return std::memcmp(&a, &b, sizeof a) == 0;
}

inline bool samebits(const std::vector<particle>& a, const std::vector<particle>& b) {
    if (a.size() != b.size()) return false;
    for (size_t i = 0; i < a.size(); ++i)
        if (!samefield(a[i].x, b[i].x) || !samefield(a[i].xp, b[i].xp) || !samefield(a[i].y, b[i].y) ||
            !samefield(a[i].yp, b[i].yp) || !samefield(a[i].energy, b[i].energy))
            return false;
    return true;
}

}  // namespace trackingoracle
