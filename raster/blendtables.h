// Colour-combination tables for the 8-bit mode, their cache file, and true-colour colour arithmetic.
#pragma once

#include <cstddef>

// Entry [blendentry(a, b)] is the palette index nearest to the blend of palette entries a and
// b, for every a and b in 0..255: the tables are 256 rows of 256 bytes, so a colour or pixel of
// index 255 blends like any other as either index. The cache file holds only the pairs of
// indices 0..254 (255-byte rows, unpacked into the 256-byte rows); row and column 255 are
// computed from the palette in 8-bit mode.
constexpr int blendstride = 256;
constexpr int blendtablesize = 256 * blendstride;
constexpr int blendentry(int a, int b) { return a * blendstride + b; }
extern unsigned char multiplytable[blendtablesize];
extern unsigned char screenblendtable[blendtablesize];
extern unsigned char inversetable[256];
extern unsigned char blendtablesbuilt;
// Set when the tables were last made in 8-bit mode, from an 8-bit palette.
extern bool blendtablesfor8bit;

// The cache file: 256 rows of 255 bytes, multiply entries on and above the diagonal,
// screen entries below it shifted down one row.
constexpr int blendcachesize = 256 * 255;
static_assert(blendcachesize == 65280, "cache file layout is 256 rows of 255 bytes");
extern const char* blendcachename;  // "crarray.cgf" in the working directory

// Builds the tables once per run: from the cache file when it is whole, else (8-bit mode only)
// by computation with a progress bar, writing the cache for the next run.
void makeblendtables();
// Makes the tables again when they were made in true colour and the screen is now 8-bit (they
// may be empty then, and row 255 and the inverse table are missing). Nothing happens while no
// tables were made yet: the first font set-up makes them for the depth in force.
void makeblendtablesfor8bit();

// Nearest palette index to (r, g, b) among entries 0..39 and the one cube cell at the rounded
// position; channels in [0, 1).
int nearestpaletteindex(float r, float g, float b, const float* red, const float* green, const float* blue);

// Palette bytes as floats, each channel byte / 256.
void palettefloats(float* red, float* green, float* blue);
void paletteentryfloats(int index, float* red, float* green, float* blue);

// Sets one palette entry (flags 4) and writes it to the device palette at once.
void setpaletteentry(int index, unsigned char red, unsigned char green, unsigned char blue);

// Computes the multiply and screen entries of indices 0..254 for a float palette and fills the
// cache image `file` (blendcachesize bytes). After each finished row i, progress(i) is called
// when given.
void computeblendtables(const float* red, const float* green, const float* blue, unsigned char* multiply,
                        unsigned char* screenblend, unsigned char* file, void (*progress)(int i));

// Row and column 255 of both tables and the inverse table for a float palette.
void computeblendextras(const float* red, const float* green, const float* blue, unsigned char* multiply,
                        unsigned char* screenblend, unsigned char* inverse);

// Unpacks a cache image into the entries of indices 0..254 of the two tables.
void unpackblendcache(const unsigned char* file, unsigned char* multiply, unsigned char* screenblend);

// Reads a cache file into `file`; false unless it holds exactly blendcachesize bytes.
bool readblendcache(const char* path, unsigned char* file);
// Writes a cache file through a temporary file and a rename; false when it could not be written.
bool writeblendcache(const char* path, const unsigned char* file);

// True-colour arithmetic on 0xRRGGBB values (bits 24..31 expected clear).
int multiplycolour(int a, int b);
int screenblendcolour(int a, int b);
int addcolour(int a, int b);
int gammacolour(int c, double gamma);
