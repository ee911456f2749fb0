// Glyph generation: scaled, emboldened and slanted glyphs for derived fonts, made stage by stage.
#include "text/glyphgen.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "display/screen.h"
#include "raster/sprites.h"

int generationcursor = 0;

namespace {

constexpr int maxglyphside = 255;  // width and height are single bytes

int clampside(int n) { return n < 0 ? 0 : n > maxglyphside ? maxglyphside : n; }

// Brightness of sample (x, y) of a map, 0 outside it.
float mapat(const float* map, int w, int h, int x, int y) {
    if (x < 0 || y < 0 || x >= w || y >= h) return 0.0f;
    return map[y * w + x];
}

// Bilinear sample of the brightness map at a point of the old glyph.
float bilinear(const float* map, int w, int h, float x, float y) {
    float fx0 = std::floor(x), fy0 = std::floor(y);
    int x0 = static_cast<int>(fx0), y0 = static_cast<int>(fy0);
    float fx = x - fx0, fy = y - fy0;
    float a = mapat(map, w, h, x0, y0), b = mapat(map, w, h, x0 + 1, y0);
    float c = mapat(map, w, h, x0, y0 + 1), d = mapat(map, w, h, x0 + 1, y0 + 1);
    return a + (b - a) * fx + ((c - a) + (a - b - c + d) * fx) * fy;
}

// Reduction by area: every old pixel spreads its brightness over the new cells it covers.
void reduce(const float* map, int w, int h, float sx, float sy, int u, unsigned char* g) {
    int w2 = g[0], h2 = g[1], bytes = glyphbytes();
    std::vector<float> cells(static_cast<size_t>(w2) * h2, 0.0f);
    auto add = [&](int x, int y, float v) {
        if (x < w2 && y < h2) cells[static_cast<size_t>(y) * w2 + x] += v;
    };
    for (int j = 0; j < h; j++) {
        for (int i = 0; i < w; i++) {
            float v = map[j * w + i];
            int x0 = static_cast<int>(std::floor(static_cast<float>(i) * sx));
            int x1 = static_cast<int>(std::floor(static_cast<float>(i + 1) * sx));
            int y0 = static_cast<int>(std::floor(static_cast<float>(j) * sy));
            int y1 = static_cast<int>(std::floor(static_cast<float>(j + 1) * sy));
            float fx = static_cast<float>(x1) / sx - static_cast<float>(i);
            float fy = static_cast<float>(y1) / sy - static_cast<float>(j);
            if (x0 == x1 && y0 == y1) {
                add(x0, y0, v);
            } else if (x0 == x1) {
                add(x0, y0, fy * v);
                add(x0, y1, (1 - fy) * v);
            } else if (y0 == y1) {
                add(x0, y0, fx * v);
                add(x1, y0, (1 - fx) * v);
            } else {
                add(x0, y0, fx * fy * v);
                add(x1, y0, (1 - fx) * fy * v);
                add(x0, y1, fx * (1 - fy) * v);
                add(x1, y1, (1 - fx) * (1 - fy) * v);
            }
        }
    }
    float m = 0.001f;
    for (float a : cells) m = std::max(m, a);
    // Digits and Greek letters keep more of their mid-tones.
    bool brighter = (u >= '0' && u <= '9') || (u >= 256 && u <= 383);
    for (size_t k = 0; k < cells.size(); k++) {
        float a = cells[k] / m;
        if (a < 0) a = 0;
        float v = brighter ? std::pow(a, 5.0f / 9.0f) : a;
        putgreylevel(g + 2 + k * bytes, v);
    }
}

// Enlargement: bilinear threshold, then edge pixels graded by 3 × 3 sub-samples.
void enlarge(const float* map, int w, int h, float sx, float sy, unsigned char* g) {
    int w2 = g[0], h2 = g[1], bytes = glyphbytes();
    auto first = [&](int i, int j) -> unsigned char& {
        return g[2 + (static_cast<size_t>(j) * w2 + i) * bytes];
    };
    for (int j = 0; j < h2; j++)
        for (int i = 0; i < w2; i++)
            first(i, j) = bilinear(map, w, h, (static_cast<float>(i) + 0.5f) / sx - 0.5f,
                                   (static_cast<float>(j) + 0.5f) / sy - 0.5f) > 0.5f
                              ? 15
                              : 0;
    constexpr int n = 3;
    for (int i = 0; i < w2; i++) {
        for (int j = 0; j < h2; j++) {
            unsigned char here = first(i, j);
            bool edge = (i > 0 && first(i - 1, j) != here) || (i + 1 < w2 && first(i + 1, j) != here) ||
                        (j > 0 && first(i, j - 1) != here) || (j + 1 < h2 && first(i, j + 1) != here);
            if (!edge) continue;
            int count = 0;
            for (float sa = 0.5f / n; sa < 0.99f; sa += 1.0f / n)
                for (float sb = 0.5f / n; sb < 0.99f; sb += 1.0f / n)
                    if (bilinear(map, w, h, (static_cast<float>(i) + sa) / sx - 0.5f,
                                 (static_cast<float>(j) + sb) / sy - 0.5f) > 0.5f)
                        count++;
            if (bytes == 1)
                first(i, j) = static_cast<unsigned char>(std::trunc(23.9 * count / 9 + 16));
            else
                first(i, j) = static_cast<unsigned char>(count);
        }
    }
    if (bytes == 1) return;
    // True colour: counts 0..9 become grey bytes; the inside (still 15) is full white.
    for (int k = 0; k < w2 * h2; k++) {
        unsigned char* p = g + 2 + k * 3;
        unsigned char b =
            p[0] == 15 ? 255
                       : static_cast<unsigned char>(static_cast<int>(std::trunc(255.9 * p[0] / 9)) & 0xFF);
        p[0] = p[1] = p[2] = b;
    }
}

}  // namespace

