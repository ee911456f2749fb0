// Sprite and glyph blitting: opaque and blended sprites, the four glyph modes, per-pixel blends.
#pragma once

#include <cstdio>

// A sprite is a byte record: width, height, then width x height pixels row by row (1 byte each
// in 8-bit mode, 255 transparent; 3 bytes blue, green, red in true colour, the bytes 0x56,
// 0x34, 0x12 transparent). The alpha variant has 4 bytes per pixel: blue, green, red, alpha.
constexpr unsigned char transparentkey[3] = {0x56, 0x34, 0x12};

using blendpixelroutine = void (*)(int x, int y, int c);
using glyphroutine = void (*)(int x, int y, const unsigned char* sprite, int c);

// Per-depth blends of one pixel of shad, without clipping; null until selectblendroutines.
extern blendpixelroutine multiplypixel;
extern blendpixelroutine screenblendpixel;

// The glyph mode (1 tint, 2 dark ink, 3 light, 4 cover; 3 at start), its blitter and its
// clipped per-pixel writer.
extern int glyphmode;
extern glyphroutine drawglyph;
extern blendpixelroutine glyphpixel;

// Per-depth implementations of the sprite slots of the pixel routine table (B = 1, 3, 4).
template <int B>
void drawspritewrapdepth(int x, int y, const unsigned char* sprite);
template <int B>
void drawspritedepth(int x, int y, const unsigned char* sprite);

// Calls through the pixel routine table.
void drawspritewrap(int x, int y, const unsigned char* sprite);
void drawsprite(int x, int y, const unsigned char* sprite);

// 8-bit opaque copy onto the locked primary surface, with wrap-around (nothing in true colour).
void drawspritefront(int x, int y, const unsigned char* sprite);
// True colour: blends a 4-byte-per-pixel sprite by its alpha, with wrap-around (nothing in 8-bit).
void drawspritealpha(int x, int y, const unsigned char* sprite);
// Screen-blends the sprite's own colours onto shad, with wrap-around.
void drawspritelight(int x, int y, const unsigned char* sprite);

// The glyph blitters of every mode for the current depth, with wrap-around.
void drawglyphtint(int x, int y, const unsigned char* sprite, int c);
void drawglyphdark(int x, int y, const unsigned char* sprite, int c);
void drawglyphlight(int x, int y, const unsigned char* sprite, int c);
void drawglyphcover(int x, int y, const unsigned char* sprite, int c);

// Blends inside the clip window only; the screen blend also skips colour 0.
void multiplypixelclipped(int x, int y, int c);
void screenblendpixelclipped(int x, int y, int c);

// A clipped line that screen-blends c into every pixel under it.
void screenblendline(float x1, float y1, float x2, float y2, int c);

// Sets glyphmode and, for modes 1 to 4, drawglyph and glyphpixel for the current depth.
void setglyphmode(int mode);
// Chooses multiplypixel and screenblendpixel for the current depth, then re-applies glyphmode.
void selectblendroutines();

// Reads an 8-bit sprite at offset of an open file into buffer (which must hold 2 + w x h bytes).
// Returns 1 when the whole sprite was read. A file that ends early leaves every missing pixel
// transparent (and a missing size as an empty sprite) and returns 0.
int readsprite(unsigned char* buffer, std::FILE* file, int offset);
// Opens path and reads the sprite at offset: 1 when read whole, 0 when the file cannot be
// opened (buffer untouched) or ends early (as readsprite).
int loadsprite(unsigned char* buffer, const char* path, int offset);
