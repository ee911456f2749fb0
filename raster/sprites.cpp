// Sprite and glyph blitting: opaque and blended sprites, the four glyph modes, per-pixel blends.
#include "raster/sprites.h"

#include <cmath>
#include <cstddef>

#include "display/screen.h"
#include "raster/blendtables.h"
#include "raster/lines.h"
#include "raster/pixels.h"

blendpixelroutine multiplypixel;
blendpixelroutine screenblendpixel;
int glyphmode = 3;
glyphroutine drawglyph;
blendpixelroutine glyphpixel;

namespace {

// ---------------------------------------------------------------------------------------------
// Wrap-around walking

enum class entryform { window, zero };          // where a negative position is moved to
enum class rowform { before, aftera, afterb };  // when and how a row is moved back up

// Walks the h rows of a w-pixel-wide image placed at (x, y) on a surface, keeping each row
// inside the surface by moving it up height - 1 rows, and hands each row's first byte to
// drawrow(dest, r). A row that runs past the right edge continues into the row padding or the
// next row, as long as its bytes stay inside the surface's memory (height x pitch bytes); a row
// that would leave it (possible only for positions or sizes beyond the window) is skipped, so
// nothing is written outside the surface whatever the arguments.
template <int B, entryform E, rowform R, class F>
inline void wrapblit(unsigned char* pixels, int pitch, int x, int y, int w, int h, F&& drawrow) {
    const screenrecord& s = screen;
    if (w <= 0 || h <= 0 || !pixels || s.width <= s.clipleft || s.height <= s.cliptop) return;
    if constexpr (E == entryform::window) {
        if (x < s.clipleft) x += s.width - s.clipleft;
        if (y < s.cliptop) y += s.height - s.cliptop;
    } else {
        if (x < 0) x += s.width;
        if (y < 0) y += s.height;
    }
    const ptrdiff_t p = pitch;
    const ptrdiff_t lastrow = static_cast<ptrdiff_t>(s.height - 1) * p;
    const ptrdiff_t end = static_cast<ptrdiff_t>(s.height) * p;  // one past the surface's memory
    const ptrdiff_t rowbytes = static_cast<ptrdiff_t>(w) * B;
    ptrdiff_t at = static_cast<ptrdiff_t>(y) * p + static_cast<ptrdiff_t>(x) * B;
    for (int r = 0; r < h; r++) {
        if constexpr (R == rowform::before) {
            if (at >= lastrow + static_cast<ptrdiff_t>(s.width - w) * B) at -= lastrow;
        }
        if (at >= 0 && at + rowbytes <= end) drawrow(pixels + at, r);
        if constexpr (R == rowform::aftera) {
            ptrdiff_t q = at + p;
            if (q >= static_cast<ptrdiff_t>(s.height) * p - w) q -= lastrow;
            at = q;
        } else if constexpr (R == rowform::afterb) {
            ptrdiff_t q = at + p;
            if (q >= lastrow + s.width - w) q -= lastrow;
            at = q;
        } else {
            at += p;
        }
    }
}

// Bytes per source pixel of a sprite for a depth.
template <int B>
constexpr int spritebytes = B == 1 ? 1 : 3;

inline bool istransparentkey(const unsigned char* s) {
    return s[0] == transparentkey[0] && s[1] == transparentkey[1] && s[2] == transparentkey[2];
}

// Opaque copy of one sprite pixel, skipping the transparent value.
template <int B>
inline void copypixel(unsigned char* d, const unsigned char* s) {
    if constexpr (B == 1) {
        if (*s != 255) *d = *s;
    } else {
        if (!istransparentkey(s)) d[0] = s[0], d[1] = s[1], d[2] = s[2];
    }
}

// 8-bit blend table lookups; both indices may be 0..255.
inline unsigned char M(int a, int b) { return multiplytable[blendentry(a, b)]; }
inline unsigned char S(int a, int b) { return screenblendtable[blendentry(a, b)]; }

inline unsigned char* shadaddress(int x, int y, int bpp) {
    return screen.shadpixels + static_cast<ptrdiff_t>(y) * screen.shadpitch + static_cast<ptrdiff_t>(x) * bpp;
}

// ---------------------------------------------------------------------------------------------
// Per-pixel blends

template <int B>
void multiplypixeldepth(int x, int y, int c) {
    unsigned char* d = shadaddress(x, y, B);
    if constexpr (B == 1) {
        *d = M(*d, c & 0xFF);
    } else {
        d[0] = static_cast<unsigned char>((d[0] * (c & 0xFF)) >> 8);
        d[1] = static_cast<unsigned char>((d[1] * ((c >> 8) & 0xFF)) >> 8);
        d[2] = static_cast<unsigned char>((d[2] * ((c >> 16) & 0xFF)) >> 8);
    }
}

inline unsigned char screenbyte(int d, int c) {
    return static_cast<unsigned char>(255 - (((255 - d) * (255 - c)) >> 8));
}

template <int B>
void screenblendpixeldepth(int x, int y, int c) {
    unsigned char* d = shadaddress(x, y, B);
    if constexpr (B == 1) {
        *d = S(*d, c & 0xFF);
    } else {
        d[0] = screenbyte(d[0], c & 0xFF);
        d[1] = screenbyte(d[1], (c >> 8) & 0xFF);
        d[2] = screenbyte(d[2], (c >> 16) & 0xFF);
    }
}

// ---------------------------------------------------------------------------------------------
// Blended sprites

template <int B>
void drawspritealphadepth(int x, int y, const unsigned char* sprite) {
    int w = sprite[0];
    const unsigned char* src = sprite + 2;
    wrapblit<B, entryform::window, rowform::before>(
        screen.shadpixels, screen.shadpitch, x, y, w, sprite[1], [&](unsigned char* d, int r) {
            const unsigned char* s = src + static_cast<ptrdiff_t>(r) * w * 4;
            for (int i = 0; i < w; i++, d += B, s += 4) {
                int a = s[3];
                for (int k = 0; k < 3; k++)
                    d[k] = static_cast<unsigned char>(((255 - a) * d[k] + a * s[k]) >> 8);
            }
        });
}

template <int B>
void drawspritelightdepth(int x, int y, const unsigned char* sprite) {
    int w = sprite[0];
    const unsigned char* src = sprite + 2;
    wrapblit<B, entryform::window, rowform::before>(
        screen.shadpixels, screen.shadpitch, x, y, w, sprite[1], [&](unsigned char* d, int r) {
            const unsigned char* s = src + static_cast<ptrdiff_t>(r) * w * spritebytes<B>;
            for (int i = 0; i < w; i++, d += B, s += spritebytes<B>) {
                if constexpr (B == 1) {
                    if (*s != 0 && *s != 255) *d = S(*d, *s);
                } else if (!istransparentkey(s)) {
                    for (int k = 0; k < 3; k++) d[k] = screenbyte(d[k], s[k]);
                }
            }
        });
}

// ---------------------------------------------------------------------------------------------
// Glyph blitters: one per mode and depth

template <int B>
void glyphtintdepth(int x, int y, const unsigned char* glyph, int c) {
    int w = glyph[0];
    const unsigned char* src = glyph + 2;
    const int c8 = c & 0xFF;
    const int ck[3] = {c & 0xFF, (c >> 8) & 0xFF, (c >> 16) & 0xFF};
    wrapblit<B, entryform::zero, rowform::before>(
        screen.shadpixels, screen.shadpitch, x, y, w, glyph[1], [&](unsigned char* d, int r) {
            const unsigned char* s = src + static_cast<ptrdiff_t>(r) * w * spritebytes<B>;
            for (int i = 0; i < w; i++, d += B, s += spritebytes<B>) {
                if constexpr (B == 1) {
                    if (*s != 255) *d = M(c8, *s);
                } else if (!istransparentkey(s)) {
                    for (int k = 0; k < 3; k++) d[k] = static_cast<unsigned char>((ck[k] * s[k]) >> 8);
                }
            }
        });
}

template <int B>
void glyphdarkdepth(int x, int y, const unsigned char* glyph, int c) {
    int w = glyph[0];
    const unsigned char* src = glyph + 2;
    if constexpr (B == 1) {
        // The ink of every glyph value for this colour, built once per glyph.
        unsigned char ink[256];
        const int c8 = c & 0xFF;
        for (int v = 0; v < 256; v++) ink[v] = S(c8, inversetable[v]);
        wrapblit<1, entryform::window, rowform::aftera>(
            screen.shadpixels, screen.shadpitch, x, y, w, glyph[1], [&](unsigned char* d, int r) {
                const unsigned char* s = src + static_cast<ptrdiff_t>(r) * w;
                for (int i = 0; i < w; i++, d++, s++)
                    if (*s != 0 && *s != 255) *d = M(*d, ink[*s]);
            });
    } else {
        const int ck[3] = {c & 0xFF, (c >> 8) & 0xFF, (c >> 16) & 0xFF};
        wrapblit<B, entryform::window, rowform::before>(
            screen.shadpixels, screen.shadpitch, x, y, w, glyph[1], [&](unsigned char* d, int r) {
                const unsigned char* s = src + static_cast<ptrdiff_t>(r) * w * 3;
                for (int i = 0; i < w; i++, d += B, s += 3) {
                    if (istransparentkey(s)) continue;
                    for (int k = 0; k < 3; k++)
                        d[k] =
                            static_cast<unsigned char>((d[k] * (255 - (((255 - ck[k]) * s[k]) >> 8))) >> 8);
                }
            });
    }
}

template <int B>
void glyphlightdepth(int x, int y, const unsigned char* glyph, int c) {
    int w = glyph[0];
    const unsigned char* src = glyph + 2;
    if constexpr (B == 1) {
        const int c8 = c & 0xFF;
        wrapblit<1, entryform::window, rowform::aftera>(
            screen.shadpixels, screen.shadpitch, x, y, w, glyph[1], [&](unsigned char* d, int r) {
                const unsigned char* s = src + static_cast<ptrdiff_t>(r) * w;
                for (int i = 0; i < w; i++, d++, s++)
                    if (*s != 0 && *s != 255) *d = S(*d, M(c8, *s));
            });
    } else {
        const int ck[3] = {c & 0xFF, (c >> 8) & 0xFF, (c >> 16) & 0xFF};
        wrapblit<B, entryform::window, rowform::before>(
            screen.shadpixels, screen.shadpitch, x, y, w, glyph[1], [&](unsigned char* d, int r) {
                const unsigned char* s = src + static_cast<ptrdiff_t>(r) * w * 3;
                for (int i = 0; i < w; i++, d += B, s += 3) {
                    if (istransparentkey(s)) continue;
                    for (int k = 0; k < 3; k++) d[k] = screenbyte(d[k], (ck[k] * s[k]) >> 8);
                }
            });
    }
}

template <int B>
void glyphcoverdepth(int x, int y, const unsigned char* glyph, int c) {
    int w = glyph[0];
    const unsigned char* src = glyph + 2;
    if constexpr (B == 1) {
        const int c8 = c & 0xFF;
        wrapblit<1, entryform::zero, rowform::aftera>(
            screen.shadpixels, screen.shadpitch, x, y, w, glyph[1], [&](unsigned char* d, int r) {
                const unsigned char* s = src + static_cast<ptrdiff_t>(r) * w;
                for (int i = 0; i < w; i++, d++, s++)
                    if (*s != 0 && *s != 255) *d = S(M(*d, inversetable[*s]), M(c8, *s));
            });
    } else {
        const int ck[3] = {c & 0xFF, (c >> 8) & 0xFF, (c >> 16) & 0xFF};
        wrapblit<B, entryform::window, rowform::before>(
            screen.shadpixels, screen.shadpitch, x, y, w, glyph[1], [&](unsigned char* d, int r) {
                const unsigned char* s = src + static_cast<ptrdiff_t>(r) * w * 3;
                for (int i = 0; i < w; i++, d += B, s += 3) {
                    if (istransparentkey(s)) continue;
                    for (int k = 0; k < 3; k++)
                        d[k] = screenbyte((d[k] * (255 - s[k])) >> 8, (ck[k] * s[k]) >> 8);
                }
            });
    }
}

// The blitter of a mode for a depth; null for an unknown mode or depth.
glyphroutine glyphblitter(int mode, int bpp) {
    static const glyphroutine table[4][3] = {
        {glyphtintdepth<1>, glyphtintdepth<3>, glyphtintdepth<4>},
        {glyphdarkdepth<1>, glyphdarkdepth<3>, glyphdarkdepth<4>},
        {glyphlightdepth<1>, glyphlightdepth<3>, glyphlightdepth<4>},
        {glyphcoverdepth<1>, glyphcoverdepth<3>, glyphcoverdepth<4>},
    };
    int column = bpp == 1 ? 0 : bpp == 3 ? 1 : bpp == 4 ? 2 : -1;
    if (mode < 1 || mode > 4 || column < 0) return nullptr;
    return table[mode - 1][column];
}

}  // namespace

