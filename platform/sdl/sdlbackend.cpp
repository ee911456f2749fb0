// sdlbackend.cpp - the real-window backend: one SDL2 window, a streaming texture, keyboard and mouse
#include <SDL.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "platform/backend.h"
#include "platform/frameconvert.h"
#include "platform/script.h"

namespace {

struct sdlstate {
    bool windowed = false;  // VOXDA_SCREEN given: a window of that size
    int windowwidth = 0, windowheight = 0;
    SDL_Window* window = nullptr;
    SDL_Renderer* renderer = nullptr;
    SDL_Texture* texture = nullptr;
    int modewidth = 0, modeheight = 0, modebits = 0;
    SDL_Rect target{0, 0, 0, 0};  // where the emulated display lands in the window
    bool hasframe = false;        // the texture holds a presented frame
    uint64_t tickbase = 0;
    bool cursorvisible = true;
    bool minimising = false;   // a minimise was asked for and not yet seen to end
    uint64_t minimisedat = 0;  // SDL ticks of that request
};

sdlstate sdl;

// ---- key mapping ----

struct scanmap {
    SDL_Scancode scancode;
    int vk;
};

// Keys other than letters and digits, by position.
const scanmap scancodes[] = {
    {SDL_SCANCODE_RETURN, 0x0D},       {SDL_SCANCODE_ESCAPE, 0x1B},      {SDL_SCANCODE_BACKSPACE, 0x08},
    {SDL_SCANCODE_TAB, 0x09},          {SDL_SCANCODE_SPACE, 0x20},       {SDL_SCANCODE_MINUS, 0xBD},
    {SDL_SCANCODE_EQUALS, 0xBB},       {SDL_SCANCODE_LEFTBRACKET, 0xDB}, {SDL_SCANCODE_RIGHTBRACKET, 0xDD},
    {SDL_SCANCODE_BACKSLASH, 0xDC},    {SDL_SCANCODE_SEMICOLON, 0xBA},   {SDL_SCANCODE_APOSTROPHE, 0xDE},
    {SDL_SCANCODE_GRAVE, 0xC0},        {SDL_SCANCODE_COMMA, 0xBC},       {SDL_SCANCODE_PERIOD, 0xBE},
    {SDL_SCANCODE_SLASH, 0xBF},        {SDL_SCANCODE_CAPSLOCK, 0x14},    {SDL_SCANCODE_PRINTSCREEN, 0x2C},
    {SDL_SCANCODE_SCROLLLOCK, 0x91},   {SDL_SCANCODE_PAUSE, 0x13},       {SDL_SCANCODE_INSERT, 0x2D},
    {SDL_SCANCODE_HOME, 0x24},         {SDL_SCANCODE_PAGEUP, 0x21},      {SDL_SCANCODE_DELETE, 0x2E},
    {SDL_SCANCODE_END, 0x23},          {SDL_SCANCODE_PAGEDOWN, 0x22},    {SDL_SCANCODE_RIGHT, 0x27},
    {SDL_SCANCODE_LEFT, 0x25},         {SDL_SCANCODE_DOWN, 0x28},        {SDL_SCANCODE_UP, 0x26},
    {SDL_SCANCODE_NUMLOCKCLEAR, 0x90}, {SDL_SCANCODE_KP_DIVIDE, 0x6F},   {SDL_SCANCODE_KP_MULTIPLY, 0x6A},
    {SDL_SCANCODE_KP_MINUS, 0x6D},     {SDL_SCANCODE_KP_PLUS, 0x6B},     {SDL_SCANCODE_KP_ENTER, 0x0D},
    {SDL_SCANCODE_KP_0, 0x60},         {SDL_SCANCODE_KP_PERIOD, 0x6E},   {SDL_SCANCODE_LCTRL, 0xA2},
    {SDL_SCANCODE_LSHIFT, 0xA0},       {SDL_SCANCODE_LALT, 0xA4},        {SDL_SCANCODE_LGUI, 0x5B},
    {SDL_SCANCODE_RCTRL, 0xA3},        {SDL_SCANCODE_RSHIFT, 0xA1},      {SDL_SCANCODE_RALT, 0xA5},
    {SDL_SCANCODE_RGUI, 0x5C},         {SDL_SCANCODE_APPLICATION, 0x5D}, {SDL_SCANCODE_NONUSBACKSLASH, 0xE2},
};

// The virtual-key code of a key: letters and digits by the user's layout, the rest by position.
int virtualkey(SDL_Scancode scancode) {
    SDL_Keycode key = SDL_GetKeyFromScancode(scancode);
    if (key >= 'a' && key <= 'z') return static_cast<int>(key - 'a' + 'A');
    if (key >= '0' && key <= '9') return static_cast<int>(key);
    if (scancode >= SDL_SCANCODE_A && scancode <= SDL_SCANCODE_Z) return 'A' + (scancode - SDL_SCANCODE_A);
    if (scancode >= SDL_SCANCODE_1 && scancode <= SDL_SCANCODE_9) return '1' + (scancode - SDL_SCANCODE_1);
    if (scancode == SDL_SCANCODE_0) return '0';
    if (scancode >= SDL_SCANCODE_F1 && scancode <= SDL_SCANCODE_F12)
        return 0x70 + (scancode - SDL_SCANCODE_F1);
    if (scancode >= SDL_SCANCODE_KP_1 && scancode <= SDL_SCANCODE_KP_9)
        return 0x61 + (scancode - SDL_SCANCODE_KP_1);
    for (const scanmap& m : scancodes)
        if (m.scancode == scancode) return m.vk;
    return 0;
}

// ---- drawing ----

// Places the emulated display in the window: integer scaling where it fits, else the largest
// size with the same shape; centred, black around it.
void placetarget() {
    if (!sdl.renderer || sdl.modewidth <= 0 || sdl.modeheight <= 0) return;
    int ww = 0, wh = 0;
    SDL_GetRendererOutputSize(sdl.renderer, &ww, &wh);
    int scale = std::min(ww / sdl.modewidth, wh / sdl.modeheight);
    int w, h;
    if (scale >= 1) {
        w = sdl.modewidth * scale;
        h = sdl.modeheight * scale;
    } else if (static_cast<long long>(ww) * sdl.modeheight <= static_cast<long long>(wh) * sdl.modewidth) {
        w = ww;
        h = static_cast<int>(static_cast<long long>(ww) * sdl.modeheight / sdl.modewidth);
    } else {
        h = wh;
        w = static_cast<int>(static_cast<long long>(wh) * sdl.modewidth / sdl.modeheight);
    }
    sdl.target = SDL_Rect{(ww - w) / 2, (wh - h) / 2, w, h};
}

// Draws the converted frame (or black when there is none) into the renderer's back buffer.
void drawscene() {
    SDL_SetRenderDrawColor(sdl.renderer, 0, 0, 0, 255);
    SDL_RenderClear(sdl.renderer);
    if (sdl.texture && sdl.hasframe) {
        placetarget();
        SDL_RenderCopy(sdl.renderer, sdl.texture, nullptr, &sdl.target);
    }
}

// Shows the converted frame.
void render() {
    if (!sdl.renderer) return;
    drawscene();
    SDL_RenderPresent(sdl.renderer);
}

// Window coordinates to emulated display pixels, clamped to the display.
void todisplay(int wx, int wy, int& x, int& y) {
    int ww = 0, wh = 0, rw = 0, rh = 0;
    SDL_GetWindowSize(sdl.window, &ww, &wh);
    SDL_GetRendererOutputSize(sdl.renderer, &rw, &rh);
    if (ww > 0 && wh > 0) wx = wx * rw / ww, wy = wy * rh / wh;  // high-density displays
    if (sdl.target.w <= 0 || sdl.target.h <= 0) {
        x = wx, y = wy;
    } else {
        x = static_cast<int>(static_cast<long long>(wx - sdl.target.x) * sdl.modewidth / sdl.target.w);
        y = static_cast<int>(static_cast<long long>(wy - sdl.target.y) * sdl.modeheight / sdl.target.h);
        x = std::max(0, std::min(x, sdl.modewidth - 1));
        y = std::max(0, std::min(y, sdl.modeheight - 1));
    }
}

intptr_t mouselparam(int x, int y) {
    return static_cast<intptr_t>((static_cast<uint32_t>(y) & 0xFFFF) << 16 |
                                 (static_cast<uint32_t>(x) & 0xFFFF));
}

// The buttons held as of the event being turned into a message (SDL's own mouse state is
// already that after the last queued event, so a quick click would carry no button).
uintptr_t mousebuttons(uint32_t state) {
    uintptr_t b = 0;
    if (state & SDL_BUTTON(SDL_BUTTON_LEFT)) b |= PF_MK_LBUTTON;
    if (state & SDL_BUTTON(SDL_BUTTON_RIGHT)) b |= PF_MK_RBUTTON;
    return b;
}

uint32_t heldbuttons = 0;  // SDL button mask, following the button events as they are taken

// Posts the characters of UTF-8 text that fit in one byte (Latin-1).
void posttext(pfwindow* window, const char* text) {
    const unsigned char* p = reinterpret_cast<const unsigned char*>(text);
    while (*p) {
        uint32_t c;
        int extra;
        if (*p < 0x80)
            c = *p, extra = 0;
        else if ((*p & 0xE0) == 0xC0)
            c = *p & 0x1F, extra = 1;
        else if ((*p & 0xF0) == 0xE0)
            c = *p & 0x0F, extra = 2;
        else
            c = *p & 0x07, extra = 3;
        ++p;
        for (int i = 0; i < extra && (*p & 0xC0) == 0x80; ++i) c = c << 6 | (*p++ & 0x3F);
        if (c > 0 && c <= 0xFF) pfpostmessage(window, PFM_CHAR, c, 1);
    }
}

// ---- the backend routines ----

bool start(std::string& error) {
    sdl = sdlstate{};
    int w, h;
    if (pfscriptscreen(&w, &h)) {
        if (w == 0 || h == 0) {
            error = "VOXDA_SCREEN=0x0 is only for the headless display";
            return false;
        }
        sdl.windowed = true;
        sdl.windowwidth = w;
        sdl.windowheight = h;
    }
    auto set = [](const char* name) {
        const char* v = std::getenv(name);
        return v && *v;
    };
    if (!set("DISPLAY") && !set("WAYLAND_DISPLAY") && !set("SDL_VIDEODRIVER")) {
        error =
            "no screen to open a window on (DISPLAY and WAYLAND_DISPLAY are unset); VOXDA_DISPLAY=headless "
            "runs without one";
        return false;
    }
    SDL_SetHint(SDL_HINT_NO_SIGNAL_HANDLERS, "1");
    if (SDL_Init(SDL_INIT_VIDEO | SDL_INIT_TIMER | SDL_INIT_EVENTS) != 0) {
        error = std::string(SDL_GetError()) + " (VOXDA_DISPLAY=headless runs without a screen)";
        return false;
    }
    // SDL falls back to drivers that show nothing; a window nobody can see is no window.
    const char* driver = SDL_GetCurrentVideoDriver();
    const char* asked = SDL_getenv("SDL_VIDEODRIVER");
    bool invisible = driver && (SDL_strcmp(driver, "offscreen") == 0 || SDL_strcmp(driver, "dummy") == 0);
    if (invisible && !(asked && SDL_strcasecmp(asked, driver) == 0)) {
        SDL_Quit();
        error =
            "no screen to open a window on (no X or Wayland display); VOXDA_DISPLAY=headless runs without "
            "one";
        return false;
    }
    sdl.tickbase = SDL_GetTicks64();
    return true;
}

void stop() {
    if (sdl.texture) SDL_DestroyTexture(sdl.texture);
    if (sdl.renderer) SDL_DestroyRenderer(sdl.renderer);
    if (sdl.window) SDL_DestroyWindow(sdl.window);
    sdl.texture = nullptr;
    sdl.renderer = nullptr;
    sdl.window = nullptr;
    SDL_Quit();
}

void desktopsize(int* w, int* h) {
    if (sdl.windowed) {
        *w = sdl.windowwidth;
        *h = sdl.windowheight;
        return;
    }
    SDL_DisplayMode mode;
    if (SDL_GetDesktopDisplayMode(0, &mode) == 0) {
        *w = mode.w;
        *h = mode.h;
    } else {
        *w = *h = 0;
    }
}

// Opens the one SDL window on first show.
bool makewindow(const char* title) {
    if (sdl.window) return true;
    uint32_t flags = SDL_WINDOW_HIDDEN | SDL_WINDOW_ALLOW_HIGHDPI;
    int w = sdl.windowwidth, h = sdl.windowheight;
    if (!sdl.windowed) {
        flags |= SDL_WINDOW_FULLSCREEN_DESKTOP;
        desktopsize(&w, &h);
    }
    sdl.window = SDL_CreateWindow(title, SDL_WINDOWPOS_CENTERED, SDL_WINDOWPOS_CENTERED, w, h, flags);
    if (!sdl.window) {
        std::fprintf(stderr, "voxda: cannot open a window: %s\n", SDL_GetError());
        return false;
    }
    sdl.renderer = SDL_CreateRenderer(sdl.window, -1, 0);
    if (!sdl.renderer) sdl.renderer = SDL_CreateRenderer(sdl.window, -1, SDL_RENDERER_SOFTWARE);
    if (!sdl.renderer) {
        std::fprintf(stderr, "voxda: cannot draw into the window: %s\n", SDL_GetError());
        return false;
    }
    SDL_ShowCursor(sdl.cursorvisible ? SDL_ENABLE : SDL_DISABLE);
    SDL_StartTextInput();
    return true;
}

void showwindow(pfwindow*, int show, const char* title) {
    if (show != 0 && !makewindow(title)) return;
    if (!sdl.window) return;
    if (show == 1) {
        SDL_ShowWindow(sdl.window);
        if (SDL_GetWindowFlags(sdl.window) & SDL_WINDOW_MINIMIZED) SDL_RestoreWindow(sdl.window);
        SDL_RaiseWindow(sdl.window);
        render();
    } else if (show == 0) {
        SDL_HideWindow(sdl.window);
    } else {
        SDL_MinimizeWindow(sdl.window);
        sdl.minimising = true;
        sdl.minimisedat = SDL_GetTicks64();
    }
}

// Half a second after a minimise request, a window that is still not minimised (a window
// manager that cannot iconify, or none at all) counts as restored, so the program goes on.
void checkminimise(pfwindow* window) {
    if (!sdl.minimising || !sdl.window || !window) return;
    if (!pfisiconic(window)) {
        sdl.minimising = false;
        return;
    }
    if (SDL_GetTicks64() - sdl.minimisedat < 500) return;
    sdl.minimising = false;
    if (!(SDL_GetWindowFlags(sdl.window) & SDL_WINDOW_MINIMIZED)) pfbackendseticonic(window, false);
}

// A new display mode: a texture of its size; none when back to the desktop.
void setmode(int width, int height, int bits) {
    if (sdl.texture) SDL_DestroyTexture(sdl.texture);
    sdl.texture = nullptr;
    sdl.hasframe = false;
    sdl.modewidth = width;
    sdl.modeheight = height;
    sdl.modebits = bits;
    if (width > 0 && height > 0 && sdl.renderer) {
        sdl.texture = SDL_CreateTexture(sdl.renderer, SDL_PIXELFORMAT_ARGB8888, SDL_TEXTUREACCESS_STREAMING,
                                        width, height);
        if (!sdl.texture) std::fprintf(stderr, "voxda: cannot make the screen texture: %s\n", SDL_GetError());
    }
    render();
}

// Converts the frame through its palette (8-bit) or from blue-green-red bytes into the texture.
void present(const pfframe& f, bool) {
    if (!sdl.renderer) return;
    if (!sdl.texture || f.width != sdl.modewidth || f.height != sdl.modeheight) {
        sdl.modewidth = f.width, sdl.modeheight = f.height;
        if (sdl.texture) SDL_DestroyTexture(sdl.texture);
        sdl.texture = SDL_CreateTexture(sdl.renderer, SDL_PIXELFORMAT_ARGB8888, SDL_TEXTUREACCESS_STREAMING,
                                        f.width, f.height);
        if (!sdl.texture) return;
    }
    void* texels = nullptr;
    int texpitch = 0;
    if (SDL_LockTexture(sdl.texture, nullptr, &texels, &texpitch) != 0) return;
    pfframetoargb(f, texels, static_cast<size_t>(texpitch));
    SDL_UnlockTexture(sdl.texture);
    sdl.hasframe = true;
    render();
}

// Turns SDL's events into window messages.
void pollinput() {
    pfwindow* window = pfbackendmainwindow();
    SDL_Event e;
    while (SDL_PollEvent(&e)) {
        switch (e.type) {
            case SDL_QUIT:
                if (window)
                    pfpostmessage(window, PFM_CLOSE, 0, 0);
                else
                    pfpostquitmessage(0);
                break;
            case SDL_WINDOWEVENT:
                switch (e.window.event) {
                    case SDL_WINDOWEVENT_CLOSE:
                        if (window) pfpostmessage(window, PFM_CLOSE, 0, 0);
                        break;
                    case SDL_WINDOWEVENT_MINIMIZED: pfbackendseticonic(window, true); break;
                    case SDL_WINDOWEVENT_RESTORED:
                    case SDL_WINDOWEVENT_MAXIMIZED:
                        pfbackendseticonic(window, false);
                        render();
                        break;
                    case SDL_WINDOWEVENT_FOCUS_LOST: pfpostmessage(window, PFM_KILLFOCUS, 0, 0); break;
                    case SDL_WINDOWEVENT_FOCUS_GAINED: pfpostmessage(window, PFM_SETFOCUS, 0, 0); break;
                    case SDL_WINDOWEVENT_EXPOSED:
                    case SDL_WINDOWEVENT_SIZE_CHANGED: render(); break;
                    default: break;
                }
                break;
            case SDL_KEYDOWN:
            case SDL_KEYUP: {
                int vk = virtualkey(e.key.keysym.scancode);
                if (!vk) break;
                bool down = e.type == SDL_KEYDOWN;
                bool alt = (e.key.keysym.mod & KMOD_ALT) != 0 || vk == 0xA4 || vk == 0xA5;
                uint32_t message =
                    down ? (alt ? PFM_SYSKEYDOWN : PFM_KEYDOWN) : (alt ? PFM_SYSKEYUP : PFM_KEYUP);
                intptr_t lparam = 1;
                if (e.key.repeat) lparam |= 1 << 30;
                if (!down) lparam = static_cast<intptr_t>(0xC0000001u);
                pfpostmessage(window, message, static_cast<uintptr_t>(vk), lparam);
                // Keys that type a control character; text input covers the printable ones.
                if (down && !(e.key.keysym.mod & (KMOD_CTRL | KMOD_ALT)) &&
                    (vk == 0x0D || vk == 0x08 || vk == 0x1B || vk == 0x09))
                    pfpostmessage(window, PFM_CHAR, static_cast<uintptr_t>(vk), 1);
                break;
            }
            case SDL_TEXTINPUT: posttext(window, e.text.text); break;
            case SDL_MOUSEMOTION: {
                int x, y;
                todisplay(e.motion.x, e.motion.y, x, y);
                heldbuttons = e.motion.state;
                pfpostmessage(window, PFM_MOUSEMOVE, mousebuttons(heldbuttons), mouselparam(x, y));
                break;
            }
            case SDL_MOUSEBUTTONDOWN:
            case SDL_MOUSEBUTTONUP: {
                bool left = e.button.button == SDL_BUTTON_LEFT, right = e.button.button == SDL_BUTTON_RIGHT;
                if (!left && !right) break;
                int x, y;
                todisplay(e.button.x, e.button.y, x, y);
                bool down = e.type == SDL_MOUSEBUTTONDOWN;
                if (down)
                    heldbuttons |= SDL_BUTTON(e.button.button);
                else
                    heldbuttons &= ~SDL_BUTTON(e.button.button);
                uint32_t message;
                if (left)
                    message =
                        down ? (e.button.clicks == 2 ? PFM_LBUTTONDBLCLK : PFM_LBUTTONDOWN) : PFM_LBUTTONUP;
                else
                    message =
                        down ? (e.button.clicks == 2 ? PFM_RBUTTONDBLCLK : PFM_RBUTTONDOWN) : PFM_RBUTTONUP;
                pfpostmessage(window, message, mousebuttons(heldbuttons), mouselparam(x, y));
                break;
            }
            default: break;
        }
    }
    checkminimise(window);
}

bool acceptsdepth(int bits) { return bits == 8 || bits == 16 || bits == 24 || bits == 32; }

bool messagebox(const char* text, const char* caption) {
    if (sdl.window && (SDL_GetWindowFlags(sdl.window) & SDL_WINDOW_FULLSCREEN_DESKTOP))
        SDL_MinimizeWindow(sdl.window);
    return SDL_ShowSimpleMessageBox(SDL_MESSAGEBOX_ERROR, caption, text, nullptr) == 0;
}

void sleep(uint32_t ms) { SDL_Delay(ms); }
uint32_t tickcount() { return static_cast<uint32_t>(SDL_GetTicks64() - sdl.tickbase); }
int64_t counter() { return static_cast<int64_t>(SDL_GetPerformanceCounter()); }
int64_t frequency() { return static_cast<int64_t>(SDL_GetPerformanceFrequency()); }

void showcursor(bool visible) {
    sdl.cursorvisible = visible;
    if (sdl.window) SDL_ShowCursor(visible ? SDL_ENABLE : SDL_DISABLE);
}

void pumped(int) {}

// Reads the window's contents back from the renderer.
bool readscreen(std::vector<uint32_t>& pixels, int& width, int& height) {
    if (!sdl.renderer) return false;
    drawscene();
    if (SDL_GetRendererOutputSize(sdl.renderer, &width, &height) != 0 || width <= 0 || height <= 0)
        return false;
    pixels.resize(static_cast<size_t>(width) * static_cast<size_t>(height));
    if (SDL_RenderReadPixels(sdl.renderer, nullptr, SDL_PIXELFORMAT_ARGB8888, pixels.data(), width * 4) != 0)
        return false;
    SDL_RenderPresent(sdl.renderer);
    for (uint32_t& p : pixels) p &= 0xFFFFFF;
    return true;
}

}  // namespace

const pfbackend pfsdlbackend = {
    "sdl",      start, stop,      desktopsize, pollinput, acceptsdepth, showwindow, setmode,    present,
    messagebox, sleep, tickcount, counter,     frequency, showcursor,   pumped,     readscreen,
};
