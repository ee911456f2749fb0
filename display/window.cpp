// The full-screen window, its procedure, the keyboard and typed-character state and the message pump.
#include "display/window.h"

#include "display/errorlog.h"
#include "display/screen.h"
#include "display/surfaces.h"

#include <cstdlib>
#include <cstring>

uint8_t keys[256] = {};
uint8_t lastkeys[256] = {};
char typedkeys[500] = {};

namespace {

constexpr const char* windowclassname = "quibbets";
constexpr uint32_t classstyle = PF_CS_VREDRAW | PF_CS_HREDRAW | PF_CS_DBLCLKS | PF_CS_OWNDC;  // 0x2B
constexpr uint32_t windowstyle = PF_WS_POPUP | PF_WS_VISIBLE;                                 // 0x90000000
static_assert(classstyle == 0x2B && windowstyle == 0x90000000u);

constexpr uint32_t minimisedpoll = 30;  // ms between looks at a minimised window

// Show or hide the window through its placement.
void placewindow(uint32_t showcmd) {
    pfwindowplacement placement = {};
    placement.length = sizeof placement;
    placement.showcmd = showcmd;
    pfsetwindowplacement(screen.window, &placement);
}

// What the pump keeps while the display is released: the surface bytes and the device palette.
// It lives beyond one pump call, so that a pump that returned on a quit message while
// suspended still leaves the next call able to rebuild the display.
struct suspension {
    bool active;
    bool havedisplay;  // a display was open: only then is one rebuilt
    bool haveshad, haveback, havepalette;
    int shadpitch, backpitch;
    int width, height;
    uint8_t* shadbytes;
    uint8_t* backbytes;
    pfpaletteentry palette[256];
};
suspension suspended = {};

// Save the pixels of one bank: height x pitch bytes.
uint8_t* savebank(const uint8_t* pixels, int pitch) {
    const size_t bytes = static_cast<size_t>(screen.height) * static_cast<size_t>(pitch);
    uint8_t* copy = static_cast<uint8_t*>(std::malloc(bytes ? bytes : 1));
    if (bytes) std::memcpy(copy, pixels, bytes);
    return copy;
}

// Copy saved rows into a recreated bank row by row, never beyond either row length,
// in case the new surface came back with another pitch.
void restorebank(uint8_t* pixels, int pitch, const uint8_t* saved, int savedpitch) {
    if (!pixels || !saved) return;
    const int row = pitch < savedpitch ? pitch : savedpitch;
    if (row <= 0) return;
    for (int y = 0; y < screen.height; ++y)
        std::memcpy(pixels + static_cast<size_t>(y) * pitch, saved + static_cast<size_t>(y) * savedpitch,
                    row);
}

// Release the display while the window is minimised, keeping its pixels and device palette.
void suspenddisplay() {
    suspension& s = suspended;
    s = suspension{};
    s.active = true;
    s.havedisplay = screen.dd != nullptr;
    if (screen.bytesperpixel == 1 && screen.ddpalette) {
        ddcheck("dealwithmessages,8bit,iconising - saving palette entries",
                pfpalettegetentries(screen.ddpalette, 0, 0, 256, s.palette));
        s.havepalette = true;
    }
    if (screen.shad) {
        s.shadbytes = savebank(screen.shadpixels, screen.shadpitch);
        s.shadpitch = screen.shadpitch;
        s.haveshad = true;
        pfsurfacerelease(screen.shad);
        screen.shad = nullptr;
    }
    if (screen.back) {
        s.backbytes = savebank(screen.backpixels, screen.backpitch);
        s.backpitch = screen.backpitch;
        s.haveback = true;
        pfsurfacerelease(screen.back);
        screen.back = nullptr;
    }
    if (screen.dd) {
        pfdisplayrelease(screen.dd);
        screen.dd = nullptr;
        screen.primary = nullptr;
        screen.ddpalette = nullptr;
    }
    // Nothing may draw into the released memory meanwhile: the clip window is emptied.
    s.width = screen.width;
    s.height = screen.height;
    screen.width = screen.height = 0;
    screen.shadpixels = screen.backpixels = nullptr;
}

// Rebuild the display in the same mode and put the saved pixels and palette back.
void resumedisplay() {
    suspension& s = suspended;
    screen.width = s.width;
    screen.height = s.height;
    if (!s.havedisplay) {  // minimised before any set-up (or after endgraphics): nothing to rebuild
        s = suspension{};
        return;
    }
    directxsetup(screen.bytesperpixel);
    if (s.haveback) {
        makebanks();
        restorebank(screen.backpixels, screen.backpitch, s.backbytes, s.backpitch);
        if (s.haveshad) restorebank(screen.shadpixels, screen.shadpitch, s.shadbytes, s.shadpitch);
    } else if (s.haveshad) {
        makebank();
        restorebank(screen.shadpixels, screen.shadpitch, s.shadbytes, s.shadpitch);
    }
    std::free(s.shadbytes);
    std::free(s.backbytes);
    if (s.havepalette && screen.bytesperpixel == 1 && screen.ddpalette)
        ddcheck("dealwithmessages,8bit,restoring - reloading palette entries",
                pfpalettesetentries(screen.ddpalette, 0, 0, 256, s.palette));
    s = suspension{};
}

}  // namespace

