// platform.cpp - start-up, windows, the message queue, the keyboard state, time and the message box
#include "platform/platform.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <deque>
#include <map>
#include <string>
#include <vector>

#include "platform/backend.h"
#include "platform/resultcodes.h"
#include "platform/script.h"

struct pfinstance {
    int unused;
};

struct pfwindowclassentry {
    pfwindowclass settings;
    std::string name;
};

struct pfwindow {
    int classindex;
    std::string title;
    int x, y, width, height;
    bool visible;
    bool iconic;
    bool destroyed;
};

namespace {

// ---------------------------------------------------------------------------------------------
// State
// ---------------------------------------------------------------------------------------------

struct platformstate {
    const pfbackend* backend = nullptr;
    std::string commandline;
    std::vector<pfwindowclassentry> classes;
    std::vector<pfwindow*> windows;  // destroyed ones too, until the platform restarts
    // Windows of earlier starts: the last few are kept (so that their addresses are not
    // reused at once and a stale handle stays harmless), older ones are freed.
    std::deque<pfwindow*> retired;
    std::deque<pfmessage> queue;
    uint8_t keys[256] = {};
    uint8_t unread[256] = {};   // keys that changed after the last keyboard read
    bool unreadbutton = false;  // a mouse button went down after the last keyboard read
    int cursorcount = 0;
    int pumps = 0;
    bool stopped = false;  // the backend was closed by pfexit
    struct failure {
        pfresult result;
        int times;  // -1: always
        int skip;   // calls let through first
    };
    std::map<std::string, failure> failures;  // by call
};

platformstate state;
pfinstance theinstance;
pfdc paintdc;

constexpr size_t queuelimit = 10000;

// Starts a backend with the given script settings; false when it cannot start.
bool startbackend(const pfbackend* backend) {
    if (state.backend && !state.stopped) state.backend->stop();
    state.backend = nullptr;
    pfresetdisplayobjects();
    pfresetwindows();
    std::string error;
    if (!backend->start(error)) {
        std::fprintf(stderr, "voxda: cannot start the %s display: %s\n", backend->name, error.c_str());
        return false;
    }
    state.backend = backend;
    state.stopped = false;
    return true;
}

// Key state as a key message changes it: bit 7 down, bit 0 toggled by each new press; the
// left/right variants also drive their common code.
void applykey(int vk, bool down) {
    auto set = [down](int code) {
        uint8_t& k = state.keys[code & 0xFF];
        if (down) {
            if (!(k & 0x80)) k ^= 0x01;
            k |= 0x80;
        } else {
            k &= 0x7F;
        }
    };
    set(vk);
    int common = 0, left = 0, right = 0;
    if (vk == PFVK_LSHIFT || vk == PFVK_RSHIFT) common = PFVK_SHIFT, left = PFVK_LSHIFT, right = PFVK_RSHIFT;
    if (vk == PFVK_LCONTROL || vk == PFVK_RCONTROL)
        common = PFVK_CONTROL, left = PFVK_LCONTROL, right = PFVK_RCONTROL;
    if (vk == PFVK_LMENU || vk == PFVK_RMENU) common = PFVK_MENU, left = PFVK_LMENU, right = PFVK_RMENU;
    if (common) {
        if (down) {
            set(common);
        } else if (!(state.keys[left] & 0x80) && !(state.keys[right] & 0x80)) {
            set(common);
        }
    }
}

bool validwindow(pfwindow* window) {
    if (!window) return false;
    for (pfwindow* w : state.windows)
        if (w == window) return !w->destroyed;
    return false;
}

bool inrange(uint32_t message, uint32_t min, uint32_t max) {
    if (min == 0 && max == 0) return true;
    return message >= min && message <= max;
}

}  // namespace

// ---------------------------------------------------------------------------------------------
// Core services for the backends
// ---------------------------------------------------------------------------------------------

// The backend in force; the headless one with its defaults when nobody started the platform.
const pfbackend& pfcurrentbackend() {
    if (!state.backend) {
        pfscriptreset();
        if (!startbackend(&pfheadlessbackend)) std::abort();
    }
    return *state.backend;
}

