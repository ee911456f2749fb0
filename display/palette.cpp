// Palette management: the standard and hue-wheel palettes, device updates, the fodging array.
#include "display/palette.h"

#include <cmath>

#include "display/errorlog.h"
#include "display/screen.h"

unsigned char* fodgingarray;

// ---------------------------------------------------------------------------------------------
// Float palettes

// The 16 basic colours: bit 2 red, bit 1 green, bit 0 blue at level 0.5, or 1.0 with bit 3;
// entry 8 is a dark grey.
static void basiccolourfloats(float* red, float* green, float* blue) {
    for (int i = 0; i < 16; i++) {
        float level = 0.5f + 0.5f * static_cast<float>((i >> 3) & 1);
        red[i] = (i & 4) ? level : 0.0f;
        green[i] = (i & 2) ? level : 0.0f;
        blue[i] = (i & 1) ? level : 0.0f;
    }
    red[8] = green[8] = blue[8] = 0.25f;
}

void standardpalettefloats(float* red, float* green, float* blue) {
    basiccolourfloats(red, green, blue);
    for (int i = 16; i < 40; i++) red[i] = green[i] = blue[i] = static_cast<float>(i - 16) / 23.0f;
    for (int i = 40; i < 256; i++) {
        int k = i - 40;
        red[i] = static_cast<float>(0.2 * (k % 6));
        green[i] = static_cast<float>(0.2 * ((k / 6) % 6));
        blue[i] = static_cast<float>(0.2 * (k / 36));
    }
}

void huepalettefloats(float* red, float* green, float* blue) {
    basiccolourfloats(red, green, blue);
    for (int i = 16; i < 32; i++) red[i] = green[i] = blue[i] = static_cast<float>(i - 16) / 15.0f;
    // Four rings of 24 hues: full, pale, dark, medium.
    static const float ringhi[4] = {1.0f, 1.0f, 0.25f, 0.5f};
    static const float ringlo[4] = {0.0f, 0.5f, 0.0f, 0.0f};
    for (int i = 32; i < 128; i++) {
        int n = i - 32;
        float hi = ringhi[n / 24], lo = ringlo[n / 24];
        int h = n % 8;
        float t = static_cast<float>(h < 8 - h ? h : 8 - h) / 4.0f;
        float mid = t * hi + (1.0f - t) * lo;
        float r = 0, g = 0, b = 0;
        switch ((n / 4) % 6) {
            case 0: r = mid, g = lo, b = hi; break;
            case 1: r = hi, g = lo, b = mid; break;
            case 2: r = hi, g = mid, b = lo; break;
            case 3: r = mid, g = hi, b = lo; break;
            case 4: r = lo, g = hi, b = mid; break;
            default: r = lo, g = mid, b = hi; break;
        }
        red[i] = r, green[i] = g, blue[i] = b;
    }
    for (int i = 128; i < 253; i++) {
        int k = i - 128;
        red[i] = 0.25f * static_cast<float>(k % 5);
        green[i] = 0.25f * static_cast<float>((k / 5) % 5);
        blue[i] = 0.25f * static_cast<float>(k / 25);
    }
    for (int i = 253; i < 256; i++) red[i] = green[i] = blue[i] = 0.0f;
}

// d = 2 (0.5 - mean) added to every channel, clamped to 0..1.
void invertpalettefloats(float* red, float* green, float* blue) {
    auto clamp01 = [](float v) { return v < 0.0f ? 0.0f : (v > 1.0f ? 1.0f : v); };
    for (int i = 0; i < 256; i++) {
        float d = 2.0f * (0.5f - (red[i] + green[i] + blue[i]) / 3.0f);
        red[i] = clamp01(red[i] + d);
        green[i] = clamp01(green[i] + d);
        blue[i] = clamp01(blue[i] + d);
    }
}

int palettebyte(float c, float gamma) {
    return static_cast<int>(255.4 * std::pow(static_cast<double>(c), static_cast<double>(1.0f / gamma)));
}

int sixteenbitvalue(int red, int green, int blue, unsigned greenmask) {
    if (greenmask == 0x7E0) return (red / 8) * 2048 + (green / 4) * 32 + blue / 8;
    if (greenmask == 0x3E0) return (red / 8) * 1024 + (green / 8) * 32 + blue / 8;
    return -1;
}

