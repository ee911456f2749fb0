// Style strings ("normal:size=2:bold:skew=10°" ...) with fonts loaded: parsed, derived,
// selected, aliased and baked; the fonts they make are dropped after each input.
#include <cstring>

#include "fuzz/fuzzscreen.h"
#include "fuzz/fuzztarget.h"
#include "text/styles.h"

VOXDA_FUZZ_TARGET(style) {
    static font* normal = nullptr;
    static font* second = nullptr;
    if (fuzzsetupneeded("style")) {
        fuzzscreen(4, 64, 48);
        loadfont(fuzzfontpath().c_str(), "normal");
        normal = findfont("normal");
        second = copyfont(normal);
        renamefont(second, "second");
        second->style.base = second->id;
    }
    std::string text(reinterpret_cast<const char*>(data), size);
    const char* t = text.c_str();
    selectfont(normal);
    textstyle st = parsestyle(t);
    FUZZ_CHECK(st.widthscale > 0 && st.heightscale > 0);
    (void)hasfont(t);
    setfont(t);
    FUZZ_CHECK(currentfont != nullptr);
    drawtext(2, 2, 0, "Style", 0xFFFFFF);
    aliasfont(t, "alias");
    bakefont(t, "baked");
    // Back to the two loaded fonts.
    for (int i = fontcount() - 1; i >= 0; i--)
        if (i < fontcount() && fonttable[i] != normal && fonttable[i] != second) deletefont(fonttable[i]);
    FUZZ_CHECK(fontcount() == 2);
    renamefont(normal, "normal");
    renamefont(second, "second");
    selectfont(normal);
    return 0;
}
