// displayobjects.cpp - the display object, surfaces in plain memory and 8-bit palette objects
#include <algorithm>
#include <cstring>
#include <deque>
#include <vector>

#include "platform/backend.h"
#include "platform/platform.h"
#include "platform/resultcodes.h"
#include "platform/script.h"

struct pfdisplay {
    bool alive;
    int refs;
    pfwindow* window;
    uint32_t cooperation;
    int width, height, bitsperpixel;  // mode in force; 0 until set
};

struct pfpalette {
    bool alive;
    int refs;
    pfdisplay* owner;
    pfpaletteentry entries[256];
};

struct pfsurface {
    bool alive;
    int refs;
    pfdisplay* owner;
    bool primary;
    bool locked;
    bool lost;
    bool dcout;
    int width, height, pitch;
    pfpixelformat format;
    uint32_t caps;
    std::vector<uint8_t> pixels;
    pfpalette* palette;
};

namespace {

// The live objects. A released object leaves its list and is freed; the last few dead
// ones are kept a while (memory of their own, so no new object takes their address at
// once) so that a handle used just after its release is still caught as stale.
std::vector<pfdisplay*> displays;
std::vector<pfsurface*> surfaces;
std::vector<pfpalette*> palettes;
constexpr size_t keptdead = 16;
std::deque<pfdisplay*> deaddisplays;
std::deque<pfsurface*> deadsurfaces;
std::deque<pfpalette*> deadpalettes;

// Marks an object dead, takes it off its list and frees the oldest dead one beyond keptdead.
template <class T>
void bury(std::vector<T*>& list, std::deque<T*>& dead, T* x) {
    x->alive = false;
    list.erase(std::remove(list.begin(), list.end(), x), list.end());
    dead.push_back(x);
    if (dead.size() > keptdead) {
        delete dead.front();
        dead.pop_front();
    }
}

template <class T>
void freeall(std::vector<T*>& list, std::deque<T*>& dead) {
    for (T* x : list) delete x;
    for (T* x : dead) delete x;
    list.clear();
    dead.clear();
}
pfdc surfacedc;
int presents = 0;
pfframe frame = {};  // the frame being shown; its pixels are the primary's own

bool live(pfdisplay* d) {
    for (pfdisplay* x : displays)
        if (x == d) return x->alive;
    return false;
}
bool live(pfsurface* s) {
    for (pfsurface* x : surfaces)
        if (x == s) return x->alive;
    return false;
}
bool live(pfpalette* p) {
    for (pfpalette* x : palettes)
        if (x == p) return x->alive;
    return false;
}

// The pixel format of a depth.
pfpixelformat formatfor(int bits) {
    pfpixelformat f = {};
    f.bitcount = static_cast<uint32_t>(bits);
    if (bits == 8) {
        f.flags = PF_PF_PALETTEINDEXED8;
    } else if (bits == 16) {
        f.flags = PF_PF_RGB;
        f.redmask = 0xF800, f.greenmask = 0x07E0, f.bluemask = 0x001F;
    } else {
        f.flags = PF_PF_RGB;
        f.redmask = 0xFF0000, f.greenmask = 0x00FF00, f.bluemask = 0x0000FF;
    }
    return f;
}

// Bytes per row: the row rounded up to 4 bytes, plus any padding a test asked for.
int pitchfor(int width, int bits) {
    int row = width * (bits / 8);
    return (row + 3) / 4 * 4 + pfextrapitch;
}

// The live primary surface, if any.
pfsurface* liveprimary() {
    for (pfsurface* s : surfaces)
        if (s->alive && s->primary) return s;
    return nullptr;
}

void releasepalette(pfpalette* p);

// Kills a surface: memory freed, palette reference dropped.
void killsurface(pfsurface* s) {
    s->locked = false;
    if (frame.pixels == s->pixels.data()) frame.pixels = nullptr;
    std::vector<uint8_t>().swap(s->pixels);
    if (s->palette) {
        pfpalette* p = s->palette;
        s->palette = nullptr;
        releasepalette(p);
    }
    bury(surfaces, deadsurfaces, s);
}

void releasepalette(pfpalette* p) {
    if (!live(p)) return;
    if (--p->refs <= 0) bury(palettes, deadpalettes, p);
}

// The palette an 8-bit frame is shown through: the primary's, else a grey ramp.
void fillframepalette(pfsurface* primary, pfpaletteentry* out) {
    if (primary->palette && primary->palette->alive) {
        std::memcpy(out, primary->palette->entries, 256 * sizeof(pfpaletteentry));
    } else {
        for (int i = 0; i < 256; ++i) out[i] = pfpaletteentry{uint8_t(i), uint8_t(i), uint8_t(i), 0};
    }
}

// Describes what the primary shows now.
void describe(pfsurface* primary) {
    frame.width = primary->width;
    frame.height = primary->height;
    frame.bitsperpixel = static_cast<int>(primary->format.bitcount);
    frame.pitch = primary->pitch;
    frame.pixels = primary->pixels.data();
    fillframepalette(primary, frame.palette);
}

// Puts the primary's pixels on the screen: one presented frame.
void present(pfsurface* primary) {
    frame.number = ++presents;
    describe(primary);
    pfscriptcapture(frame);
    pfcurrentbackend().present(frame, false);
}

// The screen shows the primary through a changed palette: repaint without a new frame.
void repaint(pfsurface* primary) {
    if (presents == 0 || primary->format.bitcount != 8) return;
    describe(primary);
    pfcurrentbackend().present(frame, true);
}

}  // namespace