// ---------------------------------------------------------------------------------------------
// Opaque sprites (slots of the pixel routine table)

template <int B>
void drawspritewrapdepth(int x, int y, const unsigned char* sprite) {
    int w = sprite[0];
    const unsigned char* src = sprite + 2;
    wrapblit<B, entryform::window, rowform::before>(
        screen.shadpixels, screen.shadpitch, x, y, w, sprite[1], [&](unsigned char* d, int r) {
            const unsigned char* s = src + static_cast<ptrdiff_t>(r) * w * spritebytes<B>;
            for (int i = 0; i < w; i++, d += B, s += spritebytes<B>) copypixel<B>(d, s);
        });
}

// Clipped copy: the visible column range is decided once, rows outside the window are skipped.
template <int B>
void drawspritedepth(int x, int y, const unsigned char* sprite) {
    const screenrecord& s = screen;
    int w = sprite[0], h = sprite[1];
    if (static_cast<long long>(x) + w <= s.clipleft || static_cast<long long>(y) + h <= s.cliptop ||
        x >= s.width || y >= s.height)
        return;
    int i0 = x < s.clipleft ? s.clipleft - x : 0;
    int i1 = w < s.width - x ? w : s.width - x;
    int r0 = y < s.cliptop ? s.cliptop - y : 0;
    int r1 = h < s.height - y ? h : s.height - y;
    for (int r = r0; r < r1; r++) {
        const unsigned char* src = sprite + 2 + (static_cast<ptrdiff_t>(r) * w + i0) * spritebytes<B>;
        unsigned char* d = shadaddress(x + i0, y + r, B);
        for (int i = i0; i < i1; i++, d += B, src += spritebytes<B>) copypixel<B>(d, src);
    }
}

