// Test helper: reading BMP files back, independently of the exporting code.
#pragma once

#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <vector>

#include "tests/testfiles.h"

// Little-endian 16- and 32-bit fields of a file's bytes.
inline uint32_t le16(const std::vector<uint8_t>& b, size_t at) { return b[at] | b[at + 1] << 8; }
inline uint32_t le32(const std::vector<uint8_t>& b, size_t at) {
    return b[at] | b[at + 1] << 8 | b[at + 2] << 16 | static_cast<uint32_t>(b[at + 3]) << 24;
}

// An 8-bit BMP as read back: palette indices top row first, and the palette as 0xRRGGBB.
struct bmpimage {
    int width = 0, height = 0;
    std::vector<uint8_t> index;
    std::vector<uint32_t> palette;
    int at(int x, int y) const { return index[static_cast<size_t>(y) * width + x]; }
};

// A small reader for uncompressed 8-bit BMP files, bottom-up or top-down.
inline bool readbmp8(const std::filesystem::path& path, bmpimage& out) {
    const std::vector<uint8_t> b = readbytes(path);
    if (b.size() < 54 || b[0] != 'B' || b[1] != 'M') return false;
    const uint32_t dataoffset = le32(b, 10), headersize = le32(b, 14);
    const int32_t width = static_cast<int32_t>(le32(b, 18)), height = static_cast<int32_t>(le32(b, 22));
    const int bits = static_cast<int>(le16(b, 28));
    if (bits != 8 || le32(b, 30) != 0 || width <= 0 || height == 0) return false;
    uint32_t colours = le32(b, 46);
    if (colours == 0) colours = 256;
    const size_t paletteat = 14 + headersize;
    const int rows = std::abs(height);
    const size_t stride = (static_cast<size_t>(width) + 3) / 4 * 4;
    if (paletteat + colours * 4 > b.size() || dataoffset + stride * rows > b.size()) return false;
    out.width = width;
    out.height = rows;
    out.palette.assign(256, 0);
    for (uint32_t i = 0; i < colours && i < 256; ++i)
        out.palette[i] =
            b[paletteat + 4 * i + 2] << 16 | b[paletteat + 4 * i + 1] << 8 | b[paletteat + 4 * i];
    out.index.resize(static_cast<size_t>(width) * rows);
    for (int y = 0; y < rows; ++y) {
        const int filerow = height > 0 ? rows - 1 - y : y;
        for (int x = 0; x < width; ++x)
            out.index[static_cast<size_t>(y) * width + x] = b[dataoffset + filerow * stride + x];
    }
    return true;
}
