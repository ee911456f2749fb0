// bmp.h - the BMP encoder behind screenshots, palette-indexed or 24-bit, rows bottom-up
#pragma once

#include <cstdint>
#include <cstdio>
#include <functional>

// BMP layout constants.
constexpr int bmpfileheadersize = 14;
constexpr int bmpinfoheadersize = 40;
constexpr int bmpcolourtablesize = 256 * 4;

// One image to encode: what its header says.
struct bmplayout {
    int width, height;
    int bits;                      // 8: palette indices after a 256-entry colour table; 24: blue, green, red
    uint32_t pixelspermetre;       // both resolutions
    uint32_t colourcount;          // the header's count of colours used (0: all)
    const unsigned char* colours;  // 8 bits: 256 entries of blue, green, red, 0 (bmpcolourtablesize bytes)
};

// Bytes of one stored pixel row (w pixels of 1 or 3 bytes) including its padding to 4.
int bmprowbytes(int w, int bits);
// Writes the 54-byte file and info header into out; returns the offset of the pixel data (1078 or 54).
int bmpheader(unsigned char* out, const bmplayout& image);

// Fills the pixel bytes of one row (0 = top) of an image being encoded; the padding is already 0.
using bmprowsource = std::function<void(int row, unsigned char* out)>;
// Told how many rows are stored so far, after each row.
using bmpprogress = std::function<void(int rowsdone)>;

// Encodes the image into f: headers, colour table, then the rows from the bottom up. False when
// a write failed. The caller owns f (see util/outputfile.h for writing it safely).
bool writebmp(std::FILE* f, const bmplayout& image, const bmprowsource& row,
              const bmpprogress& progress = {});
