// platform.h - the stand-in for the operating-system and display services that the display code calls
#pragma once

#include <cstdint>
#include <vector>

// ---------------------------------------------------------------------------------------------
// Conventions
//
// Every display call returns a pfresult: 0 for success, otherwise one of the codes of
// platform/resultcodes.h (the display layer turns them into names for its error messages).
// The window and system calls return what their callers test: a handle (null on failure),
// a count, or a 0/1 flag.  All calls are made from the program's one thread.
//
// Two backends stand behind these calls: headless (VOXDA_DISPLAY=headless, an in-memory
// display for tests and batch runs) and SDL2 (a real window).  Both share the message queue,
// the keyboard state and the in-memory surfaces; a backend only shows frames, supplies input,
// time and message boxes.  See platform/headless/headless.h for the test controls.
//
// Without pfrun or pfstartup, the first call starts the headless backend with its defaults
// (no environment setting is read), so library code and tests need no set-up.
// ---------------------------------------------------------------------------------------------

typedef uint32_t pfresult;

// Opaque handles.  Objects are never freed while the program runs, so a stale handle is
// refused with PFERR_INVALIDOBJECT rather than touching freed memory.
struct pfinstance;  // the program instance
struct pfwindow;    // a window
struct pfdisplay;   // the display object (screen owner: mode, surfaces, palettes)
struct pfsurface;   // a surface: plain memory addressed by pointer and pitch
struct pfpalette;   // a 256-entry 8-bit palette object
struct pfdc;        // a device context handed out by pfsurfacegetdc / pfbeginpaint

typedef uintptr_t pfhandle;  // icons, cursors, stock objects: tokens with no behaviour behind them

// ---------------------------------------------------------------------------------------------
// Program entry and command line
// ---------------------------------------------------------------------------------------------

// The application's entry: instance, previous instance (always null), the full command line
// and the show state (always PF_SW_SHOW).  Its result becomes the process exit status.
typedef int (*pfentry)(pfinstance* instance, pfinstance* previous, const char* commandline, int showcmd);

// Reads the platform settings (VOXDA_DISPLAY, VOXDA_SCREEN, VOXDA_KEYS, VOXDA_CAPTURE), starts
// the backend, stores the command line and runs entry.  A bad setting prints one line to
// standard error and returns 2 without calling entry.
int pfrun(int argc, char** argv, pfentry entry);

// Starts the platform without running an entry (tests, tools).  display is "headless", "sdl"
// or null (choose from VOXDA_DISPLAY as pfrun does).  Returns 1 on success, 0 when a setting
// is bad (the reason is on standard error).  Calling it again restarts the platform afresh:
// the queue, the key state, the windows and every display object are forgotten.
int pfstartup(const char* display);

// The full command line: the program path and its arguments, each quoted when it holds a
// space, joined by spaces.  "" before pfrun.
const char* pfgetcommandline();

// Ends the process with the given status, closing the backend first.  Never returns.
[[noreturn]] void pfexit(int status);

// The backend in use: "headless" or "sdl".  Starts the platform on first use when needed.
const char* pfbackendname();

// ---------------------------------------------------------------------------------------------
// Window class and window
// ---------------------------------------------------------------------------------------------

typedef intptr_t (*pfwindowproc)(pfwindow* window, uint32_t message, uintptr_t wparam, intptr_t lparam);

struct pfwindowclass {
    uint32_t style;     // PF_CS_* bits (recorded only)
    pfwindowproc proc;  // receives every dispatched message of the class's windows
    int classextra;     // extra bytes (recorded only)
    int windowextra;
    pfinstance* instance;
    pfhandle icon;          // from pfloadicon
    pfhandle cursor;        // from pfloadcursor
    pfhandle background;    // from pfgetstockobject
    const char* menuname;   // null: no menu
    const char* classname;  // the name pfcreatewindow refers to
};

constexpr uint32_t PF_CS_VREDRAW = 0x0001, PF_CS_HREDRAW = 0x0002, PF_CS_DBLCLKS = 0x0008,
                   PF_CS_OWNDC = 0x0020;
constexpr uint32_t PF_WS_POPUP = 0x80000000u, PF_WS_VISIBLE = 0x10000000u;
constexpr int PF_IDI_APPLICATION = 32512, PF_IDC_ARROW = 32512, PF_BLACK_BRUSH = 4;