// Changes a window's minimised state as the backend reports it, posting PFM_SIZE.
void pfbackendseticonic(pfwindow* window, bool iconic) {
    if (!validwindow(window) || window->iconic == iconic) return;
    window->iconic = iconic;
    pfpostmessage(window, PFM_SIZE, iconic ? PF_SIZE_MINIMIZED : PF_SIZE_RESTORED,
                  static_cast<intptr_t>((window->height & 0xFFFF) << 16 | (window->width & 0xFFFF)));
}

// The newest live, visible window.
pfwindow* pfbackendmainwindow() {
    for (auto it = state.windows.rbegin(); it != state.windows.rend(); ++it)
        if (!(*it)->destroyed && (*it)->visible) return *it;
    return nullptr;
}

// The injected result of a named call (0 when none), counting down limited injections.
pfresult pfinjectedfailure(const char* call) {
    if (state.failures.empty()) return 0;
    auto it = state.failures.find(call);
    if (it == state.failures.end()) return 0;
    if (it->second.skip > 0) {
        --it->second.skip;
        return 0;
    }
    pfresult result = it->second.result;
    if (it->second.times > 0 && --it->second.times == 0) state.failures.erase(it);
    return result;
}

// Makes a named call give result for the next times calls (-1: until cleared; 0 clears it),
// after letting skip calls through.
void pfsetinjectedfailure(const char* call, pfresult result, int times, int skip) {
    if (times == 0 || result == 0)
        state.failures.erase(call);
    else
        state.failures[call] = {result, times, skip};
}

void pfclearinjectedfailures() { state.failures.clear(); }

// Forgets every window class, window, queued message and key.
void pfresetwindows() {
    state.classes.clear();
    for (pfwindow* w : state.windows) {
        state.retired.push_back(w);
        if (state.retired.size() > 16) {
            delete state.retired.front();
            state.retired.pop_front();
        }
    }
    state.windows.clear();
    state.queue.clear();
    std::memset(state.keys, 0, sizeof state.keys);
    std::memset(state.unread, 0, sizeof state.unread);
    state.unreadbutton = false;
    state.cursorcount = 0;
    state.pumps = 0;
}

int pfpumpnumber() { return state.pumps; }

// ---------------------------------------------------------------------------------------------
// Program entry and command line
// ---------------------------------------------------------------------------------------------

// Picks the backend from the display setting: "headless", "sdl" or null for VOXDA_DISPLAY.
static const pfbackend* choosebackend(const char* display, bool& ok) {
    ok = true;
    if (!display) display = std::getenv("VOXDA_DISPLAY");
    if (!display || !*display) {
#if VOXDA_HAVE_SDL
        return &pfsdlbackend;
#else
        return &pfheadlessbackend;
#endif
    }
    if (std::strcmp(display, "headless") == 0) return &pfheadlessbackend;
    if (std::strcmp(display, "sdl") == 0) {
#if VOXDA_HAVE_SDL
        return &pfsdlbackend;
#else
        std::fprintf(
            stderr,
            "voxda: VOXDA_DISPLAY=sdl, but this build has no SDL2 (install libsdl2-dev and rebuild)\n");
        ok = false;
        return nullptr;
#endif
    }
    std::fprintf(stderr, "voxda: VOXDA_DISPLAY must be 'headless' or 'sdl', not '%s'\n", display);
    ok = false;
    return nullptr;
}

// Starts the platform: settings from the environment, then the backend.
int pfstartup(const char* display) {
    bool ok = true;
    const pfbackend* backend = choosebackend(display, ok);
    if (!ok) return 0;
    if (!pfscriptreadenvironment()) return 0;
    state.failures.clear();
    return startbackend(backend) ? 1 : 0;
}

// Joins the arguments into one command line, quoting those that hold a space.
static std::string joincommandline(int argc, char** argv) {
    std::string line;
    for (int i = 0; i < argc; ++i) {
        if (i) line += ' ';
        const char* a = argv[i] ? argv[i] : "";
        bool quote = !*a || std::strpbrk(a, " \t") != nullptr;
        if (quote) line += '"';
        line += a;
        if (quote) line += '"';
    }
    return line;
}