int pfextrapitch = 0;

// Frees every display object.
void pfresetdisplayobjects() {
    freeall(surfaces, deadsurfaces);
    freeall(palettes, deadpalettes);
    freeall(displays, deaddisplays);
    presents = 0;
    pfextrapitch = 0;
    frame = pfframe{};
}

// Marks every live surface lost.
void pflosesurfaces() {
    for (pfsurface* s : surfaces)
        if (s->alive) s->lost = true, s->locked = false;
}

int pfpresentcount() { return presents; }

int pfheldobjects() {
    return static_cast<int>(displays.size() + surfaces.size() + palettes.size() + deaddisplays.size() +
                            deadsurfaces.size() + deadpalettes.size());
}

bool pfsurfaceislocked(pfsurface* surface) { return live(surface) && surface->locked; }
bool pfsurfacehasdc(pfsurface* surface) { return live(surface) && surface->dcout; }

// ---------------------------------------------------------------------------------------------
// Display object
// ---------------------------------------------------------------------------------------------

// Creates the one display object.
pfresult pfdisplaycreate(const void* guid, pfdisplay** display, void* outer) {
    pfcurrentbackend();
    if (pfresult r = pfinjectedfailure("pfdisplaycreate")) return r;
    if (!display || guid || outer) return PFERR_INVALIDPARAMS;
    for (pfdisplay* d : displays)
        if (d->alive) return PFERR_DIRECTDRAWALREADYCREATED;
    // The display starts in the desktop's mode (32 bits per pixel) until a mode is set.
    int width = 0, height = 0;
    pfcurrentbackend().desktopsize(&width, &height);
    pfdisplay* d = new pfdisplay{true, 1, nullptr, 0, width, height, width > 0 && height > 0 ? 32 : 0};
    displays.push_back(d);
    *display = d;
    return 0;
}

// Records how the display is shared.
pfresult pfdisplaysetcooperativelevel(pfdisplay* display, pfwindow* window, uint32_t flags) {
    if (pfresult r = pfinjectedfailure("pfdisplaysetcooperativelevel")) return r;
    if (!live(display)) return PFERR_INVALIDOBJECT;
    if ((flags & PF_SCL_EXCLUSIVE) && !window) return PFERR_INVALIDPARAMS;
    if ((flags & PF_SCL_EXCLUSIVE) && !(flags & PF_SCL_FULLSCREEN)) return PFERR_INVALIDPARAMS;
    display->window = window;
    display->cooperation = flags;
    return 0;
}