// Grey ramp index in 8-bit mode, grey byte in true colour; brightness clamped to 0..1.
void putgreylevel(unsigned char* pixel, float v) {
    if (!(v > 0.0f)) v = 0.0f;
    if (v > 1.0f) v = 1.0f;
    if (glyphbytes() == 1) {
        pixel[0] = static_cast<unsigned char>(std::floor(23.9 * v + 16.0));
    } else {
        unsigned char b = static_cast<unsigned char>(static_cast<int>(std::trunc(255.9 * v)) & 0xFF);
        pixel[0] = pixel[1] = pixel[2] = b;
    }
}

// Brightness from the device palette (8-bit) or the pixel bytes (true colour).
float* glyphluminance(const unsigned char* pixels, int w, int h) {
    size_t n = static_cast<size_t>(w) * h;
    float* map = static_cast<float*>(std::malloc((n + 1) * sizeof(float)));
    if (glyphbytes() == 1) {
        for (size_t k = 0; k < n; k++) {
            unsigned char v = pixels[k];
            if (v == glyphtransparent) {
                map[k] = 0.0f;
            } else {
                const pfpaletteentry& e = screen.palette[v];
                map[k] = static_cast<float>(3 * e.red + 5 * e.green + 2 * e.blue) / 2550.0f;
            }
        }
    } else {
        for (size_t k = 0; k < n; k++) {
            const unsigned char* p = pixels + 3 * k;
            if (std::memcmp(p, transparentkey, 3) == 0)
                map[k] = 0.0f;
            else
                map[k] = static_cast<float>(3 * p[2] + 5 * p[1] + 2 * p[0]) / 2550.0f;
        }
    }
    return map;
}

void copyglyph(const font* source, int u, font* target) {
    if (!source || source == target) return;
    int size = glyphblocksize(source->glyphs[u]);
    unsigned char* g = static_cast<unsigned char*>(std::malloc(size + 1));
    std::memcpy(g, source->glyphs[u], size);
    replaceglyph(target, u, g);
}

