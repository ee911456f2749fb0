// Font store: fonts of 512 glyph images, the font file format, the font list and the current font.
#include "text/fontstore.h"

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "display/palette.h"
#include "display/screen.h"
#include "raster/blendtables.h"
#include "raster/sprites.h"
#include "util/helpers.h"
#include "util/outputfile.h"
#include "util/random.h"

dynarray fontlist;
font** fonttable = nullptr;
font* currentfont = nullptr;
textstyle currentstyle = defaultstyle;
unsigned char** currentglyphs = nullptr;
uint8_t currentmaxwidth = 0, currentmaxheight = 0, currentcellwidth = 0;

namespace {

// fontsbyid[id] is the live font with that id, or null; id 0 is never used.
std::vector<font*> fontsbyid(1, nullptr);

// Registers a fresh font record under a new id.
font* newfontrecord(const char* name) {
    font* f = static_cast<font*>(std::calloc(1, sizeof(font)));
    setstring(&f->name, name);
    f->style = defaultstyle;
    f->id = static_cast<uint32_t>(fontsbyid.size());
    fontsbyid.push_back(f);
    return f;
}

// The 1 × 1 image used for glyphs a file does not provide.
unsigned char* placeholderglyph() {
    unsigned char* g;
    if (glyphbytes() == 1) {
        g = static_cast<unsigned char*>(std::malloc(3));
        g[2] = 1;
    } else {
        g = static_cast<unsigned char*>(std::malloc(5));
        g[2] = 0x00;
        g[3] = 0x00;
        g[4] = 0x80;
    }
    g[0] = 1;
    g[1] = 1;
    return g;
}

void appendfont(font* f) { dynarrayappend(&fontlist, &f); }

// Writes one transparent pixel at p.
void puttransparent(unsigned char* p, int bytes) {
    if (bytes == 1) {
        p[0] = glyphtransparent;
    } else {
        std::memcpy(p, transparentkey, 3);
    }
}

// Frees the font's blocks and record and forgets it; the list entry is handled by the caller.
void freefont(font* f) {
    for (unsigned char*& g : f->glyphs) {
        std::free(g);
        g = nullptr;
    }
    std::free(f->name);
    if (f->id < fontsbyid.size()) fontsbyid[f->id] = nullptr;
    std::free(f);
}

// Colour-cube index of a true-colour pixel for the font file. The white corner of the cube
// (index 255) is written as the basic white 15, since 255 means transparent in the file.
unsigned char cubeindex(const unsigned char* p) {
    int index = 40 + p[0] / 43 + 6 * (p[1] / 43) + 36 * (p[2] / 43);
    return static_cast<unsigned char>(index == 255 ? 15 : index);
}

}  // namespace

// Bytes per glyph pixel at the current depth.
int glyphbytes() { return screen.bytesperpixel > 1 ? 3 : 1; }

// 2 + width × height × bytes per pixel.
int glyphblocksize(const unsigned char* glyph) { return 2 + glyph[0] * glyph[1] * glyphbytes(); }

// A transparent w × h glyph block.
unsigned char* newglyph(int w, int h) {
    int bytes = glyphbytes();
    unsigned char* g = static_cast<unsigned char*>(std::malloc(2 + static_cast<size_t>(w) * h * bytes + 1));
    g[0] = static_cast<unsigned char>(w);
    g[1] = static_cast<unsigned char>(h);
    for (int k = 0; k < w * h; k++) puttransparent(g + 2 + k * bytes, bytes);
    return g;
}

// Swaps in a new block for one glyph.
void replaceglyph(font* f, int code, unsigned char* g) {
    std::free(f->glyphs[code]);
    f->glyphs[code] = g;
}

// Transparency test of pixel k of a glyph at the current depth.
bool glyphpixeltransparent(const unsigned char* glyph, int k) {
    if (glyphbytes() == 1) return glyph[2 + k] == glyphtransparent;
    const unsigned char* p = glyph + 2 + 3 * k;
    return std::memcmp(p, transparentkey, 3) == 0;
}

int fontcount() { return fontlist.data ? static_cast<int>(fontlist.count) : 0; }

font* fontbyid(uint32_t id) { return id < fontsbyid.size() ? fontsbyid[id] : nullptr; }

// Byte-wise comparison with A..Z folded to a..z.
bool samefontname(const char* a, const char* b) {
    if (!a || !b) return a == b;
    for (;; a++, b++) {
        if (lowercase(*a) != lowercase(*b)) return false;
        if (*a == 0) return true;
    }
}