// Registers a window class.  Returns a nonzero class token, 0 when the class has no name or
// no window procedure, or the name is already registered, or the registration is made to fail.
uint16_t pfregisterclass(const pfwindowclass* windowclass);

// Icon, cursor and stock-object tokens (nonzero).  Only recorded in the class.
pfhandle pfloadicon(pfinstance* instance, int id);
pfhandle pfloadcursor(pfinstance* instance, int id);
pfhandle pfgetstockobject(int id);

// Creates a window of a registered class.  Returns null when the class is unknown or creation
// is made to fail.  With PF_WS_VISIBLE the window is shown at once (SDL: full screen on the
// desktop, or a window when VOXDA_SCREEN is set).  Only one window exists on the SDL backend.
pfwindow* pfcreatewindow(uint32_t exstyle, const char* classname, const char* title, uint32_t style, int x,
                         int y, int width, int height, pfwindow* parent, void* menu, pfinstance* instance,
                         void* param);

// Placement of a window: only length and showcmd are read (length must be 44).
struct pfwindowplacement {
    uint32_t length;
    uint32_t flags;
    uint32_t showcmd;  // PF_SW_*
    int32_t minx, miny;
    int32_t maxx, maxy;
    int32_t left, top, right, bottom;
};
static_assert(sizeof(pfwindowplacement) == 44, "a window placement record is 44 bytes");

constexpr uint32_t PF_SW_HIDE = 0, PF_SW_SHOWNORMAL = 1, PF_SW_MINIMIZE = 6, PF_SW_SHOW = 5,
                   PF_SW_RESTORE = 9;

// Shows (PF_SW_SHOW, PF_SW_SHOWNORMAL, PF_SW_RESTORE), hides (PF_SW_HIDE) or minimises
// (PF_SW_MINIMIZE) the window.  Returns 1, or 0 for a bad window or a length other than 44.
int pfsetwindowplacement(pfwindow* window, const pfwindowplacement* placement);

// Minimises the window (it becomes iconic).  Returns 1, or 0 for a bad window.
int pfclosewindow(pfwindow* window);

// 1 while the window is minimised, else 0.
int pfisiconic(pfwindow* window);

// Adds (show nonzero) or takes away one from the cursor display count and returns the new
// count; the pointer is visible over the window while the count is 0 or more.  Starts at 0.
int pfshowcursor(int show);

// The window's title as given at creation ("" for a bad window).
const char* pfwindowtitle(pfwindow* window);

// ---------------------------------------------------------------------------------------------
// Messages
// ---------------------------------------------------------------------------------------------

constexpr uint32_t PFM_DESTROY = 0x0002, PFM_SIZE = 0x0005, PFM_ACTIVATE = 0x0006, PFM_SETFOCUS = 0x0007,
                   PFM_KILLFOCUS = 0x0008, PFM_PAINT = 0x000F, PFM_CLOSE = 0x0010, PFM_QUIT = 0x0012,
                   PFM_KEYDOWN = 0x0100, PFM_KEYUP = 0x0101, PFM_CHAR = 0x0102, PFM_SYSKEYDOWN = 0x0104,
                   PFM_SYSKEYUP = 0x0105, PFM_MOUSEMOVE = 0x0200, PFM_LBUTTONDOWN = 0x0201,
                   PFM_LBUTTONUP = 0x0202, PFM_LBUTTONDBLCLK = 0x0203, PFM_RBUTTONDOWN = 0x0204,
                   PFM_RBUTTONUP = 0x0205, PFM_RBUTTONDBLCLK = 0x0206;

// PFM_SIZE wparam values.
constexpr uintptr_t PF_SIZE_RESTORED = 0, PF_SIZE_MINIMIZED = 1;

// Mouse message wparam bits; lparam holds x in the low and y in the high 16 bits.
constexpr uintptr_t PF_MK_LBUTTON = 0x0001, PF_MK_RBUTTON = 0x0002;

// Key messages: wparam is the virtual-key code (PFVK_*, letters as upper-case ASCII, digits
// as ASCII); lparam bit 30 is set when the key was already down (auto-repeat).
// Character messages: wparam is the character's byte (Latin-1; others are not sent).

struct pfmessage {
    pfwindow* window;  // null for thread messages such as PFM_QUIT
    uint32_t message;
    uintptr_t wparam;
    intptr_t lparam;
    uint32_t time;  // tick count when posted, in milliseconds
};