// Mixed directions enlarge first, then reduce; sizes are kept to 255.
void scaleglyph(font* f, int u, float sx, float sy) {
    if (!(sx > 0.0f) || !(sy > 0.0f)) return;
    if (sx > 1 && sy < 1) {
        scaleglyph(f, u, sx, 1);
        scaleglyph(f, u, 1, sy);
        return;
    }
    if (sx < 1 && sy > 1) {
        scaleglyph(f, u, 1, sy);
        scaleglyph(f, u, sx, 1);
        return;
    }
    const unsigned char* old = f->glyphs[u];
    int w = old[0], h = old[1];
    int w2 = clampside(static_cast<int>(std::floor(static_cast<float>(w) * sx)) + 1);
    int h2 = clampside(static_cast<int>(std::floor(static_cast<float>(h) * sy)) + 1);
    float* map = glyphluminance(old + 2, w, h);
    unsigned char* g = newglyph(w2, h2);
    if (sx <= 1 && sy <= 1)
        reduce(map, w, h, sx, sy, u, g);
    else
        enlarge(map, w, h, sx, sy, g);
    std::free(map);
    replaceglyph(f, u, g);
}

// A row filter: a saturating smear to the right (b > 0) or a minimum filter (b < 0).
void emboldenglyph(font* f, int u, float b) {
    const unsigned char* old = f->glyphs[u];
    int w = old[0], h = old[1], bytes = glyphbytes();
    float half = static_cast<float>(f->maxwidth) * b / 2;
    float c = std::fabs(half);
    int n = static_cast<int>(std::ceil(2 * c));
    int w2 = clampside(std::max(1, w + static_cast<int>(std::ceil(2 * half))));
    std::vector<float> kernel(static_cast<size_t>(n) + 1, 1.0f);
    float whole = std::floor(2 * c);
    if (2 * c != whole) kernel[(n % 2 == 1) ? n : 0] = 2 * c - whole;
    float* map = glyphluminance(old + 2, w, h);
    unsigned char* g = newglyph(w2, h);
    std::vector<float> row(static_cast<size_t>(w2));
    for (int y = 0; y < h; y++) {
        const float* line = map + static_cast<size_t>(y) * w;
        if (b > 0) {
            std::fill(row.begin(), row.end(), 0.0f);
            for (int x = 0; x < w; x++)
                for (int k = 0; k <= n; k++)
                    if (x + k < w2) row[x + k] = std::min(1.0f, kernel[k] * line[x] + row[x + k]);
        } else {
            std::fill(row.begin(), row.end(), 1.0f);
            int p = static_cast<long>(whole) % 2 == 0 ? 1 : 0;
            for (int x = -n; x <= w + n - 1; x++) {
                float v = (x >= 0 && x < w) ? line[x] : 0.0f;
                for (int k = 0; k <= n; k++) {
                    int t = x + k - n + p;
                    if (t >= 0 && t < w2) row[t] = std::min(row[t], 1 - (1 - v) * kernel[k]);
                }
            }
        }
        for (int x = 0; x < w2; x++) putgreylevel(g + 2 + (static_cast<size_t>(y) * w2 + x) * bytes, row[x]);
    }
    std::free(map);
    replaceglyph(f, u, g);
}

// Each row moves right by its share of the slant, spread over two pixels.
void skewglyph(font* f, int u, float s) {
    const unsigned char* old = f->glyphs[u];
    int w = old[0], h = old[1], bytes = glyphbytes();
    if (h == 0) return;
    float a = std::fabs(s);
    int w2 = clampside(static_cast<int>(std::floor(a * static_cast<float>(h - 1) + 0.75f)) + w);
    if (w2 == 0) return;
    float* map = glyphluminance(old + 2, w, h);
    unsigned char* g = newglyph(w2, h);
    std::vector<float> row(static_cast<size_t>(w2));
    for (int r = 0; r < h; r++) {
        float o = s >= 0 ? static_cast<float>(h - 1 - r) * s : -s * static_cast<float>(r);
        std::fill(row.begin(), row.end(), 0.0f);
        for (int x = 0; x < w; x++) {
            float q = static_cast<float>(x) + o;
            float fk = std::floor(q);
            int k = static_cast<int>(fk);
            int k2 = std::min(k + 1, w2 - 1);
            float fr = q - fk;
            float l = map[static_cast<size_t>(r) * w + x];
            if (k >= 0 && k < w2) row[k] += (1 - fr) * l;
            if (k2 >= 0 && k2 < w2) row[k2] += fr * l;
        }
        for (int x = 0; x < w2; x++) putgreylevel(g + 2 + (static_cast<size_t>(r) * w2 + x) * bytes, row[x]);
    }
    std::free(map);
    replaceglyph(f, u, g);
}