font* findfont(const char* name) {
    for (int i = fontcount() - 1; i >= 0; i--)
        if (samefontname(fonttable[i]->name, name)) return fonttable[i];
    return nullptr;
}

// Blend tables once per run, blend routines once, and the font list.
void fontsetup() {
    makeblendtables();
    if (!multiplypixel) selectblendroutines();
    if (!fontlist.data) {
        dynarrayinit(&fontlist, sizeof(font*));
        dynarraybind(&fontlist, &fonttable);
    }
}

// A missing or empty file gives a placeholder font of that name.
int loadfont(const char* path, const char* name) {
    int length = 0;
    unsigned char* bytes = readwholefile(path, &length);
    if (bytes) {
        makefont(bytes, length, name);
        std::free(bytes);
        return 1;
    }
    font* f = placeholderfont(name);
    if (!currentfont) selectfont(f);
    return 0;
}

// Glyph records from the bytes; a record the bytes cut short, and every glyph after the
// last record, gets the placeholder image.
font* makefont(const unsigned char* bytes, int length, const char* name) {
    font* f = newfontrecord(name);
    float red[256], green[256], blue[256];
    standardpalettefloats(red, green, blue);
    int bytesper = glyphbytes();
    long offset = 0;
    for (int i = 0; i < glyphcount; i++) {
        bool whole = false;
        if (offset + 2 <= length) {
            int w = bytes[offset], h = bytes[offset + 1];
            whole = offset + 2 + static_cast<long>(w) * h <= length;
            if (whole) {
                const unsigned char* src = bytes + offset + 2;
                unsigned char* g = newglyph(w, h);
                for (int k = 0; k < w * h; k++) {
                    unsigned char v = src[k];
                    unsigned char* p = g + 2 + k * bytesper;
                    if (bytesper == 1) {
                        p[0] = v;
                    } else if (v != glyphtransparent) {
                        p[0] = static_cast<unsigned char>(std::trunc(255.4 * red[v]));
                        p[1] = static_cast<unsigned char>(std::trunc(255.4 * green[v]));
                        p[2] = static_cast<unsigned char>(std::trunc(255.4 * blue[v]));
                    }
                }
                f->glyphs[i] = g;
                offset += 2 + static_cast<long>(w) * h;
            }
        }
        if (!whole) {
            offset = length;  // a short record ends the file
            f->glyphs[i] = placeholderglyph();
        }
    }
    fontmetrics(f);
    f->style = defaultstyle;
    f->style.base = f->id;
    f->style.glyphsdone = glyphcount;
    fontsetup();
    appendfont(f);
    if (!currentfont) selectfont(f);
    return f;
}

// Replaces every font of that name by a font of placeholder glyphs.
font* placeholderfont(const char* name) {
    fontsetup();
    for (int i = fontcount() - 1; i >= 0; i--)
        if (i < fontcount() && samefontname(fonttable[i]->name, name)) deletefont(fonttable[i]);
    font* f = newfontrecord(name);
    appendfont(f);
    for (unsigned char*& g : f->glyphs) g = placeholderglyph();
    fontmetrics(f);
    f->style = defaultstyle;
    f->style.base = f->id;
    f->style.glyphsdone = glyphcount;
    return f;
}

// Largest width and height over all glyphs; cell width from 'C'.
void fontmetrics(font* f) {
    int mw = 0, mh = 0;
    for (const unsigned char* g : f->glyphs) {
        if (!g) continue;
        if (g[0] > mw) mw = g[0];
        if (g[1] > mh) mh = g[1];
    }
    f->maxwidth = static_cast<uint8_t>(mw);
    f->maxheight = static_cast<uint8_t>(mh);
    f->cellwidth = static_cast<uint8_t>((f->glyphs['C'] ? f->glyphs['C'][0] : 0) + 1);
}

// The current font and its copied metrics, unconditionally.
static void makecurrent(font* f) {
    currentfont = f;
    if (!f) {
        currentstyle = defaultstyle;
        currentglyphs = nullptr;
        currentmaxwidth = currentmaxheight = currentcellwidth = 0;
        return;
    }
    currentstyle = f->style;
    currentglyphs = f->glyphs;
    currentmaxwidth = f->maxwidth;
    currentmaxheight = f->maxheight;
    currentcellwidth = f->cellwidth;
}

void selectfont(font* f) {
    if (f != currentfont) makecurrent(f);
}