// Create the one window of the class "quibbets", or show it again when it exists.
pfwindow* makewindow(pfinstance* instance, int width, int height, const char* title) {
    if (screen.window) {
        placewindow(PF_SW_SHOW);
        return screen.window;
    }
    screen.width = width;
    screen.height = height;
    screen.instance = instance;
    pfwindowclass windowclass = {};
    windowclass.style = classstyle;
    windowclass.proc = windowproc;
    windowclass.classextra = 0;
    windowclass.windowextra = 0;
    windowclass.instance = instance;
    windowclass.icon = pfloadicon(nullptr, PF_IDI_APPLICATION);
    windowclass.cursor = pfloadcursor(nullptr, PF_IDC_ARROW);
    windowclass.background = pfgetstockobject(PF_BLACK_BRUSH);
    windowclass.menuname = nullptr;
    windowclass.classname = windowclassname;
    if (!pfregisterclass(&windowclass)) fatalerror("Couldn't register window class");
    pfwindow* window = pfcreatewindow(0, windowclassname, title, windowstyle, 0, 0, screen.width,
                                      screen.height, nullptr, nullptr, instance, nullptr);
    pfshowcursor(0);
    if (!window) fatalerror("Couldn't create a window");
    screen.window = window;
    return window;
}

// Give the cursor back and hide the window.
void hidewindow() {
    pfshowcursor(1);
    placewindow(PF_SW_HIDE);
}

// Nothing is painted here (the picture comes from the present); destroying the window ends the
// program at once; typed characters and the mouse are recorded.
intptr_t windowproc(pfwindow* window, uint32_t message, uintptr_t wparam, intptr_t lparam) {
    switch (message) {
        case PFM_PAINT: {
            pfpaintstruct paint = {};
            pfbeginpaint(window, &paint);
            pfendpaint(window, &paint);
            return 0;
        }
        case PFM_DESTROY: pfpostquitmessage(0); pfexit(0);
        case PFM_CHAR: {
            const size_t length = std::strlen(typedkeys);
            if (length < maxtypedkeys) {
                typedkeys[length] = static_cast<char>(wparam & 0xFF);
                typedkeys[length + 1] = 0;
            }
            break;
        }
        case PFM_MOUSEMOVE:
        case PFM_LBUTTONDOWN:
        case PFM_LBUTTONUP:
        case PFM_LBUTTONDBLCLK:
        case PFM_RBUTTONDOWN:
        case PFM_RBUTTONUP:
        case PFM_RBUTTONDBLCLK: {
            mousex = static_cast<int>(static_cast<uintptr_t>(lparam) & 0xFFFF);
            mousey = static_cast<int>((static_cast<uintptr_t>(lparam) >> 16) & 0xFFFF);
            const int buttons = static_cast<int>(wparam & (PF_MK_LBUTTON | PF_MK_RBUTTON));
            if (buttons == 0) mouselatched = 0;
            if (!mouselatched) mousebuttons = buttons;
            break;
        }
        default: break;
    }
    return pfdefwindowproc(window, message, wparam, lparam);
}

// One pump: keyboard first (so a key message taken now shows from the next pump on), the
// minimise keys, then the queue; a minimised window keeps the pump here, polling, with the
// display released, until it is restored or a quit message arrives.
int dealwithmessages() {
    std::memcpy(lastkeys, keys, sizeof keys);
    pfgetkeyboardstate(keys);
    if (keydown(keys, PFVK_LWIN) || keydown(keys, PFVK_RWIN) ||
        ((keydown(keys, PFVK_LCONTROL) || keydown(keys, PFVK_RCONTROL)) && keydown(keys, PFVK_ESCAPE)))
        pfclosewindow(screen.window);
    for (;;) {
        pfmessage message = {};
        const bool taken = pfpeekmessage(&message, nullptr, 0, 0, PF_PM_REMOVE) != 0;
        const bool minimised = pfisiconic(screen.window) != 0;
        if (!taken && !minimised) break;
        if (minimised && !suspended.active) suspenddisplay();
        if (taken) {
            if (message.message == PFM_QUIT) return 1;
            pftranslatemessage(&message);
            pfdispatchmessage(&message);
        }
        if (minimised) pfsleep(minimisedpoll);
    }
    if (suspended.active) resumedisplay();
    return 0;
}

// Take the oldest typed character (a signed char widened), moving the rest down.
int getkey() {
    if (typedkeys[0] == 0) return 0;
    const int c = static_cast<signed char>(typedkeys[0]);
    std::memmove(typedkeys, typedkeys + 1, std::strlen(typedkeys));
    return c;
}
