// Exact mode: the maps on plain doubles with the C library's exp and sincos (sincos gives the bits
// of sin and cos).
#include <cmath>
#include <cstdint>

#include "tracking/kernelplan.h"
#include "tracking/kernels.h"
#include "tracking/maps.h"
#include "particles/decays.h"
#include "particles/kinematics.h"
#include "particles/species.h"
#include "util/constants.h"

namespace {

struct exactlanes {
    using V = double;
    static constexpr int lanes = 1;
    static V load(const double* p) { return *p; }
    static void store(V v, double* p) { *p = v; }
    static V set(double v) { return v; }
    static V add(V a, V b) { return a + b; }
    static V sub(V a, V b) { return a - b; }
    static V mul(V a, V b) { return a * b; }
    static V div(V a, V b) { return a / b; }
    static V neg(V a) { return -a; }
    static V sqrt(V a) { return std::sqrt(a); }
    static V exp(V a) { return std::exp(a); }
    static void sincos(V a, V* s, V* c) { ::sincos(a, s, c); }
};

namespace exactkernel {
#include "tracking/kernel-inl.h"
}  // namespace exactkernel

void exactframe(const kernelconstants& c, const stepplan& plan, bool accelerate, particle* p, size_t n) {
    exactkernel::trackframe(exactlanes{}, c, plan, accelerate, p, n);
}

void exactcells(const kernelconstants& c, const stepplan& cell, const cellspec& spec, particle* p,
                int64_t* lost, size_t n) {
    exactkernel::trackcellblocks(exactlanes{}, c, cell, spec, p, lost, n);
}

}  // namespace

const kernelset& exactkernels() {
    static const kernelset set{exactframe, exactcells};
    return set;
}

// Each constant in the order the formulas write it, so the products round as they do.
kernelconstants makekernelconstants() {
    makedecaytables();
    const double q = speciescharge[protonindex];                       // C
    const double m = speciesmass[protonindex];                         // kg
    const double mc2 = speciesrestenergy[protonindex] / joulespermev;  // MeV
    const double fieldindex = magnetk, b0 = magnetb0;
    kernelconstants c;
    c.mc2 = mc2;
    c.cm = lightspeed * m;
    c.hq = beamstep * q;
    const double by0 = std::cos(fieldindex * 0) * (std::exp(fieldindex * 0) * b0);  // field on the axis
    const double pref = momentumfromkinetic(referenceenergy, mc2, m);
    c.steer = -by0 * (beamstep * q / pref);
    c.fieldindex = fieldindex;
    c.b0 = b0;
    c.step = beamstep;
    c.accelerationfactor = accelerationfactor;
    return c;
}
