// Three-component vectors of doubles and relativistic kinematics helpers.
#pragma once

#include "util/constants.h"  // lightspeed, lightspeed2, invlightspeed2

// A vector of three doubles, passed and returned by value.
struct vec3 {
    double x, y, z;
};
static_assert(sizeof(vec3) == 24, "vec3 is three packed doubles");

// The vector (x, y, z).
vec3 vec3make(double x, double y, double z);
// 1 if all three components are equal, else 0.
int vec3equal(vec3 u, vec3 v);
// u + v.
vec3 vec3add(vec3 u, vec3 v);
// u - v.
vec3 vec3sub(vec3 u, vec3 v);
// s * v.
vec3 vec3scale(double s, vec3 v);
// v * s.
vec3 vec3times(vec3 v, double s);
// v / n, each component divided by n.
vec3 vec3divint(vec3 v, int n);
// u . v, summed x, y, z in that order.
double vec3dot(vec3 u, vec3 v);
// u x v.
vec3 vec3cross(vec3 u, vec3 v);
// |u - v|^2.
double vec3dist2(vec3 u, vec3 v);
// v / |v|; the zero vector has no direction and gives not-a-number components.
vec3 vec3unit(vec3 v);
// |v|.
double vec3length(vec3 v);
// |v|^2.
double vec3length2(vec3 v);
// Componentwise minimum: u's component unless it is greater than v's.
vec3 vec3min(vec3 u, vec3 v);

// Kinematics. Velocities and proper velocities (gamma * velocity) in m/s;
// kinetic energy T and rest energy mc2 in any one shared unit.

// beta = sqrt(1 - 1/gamma^2).
double betafromgamma(double gamma);
// gamma of a velocity vector.
double gammafromvelocity(vec3 v);
// 1/gamma of a velocity vector.
double invgammafromvelocity(vec3 v);
// 1/gamma of a proper-velocity vector.
double invgammafromu(vec3 u);
// 1/gamma of a proper-velocity vector, as c / sqrt(ux^2 + c^2 + uy^2 + uz^2).
double invgammafromu2(vec3 u);
// gamma of a proper-velocity vector, as sqrt(ux^2 + c^2 + uy^2 + uz^2) / c.
double gammafromu(vec3 u);
// Proper speed (m/s) for a gamma.
double ufromgamma(double gamma);
// Speed (m/s) of a proper-velocity vector; 0 for the zero vector.
double speedfromu(vec3 u);
// Speed (m/s) of a proper speed (m/s).
double speedfromuscalar(double u);
// Speed (m/s) for kinetic energy T and rest energy mc2.
double speedfromkinetic(double t, double mc2);
// Proper speed (m/s) for kinetic energy T and rest energy mc2.
double ufromkinetic(double t, double mc2);
// Kinetic energy (unit of mc2) of a proper-velocity vector.
double kineticfromu(vec3 u, double mc2);
// |v| * s.
double scaledlength(vec3 v, double s);

// Lorentz boost of momentum p of a particle of mass m (units with c = 1:
// p and m in one energy unit) by the proper velocity w given in units of c.
// A zero boost returns p.
vec3 boostmomentum(vec3 p, double m, vec3 w);

// The T > 0 with 1.64e-6 * T^2 * exp(-8500000 / T) = y, by Newton's method
// (with a bisection fallback where the Newton iteration cannot proceed).
// Always returns: 0 for y = 0, +infinity for y = +infinity, and
// not-a-number for y < 0 (no solution) or y not-a-number.
double invertexplaw(double y);