constexpr uint32_t PF_PM_NOREMOVE = 0, PF_PM_REMOVE = 1;

// Takes (PF_PM_REMOVE) or looks at the oldest message of the queue, filling *message; returns
// 1 when there was one, else 0.  window null means every window; min and max both 0 mean every
// message.  New input is collected from the backend when the queue is empty.  Taking a key
// message updates the keyboard state that pfgetkeyboardstate reads; taking PFM_KILLFOCUS
// clears it.
int pfpeekmessage(pfmessage* message, pfwindow* window, uint32_t min, uint32_t max, uint32_t remove);

// Characters arrive as PFM_CHAR messages of their own, so this only reports whether the
// message was a key message (1) or not (0); it posts nothing.
int pftranslatemessage(const pfmessage* message);

// Calls the window procedure of the message's window and returns its result; 0 for messages
// without a window (they are not dispatched).
intptr_t pfdispatchmessage(const pfmessage* message);

// Default handling: PFM_CLOSE destroys the window (its procedure receives PFM_DESTROY);
// Alt+F4 (PFM_SYSKEYDOWN of PFVK_F4) posts PFM_CLOSE; everything else returns 0.
intptr_t pfdefwindowproc(pfwindow* window, uint32_t message, uintptr_t wparam, intptr_t lparam);

// Posts PFM_QUIT with the exit code as wparam to the queue.
void pfpostquitmessage(int exitcode);

// Posts a message to the queue (window may be null).  Returns 1, or 0 when the queue is full
// (10000 messages).
int pfpostmessage(pfwindow* window, uint32_t message, uintptr_t wparam, intptr_t lparam);

// Painting: nothing is drawn through these; they only mark the window as painted.
struct pfpaintstruct {
    pfdc* dc;
    int erase;
    int left, top, right, bottom;
};
pfdc* pfbeginpaint(pfwindow* window, pfpaintstruct* paint);
int pfendpaint(pfwindow* window, const pfpaintstruct* paint);

// ---------------------------------------------------------------------------------------------
// Keyboard, system metrics, message box
// ---------------------------------------------------------------------------------------------

// Virtual-key codes.  Letters are their upper-case ASCII codes, digits their ASCII codes.
constexpr int PFVK_LBUTTON = 0x01, PFVK_RBUTTON = 0x02, PFVK_BACK = 0x08, PFVK_TAB = 0x09, PFVK_RETURN = 0x0D,
              PFVK_SHIFT = 0x10, PFVK_CONTROL = 0x11, PFVK_MENU = 0x12, PFVK_PAUSE = 0x13,
              PFVK_CAPITAL = 0x14, PFVK_ESCAPE = 0x1B, PFVK_SPACE = 0x20, PFVK_PRIOR = 0x21, PFVK_NEXT = 0x22,
              PFVK_END = 0x23, PFVK_HOME = 0x24, PFVK_LEFT = 0x25, PFVK_UP = 0x26, PFVK_RIGHT = 0x27,
              PFVK_DOWN = 0x28, PFVK_SNAPSHOT = 0x2C, PFVK_INSERT = 0x2D, PFVK_DELETE = 0x2E,
              PFVK_LWIN = 0x5B, PFVK_RWIN = 0x5C, PFVK_NUMPAD0 = 0x60, PFVK_MULTIPLY = 0x6A, PFVK_ADD = 0x6B,
              PFVK_SUBTRACT = 0x6D, PFVK_DECIMAL = 0x6E, PFVK_DIVIDE = 0x6F, PFVK_F1 = 0x70, PFVK_F4 = 0x73,
              PFVK_F12 = 0x7B, PFVK_LSHIFT = 0xA0, PFVK_RSHIFT = 0xA1, PFVK_LCONTROL = 0xA2,
              PFVK_RCONTROL = 0xA3, PFVK_LMENU = 0xA4, PFVK_RMENU = 0xA5, PFVK_OEM_1 = 0xBA,
              PFVK_OEM_PLUS = 0xBB, PFVK_OEM_COMMA = 0xBC, PFVK_OEM_MINUS = 0xBD, PFVK_OEM_PERIOD = 0xBE,
              PFVK_OEM_2 = 0xBF, PFVK_OEM_3 = 0xC0, PFVK_OEM_4 = 0xDB, PFVK_OEM_5 = 0xDC, PFVK_OEM_6 = 0xDD,
              PFVK_OEM_7 = 0xDE;

