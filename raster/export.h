// Screenshot and palette export: BMP files of the drawing surface, JASC-PAL palette files.
#pragma once

#include <cstddef>

#include "util/bmp.h"

// Writes the 54-byte file and info header of a screenshot of w x h pixels of 8 or 24 bits into
// out; returns the offset of the pixel data (1078 or 54).
int bmpheader(unsigned char* out, int w, int h, int bits);

// Writes the rectangle of shad with top-left (x, y) and size w x h as a BMP file at path
// (8 bits with the palette in 8-bit mode, else 24 bits). Returns 1 when written; 0 when the
// rectangle is empty or the file could not be written (nothing is left behind then).
int savebmp(int x, int y, int w, int h, const char* path);
// The whole display.
int savescreenbmp(const char* path);
// The whole display to "screenshot%05d.bmp", numbered from the tick count in units of 0.3 s.
int screenshot();
// Formats the screenshot file name for a tick count in milliseconds into out (at least 20 bytes).
void screenshotname(unsigned ticks, char* out);

// Writes screen.palette as a JASC-PAL text file. Returns 1 when written, 0 otherwise.
int savepalette(const char* path);
