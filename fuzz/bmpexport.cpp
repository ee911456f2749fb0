// BMP export of arbitrary rectangles (any position and size, most of it off the display)
// at 8, 24 and 32 bits per pixel, and the palette file; what is written reads back whole.
#include <sys/stat.h>

#include "fuzz/fuzzscreen.h"
#include "fuzz/fuzztarget.h"
#include "raster/export.h"

VOXDA_FUZZ_TARGET(bmpexport) {
    static const int depths[3] = {1, 3, 4};
    uint32_t setting = fuzztake(data, size, 1);
    int width = 1 + static_cast<int>(fuzztake(data, size, 1) % 80);
    int height = 1 + static_cast<int>(fuzztake(data, size, 1) % 60);
    int x = static_cast<int>(fuzztake(data, size, 4));
    int y = static_cast<int>(fuzztake(data, size, 4));
    int w = static_cast<int>(fuzztake(data, size, 4));
    int h = static_cast<int>(fuzztake(data, size, 4));
    fuzzsetupneeded("bmpexport");
    fuzzscreen(depths[setting % 3], width, height);
    for (size_t k = 0; k < size && k < static_cast<size_t>(width * height); ++k)
        screen.shadpixels[k * static_cast<size_t>(screen.bytesperpixel)] = data[k];
    // Rectangles that would make files of more than a few megabytes are refused or not tried.
    const int bits = screen.bytesperpixel == 1 ? 8 : 24;
    const long long limit = 0x7FFFFFFFLL - 54 - bmpcolourtablesize;
    long long rowbytes = ((bits / 8LL) * w + 3) / 4 * 4;
    bool fits = w > 0 && h > 0 && rowbytes <= limit / h;
    long long bytes = fits ? rowbytes * h : 0;
    if (bytes > (4 << 20)) return 0;
    const char* path = fuzzfile(nullptr, 0, ".bmp");
    int written = savebmp(x, y, w, h, path);
    FUZZ_CHECK(written == fits);
    struct stat st;
    FUZZ_CHECK(stat(path, &st) == 0);
    if (written) {
        long long expected = (bits == 8 ? 1078 : 54) + bytes;
        FUZZ_CHECK(st.st_size == expected);
    } else {
        FUZZ_CHECK(st.st_size == 0);  // the empty scratch file was left alone
    }
    if (setting & 0x80) FUZZ_CHECK(savepalette(path) == 1);
    return 0;
}
