// Small shared helpers: whole-file reading, heap strings, characters, numeric min/max.
#pragma once

#include <cstring>

// Reads a whole file into a heap block (free it with free; no terminating zero).
// Null when the file cannot be opened (length untouched) or is empty (length 0).
// A file that cannot be read completely also gives null, with length 0.
unsigned char* readwholefile(const char* path, int* length);
// Replaces *target (freeing the old text) with a fresh heap copy of text; returns its length.
// A null text is taken as the empty text.
int setstring(char** target, const char* text);
// Stores a fresh heap copy of text in *target without freeing the old value; returns its length.
int newstring(char** target, const char* text);
// A ... Z mapped to a ... z; every other value unchanged.
char lowercase(char c);
// The character's code 0 ... 255.
int charcode(char c);

// 1 when the two 28-byte style records are equal byte for byte, else 0.
template <class Style>
int samestyle(Style a, Style b) {
    static_assert(sizeof(Style) == 28, "text styles are 28-byte records");
    return std::memcmp(&a, &b, sizeof(Style)) == 0 ? 1 : 0;
}

// The smaller of a and b; b on a tie.
inline int imin(int a, int b) { return a < b ? a : b; }
// The larger of a and b; b on a tie.
inline int imax(int a, int b) { return a > b ? a : b; }
// a if b > a, else b (so a not-a-number b is returned).
inline double dmin(double a, double b) { return b > a ? a : b; }
// b if b >= a, else a (so a not-a-number b gives a).
inline double dmax(double a, double b) { return b >= a ? b : a; }
// 0 for a negative x, else x (a not-a-number passes through).
inline double clampzero(double x) { return x < 0 ? 0 : x; }
// x * x.
inline double square(double x) { return x * x; }
