// Array routines of our math for every SIMD target Highway compiles (one translation unit, re-read per
// target by foreach_target.h), the portable ones, and the choice between them.
#include <cstdlib>
#include <cstring>
#include <vector>

#undef HWY_TARGET_INCLUDE
#define HWY_TARGET_INCLUDE "tracking/vecmath.cpp"
#include <hwy/foreach_target.h>  // must come before highway.h

#include <hwy/highway.h>

#include "tracking/vecmath-inl.h"
#include "tracking/vecmath.h"

HWY_BEFORE_NAMESPACE();
namespace vecmath {
namespace HWY_NAMESPACE {

// Whole vectors, then the rest through one zero-padded vector: lanes never mix, so every element gets
// the same bits as in a full vector.
template <class F>
HWY_INLINE void eachvector(const double* x, double* y, size_t n, F f) {
    const hn::ScalableTag<double> d;
    const size_t lanes = hn::Lanes(d);
    size_t i = 0;
    for (; i + lanes <= n; i += lanes) hn::StoreU(f(hn::LoadU(d, x + i)), d, y + i);
    if (i < n) {
        double in[HWY_MAX_BYTES / sizeof(double)] = {}, out[HWY_MAX_BYTES / sizeof(double)];
        std::memcpy(in, x + i, (n - i) * sizeof(double));
        hn::StoreU(f(hn::LoadU(d, in)), d, out);
        std::memcpy(y + i, out, (n - i) * sizeof(double));
    }
}

void exparray(const double* x, double* y, size_t n) {
    eachvector(x, y, n, [](auto v) { return vexp(v); });
}
void sinarray(const double* x, double* y, size_t n) {
    eachvector(x, y, n, [](auto v) { return vsin(v); });
}
void cosarray(const double* x, double* y, size_t n) {
    eachvector(x, y, n, [](auto v) { return vcos(v); });
}
void sincosarray(const double* x, double* s, double* c, size_t n) {
    const hn::ScalableTag<double> d;
    const size_t lanes = hn::Lanes(d);
    size_t i = 0;
    hn::Vec<decltype(d)> vs, vc;
    for (; i + lanes <= n; i += lanes) {
        vsincos(hn::LoadU(d, x + i), &vs, &vc);
        hn::StoreU(vs, d, s + i);
        hn::StoreU(vc, d, c + i);
    }
    if (i < n) {
        constexpr size_t most = HWY_MAX_BYTES / sizeof(double);
        double in[most] = {}, outs[most], outc[most];
        std::memcpy(in, x + i, (n - i) * sizeof(double));
        vsincos(hn::LoadU(d, in), &vs, &vc);
        hn::StoreU(vs, d, outs);
        hn::StoreU(vc, d, outc);
        std::memcpy(s + i, outs, (n - i) * sizeof(double));
        std::memcpy(c + i, outc, (n - i) * sizeof(double));
    }
}
const char* targetname() { return hwy::TargetName(HWY_TARGET); }

}  // namespace HWY_NAMESPACE
}  // namespace vecmath
HWY_AFTER_NAMESPACE();

#if HWY_ONCE
namespace vecmath {
HWY_EXPORT(exparray);
HWY_EXPORT(sinarray);
HWY_EXPORT(cosarray);
HWY_EXPORT(sincosarray);
HWY_EXPORT(targetname);

namespace {

void scalarexp(const double* x, double* y, size_t n) {
    for (size_t i = 0; i < n; ++i) y[i] = vexp(x[i]);
}
void scalarsin(const double* x, double* y, size_t n) {
    for (size_t i = 0; i < n; ++i) y[i] = vsin(x[i]);
}
void scalarcos(const double* x, double* y, size_t n) {
    for (size_t i = 0; i < n; ++i) y[i] = vcos(x[i]);
}
void scalarsincos(const double* x, double* s, double* c, size_t n) {
    for (size_t i = 0; i < n; ++i) vsincos(x[i], &s[i], &c[i]);
}
constexpr vecmathroutines scalarroutines = {"scalar", scalarexp, scalarsin, scalarcos, scalarsincos};

// The routines of the target Highway's dispatch has chosen.
vecmathroutines dispatched() {
    const size_t index = hwy::GetChosenTarget().GetIndex();
    return {HWY_DISPATCH_TABLE(targetname)[index](), HWY_DISPATCH_TABLE(exparray)[index],
            HWY_DISPATCH_TABLE(sinarray)[index], HWY_DISPATCH_TABLE(cosarray)[index],
            HWY_DISPATCH_TABLE(sincosarray)[index]};
}

}  // namespace
}  // namespace vecmath

bool simdforcedscalar() {
    static const bool forced = [] {
        const char* value = std::getenv("VOXDA_SIMD");
        return value != nullptr && std::strcmp(value, "scalar") == 0;
    }();
    return forced;
}

const vecmathroutines& vecmathchosen() {
    static const vecmathroutines chosen = [] {
        if (simdforcedscalar()) return vecmath::scalarroutines;
        hwy::GetChosenTarget().Update(hwy::SupportedTargets());
        return vecmath::dispatched();
    }();
    return chosen;
}

std::vector<vecmathroutines> vecmathalltargets() {
    std::vector<vecmathroutines> all{vecmath::scalarroutines};
    for (const int64_t target : hwy::SupportedAndGeneratedTargets()) {
        hwy::SetSupportedTargetsForTest(target);
        hwy::GetChosenTarget().Update(hwy::SupportedTargets());
        all.push_back(vecmath::dispatched());
    }
    hwy::SetSupportedTargetsForTest(0);
    hwy::GetChosenTarget().Update(hwy::SupportedTargets());
    return all;
}
#endif  // HWY_ONCE
