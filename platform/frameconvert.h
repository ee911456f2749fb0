// A presented frame as 32-bit 0xAARRGGBB texels (alpha 255): what the SDL window uploads.
#pragma once

#include <cstddef>
#include <cstdint>

#include "platform/platform.h"

// Converts f (8-bit through its palette, 16-bit 5-6-5, 24- and 32-bit blue-green-red) into
// f.height rows of f.width texels at out, rows outpitch bytes apart.
void pfframetoargb(const pfframe& f, void* out, size_t outpitch);
