// headless.cpp - the in-memory display backend: virtual clock, scripted input, frame read-back
#include "platform/headless/headless.h"

#include <cstdio>
#include <map>

#include "platform/backend.h"
#include "platform/script.h"

namespace {

struct headlessstate {
    int desktopwidth = 1024, desktopheight = 768;
    std::vector<int> depths{8, 24, 32};
    uint64_t clock = 0;  // nanoseconds
    std::multimap<int, std::function<void()>> atpump;
    std::function<void(const pfframe&)> onpresent;
    bool recording = false;
    std::vector<pfheadlessframe> frames;
    pfheadlessframe last{};
    std::vector<std::string> boxes;
    bool restorepending = false;
    uint64_t restoreat = 0;
    int autorestorems = 100;  // any minimise is undone after this long (-1: never)
    bool cursorvisible = true;
};

headlessstate hs;

// Copies a frame into c, reusing c's memory.
void copyframe(const pfframe& f, pfheadlessframe& c) {
    c.number = f.number;
    c.width = f.width;
    c.height = f.height;
    c.bitsperpixel = f.bitsperpixel;
    c.pitch = f.pitch;
    c.pixels.assign(f.pixels, f.pixels + static_cast<size_t>(f.pitch) * static_cast<size_t>(f.height));
    for (int i = 0; i < 256; ++i) c.palette[i] = f.palette[i];
}

// ---- the backend routines ----

bool start(std::string&) {
    hs = headlessstate{};
    int w, h;
    if (pfscriptscreen(&w, &h)) hs.desktopwidth = w, hs.desktopheight = h;
    return true;
}

void stop() {}

void desktopsize(int* w, int* h) {
    *w = hs.desktopwidth;
    *h = hs.desktopheight;
}

// A minimised window comes back once its restore time has passed.
void pollinput() {
    if (hs.restorepending && hs.clock >= hs.restoreat) {
        hs.restorepending = false;
        pfheadlessrestore();
    }
}

bool acceptsdepth(int bits) {
    for (int d : hs.depths)
        if (d == bits) return true;
    return false;
}

// Schedules the automatic restore of a minimised window, so that no run waits forever.
void showwindow(pfwindow*, int show, const char*) {
    if (show == -1 && hs.autorestorems >= 0) {
        hs.restorepending = true;
        hs.restoreat = hs.clock + static_cast<uint64_t>(hs.autorestorems) * 1000000u;
    } else if (show == 1) {
        hs.restorepending = false;
    }
}
void setmode(int, int, int) {}

void present(const pfframe& frame, bool repaintonly) {
    if (repaintonly) {
        for (int i = 0; i < 256; ++i) hs.last.palette[i] = frame.palette[i];
        return;
    }
    if (hs.onpresent) hs.onpresent(frame);
    copyframe(frame, hs.last);
    if (hs.recording) hs.frames.push_back(hs.last);
}

bool messagebox(const char* text, const char* caption) {
    hs.boxes.push_back(std::string(caption) + ": " + text);
    return false;  // the core writes it to standard error
}

void sleep(uint32_t ms) { hs.clock += static_cast<uint64_t>(ms) * 1000000u; }
uint32_t tickcount() { return static_cast<uint32_t>(hs.clock / 1000000u); }
int64_t counter() { return static_cast<int64_t>(hs.clock); }
int64_t frequency() { return 1000000000; }
void showcursor(bool visible) { hs.cursorvisible = visible; }

// Runs the test's actions for this pump.
void pumped(int pump) {
    auto range = hs.atpump.equal_range(pump);
    std::vector<std::function<void()>> actions;
    for (auto it = range.first; it != range.second; ++it) actions.push_back(std::move(it->second));
    hs.atpump.erase(range.first, range.second);
    for (auto& action : actions) action();
}

// The last frame as 0xRRGGBB.
bool readscreen(std::vector<uint32_t>& pixels, int& width, int& height) {
    if (hs.last.number == 0) return false;
    width = hs.last.width;
    height = hs.last.height;
    pixels.resize(static_cast<size_t>(width) * static_cast<size_t>(height));
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x) pixels[static_cast<size_t>(y) * width + x] = hs.last.rgb(x, y);
    return true;
}

bool altdown = false;
int heldbuttons = 0;

}  // namespace

const pfbackend pfheadlessbackend = {
    "headless", start, stop,      desktopsize, pollinput, acceptsdepth, showwindow, setmode,    present,
    messagebox, sleep, tickcount, counter,     frequency, showcursor,   pumped,     readscreen,
};

// ---- test controls ----

int pfheadlessstart() {
    altdown = false;
    heldbuttons = 0;
    return pfstartup("headless");
}

void pfheadlesssetdesktop(int width, int height) {
    pfcurrentbackend();
    hs.desktopwidth = width;
    hs.desktopheight = height;
}

void pfheadlesssetdepths(const std::vector<int>& bitsperpixel) {
    pfcurrentbackend();
    hs.depths = bitsperpixel;
}

void pfheadlesssetextrapitch(int bytes) {
    pfcurrentbackend();
    pfextrapitch = bytes < 0 ? 0 : bytes;
}

void pfheadlessfail(const char* call, pfresult result, int times, int skip) {
    pfcurrentbackend();
    pfsetinjectedfailure(call, result, times, skip);
}

void pfheadlessclearfailures() { pfclearinjectedfailures(); }

void pfheadlessadvance(uint64_t nanoseconds) {
    pfcurrentbackend();
    hs.clock += nanoseconds;
}

