// Graphics set-up: opening the display, the default palette, the per-frame present and clears, closing.
#include "display/graphics.h"

#include "display/screen.h"
#include "display/surfaces.h"
#include "display/window.h"

#include <cstddef>
#include <cstring>

namespace {

// Fill the clip window's rows of a surface, for clears made while a viewport moves the origin:
// the whole-memory fill would then run past the surface's ends.
void fillwindow(uint8_t* pixels, int pitch, int fill) {
    const int bpp = screen.bytesperpixel;
    const int left = screen.clipleft, top = screen.cliptop;
    if (!pixels || screen.width <= left || screen.height <= top) return;
    const size_t row = static_cast<size_t>(screen.width - left) * static_cast<size_t>(bpp);
    for (int y = top; y < screen.height; ++y)
        std::memset(pixels + static_cast<std::ptrdiff_t>(y) * pitch + static_cast<std::ptrdiff_t>(left) * bpp,
                    fill & 0xFF, row);
}

// One fill over a bank's whole memory (pitch x height bytes, row ends included).
void fillbank(uint8_t* pixels, int pitch, int fill) {
    if (!pixels || screen.height <= 0 || pitch <= 0) return;
    if (viewportdepth > 0) {
        fillwindow(pixels, pitch, fill);
        return;
    }
    std::memset(pixels, fill & 0xFF, static_cast<size_t>(pitch) * static_cast<size_t>(screen.height));
}

}  // namespace

// The default palette: entries 0..15 basic colours (bit 3 bright, bits 2..0 red, green, blue;
// 8 is black), 16..39 greys in steps of 11, 40..255 a colour cube with red varying fastest.
void makedefaultpalette(pfpaletteentry* entries) {
    for (int i = 0; i < 16; ++i) {
        const uint8_t level = (i & 8) ? 255 : 128;
        entries[i] = {static_cast<uint8_t>((i & 4) ? level : 0), static_cast<uint8_t>((i & 2) ? level : 0),
                      static_cast<uint8_t>((i & 1) ? level : 0), PF_PC_NOCOLLAPSE};
    }
    entries[8] = {0, 0, 0, PF_PC_NOCOLLAPSE};
    for (int i = 16; i < 40; ++i) {
        const uint8_t grey = static_cast<uint8_t>(11 * (i - 16));
        entries[i] = {grey, grey, grey, PF_PC_NOCOLLAPSE};
    }
    for (int i = 40; i < 256; ++i) {
        const int k = i - 40;
        entries[i] = {static_cast<uint8_t>(51 * (k % 6)), static_cast<uint8_t>(51 * ((k / 6) % 6)),
                      static_cast<uint8_t>(51 * (k / 36)), PF_PC_NOCOLLAPSE};
    }
}

// Open the display for the application, leaving a black frame on the screen and shad locked.
void GRAPHICS(pfinstance* instance, int width, int height, const char* title, int depth, int twobanks) {
    // A second set-up starts from nothing: the objects of an earlier one are let go first.
    if (screen.dd) {
        ddrelease();
        forgetdisplayobjects();
    }
    makewindow(instance, width, height, title);
    if (width != 0) {
        screen.width = width;
        screen.height = height;
    } else {
        getscreensize(&screen.width, &screen.height);
    }
    if (screen.width <= 0 || screen.height <= 0) {
        // Refused: width 0 makes the frame loop's start check report it.
        screen.width = screen.height = 0;
        return;
    }
    screen.bytesperpixel = depth;
    screen.twobanks = static_cast<uint8_t>(twobanks & 0xFF);
    if (depth == 1) makedefaultpalette(screen.palette);
    ddstart();
    screen.defaultcolour = screen.bytesperpixel == 1 ? 15 : 0xFFFFFF;
    if (drawinglayer.select) drawinglayer.select();
    clearshad(0);
    showframe(0);
}

// The desktop's size from the system metrics.
void getscreensize(int* width, int* height) {
    if (width) *width = pfgetsystemmetrics(PF_SM_CXSCREEN);
    if (height) *height = pfgetsystemmetrics(PF_SM_CYSCREEN);
}

// Present the frame, then clear shad for the next one.
void showframe(int fill) {
    showshad();
    clearshad(fill);
}

void clearshad(int fill) { fillbank(screen.shadpixels, screen.shadpitch, fill); }

void clearback(int fill) { fillbank(screen.backpixels, screen.backpitch, fill); }

// Only the visible pixels of each row: the primary's row ends are not ours.
void clearfront(int fill) { fillwindow(screen.frontpixels, screen.frontpitch, fill); }

void clearall(int fill) {
    clearshad(fill);
    showframe(fill);
    clearback(fill);
}

// Back to closed: nothing drawn, the window hidden, every object released and forgotten.
void endgraphics() {
    screen.twobanks = 0;
    screen.bytesperpixel = 0;
    screen.height = 0;
    screen.width = 0;
    hidewindow();
    ddrelease();
    forgetdisplayobjects();
    if (drawinglayer.clear) drawinglayer.clear();
}
