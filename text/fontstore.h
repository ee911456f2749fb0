// Font store: fonts of 512 glyph images, the font file format, the font list and the current font.
#pragma once

#include <cstdint>

#include "util/dynarray.h"

// A glyph image is one heap block: width byte, height byte, then width × height pixels of
// glyphbytes() bytes each (a palette index in 8-bit mode, blue-green-red order bytes in
// true colour), row by row from the top-left.
constexpr int glyphcount = 512;

// Transparent pixel of an 8-bit glyph (true-colour glyphs use transparentkey of raster/sprites.h).
constexpr unsigned char glyphtransparent = 255;

// What a font realises: its base font and the distortions applied to the base's glyphs,
// plus the progress of the glyph generator. Compared bitwise as a whole. The base is named
// by its font id (fontbyid) so that the record keeps its 28 bytes on every platform.
struct textstyle {
    uint32_t base;       // id of the font whose glyphs this one is made from; 0 for none
    float widthscale;    // horizontal scale factor, 1 for none
    float heightscale;   // vertical scale factor, 1 for none
    float skew;          // tangent of the slant; positive leans right
    float boldness;      // emboldening as a fraction of the base's maxwidth; negative thins
    int32_t glyphsdone;  // glyphs already generated; 512 means complete
    int32_t stage;       // next generation stage (0..3) of the glyph in progress
};
static_assert(sizeof(textstyle) == 28, "a text style is a 28-byte record");

constexpr textstyle defaultstyle = {0, 1.0f, 1.0f, 0.0f, 0.0f, 0, 0};

struct font {
    unsigned char* glyphs[glyphcount];  // never null once the font is built
    uint8_t maxwidth;                   // largest glyph width
    uint8_t maxheight;                  // largest glyph height; lines are maxheight + 1 apart
    uint8_t cellwidth;                  // width of glyph 67 ('C') plus 1, modulo 256
    char* name;                         // owned; compared without regard to letter case
    textstyle style;
    uint32_t id;  // unique for the run, never reused
};

// Store state. fontlist holds font pointers in order of creation (removal moves the last
// entry into the freed slot); fonttable mirrors its storage. fontlist.data is null until
// the first font is built.
extern dynarray fontlist;
extern font** fonttable;
extern font* currentfont;  // null when there is no font
extern textstyle currentstyle;
// Copies taken by selectfont: the current font's glyph table and its metrics.
extern unsigned char** currentglyphs;
extern uint8_t currentmaxwidth, currentmaxheight, currentcellwidth;

// Bytes per glyph pixel at the current display depth: 1 in 8-bit mode (or with no display), 3 otherwise.
int glyphbytes();
// Size of a glyph block at the current depth.
int glyphblocksize(const unsigned char* glyph);
// A new glyph block of w × h pixels, every pixel transparent.
unsigned char* newglyph(int w, int h);
// Replaces glyph code of f by the block g (freeing the old one).
void replaceglyph(font* f, int code, unsigned char* g);
// True when the pixel of a glyph at pixel offset k is transparent at the current depth.
bool glyphpixeltransparent(const unsigned char* glyph, int k);

// Number of fonts in the list.
int fontcount();
// The font with this id, or null when it has been deleted (or the id is 0).
font* fontbyid(uint32_t id);
// Names equal without regard to letter case.
bool samefontname(const char* a, const char* b);
// Last font in the list with this name, or null.
font* findfont(const char* name);

// Builds the blend tables, chooses the blend routines once and creates the font list.
void fontsetup();
// Reads a font file as a font of that name: 1 when read, 0 when a placeholder was made.
int loadfont(const char* path, const char* name);
// Builds a font from font-file bytes, registers it, and selects it if none is current.
font* makefont(const unsigned char* bytes, int length, const char* name);
// A font of 1 × 1 placeholder glyphs (registered, not selected), after deleting every
// font of that name.
font* placeholderfont(const char* name);
// Recomputes maxwidth, maxheight and cellwidth.
void fontmetrics(font* f);
// Makes f current (nothing when it already is); null leaves no current font.
void selectfont(font* f);
// Frees f and the fonts derived from it, dropping them from the list.
void deletefont(font* f);
// Deletes every font whose base is `base`, itself included when it is its own base.
void deletefontfamily(font* base);
// A copy with its own glyphs, name and style (registered, not selected).
font* copyfont(const font* f);
// Gives f a copy of name.
void renamefont(font* f, const char* name);
// Writes the last font of that name as a font file (through a temporary file and a
// rename); 1 when written, 0 when the font is unknown or the file cannot be written.
int savefont(const char* path, const char* name);
// Makes the ten digit glyphs equally wide.
void evendigits(font* f);
// Replaces glyph code by a w × h copy with the old image centred on it.
void reframeglyph(font* f, int code, int w, int h);
// Estimated bytes held by the store.
long fontmemory();