uint64_t pfheadlessclock() {
    pfcurrentbackend();
    return hs.clock;
}

void pfheadlesskey(int vk, bool down) {
    pfcurrentbackend();
    if (vk == PFVK_LMENU || vk == PFVK_RMENU) altdown = down;
    uint32_t message = down ? (altdown ? PFM_SYSKEYDOWN : PFM_KEYDOWN) : (altdown ? PFM_SYSKEYUP : PFM_KEYUP);
    if (!down && (vk == PFVK_LMENU || vk == PFVK_RMENU)) message = PFM_SYSKEYUP;
    pfpostmessage(pfbackendmainwindow(), message, static_cast<uintptr_t>(vk & 0xFF),
                  down ? 1 : static_cast<intptr_t>(0xC0000001u));
}

void pfheadlesschar(int character) {
    pfpostmessage(pfbackendmainwindow(), PFM_CHAR, static_cast<uintptr_t>(character & 0xFF), 1);
}

// lparam: x in the low and y in the high 16 bits.
static intptr_t mouseposition(int x, int y) {
    return static_cast<intptr_t>((static_cast<uint32_t>(y) & 0xFFFF) << 16 |
                                 (static_cast<uint32_t>(x) & 0xFFFF));
}

void pfheadlessmouse(int x, int y, int buttons) {
    pfpostmessage(pfbackendmainwindow(), PFM_MOUSEMOVE, static_cast<uintptr_t>(buttons & 3),
                  mouseposition(x, y));
}

void pfheadlessbutton(int button, bool down, int x, int y) {
    int bit = button == 0 ? 1 : 2;
    heldbuttons = down ? (heldbuttons | bit) : (heldbuttons & ~bit);
    uint32_t message =
        button == 0 ? (down ? PFM_LBUTTONDOWN : PFM_LBUTTONUP) : (down ? PFM_RBUTTONDOWN : PFM_RBUTTONUP);
    pfpostmessage(pfbackendmainwindow(), message, static_cast<uintptr_t>(heldbuttons), mouseposition(x, y));
}

void pfheadlesssetautorestore(int ms) {
    pfcurrentbackend();
    hs.autorestorems = ms;
}

void pfheadlessminimise(int restoreafterms) {
    pfwindow* window = pfbackendmainwindow();
    if (!window) return;
    pfclosewindow(window);
    hs.restorepending = restoreafterms >= 0;
    hs.restoreat = hs.clock + static_cast<uint64_t>(restoreafterms < 0 ? 0 : restoreafterms) * 1000000u;
}

void pfheadlessrestore() {
    hs.restorepending = false;
    if (pfwindow* window = pfbackendmainwindow()) {
        pfwindowplacement placement{sizeof(pfwindowplacement), 0, PF_SW_RESTORE, 0, 0, 0, 0, 0, 0, 0, 0};
        pfsetwindowplacement(window, &placement);
    }
}

void pfheadlessclose() { pfpostmessage(pfbackendmainwindow(), PFM_CLOSE, 0, 0); }
void pfheadlessquit() { pfpostquitmessage(0); }

void pfheadlessatpump(int pump, std::function<void()> action) {
    pfcurrentbackend();
    hs.atpump.emplace(pump, std::move(action));
}

int pfheadlesspumps() { return pfpumpnumber(); }

void pfheadlessonpresent(std::function<void(const pfframe&)> callback) {
    pfcurrentbackend();
    hs.onpresent = std::move(callback);
}

uint32_t pfheadlessframe::rgb(int x, int y) const {
    if (x < 0 || y < 0 || x >= width || y >= height) return 0;
    const uint8_t* p = pixels.data() + static_cast<size_t>(y) * static_cast<size_t>(pitch);
    if (bitsperpixel == 8) {
        const pfpaletteentry& e = palette[p[x]];
        return static_cast<uint32_t>(e.red) << 16 | static_cast<uint32_t>(e.green) << 8 | e.blue;
    }
    if (bitsperpixel == 16) {
        uint32_t v = static_cast<uint32_t>(p[2 * x] | p[2 * x + 1] << 8);
        uint32_t r = v >> 11 & 31, g = v >> 5 & 63, b = v & 31;
        return (r << 3 | r >> 2) << 16 | (g << 2 | g >> 4) << 8 | (b << 3 | b >> 2);
    }
    const uint8_t* q = p + x * (bitsperpixel / 8);
    return static_cast<uint32_t>(q[2]) << 16 | static_cast<uint32_t>(q[1]) << 8 | q[0];
}

void pfheadlessrecord(bool on) {
    pfcurrentbackend();
    hs.recording = on;
}

const std::vector<pfheadlessframe>& pfheadlessframes() { return hs.frames; }
void pfheadlessclearframes() { hs.frames.clear(); }
const pfheadlessframe& pfheadlesslastframe() { return hs.last; }

void pfheadlesslosesurfaces() {
    pfcurrentbackend();
    pflosesurfaces();
}

bool pfheadlessislocked(pfsurface* surface) { return pfsurfaceislocked(surface); }
bool pfheadlesshasdc(pfsurface* surface) { return pfsurfacehasdc(surface); }

const std::vector<std::string>& pfheadlessmessageboxes() { return hs.boxes; }

bool pfheadlesswindowvisible() {
    pfwindow* w = pfbackendmainwindow();
    return w != nullptr;
}

bool pfheadlesswindowiconic() { return pfisiconic(pfbackendmainwindow()) != 0; }