template void drawspritewrapdepth<1>(int, int, const unsigned char*);
template void drawspritewrapdepth<3>(int, int, const unsigned char*);
template void drawspritewrapdepth<4>(int, int, const unsigned char*);
template void drawspritedepth<1>(int, int, const unsigned char*);
template void drawspritedepth<3>(int, int, const unsigned char*);
template void drawspritedepth<4>(int, int, const unsigned char*);

void drawspritewrap(int x, int y, const unsigned char* sprite) { pixelroutines.drawspritewrap(x, y, sprite); }
void drawsprite(int x, int y, const unsigned char* sprite) { pixelroutines.drawsprite(x, y, sprite); }

void drawspritefront(int x, int y, const unsigned char* sprite) {
    if (screen.bytesperpixel != 1) return;  // an 8-bit routine: no result is defined in true colour
    int w = sprite[0];
    const unsigned char* src = sprite + 2;
    wrapblit<1, entryform::window, rowform::afterb>(
        screen.frontpixels, screen.frontpitch, x, y, w, sprite[1], [&](unsigned char* d, int r) {
            const unsigned char* s = src + static_cast<ptrdiff_t>(r) * w;
            for (int i = 0; i < w; i++) copypixel<1>(d + i, s + i);
        });
}

void drawspritealpha(int x, int y, const unsigned char* sprite) {
    switch (screen.bytesperpixel) {  // a true-colour routine: nothing is drawn in 8-bit mode
        case 3: drawspritealphadepth<3>(x, y, sprite); break;
        case 4: drawspritealphadepth<4>(x, y, sprite); break;
        default: break;
    }
}

