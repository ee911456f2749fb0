// A presented frame as 32-bit texels.
#include "platform/frameconvert.h"

#include <cstring>

namespace {

inline uint32_t argb(uint32_t r, uint32_t g, uint32_t b) { return 0xFF000000u | r << 16 | g << 8 | b; }

// One row of palette indices; eight at a time so the loads and lookups overlap.
void convert8(const uint8_t* row, uint32_t* out, int width, const uint32_t* lookup) {
    int x = 0;
    for (; x + 8 <= width; x += 8) {
        uint64_t v;
        std::memcpy(&v, row + x, 8);
        for (int k = 0; k < 8; ++k) out[x + k] = lookup[(v >> (8 * k)) & 0xFF];
    }
    for (; x < width; ++x) out[x] = lookup[row[x]];
}

}  // namespace

void pfframetoargb(const pfframe& f, void* out, size_t outpitch) {
    uint32_t lookup[256];
    for (int i = 0; i < 256; ++i) lookup[i] = argb(f.palette[i].red, f.palette[i].green, f.palette[i].blue);
    const int bytes = f.bitsperpixel / 8;
    for (int y = 0; y < f.height; ++y) {
        const uint8_t* row = f.pixels + static_cast<size_t>(y) * static_cast<size_t>(f.pitch);
        uint32_t* texels =
            reinterpret_cast<uint32_t*>(static_cast<uint8_t*>(out) + static_cast<size_t>(y) * outpitch);
        if (bytes == 1) {
            convert8(row, texels, f.width, lookup);
        } else if (bytes == 2) {
            for (int x = 0; x < f.width; ++x) {
                uint32_t v = static_cast<uint32_t>(row[2 * x] | row[2 * x + 1] << 8);
                uint32_t r = v >> 11 & 31, g = v >> 5 & 63, b = v & 31;
                texels[x] = argb(r << 3 | r >> 2, g << 2 | g >> 4, b << 3 | b >> 2);
            }
        } else {
            for (int x = 0; x < f.width; ++x) {
                const uint8_t* p = row + x * bytes;
                texels[x] = argb(p[2], p[1], p[0]);
            }
        }
    }
}
