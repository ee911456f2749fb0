// The platform settings VOXDA_KEYS, VOXDA_CAPTURE and VOXDA_SCREEN; a key script that parses
// is then played through a hundred pumps of a headless window.
#include "fuzz/fuzztarget.h"
#include "platform/backend.h"
#include "platform/headless/headless.h"
#include "platform/platform.h"
#include "platform/script.h"

static intptr_t fuzzwindowproc(pfwindow* w, uint32_t m, uintptr_t wp, intptr_t lp) {
    return pfdefwindowproc(w, m, wp, lp);
}

VOXDA_FUZZ_TARGET(platformsettings) {
    // Once, and again after a script closed the window: a fresh platform with one window.
    if (fuzzsetupneeded("platformsettings") || !pfbackendmainwindow()) {
        pfheadlessstart();
        pfheadlesssetautorestore(-1);
        pfwindowclass c{};
        c.proc = fuzzwindowproc;
        c.classname = "fuzz";
        pfregisterclass(&c);
        pfcreatewindow(0, "fuzz", "fuzz", PF_WS_POPUP | PF_WS_VISIBLE, 0, 0, 64, 48, nullptr, nullptr,
                       nullptr, nullptr);
    }
    uint32_t which = fuzztake(data, size, 1);
    std::string text(reinterpret_cast<const char*>(data), size);
    std::string error;
    pfscriptreset();
    if (which % 3 == 0) {
        int width = -1, height = -1;
        if (pfscriptparsescreen(text.c_str(), &width, &height, error))
            FUZZ_CHECK(width >= 0 && height >= 0);
        else
            FUZZ_CHECK(!error.empty());
    } else if (which % 3 == 1) {
        // The frame list only: the directory part is created as it is parsed, so it is always
        // one scratch directory of this process (and nothing is presented, so nothing is saved).
        static const std::string dir = std::string(fuzzfile(nullptr, 0)) + "-capture";
        std::string capture = dir + ":" + text;
        if (!pfscriptsetcapture(capture.c_str(), error)) FUZZ_CHECK(!error.empty());
    } else if (!pfscriptsetkeys(text.c_str(), error)) {
        FUZZ_CHECK(!error.empty());
    } else {
        uint8_t keys[256];
        for (int pump = 1; pump <= 100; ++pump) {
            pfgetkeyboardstate(keys);
            pfmessage m;
            while (pfpeekmessage(&m, nullptr, 0, 0, PF_PM_REMOVE)) pfdispatchmessage(&m);
        }
    }
    pfscriptreset();
    return 0;
}
