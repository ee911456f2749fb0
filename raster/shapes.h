// Shapes and fills: rectangles, spans, triangles, circles, ellipses, discs, the mouse pointer.
#pragma once

// Per-depth implementations of the rectangle slots of the pixel routine table (B = 1, 3, 4).
template <int B>
void fillrectdepth(int x, int y, int w, int h, int c);
template <int B>
void drawrectdepth(int x, int y, int w, int h, int c);

// Calls through the pixel routine table: the w x h rectangle with top-left (x, y), and the
// outline through (x, y) and (x + w, y + h).
void fillrect(int x, int y, int w, int h, int c);
void drawrect(int x, int y, int w, int h, int c);

// drawrect between two corners in a byte colour.
void drawbox(int x1, int y1, int x2, int y2, unsigned char c);
// Filled rectangle in a byte colour on the locked primary surface, clipped to the clip window.
void fillrectfront(int x, int y, int w, int h, unsigned char c);
// Filled rectangle in a byte colour between two corners (x2, y2 exclusive) on shad, clipped.
void fillbox(int x1, int y1, int x2, int y2, unsigned char c);

// Row y from min(x1, x2) up to but not including max(x1, x2).
void hspan(int x1, int x2, int y, int c);
// hspan(x1, x2 + 1, y, c).
void hspaninclusive(int x1, int x2, int y, int c);
// Filled triangle; the bottom row and each span's right end are not filled.
void filltriangle(int x1, int y1, int x2, int y2, int x3, int y3, int c);

// Outlines by symmetry, pixels rounded to nearest, through putpixel.
void drawcircle(float cx, float cy, float r, int c);
void drawellipse(float cx, float cy, float rx, float ry, int c);
// Filled disc, one span per row.
void filldisc(float cx, float cy, float r, int c);

// Outline through (x, y) and (x + w, y + h), every pixel screen-blended exactly once.
void screenblendrect(int x, int y, int w, int h, int c);

// Three short white lines at the mouse position.
void drawmousepointer();
