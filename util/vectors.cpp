// Three-component vectors of doubles and relativistic kinematics helpers.
#include "util/vectors.h"

#include <cmath>
#include <cstdint>
#include <cstring>
#include <limits>

static_assert(std::numeric_limits<double>::is_iec559, "IEEE doubles are assumed");

vec3 vec3make(double x, double y, double z) { return vec3{x, y, z}; }

int vec3equal(vec3 u, vec3 v) { return u.x == v.x && u.y == v.y && u.z == v.z ? 1 : 0; }

vec3 vec3add(vec3 u, vec3 v) { return vec3{u.x + v.x, u.y + v.y, u.z + v.z}; }

vec3 vec3sub(vec3 u, vec3 v) { return vec3{u.x - v.x, u.y - v.y, u.z - v.z}; }

vec3 vec3scale(double s, vec3 v) { return vec3{s * v.x, s * v.y, s * v.z}; }

vec3 vec3times(vec3 v, double s) { return vec3{v.x * s, v.y * s, v.z * s}; }

vec3 vec3divint(vec3 v, int n) { return vec3{v.x / n, v.y / n, v.z / n}; }

double vec3dot(vec3 u, vec3 v) { return u.x * v.x + u.y * v.y + u.z * v.z; }

vec3 vec3cross(vec3 u, vec3 v) {
    return vec3{u.y * v.z - u.z * v.y, u.z * v.x - u.x * v.z, u.x * v.y - u.y * v.x};
}

double vec3dist2(vec3 u, vec3 v) { return vec3length2(vec3sub(u, v)); }

vec3 vec3unit(vec3 v) { return vec3times(v, 1.0 / vec3length(v)); }

double vec3length(vec3 v) { return std::sqrt(vec3length2(v)); }

double vec3length2(vec3 v) { return vec3dot(v, v); }

vec3 vec3min(vec3 u, vec3 v) {
    return vec3{u.x > v.x ? v.x : u.x, u.y > v.y ? v.y : u.y, u.z > v.z ? v.z : u.z};
}

double betafromgamma(double gamma) { return std::sqrt(1.0 - 1.0 / (gamma * gamma)); }

double gammafromvelocity(vec3 v) { return 1.0 / std::sqrt(1.0 - vec3length2(v) / lightspeed2); }

double invgammafromvelocity(vec3 v) { return std::sqrt(1.0 - vec3length2(v) / lightspeed2); }

double invgammafromu(vec3 u) { return 1.0 / std::sqrt(vec3length2(u) / lightspeed2 + 1.0); }

double invgammafromu2(vec3 u) {
    return lightspeed / std::sqrt(u.x * u.x + lightspeed2 + u.y * u.y + u.z * u.z);
}

double gammafromu(vec3 u) { return std::sqrt(u.x * u.x + lightspeed2 + u.y * u.y + u.z * u.z) / lightspeed; }

double ufromgamma(double gamma) { return lightspeed * std::sqrt(gamma * gamma - 1.0); }

double speedfromu(vec3 u) { return 1.0 / std::sqrt(1.0 / vec3length2(u) + invlightspeed2); }

double speedfromuscalar(double u) { return 1.0 / std::sqrt(1.0 / (u * u) + invlightspeed2); }

double speedfromkinetic(double t, double mc2) {
    double g = t / mc2 + 1.0;
    return lightspeed * std::sqrt(1.0 - 1.0 / (g * g));
}

double ufromkinetic(double t, double mc2) {
    double k = t / mc2;
    return lightspeed * std::sqrt(k * (k + 2.0));
}

double kineticfromu(vec3 u, double mc2) {
    return (std::sqrt(vec3length2(u) / lightspeed2 + 1.0) - 1.0) * mc2;
}

double scaledlength(vec3 v, double s) { return vec3length(v) * s; }

vec3 boostmomentum(vec3 p, double m, vec3 w) {
    double e = std::sqrt(m * m + vec3length2(p));
    double ww = vec3length2(w);
    if (ww == 0.0) ww = 1.0;
    return vec3add(p, vec3times(w, e + (std::sqrt(ww + 1.0) - 1.0) * vec3dot(w, p) / ww));
}

namespace {

// The exponential law f(T) = 1.64e-6 * T^2 * exp(-8500000 / T) and its slope.
constexpr double explawscale = 1.64e-6;
constexpr double explawrate = 8500000.0;
// More Newton steps than any convergent run needs (under a thousand from the start).
constexpr long explawmaxsteps = 1L << 16;

double explaw(double t) { return explawscale * (t * t) * std::exp(-explawrate / t); }

double explawslope(double t) { return explawscale * std::exp(-explawrate / t) * (2.0 * t + explawrate); }

// log f(T) - log y: increasing in T > 0, and free of overflow and underflow.
double explawlogresidual(double t, double logy) {
    return std::log(explawscale) + 2.0 * std::log(t) - explawrate / t - logy;
}

// Bisection over the positive doubles, ordered by their bit patterns: the
// smallest T whose log residual is not negative. Ends after at most 64 halvings.
double explawbisect(double y) {
    double logy = std::log(y);
    std::uint64_t lo = 1;  // smallest positive double: residual far below 0
    double top = std::numeric_limits<double>::max();
    std::uint64_t hi;  // largest double: residual above 0 for every finite y
    std::memcpy(&hi, &top, sizeof hi);
    while (hi - lo > 1) {
        std::uint64_t mid = lo + (hi - lo) / 2;
        double t;
        std::memcpy(&t, &mid, sizeof t);
        if (explawlogresidual(t, logy) < 0.0)
            lo = mid;
        else
            hi = mid;
    }
    double t;
    std::memcpy(&t, &hi, sizeof t);
    return t;
}

}  // namespace

double invertexplaw(double y) {
    if (std::isnan(y) || y < 0.0) return std::numeric_limits<double>::quiet_NaN();
    if (y == 0.0) return 0.0;  // the law tends to 0 as T tends to 0
    if (std::isinf(y)) return y;
    double t = 1000.0 * std::sqrt(y);
    if (t < 1000000.0) t = 1000000.0;
    // Checkpoints saved at steps 1, 2, 4, 8, ... catch a cycle of rounded values.
    double checkpoint = std::numeric_limits<double>::quiet_NaN();
    for (long i = 0; i < explawmaxsteps; i++) {
        double previous = t;
        if (i > 0 && (i & (i - 1)) == 0) checkpoint = t;
        double next = t - (explaw(t) - y) / explawslope(t);
        t = next > 2.0 * previous ? 2.0 * previous : next;
        // Overflow of T^2 (y above about 1e302) or an iterate off the positive
        // axis: Newton cannot go on, so solve the logarithmic form instead.
        if (!(t > 0.0) || std::isinf(t)) return explawbisect(y);
        if (t == previous || t == checkpoint) return t;
    }
    return explawbisect(y);
}
