// Text markup: Greek names, #col= / #tab= codes and ^ _ scripts turned into drawtext escapes.
#pragma once

#include <cstddef>
#include <cstdint>

// Escape bytes understood by drawtext.
constexpr unsigned char glyphescape = 2;  // 2, hi, lo: glyph hi × 256 + lo
constexpr unsigned char textescape = 5;   // 5, selector, four data bytes
constexpr int textescapecol = 0;          // colour (32-bit little-endian)
constexpr int textescapetab = 1;          // pen x (32-bit little-endian)
constexpr int textescapescript = 2;       // size (u16 LE, 1/256) and offset (s16 LE, 1/256 line)

// "No size given": the text is trusted to be terminated and to have room.
constexpr size_t textunbounded = SIZE_MAX;

// Address of the terminating zero of a text, stepping over escapes (a glyph escape is 3
// bytes, a text escape 6) so that zero data bytes are not taken for the end. Never looks
// at or beyond text + size; returns text + size when no terminator lies inside the buffer.
char* textend(char* text, size_t size = textunbounded);
const char* textend(const char* text, size_t size = textunbounded);

// Each conversion works in place on a zero-terminated text held in a buffer of `size`
// bytes. A conversion that needs more room than the buffer has stops before it and
// leaves a valid text; the result is 1 when everything was converted, 0 when it stopped.
int greekmarkup(char* text, size_t size);
int hashmarkup(char* text, size_t size);
int scriptmarkup(char* text, size_t size, int depth, int v, int s);

// greekmarkup, then scriptmarkup with size 256 and offset 0; returns the text.
char* markup(char* text, size_t size, int depth);
