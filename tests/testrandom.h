// Test helper: the random generator at its starting state for one scope.
#pragma once

#include <cstdint>

#include "util/random.h"

// Sets the generator to its starting state, restoring the previous state afterwards.
struct freshrandom {
    uint32_t saved = randstate;
    freshrandom() { randstate = 1; }
    ~freshrandom() { randstate = saved; }
    freshrandom(const freshrandom&) = delete;
    freshrandom& operator=(const freshrandom&) = delete;
};
