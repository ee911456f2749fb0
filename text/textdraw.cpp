// Text drawing: glyphs of the current font along a pen, with escapes, word wrap and measuring.
#include "text/textdraw.h"

#include <algorithm>
#include <climits>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <vector>

#include "display/screen.h"
#include "raster/blendtables.h"
#include "raster/pixels.h"
#include "raster/sprites.h"
#include "text/fontstore.h"
#include "text/markup.h"
#include "text/styles.h"

float tracking = 0.13f;
bool fixedpitch = false;
int textindent = 0;

namespace {

// Letter spacing in pixels for a cell width.
int spacingfor(int cellwidth) {
    return static_cast<int>(std::floor(static_cast<double>(cellwidth) * static_cast<double>(tracking) + 0.5));
}

// A pen position or width kept within int: a pen given near the int limits (by the caller
// or a tab escape) stops there instead of wrapping around.
int clampint(long long v) { return v > INT_MAX ? INT_MAX : v < INT_MIN ? INT_MIN : static_cast<int>(v); }
int clampint(double v) {
    return v >= 2147483647.0 ? INT_MAX : v <= -2147483648.0 ? INT_MIN : static_cast<int>(v);
}
int penadd(int a, long long b) { return clampint(static_cast<long long>(a) + b); }

// Advance of glyph g from the undistorted base glyph and the style's factors.
int advancefor(const font* base, int g, const textstyle& st) {
    const font* f = base ? base : currentfont;
    int w = f->glyphs[g][0];
    return clampint(
        std::floor(w * static_cast<double>(st.widthscale) * (1 + static_cast<double>(st.boldness)) + 0.5));
}

int32_t readint32(const unsigned char* p) {
    return static_cast<int32_t>(static_cast<uint32_t>(p[0]) | static_cast<uint32_t>(p[1]) << 8 |
                                static_cast<uint32_t>(p[2]) << 16 | static_cast<uint32_t>(p[3]) << 24);
}

bool iswhitespace(unsigned char c) {
    return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r';
}

// Bytes an escape starting with byte c occupies (1 for an ordinary byte).
size_t stepof(unsigned char c) { return c == glyphescape ? 3 : c == textescape ? 6 : 1; }

// Length up to the first zero, at most limit bytes.
size_t boundedlength(const unsigned char* text, size_t limit) {
    size_t n = 0;
    while (n < limit && text[n]) n++;
    return n;
}

// Width of at most `limit` bytes of text, stopping at its end or a line feed. Glyph and
// text escapes add nothing; other control bytes below 8 are zero-width single bytes. An
// escape that does not fit in the limit ends the text without its data bytes being read.
int measure(const unsigned char* text, size_t limit) {
    if (fixedpitch)
        return clampint(static_cast<long long>(boundedlength(text, limit)) * currentcellwidth - 1);
    if (!currentfont) return 10;
    const textstyle& q = currentfont->style;
    const font* base = fontbyid(q.base);
    int sp = spacingfor(currentcellwidth);
    long long width = 0;
    size_t i = 0;
    while (i < limit && text[i] && text[i] != '\n') {
        unsigned char g = text[i];
        if (g == glyphescape || g == textescape) {
            i += stepof(g);  // past the limit when cut off: the loop ends
            continue;
        }
        if (g < 8) {
            i++;
            continue;
        }
        width = clampint(width + advancefor(base, g, q) + sp);
        i++;
    }
    return static_cast<int>(width);
}

// Length in bytes of the word starting at text (up to white space or the end), at most size
// bytes. Escapes are stepped over whole, as drawtext steps over them, so their data bytes
// never end the word; an escape cut off by the size ends it.
size_t wordlength(const unsigned char* text, size_t size) {
    size_t j = 0;
    while (j < size && text[j] && !iswhitespace(text[j])) {
        size_t step = stepof(text[j]);
        if (step > size - j) break;
        j += step;
    }
    return j;
}

// Fonts that script escapes made, least recently used first. The text alone chooses the
// sizes, so keeping every one would let a text make memory grow without bound: only the
// last few are kept, and while they hold more than a budget of glyph memory the oldest go.
// The few sizes ordinary markup uses stay cached.
constexpr size_t keptscriptfonts = 8;
constexpr long scriptfontbudget = 16L << 20;  // bytes of glyph images
std::vector<uint32_t> scriptfonts;            // font ids

long glyphmemory(const font* f) {
    long total = 0;
    for (const unsigned char* g : f->glyphs) total += glyphblocksize(g);
    return total;
}

// setstyle for a script escape, keeping the fonts it makes within bounds.
void setscriptstyle(const textstyle& request) {
    int fontsbefore = fontcount();
    setstyle(request);
    if (!currentfont) return;
    uint32_t id = currentfont->id;
    auto known = std::find(scriptfonts.begin(), scriptfonts.end(), id);
    if (known != scriptfonts.end()) {
        scriptfonts.erase(known);
    } else if (fontcount() <= fontsbefore) {
        return;  // an existing font that no script escape made: not ours to drop
    }
    scriptfonts.push_back(id);
    // Drop the oldest beyond the count or the budget; never the font in use.
    for (;;) {
        long held = 0;
        std::vector<uint32_t> alive;
        for (uint32_t k : scriptfonts)
            if (const font* f = fontbyid(k)) {
                alive.push_back(k);
                held += glyphmemory(f);
            }
        scriptfonts = alive;
        if (scriptfonts.size() <= 1 || (scriptfonts.size() <= keptscriptfonts && held <= scriptfontbudget))
            break;
        font* oldest = fontbyid(scriptfonts.front());
        scriptfonts.erase(scriptfonts.begin());
        if (oldest != currentfont) deletefont(oldest);
    }
}

// One glyph pixel through the glyph mode's clipped writer, tinted by the text colour.
void drawglyphpixels(const unsigned char* glyph, int cx, int y, int left, int c) {
    int w = glyph[0], h = glyph[1];
    bool eightbit = screen.bytesperpixel <= 1;
    for (int rr = 0; rr < h; rr++) {
        int py = y + rr;
        if (py < screen.cliptop || py >= screen.height) continue;
        for (int col = 0; col < w; col++) {
            int px = cx + col;
            if (px < left || px >= screen.width) continue;
            if (eightbit) {
                unsigned char v = glyph[2 + rr * w + col];
                if (v == 0 || v == 255) continue;
                glyphpixel(px, py, multiplytable[blendentry(c, v)]);
            } else {
                const unsigned char* p = glyph + 2 + (rr * w + col) * 3;
                if (std::memcmp(p, transparentkey, 3) == 0) continue;
                int rc = (c >> 16) & 0xFF, gc = (c >> 8) & 0xFF, bc = c & 0xFF;
                glyphpixel(px, py, ((rc * p[2]) >> 8) << 16 | ((gc * p[1]) >> 8) << 8 | ((bc * p[0]) >> 8));
            }
        }
    }
}

}  // namespace