void drawspritelight(int x, int y, const unsigned char* sprite) {
    switch (screen.bytesperpixel) {
        case 1: drawspritelightdepth<1>(x, y, sprite); break;
        case 3: drawspritelightdepth<3>(x, y, sprite); break;
        case 4: drawspritelightdepth<4>(x, y, sprite); break;
        default: break;
    }
}

// ---------------------------------------------------------------------------------------------
// Glyph routines by name, for the current depth

static void callglyph(int mode, int x, int y, const unsigned char* sprite, int c) {
    if (glyphroutine g = glyphblitter(mode, screen.bytesperpixel)) g(x, y, sprite, c);
}
void drawglyphtint(int x, int y, const unsigned char* sprite, int c) { callglyph(1, x, y, sprite, c); }
void drawglyphdark(int x, int y, const unsigned char* sprite, int c) { callglyph(2, x, y, sprite, c); }
void drawglyphlight(int x, int y, const unsigned char* sprite, int c) { callglyph(3, x, y, sprite, c); }
void drawglyphcover(int x, int y, const unsigned char* sprite, int c) { callglyph(4, x, y, sprite, c); }

static inline bool insideclip(int x, int y) {
    return x >= screen.clipleft && x < screen.width && y >= screen.cliptop && y < screen.height;
}

void multiplypixelclipped(int x, int y, int c) {
    if (insideclip(x, y) && multiplypixel) multiplypixel(x, y, c);
}