// Copies the 256-byte keyboard state (bit 7 set: down; bit 0 toggles with each press).  Left
// and right Shift, Control and Alt also set their common code.  Returns 1.  Each call counts
// as one pump for VOXDA_KEYS (the display code reads the keyboard once per pump).
int pfgetkeyboardstate(uint8_t keys[256]);

constexpr int PF_SM_CXSCREEN = 0, PF_SM_CYSCREEN = 1;

// The desktop's width (PF_SM_CXSCREEN) or height (PF_SM_CYSCREEN) in pixels; 0 for any
// other index, and 0 when the desktop reports no size.
int pfgetsystemmetrics(int index);

constexpr uint32_t PF_MB_OK = 0x0, PF_MB_ICONERROR = 0x10, PF_MB_SETFOREGROUND = 0x10000;
constexpr int PF_IDOK = 1;

// Shows text with a caption and waits until the user closes it; returns PF_IDOK.  Headless,
// or when SDL cannot show a box, the caption and text go to standard error as "caption: text".
int pfmessagebox(pfwindow* owner, const char* text, const char* caption, uint32_t flags);

// ---------------------------------------------------------------------------------------------
// Time
// ---------------------------------------------------------------------------------------------

// Waits ms milliseconds (headless: advances the virtual clock instead).
void pfsleep(uint32_t ms);

// Milliseconds since the platform started, wrapping at 2^32.
uint32_t pfgettickcount();

// The performance counter and its frequency (counts per second).  Return 1, or 0 when made to
// fail (then *out is left unchanged).
int pfqueryperformancecounter(int64_t* out);
int pfqueryperformancefrequency(int64_t* out);

// Calendar time, as the date and time formatting calls take it.
struct pfsystemtime {
    uint16_t year;       // e.g. 2026
    uint16_t month;      // 1..12
    uint16_t dayofweek;  // 0 = Sunday
    uint16_t day;        // 1..31
    uint16_t hour, minute, second, milliseconds;
};
static_assert(sizeof(pfsystemtime) == 16, "a system time record is 16 bytes");

// 100-nanosecond intervals since 1601-01-01 00:00 UTC, as two 32-bit halves.
struct pffiletime {
    uint32_t low;
    uint32_t high;
};

// Converts a file time to a calendar time (UTC, no time-zone change).  Returns 1, or 0 when
// the time lies beyond the year 30827.
int pffiletimetosystemtime(const pffiletime* filetime, pfsystemtime* systemtime);

constexpr uint32_t PF_LOCALE_USER_DEFAULT = 0x0400;
constexpr uint32_t PF_TIME_FORCE24HOURFORMAT = 0x08;

// Formats a date by a picture: d dd (day), ddd dddd (weekday name), M MM (month number),
// MMM MMMM (month name in the user's locale, from LC_TIME / LANG), y yy yyyy (year), text in
// single quotes literally ('' for a quote), everything else as it stands.  time null means the
// current local time.  Writes at most size bytes including the terminating zero and returns the
// bytes written including it; 0 when the result does not fit (out then holds "") or an
// argument is bad.
int pfgetdateformat(uint32_t locale, uint32_t flags, const pfsystemtime* time, const char* picture, char* out,
                    int size);

// Formats a time by a picture: H HH (24-hour), h hh (12-hour, or 24-hour with
// PF_TIME_FORCE24HOURFORMAT), m mm, s ss, t tt (A/P, AM/PM; empty when forced to 24 hours);
// quoting, time, size and result as pfgetdateformat.
int pfgettimeformat(uint32_t locale, uint32_t flags, const pfsystemtime* time, const char* picture, char* out,
                    int size);

// ---------------------------------------------------------------------------------------------
// Display object, surfaces, palettes
// ---------------------------------------------------------------------------------------------

struct pfpaletteentry {
    uint8_t red, green, blue, flags;
};
static_assert(sizeof(pfpaletteentry) == 4, "a palette entry is 4 bytes");

constexpr uint8_t PF_PC_NOCOLLAPSE = 0x04;

// Pixel format of a surface.  8 bits: PF_PF_PALETTEINDEXED8 and no masks.  16 bits: 5-6-5
// (red 0xF800, green 0x07E0, blue 0x001F).  24 and 32 bits: red 0xFF0000, green 0xFF00,
// blue 0xFF, stored blue, green, red from the low byte; the fourth byte of a 32-bit pixel is
// unused.
struct pfpixelformat {
    uint32_t flags;     // PF_PF_*
    uint32_t bitcount;  // 8, 16, 24 or 32
    uint32_t redmask;
    uint32_t greenmask;
    uint32_t bluemask;
    uint32_t alphamask;  // always 0
};
constexpr uint32_t PF_PF_PALETTEINDEXED8 = 0x20, PF_PF_RGB = 0x40;

