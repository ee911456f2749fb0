// modefollow.h - the raster's routines follow the display's depth
#pragma once

// Fills the display's drawinglayer hooks with the raster's own; done once as the program
// starts, by the routine table's file, so that every program that draws has them.
bool registerdrawinglayer();

// changemode, on entry: notes whether the blend routines have been chosen, so that they follow
// every later depth, also after a depth in which they were dropped.
void rastermodechanging();
// changemode, once the new surfaces stand: the pixel routines, the 8-bit blend tables and the
// blend routines for the new depth, or none at all in a depth no routine draws.
void rastermodechanged();