void screenblendpixelclipped(int x, int y, int c) {
    if (c != 0 && insideclip(x, y) && screenblendpixel) screenblendpixel(x, y, c);
}

// ---------------------------------------------------------------------------------------------
// Blended line

// Clipped and stepped like drawline; every pixel, both coordinates truncated, is screen-blended.
// The truncated coordinates are held inside the clip window, where float rounding at a clip
// edge could otherwise put the minor coordinate one pixel outside it.
void screenblendline(float x1, float y1, float x2, float y2, int c) {
    const screenrecord& s = screen;
    if (!screenblendpixel) selectblendroutines();  // not chosen yet: take the current depth's
    if (!screenblendpixel || s.width <= s.clipleft || s.height <= s.cliptop) return;
    if (!std::isfinite(x1) || !std::isfinite(y1) || !std::isfinite(x2) || !std::isfinite(y2)) return;
    const float xl = static_cast<float>(s.clipleft), xr = static_cast<float>(s.width - 1);
    const float yt = static_cast<float>(s.cliptop), yb = static_cast<float>(s.height - 1);
    if (!cliplinesegment(x1, y1, x2, y2, xl, xr, yt, yb)) return;
    x1 = std::fmin(std::fmax(x1, xl), xr), x2 = std::fmin(std::fmax(x2, xl), xr);
    y1 = std::fmin(std::fmax(y1, yt), yb), y2 = std::fmin(std::fmax(y2, yt), yb);
    auto blend = [&](float fx, float fy) {
        int ix = static_cast<int>(fx), iy = static_cast<int>(fy);
        ix = ix < s.clipleft ? s.clipleft : (ix > s.width - 1 ? s.width - 1 : ix);
        iy = iy < s.cliptop ? s.cliptop : (iy > s.height - 1 ? s.height - 1 : iy);
        screenblendpixel(ix, iy, c);
    };
    float dx = x2 - x1, dy = y2 - y1;
    if (dx * dx + dy * dy < 0.1f) {
        blend(x1, y1);
        return;
    }
    if (dx + dy < 0) {
        float t = x1;
        x1 = x2, x2 = t;
        t = y1;
        y1 = y2, y2 = t;
        dx = -dx, dy = -dy;
    }
    if (dy < dx) {
        float slope = dy / dx;
        for (; x1 <= x2; x1 += 1) {
            blend(x1, y1);
            y1 += slope;
        }
    } else {
        float slope = dx / dy;
        for (; y1 <= y2; y1 += 1) {
            blend(x1, y1);
            x1 += slope;
        }
    }
}

// ---------------------------------------------------------------------------------------------
// Routine selection

void setglyphmode(int mode) {
    glyphmode = mode;
    glyphroutine blitter = glyphblitter(mode, screen.bytesperpixel);
    if (!blitter) return;
    drawglyph = blitter;
    switch (mode) {
        case 2: glyphpixel = multiplypixelclipped; break;
        case 3: glyphpixel = screenblendpixelclipped; break;
        default: glyphpixel = pixelroutines.putpixel; break;
    }
}

void selectblendroutines() {
    switch (screen.bytesperpixel) {
        case 1: multiplypixel = multiplypixeldepth<1>, screenblendpixel = screenblendpixeldepth<1>; break;
        case 3: multiplypixel = multiplypixeldepth<3>, screenblendpixel = screenblendpixeldepth<3>; break;
        case 4: multiplypixel = multiplypixeldepth<4>, screenblendpixel = screenblendpixeldepth<4>; break;
        default: break;
    }
    setglyphmode(glyphmode);
}

// ---------------------------------------------------------------------------------------------
// Reading sprites

int readsprite(unsigned char* buffer, std::FILE* file, int offset) {
    unsigned char size[2] = {0, 0};
    if (offset < 0 || std::fseek(file, offset, SEEK_SET) != 0 || std::fread(size, 1, 2, file) != 2) {
        buffer[0] = buffer[1] = 0;  // no size: an empty sprite
        return 0;
    }
    buffer[0] = size[0], buffer[1] = size[1];
    size_t count = static_cast<size_t>(size[0]) * size[1];
    size_t got = std::fread(buffer + 2, 1, count, file);
    for (size_t i = got; i < count; i++) buffer[2 + i] = 255;  // missing pixels are transparent
    return got == count ? 1 : 0;
}

int loadsprite(unsigned char* buffer, const char* path, int offset) {
    std::FILE* f = std::fopen(path, "rb");
    if (!f) return 0;
    int whole = readsprite(buffer, f, offset);
    std::fclose(f);
    return whole;
}
