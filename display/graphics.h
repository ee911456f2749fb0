// Graphics set-up: opening the display, the default palette, the per-frame present and clears, closing.
#pragma once

#include "platform/platform.h"

// Open the display: window, size (width 0: the desktop's), depth in bytes per pixel (1: 8-bit
// with the default palette, anything else: true colour), one bank or two. A size that comes out
// as zero in either direction leaves the display closed with width 0.
void GRAPHICS(pfinstance* instance, int width, int height, const char* title, int depth, int twobanks);
// The desktop's size, each stored only when its pointer is not null.
void getscreensize(int* width, int* height);
// The default 256-colour palette: 16 basic colours, 24 greys, a 6 x 6 x 6 cube; flags 4.
void makedefaultpalette(pfpaletteentry* entries);
// Present shad, then clear it to the low byte of fill.
void showframe(int fill);
// Fill every byte of shad / back with the low byte of fill.
void clearshad(int fill);
void clearback(int fill);
// Fill the visible pixels of the locked primary with the low byte of fill.
void clearfront(int fill);
// Clear shad, present it and clear back: screen and both banks end up filled.
void clearall(int fill);
// Close the display: sizes and depth to 0, window hidden, objects released and forgotten.
void endgraphics();
