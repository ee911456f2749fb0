// screen.cpp - the display state record, the mouse state and ddrelease
#include "display/screen.h"

screenrecord screen = {};

int mousex = 0, mousey = 0;
int mousebuttons = 0;
uint8_t mouselatched = 1;

int viewportdepth = 0;
constinit drawinglayerhooks drawinglayer = {};

// Releases every display object the record holds; the handles are left as they are.
void ddrelease() {
    if (screen.primary) pfsurfacerelease(screen.primary);
    if (screen.shad) pfsurfacerelease(screen.shad);
    if (screen.back) pfsurfacerelease(screen.back);
    if (screen.ddpalette) pfpaletterelease(screen.ddpalette);
    if (screen.dd) pfdisplayrelease(screen.dd);
}