// Starts the platform from the environment and runs the application's entry.
int pfrun(int argc, char** argv, pfentry entry) {
    if (!pfstartup(nullptr)) return 2;
    state.commandline = joincommandline(argc, argv);
    int status = entry(&theinstance, nullptr, state.commandline.c_str(), static_cast<int>(PF_SW_SHOW));
    std::fflush(stdout);
    state.backend->stop();
    state.backend = nullptr;
    return status;
}

const char* pfgetcommandline() { return state.commandline.c_str(); }

// Closes the backend and ends the process.
void pfexit(int status) {
    std::fflush(stdout);
    std::fflush(stderr);
    // The backend stays selected (stopped) so that exit handlers may still look at the state.
    if (state.backend && !state.stopped) state.backend->stop();
    state.stopped = true;
    std::exit(status);
}

const char* pfbackendname() { return pfcurrentbackend().name; }

// ---------------------------------------------------------------------------------------------
// Window class and window
// ---------------------------------------------------------------------------------------------

// Registers a class under its name.
uint16_t pfregisterclass(const pfwindowclass* windowclass) {
    pfcurrentbackend();
    if (pfinjectedfailure("pfregisterclass")) return 0;
    if (!windowclass || !windowclass->classname || !*windowclass->classname || !windowclass->proc) return 0;
    for (const auto& c : state.classes)
        if (c.name == windowclass->classname) return 0;
    pfwindowclassentry entry{*windowclass, windowclass->classname};
    entry.settings.classname = nullptr;  // the name is kept in the entry, not the caller's pointer
    entry.settings.menuname = nullptr;
    state.classes.push_back(entry);
    return static_cast<uint16_t>(0xC000 + state.classes.size());
}

pfhandle pfloadicon(pfinstance*, int id) { return 0x10000u + static_cast<uint32_t>(id); }
pfhandle pfloadcursor(pfinstance*, int id) { return 0x20000u + static_cast<uint32_t>(id); }
pfhandle pfgetstockobject(int id) { return 0x30000u + static_cast<uint32_t>(id); }

// Creates a window of a registered class, shown at once with PF_WS_VISIBLE.
pfwindow* pfcreatewindow(uint32_t, const char* classname, const char* title, uint32_t style, int x, int y,
                         int width, int height, pfwindow*, void*, pfinstance*, void*) {
    const pfbackend& backend = pfcurrentbackend();
    if (pfinjectedfailure("pfcreatewindow")) return nullptr;
    if (!classname) return nullptr;
    int index = -1;
    for (size_t i = 0; i < state.classes.size(); ++i)
        if (state.classes[i].name == classname) index = static_cast<int>(i);
    if (index < 0) return nullptr;
    pfwindow* window = new pfwindow{index, title ? title : "", x, y, width, height, false, false, false};
    state.windows.push_back(window);
    if (style & PF_WS_VISIBLE) {
        window->visible = true;
        backend.showwindow(window, 1, window->title.c_str());
    }
    return window;
}

// Shows, hides or minimises a window.
int pfsetwindowplacement(pfwindow* window, const pfwindowplacement* placement) {
    const pfbackend& backend = pfcurrentbackend();
    if (!validwindow(window) || !placement || placement->length != sizeof(pfwindowplacement)) return 0;
    switch (placement->showcmd) {
        case PF_SW_HIDE:
            window->visible = false;
            backend.showwindow(window, 0, window->title.c_str());
            break;
        case PF_SW_MINIMIZE:
            window->visible = true;
            backend.showwindow(window, -1, window->title.c_str());
            pfbackendseticonic(window, true);
            break;
        default:
            window->visible = true;
            backend.showwindow(window, 1, window->title.c_str());
            pfbackendseticonic(window, false);
            break;
    }
    return 1;
}

// Minimises a window.
int pfclosewindow(pfwindow* window) {
    const pfbackend& backend = pfcurrentbackend();
    if (!validwindow(window)) return 0;
    backend.showwindow(window, -1, window->title.c_str());
    pfbackendseticonic(window, true);
    return 1;
}

int pfisiconic(pfwindow* window) { return validwindow(window) && window->iconic ? 1 : 0; }

