// Glyph generation: scaled, emboldened and slanted glyphs for derived fonts, made stage by stage.
#pragma once

#include "text/fontstore.h"

// Index in fontlist where the next generateglyphs starts.
extern int generationcursor;

// Runs generation stages round-robin over the incomplete fonts until every font is
// complete, or until maxstages stages have run when maxstages is 0 or more (generation
// resumes where it stopped). Returns the number of stages run.
int generateglyphs(int maxstages = -1);
// Glyph u of target becomes a copy of source's (nothing when they are the same font).
void copyglyph(const font* source, int u, font* target);
// Rescales glyph u by sx horizontally and sy vertically (factors of 0 or below are refused).
void scaleglyph(font* f, int u, float sx, float sy);
// Widens (b > 0) or thins (b < 0) glyph u by b × maxwidth.
void emboldenglyph(font* f, int u, float b);
// Shears glyph u horizontally by the slant s (tangent; positive leans right).
void skewglyph(font* f, int u, float s);
// Pixels of brightness at most t become transparent; empty right, left and bottom edges go.
void finishglyph(font* f, int u, float t);
// finishglyph on all 512 glyphs of f (null: the current font), then fontmetrics.
void finishfont(font* f, float t);
// Brightness (0 transparent, 1 white) of each pixel of a glyph's pixels; free() the result.
float* glyphluminance(const unsigned char* pixels, int w, int h);
// Pixel bytes of brightness v at the current depth: a grey index 16..39 in 8-bit mode, a
// grey byte in all three bytes in true colour.
void putgreylevel(unsigned char* pixel, float v);