// Derived fonts go first, so none is left pointing at a deleted base.
void deletefont(font* f) {
    if (!f) return;
    for (int i = fontcount() - 1; i >= 0; i--) {
        if (i >= fontcount()) continue;
        font* other = fonttable[i];
        if (other != f && other->style.base == f->id) deletefont(other);
    }
    font* key = f;
    int index = dynarrayfind(&fontlist, &key);
    bool wascurrent = f == currentfont;
    freefont(f);
    if (index >= 0) dynarrayremove(&fontlist, static_cast<uint32_t>(index));
    if (wascurrent) {
        makecurrent(fontcount() > 0 ? fonttable[randint(fontcount())] : nullptr);
    }
}

// Walks downwards, so every entry is visited once although removals move entries.
void deletefontfamily(font* base) {
    if (!base) return;
    uint32_t id = base->id;
    for (int i = fontcount() - 1; i >= 0; i--)
        if (i < fontcount() && fonttable[i]->style.base == id) deletefont(fonttable[i]);
}

font* copyfont(const font* f) {
    font* c = newfontrecord(f->name);
    for (int i = 0; i < glyphcount; i++) {
        int size = glyphblocksize(f->glyphs[i]);
        c->glyphs[i] = static_cast<unsigned char*>(std::malloc(size + 1));
        std::memcpy(c->glyphs[i], f->glyphs[i], size);
    }
    c->maxwidth = f->maxwidth;
    c->maxheight = f->maxheight;
    c->cellwidth = f->cellwidth;
    c->style = f->style;
    appendfont(c);
    return c;
}

void renamefont(font* f, const char* name) { setstring(&f->name, name); }

// True-colour pixels are written as the nearest colour-cube index.
int savefont(const char* path, const char* name) {
    font* f = findfont(name);
    if (!f) return 0;
    std::vector<unsigned char> out;
    int bytes = glyphbytes();
    for (const unsigned char* g : f->glyphs) {
        out.push_back(g[0]);
        out.push_back(g[1]);
        for (int k = 0; k < g[0] * g[1]; k++) {
            const unsigned char* p = g + 2 + k * bytes;
            if (bytes == 1)
                out.push_back(p[0]);
            else if (glyphpixeltransparent(g, k))
                out.push_back(glyphtransparent);
            else
                out.push_back(cubeindex(p));
        }
    }
    return writewholefile(path, out.data(), out.size()) ? 1 : 0;
}

// Every digit as wide as the widest.
void evendigits(font* f) {
    int w = 1;
    for (int c = '0'; c <= '9'; c++)
        if (f->glyphs[c][0] > w) w = f->glyphs[c][0];
    for (int c = '0'; c <= '9'; c++) reframeglyph(f, c, w, f->glyphs[c][1]);
}

// Centres the old image on a w × h canvas, cropping or padding with transparent pixels.
void reframeglyph(font* f, int code, int w, int h) {
    if (code < 0 || code >= glyphcount) return;
    w = w < 0 ? 0 : w > 255 ? 255 : w;
    h = h < 0 ? 0 : h > 255 ? 255 : h;
    const unsigned char* old = f->glyphs[code];
    int ow = old[0], oh = old[1], bytes = glyphbytes();
    unsigned char* g = newglyph(w, h);
    for (int y = 0; y < h; y++) {
        int sy = y + oh / 2 - h / 2;
        if (sy < 0 || sy >= oh) continue;
        for (int x = 0; x < w; x++) {
            int sx = x + ow / 2 - w / 2;
            if (sx < 0 || sx >= ow) continue;
            std::memcpy(g + 2 + (y * w + x) * bytes, old + 2 + (sy * ow + sx) * bytes, bytes);
        }
    }
    replaceglyph(f, code, g);
}

// List record and storage, and per font its record, name and glyph blocks.
long fontmemory() {
    long total = static_cast<long>(sizeof(dynarray));
    if (!fontlist.data) return total;
    total += static_cast<long>(fontlist.capacity) * fontlist.elemsize;
    int bytes = screen.bytesperpixel > 1 ? screen.bytesperpixel : 1;
    for (int i = 0; i < fontcount(); i++) {
        const font* f = fonttable[i];
        total += static_cast<long>(sizeof(font)) + static_cast<long>(std::strlen(f->name));
        for (const unsigned char* g : f->glyphs) total += 2 + static_cast<long>(g[0]) * g[1] * bytes;
    }
    return total;
}