// Moves the cursor display count; the pointer shows while it is 0 or more.
int pfshowcursor(int show) {
    const pfbackend& backend = pfcurrentbackend();
    state.cursorcount += show ? 1 : -1;
    backend.showcursor(state.cursorcount >= 0);
    return state.cursorcount;
}

const char* pfwindowtitle(pfwindow* window) { return validwindow(window) ? window->title.c_str() : ""; }

// ---------------------------------------------------------------------------------------------
// Messages
// ---------------------------------------------------------------------------------------------

// Queues a message unless the queue is full.
int pfpostmessage(pfwindow* window, uint32_t message, uintptr_t wparam, intptr_t lparam) {
    const pfbackend& backend = pfcurrentbackend();
    if (state.queue.size() >= queuelimit) return 0;
    state.queue.push_back(pfmessage{window, message, wparam, lparam, backend.tickcount()});
    return 1;
}

void pfpostquitmessage(int exitcode) {
    pfpostmessage(nullptr, PFM_QUIT, static_cast<uintptr_t>(static_cast<uint32_t>(exitcode)), 0);
}

// The oldest matching message that may be taken now. A key message that would change a key
// whose last change no keyboard read has seen yet waits for the next read, so a tap shorter than
// one pump still shows as one press; later messages for that key wait behind it, in order.
// A button release likewise waits for a read after its press, and mouse messages behind it.
std::deque<pfmessage>::iterator nexttakeable(pfwindow* window, uint32_t min, uint32_t max) {
    bool waiting[256] = {};
    bool mousewaiting = false;
    for (auto it = state.queue.begin(); it != state.queue.end(); ++it) {
        const uint32_t m = it->message;
        if (m >= PFM_MOUSEMOVE && m <= PFM_RBUTTONDBLCLK) {
            if (state.unreadbutton && (m == PFM_LBUTTONUP || m == PFM_RBUTTONUP)) mousewaiting = true;
            if (mousewaiting) continue;
        }
        const bool press = m == PFM_KEYDOWN || m == PFM_SYSKEYDOWN,
                   release = m == PFM_KEYUP || m == PFM_SYSKEYUP;
        if (press || release) {
            const int vk = static_cast<int>(it->wparam & 0xFF);
            const bool down = (state.keys[vk] & 0x80) != 0;
            if (state.unread[vk] && press != down) waiting[vk] = true;
            if (waiting[vk]) continue;
        }
        if (window && it->window != window) continue;
        if (!inrange(m, min, max)) continue;
        return it;
    }
    return state.queue.end();
}

// Takes or looks at the oldest matching message; key messages update the key state as taken.
int pfpeekmessage(pfmessage* message, pfwindow* window, uint32_t min, uint32_t max, uint32_t remove) {
    const pfbackend& backend = pfcurrentbackend();
    if (!message) return 0;
    auto it = nexttakeable(window, min, max);
    // Poll when nothing at all can be taken (an empty queue, or only waiting key releases).
    if (it == state.queue.end() && nexttakeable(nullptr, 0, 0) == state.queue.end()) {
        pfscriptpoll();
        if (!state.stopped) backend.pollinput();
        it = nexttakeable(window, min, max);
    }
    if (it != state.queue.end()) {
        *message = *it;
        if (remove & PF_PM_REMOVE) {
            state.queue.erase(it);
            switch (message->message) {
                case PFM_KEYDOWN:
                case PFM_SYSKEYDOWN:
                case PFM_KEYUP:
                case PFM_SYSKEYUP: {
                    const int vk = static_cast<int>(message->wparam & 0xFF);
                    const bool press = message->message == PFM_KEYDOWN || message->message == PFM_SYSKEYDOWN;
                    if (((state.keys[vk] & 0x80) != 0) != press) state.unread[vk] = 1;
                    applykey(vk, press);
                    break;
                }
                case PFM_LBUTTONDOWN:
                case PFM_LBUTTONDBLCLK:
                case PFM_RBUTTONDOWN:
                case PFM_RBUTTONDBLCLK: state.unreadbutton = true; break;
                case PFM_KILLFOCUS: std::memset(state.keys, 0, sizeof state.keys); break;
                default: break;
            }
        }
        return 1;
    }
    return 0;
}

