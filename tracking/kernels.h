// The kernel sets of the math modes, chosen once per engine.
#pragma once

#include "tracking/kernelplan.h"

// The C library's exp and sincos on plain doubles.
const kernelset& exactkernels();
// The constants of the maps from the proton's tables.
kernelconstants makekernelconstants();
// Our own deterministic exp and sincos: on plain doubles (portable) or the widest SIMD target this
// machine runs, chosen once. Both give the same bits.
const kernelset& vectorkernels(bool portable);
// "scalar", or the name of the SIMD target vector mode runs on.
const char* vectortargetname(bool portable);
