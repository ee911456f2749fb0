// bmp.cpp - the BMP encoder behind screenshots, palette-indexed or 24-bit, rows bottom-up
#include "util/bmp.h"

#include <vector>

static_assert(bmpfileheadersize + bmpinfoheadersize == 54, "BMP headers are 54 bytes");

namespace {

void put16(unsigned char* p, unsigned v) {
    p[0] = static_cast<unsigned char>(v), p[1] = static_cast<unsigned char>(v >> 8);
}
void put32(unsigned char* p, unsigned v) {
    for (int k = 0; k < 4; k++) p[k] = static_cast<unsigned char>(v >> (8 * k));
}

}  // namespace

int bmprowbytes(int w, int bits) {
    int bytes = bits == 8 ? w : 3 * w;
    return (bytes + 3) & ~3;
}

int bmpheader(unsigned char* out, const bmplayout& image) {
    const unsigned offset = image.bits == 8 ? 54 + bmpcolourtablesize : 54;
    const unsigned datasize =
        static_cast<unsigned>(image.height) * static_cast<unsigned>(bmprowbytes(image.width, image.bits));
    out[0] = 'B', out[1] = 'M';
    put32(out + 2, offset + datasize);
    put16(out + 6, 0);
    put16(out + 8, 0);
    put32(out + 10, offset);
    put32(out + 14, bmpinfoheadersize);
    put32(out + 18, static_cast<unsigned>(image.width));
    put32(out + 22, static_cast<unsigned>(image.height));  // positive: rows stored bottom-up
    put16(out + 26, 1);
    put16(out + 28, static_cast<unsigned>(image.bits));
    put32(out + 30, 0);
    put32(out + 34, datasize);
    put32(out + 38, image.pixelspermetre);
    put32(out + 42, image.pixelspermetre);
    put32(out + 46, image.colourcount);
    put32(out + 50, 0);
    return static_cast<int>(offset);
}

bool writebmp(std::FILE* f, const bmplayout& image, const bmprowsource& row, const bmpprogress& progress) {
    unsigned char header[54 + bmpcolourtablesize] = {};
    const int offset = bmpheader(header, image);
    if (image.bits == 8 && image.colours)
        for (int k = 0; k < bmpcolourtablesize; k++) header[54 + k] = image.colours[k];
    bool ok = std::fwrite(header, 1, static_cast<size_t>(offset), f) == static_cast<size_t>(offset);
    std::vector<unsigned char> bytes(static_cast<size_t>(bmprowbytes(image.width, image.bits)), 0);
    for (int r = image.height - 1; r >= 0 && ok; r--) {
        row(r, bytes.data());
        ok = std::fwrite(bytes.data(), 1, bytes.size(), f) == bytes.size();
        if (progress) progress(image.height - r);
    }
    return ok;
}