// Sets the display mode when the backend can show it.
pfresult pfdisplaysetmode(pfdisplay* display, int width, int height, int bitsperpixel) {
    const pfbackend& backend = pfcurrentbackend();
    if (pfresult r = pfinjectedfailure("pfdisplaysetmode")) return r;
    if (!live(display)) return PFERR_INVALIDOBJECT;
    if (!(display->cooperation & PF_SCL_EXCLUSIVE)) return PFERR_NOEXCLUSIVEMODE;
    if (width <= 0 || height <= 0 || width > 16384 || height > 16384) return PFERR_INVALIDMODE;
    if (bitsperpixel != 8 && bitsperpixel != 16 && bitsperpixel != 24 && bitsperpixel != 32)
        return PFERR_INVALIDMODE;
    if (!backend.acceptsdepth(bitsperpixel)) return PFERR_UNSUPPORTEDMODE;
    display->width = width;
    display->height = height;
    display->bitsperpixel = bitsperpixel;
    backend.setmode(width, height, bitsperpixel);
    return 0;
}

void pfdisplaygetmode(pfdisplay* display, int* width, int* height, int* bitsperpixel) {
    bool ok = live(display);
    if (width) *width = ok ? display->width : 0;
    if (height) *height = ok ? display->height : 0;
    if (bitsperpixel) *bitsperpixel = ok ? display->bitsperpixel : 0;
}

// Creates an 8-bit palette object.
pfresult pfdisplaycreatepalette(pfdisplay* display, uint32_t flags, const pfpaletteentry* entries,
                                pfpalette** palette, void* outer) {
    if (pfresult r = pfinjectedfailure("pfdisplaycreatepalette")) return r;
    if (!live(display)) return PFERR_INVALIDOBJECT;
    if (!entries || !palette || outer || !(flags & PF_PCAPS_8BIT)) return PFERR_INVALIDPARAMS;
    if (flags & ~(PF_PCAPS_8BIT | PF_PCAPS_ALLOW256)) return PFERR_INVALIDPARAMS;
    pfpalette* p = new pfpalette{true, 1, display, {}};
    std::memcpy(p->entries, entries, sizeof p->entries);
    palettes.push_back(p);
    *palette = p;
    return 0;
}

// Creates the primary or an off-screen surface in the display's format.
pfresult pfdisplaycreatesurface(pfdisplay* display, pfsurfacedesc* desc, pfsurface** surface, void* outer) {
    if (pfresult r = pfinjectedfailure("pfdisplaycreatesurface")) return r;
    if (!live(display)) return PFERR_INVALIDOBJECT;
    if (!desc || !surface || outer || !(desc->flags & PF_SD_CAPS)) return PFERR_INVALIDPARAMS;
    if (display->bitsperpixel == 0) return PFERR_INVALIDMODE;  // a desktop without a size
    int width, height;
    bool primary = (desc->caps & PF_CAPS_PRIMARYSURFACE) != 0;
    if (primary) {
        if (liveprimary()) return PFERR_PRIMARYSURFACEALREADYEXISTS;
        width = display->width;
        height = display->height;
    } else {
        if (!(desc->flags & PF_SD_WIDTH) || !(desc->flags & PF_SD_HEIGHT)) return PFERR_INVALIDPARAMS;
        width = desc->width;
        height = desc->height;
        if (width <= 0 || height <= 0 || width > 16384 || height > 16384) return PFERR_INVALIDPARAMS;
    }
    pfsurface* s = new pfsurface{};
    s->alive = true;
    s->refs = 1;
    s->owner = display;
    s->primary = primary;
    s->width = width;
    s->height = height;
    s->format = formatfor(display->bitsperpixel);
    s->pitch = pitchfor(width, display->bitsperpixel);
    s->caps = desc->caps;
    s->pixels.assign(static_cast<size_t>(s->pitch) * static_cast<size_t>(height), 0);
    surfaces.push_back(s);
    desc->format = s->format;
    *surface = s;
    return 0;
}

// Drops one reference; the last one takes every surface and palette of the display along.
uint32_t pfdisplayrelease(pfdisplay* display) {
    if (!live(display)) return 0;
    if (--display->refs > 0) return static_cast<uint32_t>(display->refs);
    std::vector<pfsurface*> itssurfaces;
    for (pfsurface* s : surfaces)
        if (s->owner == display) itssurfaces.push_back(s);
    for (pfsurface* s : itssurfaces) killsurface(s);
    std::vector<pfpalette*> itspalettes;
    for (pfpalette* p : palettes)
        if (p->owner == display) itspalettes.push_back(p);
    for (pfpalette* p : itspalettes) bury(palettes, deadpalettes, p);
    bury(displays, deaddisplays, display);
    pfcurrentbackend().setmode(0, 0, 0);
    return 0;
}

