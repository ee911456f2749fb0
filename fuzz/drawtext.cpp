// drawtext on arbitrary bytes (escapes included) with the headless display open, with and
// without a wrap margin, from a terminated copy and from an exactly sized buffer.
#include <cstring>
#include <memory>

#include "display/graphics.h"
#include "fuzz/fuzztarget.h"
#include "platform/headless/headless.h"
#include "raster/blendtables.h"
#include "text/fontstore.h"
#include "text/textdraw.h"

VOXDA_FUZZ_TARGET(drawtext) {
    static font* normal = nullptr;
    if (fuzzsetupneeded("drawtext")) {
        pfheadlessstart();
        blendtablesbuilt = 1;  // no cache file written by the target
        GRAPHICS(nullptr, 160, 120, "fuzz", 4, 0);
        loadfont(fuzzfontpath().c_str(), "normal");
        normal = findfont("normal");
    }
    selectfont(normal);
    uint32_t flags = fuzztake(data, size, 1);
    int x = static_cast<int16_t>(fuzztake(data, size, 2));
    int y = static_cast<int16_t>(fuzztake(data, size, 2));
    int margin = flags & 1 ? static_cast<int>(fuzztake(data, size, 1)) + 1 : 0;
    if (flags & 2) x = static_cast<int>(0x7FFFFF00u + (flags >> 2));  // near the int limit
    std::unique_ptr<char[]> exact(new char[size ? size : 1]);
    if (size) std::memcpy(exact.get(), data, size);
    drawtextin(x, y, margin, exact.get(), size, 0xFFFFFF);
    std::string terminated(reinterpret_cast<const char*>(data), size);
    drawtext(x, y, margin, terminated.c_str(), 0x00FF80);
    (void)textwidth(terminated.c_str());
    (void)textwidthin(exact.get(), size);
    (void)textprefixwidth(terminated.c_str(), static_cast<int>(flags) - 20);
    FUZZ_CHECK(currentfont == normal);
    return 0;
}
