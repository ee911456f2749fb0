// Every fault path of the display layer, by injection on the headless backend: each failing
// call gives its exact message on standard output (for result codes) and one line in
// "graphics_error.log"; a warning lets the program go on with a working display, a fatal
// error shows the "Oh sod it" box and ends the program with status 1. Each case runs in a
// child process of its own.
#include <gtest/gtest.h>

#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <string>

#include "display/graphics.h"
#include "display/modechange.h"
#include "display/palette.h"
#include "display/screen.h"
#include "display/surfaces.h"
#include "display/window.h"
#include "particles/decays.h"
#include "platform/headless/headless.h"
#include "platform/resultcodes.h"
#include "raster/pixels.h"
#include "simulation/appmain.h"
#include "tests/testfiles.h"

namespace {

// What the child does after the display is open (or instead of opening it).
enum class step {
    open,        // the failure is armed before GRAPHICS itself
    present,     // showshad, or cclb with two banks
    backtoshad,  // the bank copies
    shadtoback,
    dc,        // a device context of shad, given back
    minimise,  // minimised for 50 ms and restored by the pump
    palette,   // the standard palette written to the device
    fodging,   // the 8-bit fodging array (kind 1)
    card,      // the 16-bit fodging array of a display with an unknown green mask
    mode8,     // a mode change to 20 x 10 at 8 bits
    mode32,    // a mode change to 20 x 10 at 32 bits
    loop,      // the demo on a desktop of no size
};

struct faultcase {
    const char* message;  // exact, as logged
    int depth, banks;     // of GRAPHICS
    step what;
    const char* call;  // the failing platform call, or null
    int skip;          // calls of it let through first
    int times;         // failing calls (-1: all)
    bool fatal;
};

const faultcase cases[] = {
    // Window.
    {"Couldn't register window class", 1, 0, step::open, "pfregisterclass", 0, -1, true},
    {"Couldn't create a window", 1, 0, step::open, "pfcreatewindow", 0, -1, true},
    {"Directdraw error DDERR_GENERIC @ dealwithmessages,8bit,iconising - saving palette entries", 1, 0,
     step::minimise, "pfpalettegetentries", 0, -1, true},
    {"Directdraw error DDERR_GENERIC @ dealwithmessages,8bit,restoring - reloading palette entries", 1, 0,
     step::minimise, "pfpalettesetentries", 0, -1, true},
    // Set-up and surfaces.
    {"Directdraw error DDERR_GENERIC @ directxsetup - creating DirectDraw", 1, 0, step::open,
     "pfdisplaycreate", 0, -1, true},
    {"Directdraw error DDERR_GENERIC @ directxsetup - setting cooperative level", 4, 0, step::open,
     "pfdisplaysetcooperativelevel", 0, -1, true},
    {"Directdraw error DDERR_GENERIC @ -directxsetup,8bit - setting display mode", 1, 0, step::open,
     "pfdisplaysetmode", 0, 1, false},
    {"Directdraw error DDERR_GENERIC @ -directxsetup,8bit - creating palette", 1, 0, step::open,
     "pfdisplaycreatepalette", 0, 1, false},
    {"Directdraw error DDERR_GENERIC @ -directxsetup,24bit - setting display mode", 4, 0, step::open,
     "pfdisplaysetmode", 0, 2, false},
    {"Directdraw error DDERR_GENERIC @ directxsetup - creating primary surface", 1, 0, step::open,
     "pfdisplaycreatesurface", 0, -1, true},
    {"Directdraw error DDERR_GENERIC @ directxsetup,8bit - applying palette to surface", 1, 0, step::open,
     "pfsurfacesetpalette", 0, -1, true},
    {"Directdraw error DDERR_GENERIC @ makebank - creating shad", 3, 0, step::open, "pfdisplaycreatesurface",
     1, -1, true},
    {"Directdraw error DDERR_GENERIC @ makebank,8bit - setting palette on shad", 1, 0, step::open,
     "pfsurfacesetpalette", 1, -1, true},
    {"Directdraw error DDERR_GENERIC @ makebank - locking shad", 4, 0, step::open, "pfsurfacelock", 0, -1,
     true},
    {"Directdraw error DDERR_GENERIC @ makebanks - creating shad", 1, 1, step::open, "pfdisplaycreatesurface",
     1, -1, true},
    {"Directdraw error DDERR_GENERIC @ makebanks,8bit - setting palette on shad", 1, 1, step::open,
     "pfsurfacesetpalette", 1, -1, true},
    {"Directdraw error DDERR_GENERIC @ makebanks - locking shad", 3, 1, step::open, "pfsurfacelock", 0, -1,
     true},
    {"Directdraw error DDERR_GENERIC @ makebanks - creating back", 4, 1, step::open, "pfdisplaycreatesurface",
     2, -1, true},
    {"Directdraw error DDERR_GENERIC @ makebanks,8bit - setting palette on back", 1, 1, step::open,
     "pfsurfacesetpalette", 2, -1, true},
    {"Directdraw error DDERR_GENERIC @ makebanks - locking back", 1, 1, step::open, "pfsurfacelock", 1, -1,
     true},
    {"Directdraw error DDERR_GENERIC @ ddunlosesurface", 4, 0, step::open, "pfsurfacerestore", 0, -1, true},
    {"Directdraw error DDERR_GENERIC @ showshad - locking shad", 4, 0, step::present, "pfsurfacelock", 0, -1,
     true},
    {"Directdraw error DDERR_GENERIC @ cclb - unlocking shad", 1, 1, step::present, "pfsurfaceunlock", 0, -1,
     true},
    {"Directdraw error DDERR_GENERIC @ cclb - unlocking back", 3, 1, step::present, "pfsurfaceunlock", 1, -1,
     true},
    {"Directdraw error DDERR_GENERIC @ cclb - blitting shad", 4, 1, step::present, "pfsurfacebltfast", 0, -1,
     true},
    {"Directdraw error DDERR_GENERIC @ cclb - blitting back", 1, 1, step::present, "pfsurfacebltfast", 1, -1,
     true},
    {"Directdraw error DDERR_GENERIC @ cclb - locking shad", 3, 1, step::present, "pfsurfacelock", 0, -1,
     true},
    {"Directdraw error DDERR_GENERIC @ cclb - locking back", 4, 1, step::present, "pfsurfacelock", 1, -1,
     true},
    {"Directdraw error DDERR_GENERIC @ backtoshad - locking shad", 1, 1, step::backtoshad, "pfsurfacelock", 0,
     -1, true},
    {"Directdraw error DDERR_GENERIC @ backtoshad - locking back", 4, 1, step::backtoshad, "pfsurfacelock", 1,
     -1, true},
    {"Directdraw error DDERR_GENERIC @ shadtoback - locking shad", 3, 1, step::shadtoback, "pfsurfacelock", 0,
     -1, true},
    {"Directdraw error DDERR_GENERIC @ shadtoback - locking back", 1, 1, step::shadtoback, "pfsurfacelock", 1,
     -1, true},
    {"Directdraw error DDERR_GENERIC @ releaseshaddc - locking shad", 4, 0, step::dc, "pfsurfacelock", 0, -1,
     true},
    // Palette.
    {"Directdraw error DDERR_GENERIC @ updatepaletteentries - setting them", 1, 0, step::palette,
     "pfpalettesetentries", 0, -1, true},
    {"Directdraw error DDERR_GENERIC @ getpalettefodgingarray - 'GetPalette'", 1, 0, step::fodging,
     "pfsurfacegetpalette", 0, -1, true},
    {"Directdraw error DDERR_GENERIC @ getpalettefodgingarray - 'GetEntries'", 1, 0, step::fodging,
     "pfpalettegetentries", 0, -1, true},
    {"Your graphics card fell off the back of a truck in Novosibirsk. Buy a new one or the mafia will be "
     "after "
     "you.",
     4, 0, step::card, nullptr, 0, 0, true},
    // Mode change.
    {"Directdraw error DDERR_GENERIC @ changemode - unlocking shad", 1, 0, step::mode32, "pfsurfaceunlock", 0,
     -1, true},
    {"Directdraw error DDERR_GENERIC @ changemode - unlocking back", 4, 1, step::mode8, "pfsurfaceunlock", 1,
     -1, true},
    {"Directdraw error DDERR_GENERIC @ changemode - creating primary surface (again)", 4, 0, step::mode32,
     "pfdisplaycreatesurface", 0, -1, true},
    {"Directdraw error DDERR_GENERIC @ changemode,8bit - restoring old palette entries", 1, 0, step::mode8,
     "pfpalettesetentries", 0, -1, true},
    {"Directdraw error DDERR_GENERIC @ changemode,8bit - creating palette", 4, 0, step::mode8,
     "pfdisplaycreatepalette", 0, -1, true},
    {"Directdraw error DDERR_GENERIC @ changemode,8bit - setting palette", 1, 1, step::mode8,
     "pfsurfacesetpalette", 0, -1, true},
    // The main loop's start check.
    {"GRAPHICS() macro not called at LOOP start, or no resolution specified", 1, 0, step::loop, nullptr, 0, 0,
     true},
};

void arm(const faultcase& c) {
    if (!c.call) return;
    pfheadlessfail(c.call, PFERR_GENERIC, c.times, c.skip);
    // A restore is only tried for a surface that reports itself lost.
    if (std::string(c.call) == "pfsurfacerestore") pfheadlessfail("pfsurfaceislost", PFERR_GENERIC);
}

// The child's whole run; returns only when the program went on (status 0 from the caller).
void runcase(const faultcase& c) {
    pfheadlessstart();
    pfheadlesssetdesktop(64, 48);
    if (c.what == step::loop) {
        pfheadlesssetdesktop(0, 0);
        appmain("");
        return;
    }
    if (c.what == step::open) arm(c);
    GRAPHICS(nullptr, 16, 12, "faults", c.depth, c.banks);
    if (c.what != step::open) arm(c);
    switch (c.what) {
        case step::present: c.banks ? cclb() : showframe(0); break;
        case step::backtoshad: backtoshad(); break;
        case step::shadtoback: shadtoback(); break;
        case step::dc: {
            pfdc* dc = nullptr;
            if (getshaddc(&dc) == 0) releaseshaddc(&dc);
            break;
        }
        case step::minimise:
            pfheadlessminimise(50);
            dealwithmessages();
            break;
        case step::palette: standardpalette(1.0f, 0); break;
        case step::fodging: getpalettefodgingarray(1); break;
        case step::card:
            screen.primarydesc.format.greenmask = 0x1234;
            getpalettefodgingarray(2);
            break;
        case step::mode8: changemode(20, 10, 1); break;
        case step::mode32: changemode(20, 10, 4); break;
        default: break;
    }
    // A warning leaves a display that draws and presents.
    pfheadlessclearfailures();
    putpixel(3, 2, screen.bytesperpixel == 1 ? 9 : 0x123456);
    if (getpixel(3, 2) != (screen.bytesperpixel == 1 ? 9 : 0x123456)) _exit(3);
    showframe(0);
    if (pfheadlesslastframe().number == 0) _exit(4);
}

}  // namespace

