// Line drawing: a single-precision DDA, clipped as a segment (drawline) or per pixel (drawlinefront).
#pragma once

// Draw a one-pixel line into shad in colour c, clipped to the clip window.
void drawline(float x1, float y1, float x2, float y2, int c);

// Draw a one-pixel line onto the primary surface through putpixelfront; the colour is one byte.
void drawlinefront(float x1, float y1, float x2, float y2, unsigned char c);

// Clip the segment to the inclusive float rectangle [xl, xr] x [yt, yb] as drawline does.
// Returns false when nothing of it is left. Exposed for the blended line that shares the clipping.
bool cliplinesegment(float& x1, float& y1, float& x2, float& y2, float xl, float xr, float yt, float yb);
