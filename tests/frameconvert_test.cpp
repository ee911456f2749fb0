// Tests of the conversion of presented frames into 32-bit texels.
#include "platform/frameconvert.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

namespace {

// One texel worked out from its bytes, the straightforward way.
uint32_t expected(const pfframe& f, int x, int y) {
    const uint8_t* p = f.pixels + y * f.pitch + x * (f.bitsperpixel / 8);
    uint32_t r, g, b;
    switch (f.bitsperpixel) {
        case 8: r = f.palette[p[0]].red, g = f.palette[p[0]].green, b = f.palette[p[0]].blue; break;
        case 16: {
            uint32_t v = p[0] | p[1] << 8;
            r = (v >> 11) * 255 / 31, g = ((v >> 5) & 63) * 255 / 63, b = (v & 31) * 255 / 31;
            break;
        }
        default: r = p[2], g = p[1], b = p[0]; break;
    }
    return 0xFF000000u | r << 16 | g << 8 | b;
}

}  // namespace

TEST(FrameConvert, EveryDepthMatchesItsBytes) {
    // 13 pixels wide (not a multiple of the 8 done at a time), padded rows, texel rows wider still.
    for (int bits : {8, 16, 24, 32}) {
        pfframe f{};
        f.width = 13, f.height = 3, f.bitsperpixel = bits, f.pitch = 13 * bits / 8 + 3;
        std::vector<uint8_t> pixels(static_cast<size_t>(f.pitch) * f.height);
        for (size_t i = 0; i < pixels.size(); ++i) pixels[i] = static_cast<uint8_t>(i * 37 + 11);
        f.pixels = pixels.data();
        for (int i = 0; i < 256; ++i)
            f.palette[i] = {static_cast<uint8_t>(i), static_cast<uint8_t>(255 - i),
                            static_cast<uint8_t>(i * 7), 0};
        const size_t outpitch = 16 * 4;
        std::vector<uint32_t> out(16 * 3, 0xDEADBEEFu);
        pfframetoargb(f, out.data(), outpitch);
        for (int y = 0; y < 3; ++y) {
            for (int x = 0; x < 13; ++x) {
                uint32_t want = expected(f, x, y);
                if (bits == 16) {  // the widening repeats the top bits: within one of v * 255 / max
                    for (int shift : {0, 8, 16}) {
                        int got = (out[y * 16 + x] >> shift) & 0xFF, exp = (want >> shift) & 0xFF;
                        ASSERT_LE(std::abs(got - exp), 1) << x << "," << y;
                    }
                    ASSERT_EQ(out[y * 16 + x] >> 24, 0xFFu);
                } else {
                    ASSERT_EQ(out[y * 16 + x], want) << bits << " bits at " << x << "," << y;
                }
            }
            for (int x = 13; x < 16; ++x) ASSERT_EQ(out[y * 16 + x], 0xDEADBEEFu);  // row ends untouched
        }
    }
}