// Walks the text: escapes, line feeds, wrapping, then each glyph whole or clipped. The text
// ends at its first zero outside an escape or after `size` bytes; an escape whose data bytes
// do not fit in the size ends it unread.
static void drawbytes(int x, int y, int margin, const unsigned char* t, size_t size, int c) {
    if (!currentfont || !currentglyphs || !drawglyph || !glyphpixel) return;
    bool eightbit = screen.bytesperpixel <= 1;
    if (eightbit) c &= 0xFF;  // a palette index; also keeps the table lookups inside the tables
    int cx = x;
    int left = screen.clipleft + textindent;
    const textstyle saved = currentfont->style;
    textstyle working = saved;
    const font* savedbase = fontbyid(saved.base);
    int sp = spacingfor(currentcellwidth);
    int r = 0;
    size_t i = 0;
    while (i < size && t[i]) {
        int g = t[i];
        size_t after = i + 1;
        if (stepof(t[i]) > size - i) break;  // an escape cut off by the end of the buffer
        if (g == glyphescape) {
            g = t[i + 1] * 256 + t[i + 2];
            after = i + 3;
            if (g >= glyphcount) {  // outside the font's table
                i = after;
                continue;
            }
        } else if (g == textescape) {
            int selector = t[i + 1];
            const unsigned char* data = t + i + 2;
            if (selector == 0) {
                c = readint32(data);
                if (eightbit) c &= 0xFF;
            } else if (selector == 1) {
                cx = readint32(data);
            } else if (selector == 2) {
                int s = data[0] | data[1] << 8;
                int v = static_cast<int16_t>(static_cast<uint16_t>(data[2] | data[3] << 8));
                int m = savedbase ? savedbase->maxheight : currentmaxheight;
                y = penadd(y, r);
                r = (v * m + 128) / 256;
                y = penadd(y, -r);
                if (s > 0) {
                    float f = static_cast<float>(s) / 256.0f;
                    working.widthscale = f * saved.widthscale;
                    working.heightscale = f * saved.heightscale;
                    setscriptstyle(working);
                }
            }
            i += 6;
            continue;
        }
        i = after;
        if (g == '\n') {
            cx = x;
            y = penadd(y, currentmaxheight + 1);
            continue;
        }
        const unsigned char* glyph = currentglyphs[g];
        int next;
        if (fixedpitch) {
            next = penadd(cx, currentcellwidth);
            cx = penadd(cx, (currentcellwidth - glyph[0]) / 2);
        } else {
            next = penadd(cx, static_cast<long long>(sp) + advancefor(fontbyid(working.base), g, working));
        }
        if (margin != 0 && g == ' ') {
            size_t n = wordlength(t + i, size - i);
            if (static_cast<long long>(cx) + measure(t + i, n) > margin) {
                next = x;
                y = penadd(y, currentmaxheight + 1);
            }
            cx = next;
            continue;
        }
        long long gw = glyph[0], gh = glyph[1], lx = cx, ly = y;
        if (cx >= left && y >= screen.cliptop && next <= screen.width && lx + gw <= screen.width &&
            ly + currentmaxheight <= screen.height && ly + gh <= screen.height) {
            drawglyph(cx, y, glyph, c);
        } else if (cx < screen.width && y < screen.height && next > 0 && ly + currentmaxheight > 0) {
            drawglyphpixels(glyph, cx, y, left, c);
        }
        cx = next;
    }
    setstyle(saved);
}