// ---------------------------------------------------------------------------------------------
// Surfaces
// ---------------------------------------------------------------------------------------------

// Locks the whole surface and reports where its pixels are.
pfresult pfsurfacelock(pfsurface* surface, const pfrect* rect, pfsurfacedesc* desc, uint32_t, void*) {
    if (pfresult r = pfinjectedfailure("pfsurfacelock")) return r;
    if (!live(surface)) return PFERR_INVALIDOBJECT;
    if (!desc) return PFERR_INVALIDPARAMS;
    if (rect) return PFERR_INVALIDRECT;
    if (surface->lost) return PFERR_SURFACELOST;
    if (surface->locked || surface->dcout) return PFERR_SURFACEBUSY;
    surface->locked = true;
    desc->flags |=
        PF_SD_WIDTH | PF_SD_HEIGHT | PF_SD_PITCH | PF_SD_LPSURFACE | PF_SD_PIXELFORMAT | PF_SD_CAPS;
    desc->width = surface->width;
    desc->height = surface->height;
    desc->pitch = surface->pitch;
    desc->surface = surface->pixels.data();
    desc->format = surface->format;
    desc->caps = surface->caps;
    return 0;
}

// Ends a lock; the primary shows what was drawn on it.
pfresult pfsurfaceunlock(pfsurface* surface, void*) {
    if (pfresult r = pfinjectedfailure("pfsurfaceunlock")) return r;
    if (!live(surface)) return PFERR_INVALIDOBJECT;
    if (!surface->locked) return PFERR_NOTLOCKED;
    surface->locked = false;
    if (surface->primary) present(surface);
    return 0;
}

// Copies a rectangle of source onto dest at x, y, clipped to dest.
pfresult pfsurfacebltfast(pfsurface* dest, int x, int y, pfsurface* source, const pfrect* rect, uint32_t) {
    if (pfresult r = pfinjectedfailure("pfsurfacebltfast")) return r;
    if (!live(dest) || !live(source)) return PFERR_INVALIDOBJECT;
    if (dest->lost || source->lost) return PFERR_SURFACELOST;
    if (dest->locked || source->locked || dest->dcout || source->dcout) return PFERR_SURFACEBUSY;
    if (dest->format.bitcount != source->format.bitcount) return PFERR_INVALIDPIXELFORMAT;
    pfrect r = rect ? *rect : pfrect{0, 0, source->width, source->height};
    if (r.left < 0 || r.top < 0 || r.right > source->width || r.bottom > source->height || r.left > r.right ||
        r.top > r.bottom)
        return PFERR_INVALIDRECT;
    int bytes = static_cast<int>(source->format.bitcount / 8);
    // Clip to the destination.
    int sx = r.left, sy = r.top, w = r.right - r.left, h = r.bottom - r.top;
    if (x < 0) sx -= x, w += x, x = 0;
    if (y < 0) sy -= y, h += y, y = 0;
    if (x + w > dest->width) w = dest->width - x;
    if (y + h > dest->height) h = dest->height - y;
    if (w > 0 && h > 0) {
        for (int row = 0; row < h; ++row) {
            const uint8_t* from =
                source->pixels.data() + static_cast<size_t>(sy + row) * source->pitch + sx * bytes;
            uint8_t* to = dest->pixels.data() + static_cast<size_t>(y + row) * dest->pitch + x * bytes;
            std::memmove(to, from, static_cast<size_t>(w) * bytes);
        }
    }
    if (dest->primary) present(dest);
    return 0;
}

pfresult pfsurfaceislost(pfsurface* surface) {
    if (pfresult r = pfinjectedfailure("pfsurfaceislost")) return r;
    if (!live(surface)) return PFERR_INVALIDOBJECT;
    return surface->lost ? PFERR_SURFACELOST : 0;
}

// Gives a lost surface fresh memory.
pfresult pfsurfacerestore(pfsurface* surface) {
    if (pfresult r = pfinjectedfailure("pfsurfacerestore")) return r;
    if (!live(surface)) return PFERR_INVALIDOBJECT;
    if (surface->lost) {
        std::fill(surface->pixels.begin(), surface->pixels.end(), uint8_t(0));
        surface->lost = false;
    }
    return 0;
}