// Dim pixels go transparent; empty columns at either side and empty rows at the bottom go.
void finishglyph(font* f, int u, float t) {
    unsigned char* old = f->glyphs[u];
    int w = old[0], h = old[1], bytes = glyphbytes();
    float* map = glyphluminance(old + 2, w, h);
    bool any = false;
    for (int k = 0; k < w * h; k++) {
        if (map[k] <= t) {
            unsigned char* p = old + 2 + k * bytes;
            if (bytes == 1)
                p[0] = glyphtransparent;
            else
                std::memcpy(p, transparentkey, 3);
        } else {
            any = true;
        }
    }
    if (!any) {
        std::free(map);
        return;
    }
    auto columnempty = [&](int x, int top, int bottom) {
        for (int y = top; y < bottom; y++)
            if (map[y * w + x] > t) return false;
        return true;
    };
    int left = 0, right = w, bottom = h;
    while (right - left > 1 && columnempty(right - 1, 0, h)) right--;
    while (right - left > 1 && columnempty(left, 0, h)) left++;
    auto rowempty = [&](int y) {
        for (int x = left; x < right; x++)
            if (map[y * w + x] > t) return false;
        return true;
    };
    while (bottom > 1 && rowempty(bottom - 1)) bottom--;
    std::free(map);
    int w2 = right - left;
    unsigned char* g = newglyph(w2, bottom);
    for (int y = 0; y < bottom; y++)
        std::memcpy(g + 2 + static_cast<size_t>(y) * w2 * bytes,
                    old + 2 + (static_cast<size_t>(y) * w + left) * bytes, static_cast<size_t>(w2) * bytes);
    replaceglyph(f, u, g);
}

void finishfont(font* f, float t) {
    if (!f) f = currentfont;
    if (!f) return;
    for (int u = 0; u < glyphcount; u++) finishglyph(f, u, t);
    fontmetrics(f);
}

// One stage of one glyph per visit, moving to the next font after each visit.
int generateglyphs(int maxstages) {
    int count = fontcount();
    int stages = 0;
    if (count == 0) return 0;
    generationcursor %= count;
    if (generationcursor < 0) generationcursor += count;
    int start = generationcursor;
    bool workdone = false;
    for (;;) {
        font* f = fonttable[generationcursor];
        textstyle& st = f->style;
        if (st.glyphsdone < glyphcount) {
            if (maxstages >= 0 && stages >= maxstages) break;
            stages++;
            int u = (st.glyphsdone * 81) % glyphcount;
            switch (st.stage) {
                case 0:
                    copyglyph(fontbyid(st.base), u, f);
                    if (st.widthscale != 1 || st.heightscale != 1)
                        scaleglyph(f, u, st.widthscale, st.heightscale);
                    break;
                case 1:
                    if (st.boldness != 0) emboldenglyph(f, u, st.boldness);
                    break;
                case 2:
                    if (st.skew != 0) skewglyph(f, u, st.skew);
                    break;
                default: finishglyph(f, u, 0.25f); break;
            }
            if (st.stage >= 3) {
                st.stage = 0;
                st.glyphsdone++;
                if (st.glyphsdone % 32 == 0) fontmetrics(f);
            } else {
                st.stage++;
            }
            workdone = true;
        }
        generationcursor = (generationcursor + 1) % count;
        if (generationcursor == start) {
            if (!workdone) break;
            workdone = false;
        }
    }
    return stages;
}