// ---------------------------------------------------------------------------------------------
// Palette in screen and on the device

// Without a device palette (true-colour modes) only our copy changes. The range is held to
// 0..255 so that a bad range never reads past the palette.
void updatepaletteentries(int first, int last) {
    if (first < 0) first = 0;
    if (last > 255) last = 255;
    if (first > last || !screen.ddpalette) return;
    ddcheck("updatepaletteentries - setting them",
            pfpalettesetentries(screen.ddpalette, 0, first, last - first + 1, &screen.palette[first]));
}

// Converts float palettes to bytes with flags 4 and writes all 256 entries.
static void loadpalettefloats(const float* red, const float* green, const float* blue, float gamma) {
    for (int i = 0; i < 256; i++) {
        screen.palette[i].red = static_cast<uint8_t>(palettebyte(red[i], gamma));
        screen.palette[i].green = static_cast<uint8_t>(palettebyte(green[i], gamma));
        screen.palette[i].blue = static_cast<uint8_t>(palettebyte(blue[i], gamma));
        screen.palette[i].flags = PF_PC_NOCOLLAPSE;
    }
    updatepaletteentries(0, 255);
}

void standardpalette(float gamma, int invert) {
    float red[256], green[256], blue[256];
    standardpalettefloats(red, green, blue);
    if (invert) invertpalettefloats(red, green, blue);
    loadpalettefloats(red, green, blue, gamma);
}

void huepalette(float gamma) {
    float red[256], green[256], blue[256];
    huepalettefloats(red, green, blue);
    loadpalettefloats(red, green, blue, gamma);
}

// ---------------------------------------------------------------------------------------------
// Fodging array

// Index of the device entry nearest to (r, g, b), weighting green 3, red 2, blue 1; the lowest
// index wins ties and an exact match ends the scan.
static int nearestdeviceentry(int r, int g, int b, const pfpaletteentry* device) {
    int best = 0x60000, index = 0;
    for (int j = 0; j < 256 && best > 0; j++) {
        int dr = r - device[j].red, dg = g - device[j].green, db = b - device[j].blue;
        int d = 2 * dr * dr + 3 * dg * dg + db * db;
        if (d < best) best = d, index = j;
    }
    return index;
}

unsigned char* getpalettefodgingarray(int kind) {
    if (fodgingarray) return fodgingarray;
    const pfpaletteentry* p = screen.palette;
    switch (kind) {
        case 1: {
            pfpalette* attached = nullptr;
            ddcheck("getpalettefodgingarray - 'GetPalette'", pfsurfacegetpalette(screen.primary, &attached));
            pfpaletteentry device[256];
            ddcheck("getpalettefodgingarray - 'GetEntries'",
                    pfpalettegetentries(attached, 0, 0, 256, device));
            pfpaletterelease(attached);  // GetPalette handed out a reference of its own
            unsigned char* table = new unsigned char[256];
            for (int i = 0; i < 256; i++)
                table[i] =
                    static_cast<unsigned char>(nearestdeviceentry(p[i].red, p[i].green, p[i].blue, device));
            fodgingarray = table;
            break;
        }
        case 2: {
            unsigned greenmask = screen.primarydesc.format.greenmask;
            if (sixteenbitvalue(0, 0, 0, greenmask) < 0)
                fatalerror(
                    "Your graphics card fell off the back of a truck in Novosibirsk. Buy a new one or the "
                    "mafia "
                    "will be after you.");
            unsigned char* table = new unsigned char[512];
            for (int i = 0; i < 256; i++) {
                int v = sixteenbitvalue(p[i].red, p[i].green, p[i].blue, greenmask);
                table[2 * i] = static_cast<unsigned char>(v & 0xFF);
                table[2 * i + 1] = static_cast<unsigned char>(v >> 8);
            }
            fodgingarray = table;
            break;
        }
        case 3:
        case 4: {
            unsigned char* table = new unsigned char[256 * kind];
            for (int i = 0; i < 256; i++) {
                unsigned char* e = table + kind * i;
                e[0] = p[i].blue, e[1] = p[i].green, e[2] = p[i].red;
                if (kind == 4) e[3] = 0;
            }
            fodgingarray = table;
            break;
        }
        default: break;
    }
    return fodgingarray;
}
