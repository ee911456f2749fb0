// Text drawing: glyphs of the current font along a pen, with escapes, word wrap and measuring.
#pragma once

#include <cstddef>

// Settings (nothing in the system changes them).
extern float tracking;   // letter spacing as a fraction of cellwidth: 0.13
extern bool fixedpitch;  // every character in a cell of cellwidth pixels, centred
extern int textindent;   // pixels added to the left clip edge for text

// Draws a zero-terminated text with its top-left at (x, y) in colour c, breaking lines at
// line feeds and, when margin is not 0, before a word that would end beyond x = margin.
// A null text draws "NULL?"; with no current font nothing is drawn.
// Escape data bytes may be 0, so a zero-terminated text must hold its escapes whole.
void drawtext(int x, int y, int margin, const char* text, int c);
// drawtext for a text in a buffer of `size` bytes that need not hold a terminating zero: the
// text ends at its first zero outside an escape or at the buffer's end, and an escape cut off
// by the buffer's end ends it without its data bytes being read.
void drawtextin(int x, int y, int margin, const char* text, size_t size, int c);
// Width in pixels of the text up to its first line feed, including the spacing after the
// last character (10 with no current font).
int textwidth(const char* text);
// textwidth of a text in a buffer of `size` bytes, read as drawtextin reads it.
int textwidthin(const char* text, size_t size);
// Width of the first n bytes (the whole text when n < 0 or n ≥ its length).
int textprefixwidth(const char* text, int n);
// The text over a box of its width and the font's height in the background colour.
void drawtextbox(int x, int y, const char* text, int c, int background);
