// Sprite files (width byte, height byte, 8-bit pixels), read at an offset and drawn clipped,
// wrapped and screen-blended on an 8-bit display, and as a glyph in every glyph mode; the
// same bytes as a true-colour sprite (three bytes a pixel) on a 24- or 32-bit display.
#include <cstring>

#include "fuzz/fuzzscreen.h"
#include "fuzz/fuzztarget.h"

VOXDA_FUZZ_TARGET(sprite) {
    static unsigned char buffer[2 + 3 * 255 * 255];
    uint32_t setting = fuzztake(data, size, 1);
    int x = static_cast<int16_t>(fuzztake(data, size, 2)) % 200;
    int y = static_cast<int16_t>(fuzztake(data, size, 2)) % 200;
    int offset = static_cast<int>(fuzztake(data, size, 1) % 8);
    fuzzsetupneeded("sprite");
    if (setting % 3 == 0) {
        fuzzscreen(1, 48, 40);
        FILE* file = fuzzstream(data, size);
        int whole = readsprite(buffer, file, offset);
        std::fclose(file);
        size_t pixels = static_cast<size_t>(buffer[0]) * buffer[1];
        FUZZ_CHECK(whole == (size >= static_cast<size_t>(offset) + 2 + pixels));
        drawsprite(x, y, buffer);
        drawspritewrap(x, y, buffer);
        drawspritelight(x, y, buffer);
        setglyphmode(1 + static_cast<int>(setting / 3 % 4));
        drawglyph(x, y, buffer, static_cast<int>(setting));
        for (int k = 0; k < 4; ++k) glyphpixel(x + k, y - k, static_cast<int>(setting));
    } else {
        fuzzscreen(setting % 3 == 1 ? 3 : 4, 48, 40);
        buffer[0] = size > 0 ? data[0] : 0;
        buffer[1] = size > 1 ? data[1] : 0;
        size_t bytes = 3 * static_cast<size_t>(buffer[0]) * buffer[1];
        size_t have = size > 2 ? std::min(size - 2, bytes) : 0;
        if (have) std::memcpy(buffer + 2, data + 2, have);
        std::memset(buffer + 2 + have, 0, bytes - have);
        drawsprite(x, y, buffer);
        drawspritewrap(x, y, buffer);
        drawspritelight(x, y, buffer);
    }
    return 0;
}