void drawtext(int x, int y, int margin, const char* text, int c) {
    if (!text) text = "NULL?";
    drawbytes(x, y, margin, reinterpret_cast<const unsigned char*>(text), SIZE_MAX, c);
}

void drawtextin(int x, int y, int margin, const char* text, size_t size, int c) {
    if (!text) {
        text = "NULL?";
        size = SIZE_MAX;
    }
    drawbytes(x, y, margin, reinterpret_cast<const unsigned char*>(text), size, c);
}

int textwidth(const char* text) {
    if (!text) text = "NULL?";
    return measure(reinterpret_cast<const unsigned char*>(text), SIZE_MAX);
}

int textwidthin(const char* text, size_t size) {
    if (!text) return textwidth(text);
    return measure(reinterpret_cast<const unsigned char*>(text), size);
}

int textprefixwidth(const char* text, int n) {
    if (!text) text = "NULL?";
    size_t length = std::strlen(text);
    size_t limit = (n < 0 || static_cast<size_t>(n) >= length) ? SIZE_MAX : static_cast<size_t>(n);
    return measure(reinterpret_cast<const unsigned char*>(text), limit);
}

void drawtextbox(int x, int y, const char* text, int c, int background) {
    if (pixelroutines.fillrect) pixelroutines.fillrect(x, y, textwidth(text), currentmaxheight, background);
    drawtext(x, y, 0, text, c);
}