TEST(DisplayFaults, EveryFaultPathGivesItsMessageAndOutcome) {
    testtempdir dir;
    const std::filesystem::path olddir = std::filesystem::current_path();
    for (const faultcase& c : cases) {
        SCOPED_TRACE(c.message);
        const std::filesystem::path casedir = dir.path / ("case" + std::to_string(&c - cases));
        std::filesystem::create_directories(casedir);
        std::filesystem::current_path(casedir);
        std::fflush(stdout);
        std::fflush(stderr);
        pid_t child = fork();
        ASSERT_GE(child, 0);
        if (child == 0) {
            if (!std::freopen("stdout.txt", "w", stdout) || !std::freopen("stderr.txt", "w", stderr))
                _exit(5);
            makedecaytables();
            runcase(c);
            std::fflush(stdout);
            std::fflush(stderr);
            _exit(0);
        }
        int raw = 0;
        ASSERT_EQ(waitpid(child, &raw, 0), child);
        std::filesystem::current_path(olddir);
        ASSERT_TRUE(WIFEXITED(raw)) << "signal " << (WIFSIGNALED(raw) ? WTERMSIG(raw) : 0);
        EXPECT_EQ(WEXITSTATUS(raw), c.fatal ? 1 : 0);
        const std::string out = readtext(casedir / "stdout.txt"), err = readtext(casedir / "stderr.txt"),
                          log = readtext(casedir / "graphics_error.log");
        const std::string message = c.message;
        // Result codes are printed on standard output, on a line of their own.
        if (message.rfind("Directdraw error", 0) == 0) {
            EXPECT_NE(out.find("\n" + message + "\n"), std::string::npos) << out;
        }
        // One line in the log: date, time, message.
        EXPECT_EQ(std::count(log.begin(), log.end(), '\n'), 1) << log;
        EXPECT_GT(log.size(), message.size() + 1);
        EXPECT_EQ(log.substr(log.size() - message.size() - 1), message + "\n") << log;
        // A fatal error shows its box (written to standard error by the headless backend).
        EXPECT_EQ(err.find("Oh sod it: " + message + "\n") != std::string::npos, c.fatal) << err;
    }
}