struct pfrect {
    int32_t left, top, right, bottom;  // right and bottom exclusive
};

// What a surface is asked to be (pfdisplaycreatesurface) and what a lock reports.
struct pfsurfacedesc {
    uint32_t flags;        // PF_SD_*: which fields are valid
    int32_t width;         // pixels
    int32_t height;        // pixels
    int32_t pitch;         // bytes from one row to the next (filled by a lock)
    void* surface;         // first pixel byte (filled by a lock)
    pfpixelformat format;  // filled by a lock (and by creation)
    uint32_t caps;         // PF_CAPS_*
};
constexpr uint32_t PF_SD_CAPS = 0x1, PF_SD_HEIGHT = 0x2, PF_SD_WIDTH = 0x4, PF_SD_PITCH = 0x8,
                   PF_SD_PIXELFORMAT = 0x1000, PF_SD_LPSURFACE = 0x800;
constexpr uint32_t PF_CAPS_OFFSCREENPLAIN = 0x40, PF_CAPS_PRIMARYSURFACE = 0x200,
                   PF_CAPS_SYSTEMMEMORY = 0x800;

// Cooperative levels (recorded; the exclusive full-screen bits are required for a mode change).
constexpr uint32_t PF_SCL_FULLSCREEN = 0x01, PF_SCL_ALLOWREBOOT = 0x02, PF_SCL_NORMAL = 0x08,
                   PF_SCL_EXCLUSIVE = 0x10, PF_SCL_ALLOWMODEX = 0x40;

constexpr uint32_t PF_PCAPS_8BIT = 0x04, PF_PCAPS_ALLOW256 = 0x40;
constexpr uint32_t PF_LOCK_WAIT = 0x1;
constexpr uint32_t PF_BLTFAST_WAIT = 0x10;

// Creates the display object (guid and outer must be null).  Only one exists at a time:
// a second gives PFERR_DIRECTDRAWALREADYCREATED.  Reference count 1.
pfresult pfdisplaycreate(const void* guid, pfdisplay** display, void* outer);

// Sets how the display is shared.  PFERR_INVALIDPARAMS for a null window with exclusive
// flags, PFERR_INVALIDOBJECT for a released display.
pfresult pfdisplaysetcooperativelevel(pfdisplay* display, pfwindow* window, uint32_t flags);

// Sets the display mode.  PFERR_NOEXCLUSIVEMODE without exclusive full-screen cooperation,
// PFERR_INVALIDMODE for a size that is not positive or above 16384, PFERR_UNSUPPORTEDMODE for a
// depth the backend does not accept (headless: 8, 24 and 32 unless a test says otherwise).
// Existing surfaces keep their format; the primary made afterwards takes the new mode.
pfresult pfdisplaysetmode(pfdisplay* display, int width, int height, int bitsperpixel);

// The current mode: the desktop's size at 32 bits per pixel until a mode is set (0, 0, 0 for a
// desktop without a size or a released display).
void pfdisplaygetmode(pfdisplay* display, int* width, int* height, int* bitsperpixel);

// Creates a palette from 256 entries (flags must hold PF_PCAPS_8BIT).  PFERR_INVALIDPARAMS for
// null arguments or other flags.  Reference count 1.
pfresult pfdisplaycreatepalette(pfdisplay* display, uint32_t flags, const pfpaletteentry* entries,
                                pfpalette** palette, void* outer);

// Creates a surface.  caps PF_CAPS_PRIMARYSURFACE: the visible surface in the current display
// mode (PFERR_PRIMARYSURFACEALREADYEXISTS while another primary lives, PFERR_INVALIDMODE on a
// desktop without a size); otherwise an off-screen surface of desc->width x desc->height (flags
// PF_SD_WIDTH and PF_SD_HEIGHT required, else PFERR_INVALIDPARAMS) in the display's format.
// The pixels start at 0.  Fills desc->format.  Reference count 1.
pfresult pfdisplaycreatesurface(pfdisplay* display, pfsurfacedesc* desc, pfsurface** surface, void* outer);

