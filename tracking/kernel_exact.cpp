// Exact mode: the maps with the C library's exp and sincos (sincos gives the bits of sin and cos).
// The arithmetic runs on whole SIMD vectors of the widest target this machine has (Highway's
// foreach_target), the C library's functions lane by lane: IEEE addition, multiplication, division
// and square root round each lane as the plain double code does, so every target gives its bits.
#include <cmath>
#include <cstddef>
#include <cstdint>

#include "particles/decays.h"
#include "particles/kinematics.h"
#include "particles/species.h"
#include "tracking/kernelplan.h"
#include "tracking/kernels.h"
#include "tracking/maps.h"
#include "util/constants.h"

#undef HWY_TARGET_INCLUDE
#define HWY_TARGET_INCLUDE "tracking/kernel_exact.cpp"
#include <hwy/foreach_target.h>  // must come before highway.h
#include <hwy/highway.h>

HWY_BEFORE_NAMESPACE();
namespace exactkernel {
namespace HWY_NAMESPACE {
namespace hn = hwy::HWY_NAMESPACE;

struct exactlanes {
    using D = hn::ScalableTag<double>;
    using V = hn::Vec<D>;
    static constexpr int lanes = static_cast<int>(HWY_LANES(double));
    static_assert(kernelblock % lanes == 0, "a block is whole vectors");
    static V load(const double* p) { return hn::Load(D(), p); }
    static void store(V v, double* p) { hn::Store(v, D(), p); }
    static V set(double v) { return hn::Set(D(), v); }
    static V add(V a, V b) { return hn::Add(a, b); }
    static V sub(V a, V b) { return hn::Sub(a, b); }
    static V mul(V a, V b) { return hn::Mul(a, b); }
    static V div(V a, V b) { return hn::Div(a, b); }
    static V neg(V a) { return hn::Neg(a); }
    static V sqrt(V a) { return hn::Sqrt(a); }
    static V exp(V a) {
        alignas(64) double v[lanes];
        hn::Store(a, D(), v);
        for (double& e : v) e = std::exp(e);
        return hn::Load(D(), v);
    }
    static void sincos(V a, V* s, V* c) {
        alignas(64) double v[lanes], sv[lanes], cv[lanes];
        hn::Store(a, D(), v);
        for (int i = 0; i < lanes; ++i) ::sincos(v[i], &sv[i], &cv[i]);
        *s = hn::Load(D(), sv);
        *c = hn::Load(D(), cv);
    }
};

#include "tracking/kernel-inl.h"

void exactframe(const kernelconstants& c, const stepplan& plan, bool accelerate, particle* p, size_t n) {
    trackframe(exactlanes{}, c, plan, accelerate, p, n);
}

void exactcells(const kernelconstants& c, const stepplan& cell, const cellrange& range, particle* p,
                int64_t* lost, size_t n) {
    trackcellblocks(exactlanes{}, c, cell, range, p, lost, n);
}

}  // namespace HWY_NAMESPACE
}  // namespace exactkernel
HWY_AFTER_NAMESPACE();

#if HWY_ONCE

namespace exactkernel {
HWY_EXPORT(exactframe);
HWY_EXPORT(exactcells);
}  // namespace exactkernel

const kernelset& exactkernels() {
    static const kernelset set = [] {
        hwy::GetChosenTarget().Update(hwy::SupportedTargets());  // choose once, before any thread calls
        return kernelset{HWY_DYNAMIC_DISPATCH(exactkernel::exactframe),
                         HWY_DYNAMIC_DISPATCH(exactkernel::exactcells)};
    }();
    return set;
}

// Each constant in the order the formulas write it, so the products round as they do.
kernelconstants makekernelconstants() {
    makedecaytables();
    const double q = speciescharge[protonindex];                       // C
    const double m = speciesmass[protonindex];                         // kg
    const double mc2 = speciesrestenergy[protonindex] / joulespermev;  // MeV
    kernelconstants c;
    c.mc2 = mc2;
    c.cm = lightspeed * m;
    c.hq = beamstep * q;
    const double by0 = std::cos(magnetk * 0) * (std::exp(magnetk * 0) * magnetb0);  // field on the axis
    const double pref = momentumfromkinetic(referenceenergy, mc2, m);
    c.steer = -by0 * (beamstep * q / pref);
    c.fieldindex = magnetk;
    c.b0 = magnetb0;
    c.step = beamstep;
    c.accelerationfactor = accelerationfactor;
    return c;
}

#endif  // HWY_ONCE