int pftranslatemessage(const pfmessage* message) {
    if (!message) return 0;
    uint32_t m = message->message;
    return m == PFM_KEYDOWN || m == PFM_KEYUP || m == PFM_SYSKEYDOWN || m == PFM_SYSKEYUP;
}

// Hands a message to its window's procedure.
intptr_t pfdispatchmessage(const pfmessage* message) {
    if (!message || !validwindow(message->window)) return 0;
    pfwindow* window = message->window;
    pfwindowproc proc = state.classes[window->classindex].settings.proc;
    return proc(window, message->message, message->wparam, message->lparam);
}

// Default handling: close destroys, Alt+F4 closes.
intptr_t pfdefwindowproc(pfwindow* window, uint32_t message, uintptr_t wparam, intptr_t) {
    if (!validwindow(window)) return 0;
    if (message == PFM_CLOSE) {
        window->destroyed = true;
        window->visible = false;
        pfcurrentbackend().showwindow(window, 0, window->title.c_str());
        pfwindowproc proc = state.classes[window->classindex].settings.proc;
        proc(window, PFM_DESTROY, 0, 0);
        return 0;
    }
    if (message == PFM_SYSKEYDOWN && wparam == PFVK_F4) pfpostmessage(window, PFM_CLOSE, 0, 0);
    return 0;
}

pfdc* pfbeginpaint(pfwindow* window, pfpaintstruct* paint) {
    if (!validwindow(window) || !paint) return nullptr;
    paintdc.window = window;
    *paint = pfpaintstruct{&paintdc, 0, 0, 0, window->width, window->height};
    return &paintdc;
}

int pfendpaint(pfwindow* window, const pfpaintstruct* paint) { return validwindow(window) && paint ? 1 : 0; }

// ---------------------------------------------------------------------------------------------
// Keyboard, system metrics, message box
// ---------------------------------------------------------------------------------------------

// Copies the key state; each read is one pump, at which scripted input for that pump is posted.
int pfgetkeyboardstate(uint8_t keys[256]) {
    pfcurrentbackend();
    if (!keys) return 0;
    std::memcpy(keys, state.keys, 256);
    std::memset(state.unread, 0, sizeof state.unread);
    state.unreadbutton = false;
    ++state.pumps;
    pfscriptpump(state.pumps);
    state.backend->pumped(state.pumps);
    return 1;
}

int pfgetsystemmetrics(int index) {
    int width = 0, height = 0;
    pfcurrentbackend().desktopsize(&width, &height);
    if (index == PF_SM_CXSCREEN) return width;
    if (index == PF_SM_CYSCREEN) return height;
    return 0;
}

// Shows a box through the backend, or writes it to standard error.
int pfmessagebox(pfwindow*, const char* text, const char* caption, uint32_t) {
    const pfbackend& backend = pfcurrentbackend();
    if (!text) text = "";
    if (!caption) caption = "";
    if (!backend.messagebox(text, caption)) {
        std::fprintf(stderr, "%s: %s\n", caption, text);
        std::fflush(stderr);
    }
    return PF_IDOK;
}

// ---------------------------------------------------------------------------------------------
// Time
// ---------------------------------------------------------------------------------------------

void pfsleep(uint32_t ms) { pfcurrentbackend().sleep(ms); }

uint32_t pfgettickcount() { return pfcurrentbackend().tickcount(); }

int pfqueryperformancecounter(int64_t* out) {
    const pfbackend& backend = pfcurrentbackend();
    if (!out || pfinjectedfailure("pfqueryperformancecounter")) return 0;
    *out = backend.counter();
    return 1;
}

int pfqueryperformancefrequency(int64_t* out) {
    const pfbackend& backend = pfcurrentbackend();
    if (!out || pfinjectedfailure("pfqueryperformancefrequency")) return 0;
    *out = backend.frequency();
    return 1;
}

// ---------------------------------------------------------------------------------------------
// Reading the screen back
// ---------------------------------------------------------------------------------------------

int pfreadscreen(std::vector<uint32_t>& pixels, int* width, int* height) {
    int w = 0, h = 0;
    if (!pfcurrentbackend().readscreen(pixels, w, h)) return 0;
    if (width) *width = w;
    if (height) *height = h;
    return 1;
}
