// The kernel sets of the math modes, chosen once per engine.
#pragma once

#include "tracking/kernelplan.h"

// The C library's exp and sincos on plain doubles.
const kernelset& exactkernels();
// The constants of the maps from the proton's tables.
kernelconstants makekernelconstants();