// Attaches a palette to an 8-bit surface.
pfresult pfsurfacesetpalette(pfsurface* surface, pfpalette* palette) {
    if (pfresult r = pfinjectedfailure("pfsurfacesetpalette")) return r;
    if (!live(surface)) return PFERR_INVALIDOBJECT;
    if (palette && !live(palette)) return PFERR_INVALIDOBJECT;
    if (surface->format.bitcount != 8) return PFERR_NOTPALETTIZED;
    if (palette) ++palette->refs;
    pfpalette* old = surface->palette;
    surface->palette = palette;
    if (old) releasepalette(old);
    if (surface->primary) repaint(surface);
    return 0;
}

// Hands out the attached palette with one more reference.
pfresult pfsurfacegetpalette(pfsurface* surface, pfpalette** palette) {
    if (pfresult r = pfinjectedfailure("pfsurfacegetpalette")) return r;
    if (!live(surface)) return PFERR_INVALIDOBJECT;
    if (!palette) return PFERR_INVALIDPARAMS;
    if (!surface->palette || !surface->palette->alive) return PFERR_NOPALETTEATTACHED;
    ++surface->palette->refs;
    *palette = surface->palette;
    return 0;
}

pfresult pfsurfacegetdc(pfsurface* surface, pfdc** dc) {
    if (pfresult r = pfinjectedfailure("pfsurfacegetdc")) return r;
    if (!live(surface)) return PFERR_INVALIDOBJECT;
    if (!dc) return PFERR_INVALIDPARAMS;
    if (surface->lost) return PFERR_SURFACELOST;
    if (surface->dcout) return PFERR_DCALREADYCREATED;
    if (surface->locked) return PFERR_SURFACEBUSY;
    surface->dcout = true;
    surfacedc.window = nullptr;
    *dc = &surfacedc;
    return 0;
}

pfresult pfsurfacereleasedc(pfsurface* surface, pfdc* dc) {
    if (pfresult r = pfinjectedfailure("pfsurfacereleasedc")) return r;
    if (!live(surface)) return PFERR_INVALIDOBJECT;
    if (!surface->dcout || dc != &surfacedc) return PFERR_NODC;
    surface->dcout = false;
    return 0;
}

// Drops one reference; the last frees the memory.
uint32_t pfsurfacerelease(pfsurface* surface) {
    if (!live(surface)) return 0;
    if (--surface->refs > 0) return static_cast<uint32_t>(surface->refs);
    killsurface(surface);
    return 0;
}

// ---------------------------------------------------------------------------------------------
// Palettes
// ---------------------------------------------------------------------------------------------

pfresult pfpalettegetentries(pfpalette* palette, uint32_t flags, int start, int count,
                             pfpaletteentry* entries) {
    if (pfresult r = pfinjectedfailure("pfpalettegetentries")) return r;
    if (!live(palette)) return PFERR_INVALIDOBJECT;
    if (flags || !entries || start < 0 || count < 0 || start + count > 256) return PFERR_INVALIDPARAMS;
    std::memcpy(entries, palette->entries + start, static_cast<size_t>(count) * sizeof(pfpaletteentry));
    return 0;
}

// Writes entries; the screen follows at once when the palette is the primary's.
pfresult pfpalettesetentries(pfpalette* palette, uint32_t flags, int start, int count,
                             const pfpaletteentry* entries) {
    if (pfresult r = pfinjectedfailure("pfpalettesetentries")) return r;
    if (!live(palette)) return PFERR_INVALIDOBJECT;
    if (flags || !entries || start < 0 || count < 0 || start + count > 256) return PFERR_INVALIDPARAMS;
    std::memmove(palette->entries + start, entries, static_cast<size_t>(count) * sizeof(pfpaletteentry));
    pfsurface* primary = liveprimary();
    if (primary && primary->palette == palette) repaint(primary);
    return 0;
}

uint32_t pfpaletterelease(pfpalette* palette) {
    if (!live(palette)) return 0;
    releasepalette(palette);
    return palette->alive ? static_cast<uint32_t>(palette->refs) : 0;
}