// Takes one reference and returns how many remain.  At 0 the display is gone, and with it
// every surface and palette made from it (later calls on them give PFERR_INVALIDOBJECT), and
// the screen goes back to the desktop.  A released or null object gives 0.
uint32_t pfdisplayrelease(pfdisplay* display);

// Locks the whole surface (rect must be null): fills desc->surface, pitch, width, height,
// format and caps.  PFERR_SURFACEBUSY when already locked, PFERR_SURFACELOST when lost,
// PFERR_INVALIDOBJECT when released, PFERR_INVALIDRECT for a non-null rect.
pfresult pfsurfacelock(pfsurface* surface, const pfrect* rect, pfsurfacedesc* desc, uint32_t flags,
                       void* event);

// Ends a lock (rect must be null).  PFERR_NOTLOCKED when not locked.  Unlocking the primary
// shows it (one presented frame).
pfresult pfsurfaceunlock(pfsurface* surface, void* rect);

// Copies source's rectangle (null: all of it) to dest at x, y, clipped to dest.  Neither may be
// locked (PFERR_SURFACEBUSY) or lost (PFERR_SURFACELOST); both need the same format
// (PFERR_INVALIDPIXELFORMAT); a rectangle outside source gives PFERR_INVALIDRECT.  A copy onto
// the primary is a present: the screen shows it (8-bit through the primary's palette).
pfresult pfsurfacebltfast(pfsurface* dest, int x, int y, pfsurface* source, const pfrect* rect,
                          uint32_t flags);

// 0 while the surface's memory is valid, PFERR_SURFACELOST once it was lost.
pfresult pfsurfaceislost(pfsurface* surface);

// Gives a lost surface its memory back (pixels are 0 afterwards).  0 when it was not lost.
pfresult pfsurfacerestore(pfsurface* surface);

// Attaches a palette (null detaches), taking a reference to it and dropping the old one.
// PFERR_NOTPALETTIZED for a surface that is not 8-bit.
pfresult pfsurfacesetpalette(pfsurface* surface, pfpalette* palette);

// Hands out the attached palette with one more reference (the caller releases it).
// PFERR_NOPALETTEATTACHED when there is none.
pfresult pfsurfacegetpalette(pfsurface* surface, pfpalette** palette);

// A device context for the surface.  PFERR_DCALREADYCREATED when one is out, PFERR_SURFACEBUSY
// while locked.  Nothing can draw through it on this platform; it stands for the time the
// surface is given to another drawer, and *dc is the only thing it offers.
pfresult pfsurfacegetdc(pfsurface* surface, pfdc** dc);
pfresult pfsurfacereleasedc(pfsurface* surface, pfdc* dc);

// Takes one reference and returns how many remain; at 0 the memory is freed and the attached
// palette's reference dropped.  A released or null object gives 0.
uint32_t pfsurfacerelease(pfsurface* surface);

// Reads or writes count entries from start (flags must be 0).  PFERR_INVALIDPARAMS when the
// range leaves 0..255 or an argument is null.  Writing the palette attached to the primary
// changes what the screen shows at once.
pfresult pfpalettegetentries(pfpalette* palette, uint32_t flags, int start, int count,
                             pfpaletteentry* entries);
pfresult pfpalettesetentries(pfpalette* palette, uint32_t flags, int start, int count,
                             const pfpaletteentry* entries);

// Takes one reference and returns how many remain.
uint32_t pfpaletterelease(pfpalette* palette);

// ---------------------------------------------------------------------------------------------
// Frames as the screen showed them (captures, tests)
// ---------------------------------------------------------------------------------------------

// One presented frame: the primary's pixels and, in 8-bit mode, the palette they were shown
// through.  pixels points into the primary itself: valid only while the frame is being handled.
struct pfframe {
    int number;         // 1 for the first present of the run
    int width, height;  // pixels
    int bitsperpixel;   // 8, 16, 24 or 32
    int pitch;          // bytes per row
    const uint8_t* pixels;
    pfpaletteentry palette[256];
};

// Number of frames presented so far.
int pfpresentcount();

// Reads what the screen shows now (SDL: the window's contents, letterbox included; headless:
// the last frame through its palette) as 0xRRGGBB values, width x height, row by row.
// Returns 1, or 0 when nothing can be read (no window, no frame).
int pfreadscreen(std::vector<uint32_t>& pixels, int* width, int* height);
