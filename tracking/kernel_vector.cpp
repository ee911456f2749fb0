// Vector mode: the maps with our own deterministic exp and sincos, compiled once per SIMD target
// (Highway's foreach_target) and once on plain doubles for the portable path. Every target and the
// portable path give the same bits.
#include <cmath>
#include <cstddef>
#include <cstdint>

#include "tracking/kernelplan.h"
#include "tracking/kernels.h"
#include "tracking/vecmath.h"

#undef HWY_TARGET_INCLUDE
#define HWY_TARGET_INCLUDE "tracking/kernel_vector.cpp"
#include <hwy/foreach_target.h>  // must come before highway.h
#include <hwy/highway.h>

#include "tracking/vecmath-inl.h"

HWY_BEFORE_NAMESPACE();
namespace vectorkernel {
namespace HWY_NAMESPACE {
namespace hn = hwy::HWY_NAMESPACE;

// Whole vectors of the widest this target has.
struct simdlanes {
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
    static V exp(V a) { return vecmath::HWY_NAMESPACE::vexp(a); }
    static void sincos(V a, V* s, V* c) { vecmath::HWY_NAMESPACE::vsincos(a, s, c); }
};

#include "tracking/kernel-inl.h"

void simdframe(const kernelconstants& c, const stepplan& plan, bool accelerate, particle* p, size_t n) {
    trackframe(simdlanes{}, c, plan, accelerate, p, n);
}

void simdcells(const kernelconstants& c, const stepplan& cell, const cellrange& range, particle* p,
               int64_t* lost, size_t n) {
    trackcellblocks(simdlanes{}, c, cell, range, p, lost, n);
}

const char* simdtarget() { return hwy::TargetName(HWY_TARGET); }

}  // namespace HWY_NAMESPACE
}  // namespace vectorkernel
HWY_AFTER_NAMESPACE();

#if HWY_ONCE

namespace vectorkernel {

HWY_EXPORT(simdframe);
HWY_EXPORT(simdcells);
HWY_EXPORT(simdtarget);

// The portable path: plain doubles through the same functions.
struct portablelanes {
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
    static V exp(V a) { return vexp(a); }
    static void sincos(V a, V* s, V* c) { vsincos(a, s, c); }
};

namespace portable {
#include "tracking/kernel-inl.h"
}  // namespace portable

void portableframe(const kernelconstants& c, const stepplan& plan, bool accelerate, particle* p, size_t n) {
    portable::trackframe(portablelanes{}, c, plan, accelerate, p, n);
}

void portablecells(const kernelconstants& c, const stepplan& cell, const cellrange& range, particle* p,
                   int64_t* lost, size_t n) {
    portable::trackcellblocks(portablelanes{}, c, cell, range, p, lost, n);
}

}  // namespace vectorkernel

const kernelset& vectorkernels(bool portable) {
    static const kernelset portableset{vectorkernel::portableframe, vectorkernel::portablecells};
    static const kernelset simdset = [] {
        hwy::GetChosenTarget().Update(hwy::SupportedTargets());  // choose once, before any thread calls
        return kernelset{HWY_DYNAMIC_DISPATCH(vectorkernel::simdframe),
                         HWY_DYNAMIC_DISPATCH(vectorkernel::simdcells)};
    }();
    return portable ? portableset : simdset;
}

const char* vectortargetname(bool portable) {
    vectorkernels(portable);  // the target is chosen there
    return portable ? "scalar" : HWY_DYNAMIC_DISPATCH(vectorkernel::simdtarget)();
}

#endif  // HWY_ONCE
