// Font files (512 glyph records of width, height and 8-bit pixels) at 8 bits per pixel.
#include "fuzz/fuzzscreen.h"
#include "fuzz/fuzztarget.h"

VOXDA_FUZZ_TARGET(font8) {
    fuzzsetupneeded("font8");
    fuzzscreen(1, 64, 48);
    fuzzusefont(data, size, 15);
    return 0;
}
