// headless.h - controls of the in-memory display backend, for tests and batch runs
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "platform/platform.h"

// Restarts the platform on the headless backend with its defaults: a 1024x768 desktop (or
// VOXDA_SCREEN), depths 8, 24 and 32, the virtual clock at 0, no recording, no failures, no
// script (VOXDA_KEYS and VOXDA_CAPTURE are read as pfstartup does).  Returns 1, or 0 when an
// environment setting is bad.
int pfheadlessstart();

// The desktop size that the system metrics report (0, 0: a desktop without a size).
void pfheadlesssetdesktop(int width, int height);

// The depths (bits per pixel) that pfdisplaysetmode accepts; any other gives UNSUPPORTEDMODE.
void pfheadlesssetdepths(const std::vector<int>& bitsperpixel);

// Bytes added to the pitch of surfaces created from now on.
void pfheadlesssetextrapitch(int bytes);

// Makes the named call (its platform name, e.g. "pfsurfacelock") give result for the next
// times calls (-1: until cleared), after letting skip calls through.  Calls that return a
// handle or a flag give null or 0.
void pfheadlessfail(const char* call, pfresult result, int times = -1, int skip = 0);
void pfheadlessclearfailures();

// The virtual clock: tick count, performance counter (nanoseconds, frequency 10^9) and pfsleep
// all use it.  It only moves when a test advances it or the program sleeps.
void pfheadlessadvance(uint64_t nanoseconds);
uint64_t pfheadlessclock();  // nanoseconds since start

// Input, posted to the queue at once (to the newest visible window).  Keys use virtual-key
// codes; with Alt (PFVK_LMENU / PFVK_RMENU) down they arrive as system keys.  A key posts only
// its key message: characters are posted with pfheadlesschar.
void pfheadlesskey(int vk, bool down);
void pfheadlesschar(int character);
void pfheadlessmouse(int x, int y, int buttons);             // a PFM_MOUSEMOVE
void pfheadlessbutton(int button, bool down, int x, int y);  // button 0 left, 1 right
void pfheadlessminimise(int restoreafterms);                 // -1: stays minimised

// Any other minimise (pfclosewindow, a placement) is undone after this many milliseconds of the
// virtual clock (default 100; -1: never), checked when the program looks for messages.
void pfheadlesssetautorestore(int ms);
void pfheadlessrestore();
void pfheadlessclose();  // PFM_CLOSE to the window
void pfheadlessquit();   // PFM_QUIT

// Runs action when the program reads the keyboard for the given pump (1 = first read),
// after the read: whatever it posts is taken by that pump and shows from the next one.
void pfheadlessatpump(int pump, std::function<void()> action);

// Number of keyboard reads (pumps) so far.
int pfheadlesspumps();

// Called with every presented frame (before it is recorded).
void pfheadlessonpresent(std::function<void(const pfframe&)> callback);

// A presented frame kept by the recorder: its pixels and the palette it was shown through.
struct pfheadlessframe {
    int number;
    int width, height, bitsperpixel, pitch;
    std::vector<uint8_t> pixels;  // height x pitch bytes
    pfpaletteentry palette[256];
    // The colour shown at (x, y) as 0xRRGGBB.
    uint32_t rgb(int x, int y) const;
};

// Starts or stops keeping copies of presented frames (off by default, to bound memory).
void pfheadlessrecord(bool on);
const std::vector<pfheadlessframe>& pfheadlessframes();
void pfheadlessclearframes();

// The last presented frame, kept whether or not recording is on (number 0: none yet).
const pfheadlessframe& pfheadlesslastframe();

// Loses every live surface.
void pfheadlesslosesurfaces();

// Whether a surface is locked now, or has a device context out (a lock is refused with
// SURFACEBUSY in both cases, so tests ask here instead).
bool pfheadlessislocked(pfsurface* surface);
bool pfheadlesshasdc(pfsurface* surface);

// The message boxes shown so far, as "caption: text".
const std::vector<std::string>& pfheadlessmessageboxes();

// Whether the newest window is shown, minimised, and the cursor count.
bool pfheadlesswindowvisible();
bool pfheadlesswindowiconic();
