// Font files built in true colour (glyph pixels of three bytes, on a 32-bit display).
#include "fuzz/fuzzscreen.h"
#include "fuzz/fuzztarget.h"

VOXDA_FUZZ_TARGET(font24) {
    fuzzsetupneeded("font24");
    fuzzscreen(4, 64, 48);
    fuzzusefont(data, size, 0xFFFFFF);
    return 0;
}
