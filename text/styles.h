// Text styles: style strings, the closeness score, and derived fonts cached in the font list.
#pragma once

#include "text/fontstore.h"

// A style from a string "fontname:key:key=value...". Unknown keys are ignored; a key that
// needs a value and has none is ignored; a scale of 0 or below keeps the old scale.
textstyle parsestyle(const char* string);
// How well a font of style b serves request a; above 0 means usable unchanged.
float stylescore(const textstyle& a, const textstyle& b);
// The font for a request: the best-scoring font, or a new derived font, generated at once.
font* derivefont(const textstyle& request);
// Makes the font for the request current (nothing when it equals currentstyle).
void setstyle(const textstyle& request);
// derivefont(parsestyle(string)), not selected.
font* fontforstyle(const char* string);
// Selects the font for the string (nothing when the current font has exactly that name).
void setfont(const char* string);
// Renames the font for the string.
void aliasfont(const char* string, const char* name);
// An independent base font under the new name whose glyphs are those of the styled font.
font* bakefont(const char* string, const char* name);
// Deletes the font for the string (made first when it does not exist).
void deletestylefont(const char* string);
// Deletes the font family of the font for the string.
void deletestylefamily(const char* string);
// 1 when some font's name equals the string's first segment, else 0.
int hasfont(const char* string);
