// screen.h - the display state record, the mouse state and ddrelease
#pragma once

#include <cstdint>

#include "platform/platform.h"

// A colour: a palette index 0..255 in 8-bit mode, 0xRRGGBB in 24- and 32-bit mode, stored in a
// pixel as blue, green, red from the low byte (the fourth byte of a 32-bit pixel is never written).
typedef int colour;

// Every piece of display state.  Zero at program start (the display is closed).  Pixel (x, y)
// of a surface starts at its pixel pointer + y * pitch + x * bytesperpixel.
struct screenrecord {
    int width;              // display width in pixels; also the exclusive right clip limit
    int height;             // display height in pixels; also the exclusive bottom clip limit
    int clipleft, cliptop;  // inclusive clip window edges; 0 unless a viewport is in force
    int bytesperpixel;      // 1, 3 or 4; 0 while closed
    uint8_t* shadpixels;    // drawing surface, valid while locked
    int shadpitch;          // bytes per row of shad
    uint8_t* backpixels;    // second surface (twobanks only)
    int backpitch;
    uint8_t* frontpixels;  // primary, only while locked for direct drawing
    int frontpitch;
    int savedbytesperpixel;       // depth saved while the primary is locked
    uint8_t twobanks;             // nonzero: back exists beside shad
    colour defaultcolour;         // white in the current depth
    pfpaletteentry palette[256];  // our copy of the 8-bit palette; flags 4 in every entry
    pfwindow* window;
    pfinstance* instance;
    pfdisplay* dd;
    pfsurface* primary;
    pfsurface* shad;
    pfsurface* back;
    pfpalette* ddpalette;
    pfsurfacedesc primarydesc, shaddesc, backdesc;  // used at creation, refreshed by every lock
};

extern screenrecord screen;

// Mouse state, written by the window procedure and shifted by the viewports.
extern int mousex, mousey;    // last position in window pixels
extern int mousebuttons;      // bit 0 left, bit 1 right
extern uint8_t mouselatched;  // set at start; cleared for good by the first no-button message

// How many viewports are pushed (raster/pixels.h keeps the stack); the clears of a moved origin
// then stay inside the clip window.
extern int viewportdepth;

// What the drawing layer above (raster/) does when the display's depth changes. It fills these
// in as the program starts; an empty slot does nothing, as a program that never draws needs
// no routines.
struct drawinglayerhooks {
    void (*select)();        // routines for screen.bytesperpixel: display set-up, unlockfront
    void (*clear)();         // no routines: endgraphics
    void (*modechanging)();  // changemode, on entry
    void (*modechanged)();   // changemode, once the new surfaces and palette stand
};
extern drawinglayerhooks drawinglayer;

// Releases primary, shad, back, ddpalette and dd, each when not null, in that order.
// The fields keep their values.
void ddrelease();
