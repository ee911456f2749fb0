// Glyph editor: paints, resizes and trims the 8-bit glyphs of the current font on the open display.
#include "text/glyphedit.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <cstring>

#include "display/graphics.h"
#include "display/screen.h"
#include "display/window.h"
#include "platform/platform.h"
#include "raster/lines.h"
#include "raster/shapes.h"
#include "raster/sprites.h"
#include "text/fontstore.h"
#include "text/glyphgen.h"

namespace {

constexpr int arrowup = 38, arrowdown = 40, arrowleft = 37, arrowright = 39, keyd = 68, keyt = 84, keyq = 81;
constexpr int maxeditside = 100;  // growing stops at 100 pixels, doubling at 50

bool held(int vk) { return (keys[vk] & 0x80) != 0; }

// A w × h copy of glyph g keeping the pixels both sizes share; new pixels transparent.
unsigned char* resized(const unsigned char* g, int w, int h) {
    unsigned char* n = newglyph(w, h);
    int cw = std::min<int>(w, g[0]), chh = std::min<int>(h, g[1]);
    for (int y = 0; y < chh; y++) std::memcpy(n + 2 + y * w, g + 2 + y * g[0], cw);
    return n;
}

// Each pixel becomes a 2 × 2 block.
unsigned char* doubled(const unsigned char* g) {
    int w = g[0], h = g[1];
    unsigned char* n = newglyph(2 * w, 2 * h);
    for (int y = 0; y < 2 * h; y++)
        for (int x = 0; x < 2 * w; x++) n[2 + y * 2 * w + x] = g[2 + (y / 2) * w + x / 2];
    return n;
}

// Pumps messages until the key is released; true when a quit message arrived meanwhile.
bool waitforrelease(int vk) {
    while (held(vk))
        if (dealwithmessages()) return true;
    return false;
}

}  // namespace

void editfont() {
    font* f = currentfont;
    if (!f || screen.bytesperpixel != 1 || !screen.shadpixels || glyphbytes() != 1) return;
    int selected = 0, current = 0;
    bool done = false;
    while (!done) {
        // 1. Layout for this frame.
        int ws = screen.width, hs = screen.height;
        unsigned char* g = f->glyphs[selected];
        int w = g[0], h = g[1];
        int cw = std::min(f->maxwidth + 1, (ws / 2 - 160) / 16);
        int ch = std::min(f->maxheight + 1, hs / 32);
        float z =
            std::min(static_cast<float>((ws / 2) / std::max(w, 1)), static_cast<float>(hs / std::max(h, 1)));
        // 2. Metrics follow the edits.
        int mw = 0, mh = 0;
        for (const unsigned char* q : f->glyphs) {
            mw = std::max<int>(mw, q[0]);
            mh = std::max<int>(mh, q[1]);
        }
        f->maxwidth = currentmaxwidth = static_cast<uint8_t>(mw);
        f->maxheight = currentmaxheight = static_cast<uint8_t>(mh);
        uint32_t tick = pfgettickcount();
        // 3. Glyph table; the selected glyph blinks.
        if (cw > 0 && ch > 0) {
            for (int i = 0; i < glyphcount; i++) {
                if (i == selected && (tick / 250) % 2 == 1) continue;
                drawspritewrap(ws - (16 - i % 16) * cw, hs - (32 - i / 16) * ch, f->glyphs[i]);
            }
        }
        // 4. Palette panel with a blinking frame round the current colour.
        for (int i = 0; i < 256; i++) fillrect(ws / 2 + 10 * (i % 16) + 1, 10 * (i / 16) + 1, 9, 9, i);
        drawrect(ws / 2 + 10 * (current % 16), 10 * (current / 16), 10, 10, (tick / 100) % 2 == 0 ? 7 : 15);
        // 5. The magnified glyph; transparent pixels as small outlined squares.
        for (int y = 0; y < h; y++) {
            for (int x = 0; x < w; x++) {
                int v = g[2 + y * w + x];
                if (v != 255)
                    fillrect(static_cast<int>(x * z), static_cast<int>(y * z), static_cast<int>(z + 1),
                             static_cast<int>(z + 1), v);
                else
                    drawrect(static_cast<int>(x * z + z / 4), static_cast<int>(y * z + z / 4),
                             static_cast<int>(z / 2), static_cast<int>(z / 2), 1);
            }
        }
        // 6. Left button: paint, pick a colour, or select a glyph.
        bool inglyph = mousex < w * z && mousey < h * z;
        if (mousebuttons & 1) {
            if (inglyph) {
                int px = static_cast<int>(std::floor(mousex / z)),
                    py = static_cast<int>(std::floor(mousey / z));
                if (px >= 0 && px < w && py >= 0 && py < h)
                    g[2 + py * w + px] = static_cast<unsigned char>(current);
            } else if (mousex >= ws / 2 && mousex < ws / 2 + 160 && mousey < 160) {
                current = (mousex - ws / 2) / 10 + 16 * (mousey / 10);
            } else if (cw > 0 && ch > 0 && mousex >= ws - 16 * cw && mousey >= hs - 32 * ch) {
                int pick = (mousex - ws + 16 * cw) / cw + 16 * ((mousey - hs + 32 * ch) / ch);
                if (pick >= 0 && pick < glyphcount) selected = pick;
            }
        }
        // 7. Right button in the glyph: take the colour under the pointer (255 included).
        if ((mousebuttons & 2) && inglyph) {
            int px = static_cast<int>(std::floor(mousex / z)), py = static_cast<int>(std::floor(mousey / z));
            if (px >= 0 && px < w && py >= 0 && py < h) current = g[2 + py * w + px];
        }
        // 8. Keys: one size change per press (each waits for its key's release).
        struct sizekey {
            int vk;
            int dw, dh;  // size change; 0, 0 means doubling
        };
        static const sizekey sizekeys[] = {
            {arrowup, 0, -1}, {arrowdown, 0, 1}, {arrowleft, -1, 0}, {arrowright, 1, 0}, {keyd, 0, 0}};
        for (const sizekey& k : sizekeys) {
            if (!held(k.vk)) continue;
            g = f->glyphs[selected];
            int nw = g[0] + k.dw, nh = g[1] + k.dh;
            bool doubling = k.dw == 0 && k.dh == 0;
            if (doubling && (g[0] > maxeditside / 2 || g[1] > maxeditside / 2)) continue;
            if (k.dw != 0 && (nw < 1 || nw > maxeditside)) continue;
            if (k.dh != 0 && (nh < 1 || nh > maxeditside)) continue;
            replaceglyph(f, selected, doubling ? doubled(g) : resized(g, nw, nh));
            if (waitforrelease(k.vk)) done = true;
        }
        if (held(keyt)) finishfont(f, 0.0f);  // repeats harmlessly while held
        // 9. Mouse pointer.
        float mx = static_cast<float>(mousex), my = static_cast<float>(mousey);
        drawline(mx, my, mx + 2, my, 15);
        drawline(mx, my, mx, my + 2, 15);
        drawline(mx, my, mx + 4, my + 4, 15);
        // 10. Present and read the keyboard.
        showframe(0);
        if (dealwithmessages()) done = true;
        if (held(keyq)) done = true;
        // 11. The current-font copy of the cell width.
        currentcellwidth = static_cast<uint8_t>(f->glyphs['C'][0] + 1);
    }
}
