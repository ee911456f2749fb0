// backend.h - what a display backend supplies to the platform core, and the core's shared state
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "platform/platform.h"

// A device context: nothing draws through it here; it only marks a surface or window as handed out.
struct pfdc {
    pfwindow* window;
};

// One fixed list of routines per backend.  The core owns windows, the message queue, the
// keyboard state and the display objects; a backend shows frames and supplies input and time.
struct pfbackend {
    const char* name;
    // Opens the backend; on failure writes the reason into error and returns false.
    bool (*start)(std::string& error);
    void (*stop)();
    // The desktop's size in pixels (0, 0 when it reports none).
    void (*desktopsize)(int* width, int* height);
    // Posts whatever input has arrived since the last call (through pfpostmessage and
    // pfbackendseticonic).
    void (*pollinput)();
    // Whether a display mode of this depth can be shown.
    bool (*acceptsdepth)(int bitsperpixel);
    // A window was shown, hidden or minimised (show: 1 shown, 0 hidden, -1 minimised).
    void (*showwindow)(pfwindow* window, int show, const char* title);
    // The display mode now in force (0, 0, 0: back to the desktop).
    void (*setmode)(int width, int height, int bitsperpixel);
    // A presented frame; repaint is set when only the palette changed since the last present.
    void (*present)(const pfframe& frame, bool repaint);
    // Shows a box and waits; false when it could not be shown.
    bool (*messagebox)(const char* text, const char* caption);
    void (*sleep)(uint32_t ms);
    uint32_t (*tickcount)();
    int64_t (*counter)();
    int64_t (*frequency)();
    void (*showcursor)(bool visible);
    // The program read the keyboard for the given pump (scripted input has been posted).
    void (*pumped)(int pump);
    // What the screen shows now, as 0xRRGGBB rows of width pixels; false when it cannot be read.
    bool (*readscreen)(std::vector<uint32_t>& pixels, int& width, int& height);
};

extern const pfbackend pfheadlessbackend;
#if VOXDA_HAVE_SDL
extern const pfbackend pfsdlbackend;
#endif

// The backend in force; starts the headless backend with its defaults on first use.
const pfbackend& pfcurrentbackend();

// Sets or clears the minimised state of a window as input reports it, posting PFM_SIZE.
void pfbackendseticonic(pfwindow* window, bool iconic);

// The one window the backends show input for (the newest visible one), or null.
pfwindow* pfbackendmainwindow();

// Failure injection shared by every call: the result a named call is made to give now, or 0.
pfresult pfinjectedfailure(const char* call);
void pfsetinjectedfailure(const char* call, pfresult result, int times, int skip = 0);
void pfclearinjectedfailures();

// Resets the display objects (used when the platform restarts).
void pfresetdisplayobjects();

// Resets the window and message state (used when the platform restarts).
void pfresetwindows();

// Display objects held in memory: the live ones and the few recently released ones kept
// to catch stale handles.
int pfheldobjects();

// Number of keyboard reads so far (pumps).
int pfpumpnumber();

// Loses every live surface (its memory is no longer valid until restored).
void pflosesurfaces();

// A live surface's lock and device-context state (false for stale handles).
bool pfsurfaceislocked(pfsurface* surface);
bool pfsurfacehasdc(pfsurface* surface);

// Bytes added to every new surface's row beyond its 4-byte-aligned width (tests use it to
// show code that wrongly assumes pitch = width x bytes per pixel).
extern int pfextrapitch;
