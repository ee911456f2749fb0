// modefollow.cpp - the raster's routines follow the display's depth
#include "raster/modefollow.h"

#include "display/screen.h"
#include "raster/blendtables.h"
#include "raster/pixels.h"
#include "raster/sprites.h"

namespace {
// Set once the blend routines have been chosen, so that they follow every later depth, also
// after a depth in which they were dropped.
bool blendroutineschosen;
}  // namespace

bool registerdrawinglayer() {
    drawinglayer = {selectpixelroutines, clearpixelroutines, rastermodechanging, rastermodechanged};
    return true;
}

void rastermodechanging() {
    if (multiplypixel) blendroutineschosen = true;
}

void rastermodechanged() {
    const int depth = screen.bytesperpixel;
    if (depth == 1 || depth == 3 || depth == 4) {
        selectpixelroutines();
        // Tables made while the display was in true colour do not serve an 8-bit palette.
        makeblendtablesfor8bit();
        if (blendroutineschosen) selectblendroutines();
    } else {
        // No routines draw in this depth; none of another depth may write past the new surfaces.
        clearpixelroutines();
        multiplypixel = screenblendpixel = glyphpixel = nullptr;
        drawglyph = nullptr;
    }
}
