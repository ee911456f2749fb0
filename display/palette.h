// Palette management: the standard and hue-wheel palettes, device updates, the fodging array.
#pragma once

// Translation table from `screen.palette` to what the display shows; built by the first
// successful getpalettefodgingarray and kept for the rest of the run.
extern unsigned char* fodgingarray;

// Writes screen.palette[first..last] to the device palette.
void updatepaletteentries(int first, int last);

// The standard palette as floats in 0..1 (256 entries per channel).
void standardpalettefloats(float* red, float* green, float* blue);
// The hue-wheel palette as floats in 0..1.
void huepalettefloats(float* red, float* green, float* blue);

// Palette byte of a float channel: trunc(255.4 * c^(1/gamma)).
int palettebyte(float c, float gamma);

// Mirrors the brightness of every entry about the middle, keeping its hue.
void invertpalettefloats(float* red, float* green, float* blue);

// Loads the standard palette (optionally inverted) into screen.palette and the device.
void standardpalette(float gamma, int invert);
// Loads the hue-wheel palette into screen.palette and the device.
void huepalette(float gamma);

// Returns the translation table for kind 1 (8-bit), 2 (16-bit), 3 (24-bit) or 4 (32-bit);
// the first table built is kept and returned for every later kind.
unsigned char* getpalettefodgingarray(int kind);

// 16-bit pixel value of a colour for the display's green mask (0x7E0 or 0x3E0); -1 for others.
int sixteenbitvalue(int red, int green, int blue, unsigned greenmask);
