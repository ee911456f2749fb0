// Surfaces and presentation: the display object, the primary, the locked drawing banks, the present.
#include "display/surfaces.h"

#include "display/errorlog.h"
#include "display/screen.h"
#include "platform/resultcodes.h"

#include <cstdio>
#include <utility>

namespace {

constexpr uint32_t cooperativelevel =
    PF_SCL_FULLSCREEN | PF_SCL_ALLOWREBOOT | PF_SCL_EXCLUSIVE | PF_SCL_ALLOWMODEX;  // 0x53
constexpr uint32_t palettecaps = PF_PCAPS_8BIT | PF_PCAPS_ALLOW256;                 // 0x44
static_assert(cooperativelevel == 0x53 && palettecaps == 0x44);

// The whole drawing surface as a blit rectangle.
pfrect fullrect() { return pfrect{0, 0, screen.width, screen.height}; }

// Lock a surface with its own description; the pointer and pitch are read from it afterwards.
pfresult locksurface(pfsurface* surface, pfsurfacedesc* desc) {
    return pfsurfacelock(surface, nullptr, desc, PF_LOCK_WAIT, nullptr);
}

void readshad() {
    screen.shadpixels = static_cast<uint8_t*>(screen.shaddesc.surface);
    screen.shadpitch = screen.shaddesc.pitch;
}

void readback() {
    screen.backpixels = static_cast<uint8_t*>(screen.backdesc.surface);
    screen.backpitch = screen.backdesc.pitch;
}

// A bank always takes the display's format. When the display refused the depth asked for, that
// format can differ from bytesperpixel, and the routines would then step past the ends of its
// rows; drawing follows the surface's own depth instead, and a depth with no routines is fatal.
void matchdrawingdepth(const pfsurfacedesc& desc, const char* context) {
    const int surfacebytes = static_cast<int>(desc.format.bitcount / 8);
    if (surfacebytes == screen.bytesperpixel) return;
    if (surfacebytes == 1 || surfacebytes == 3 || surfacebytes == 4) {
        screen.bytesperpixel = surfacebytes;  // the refusal itself was already logged
        return;
    }
    char message[200];
    std::snprintf(message, sizeof message, "%s - no drawing routines for the display's %d-bit format",
                  context, static_cast<int>(desc.format.bitcount));
    fatalerror(message);
}

// Fill a bank description: an off-screen system-memory surface of the display size.
void describebank(pfsurfacedesc* desc) {
    *desc = pfsurfacedesc{};
    desc->flags = PF_SD_CAPS | PF_SD_HEIGHT | PF_SD_WIDTH;
    desc->width = screen.width;
    desc->height = screen.height;
    desc->caps = PF_CAPS_OFFSCREENPLAIN | PF_CAPS_SYSTEMMEMORY;
}

// Relock shad after it was given away; a failed relock must not leave drawing aimed at
// memory the surface may no longer own, so a lost surface is restored and the lock retried.
void relockshad(const char* context) {
    pfresult result = locksurface(screen.shad, &screen.shaddesc);
    if (result != 0 && pfsurfaceislost(screen.shad) != 0) {
        pfsurfacerestore(screen.shad);
        result = locksurface(screen.shad, &screen.shaddesc);
    }
    ddcheck(context, result);
    readshad();
}

}  // namespace

// Open the display: object, cooperative level, mode (and 8-bit palette), primary surface.
void directxsetup(int depth) {
    if (!screen.dd)
        ddcheck("directxsetup - creating DirectDraw", pfdisplaycreate(nullptr, &screen.dd, nullptr));
    ddcheck("directxsetup - setting cooperative level",
            pfdisplaysetcooperativelevel(screen.dd, screen.window, cooperativelevel));
    pickdisplaymode(screen.dd, screen.width, screen.height, depth);
    screen.primarydesc = pfsurfacedesc{};
    screen.primarydesc.flags = PF_SD_CAPS;
    screen.primarydesc.caps = PF_CAPS_PRIMARYSURFACE;
    ddcheck("directxsetup - creating primary surface",
            pfdisplaycreatesurface(screen.dd, &screen.primarydesc, &screen.primary, nullptr));
    ddunlosesurface(screen.primary);
    // After a refused 8-bit mode there is no palette to apply, and the surfaces are not 8-bit.
    if (depth == 1 && screen.ddpalette)
        ddcheck("directxsetup,8bit - applying palette to surface",
                pfsurfacesetpalette(screen.primary, screen.ddpalette));
}

// Set the mode. 8-bit also makes the palette object from `palette`; true colour prefers 24 bits.
void pickdisplaymode(pfdisplay* dd, int width, int height, int depth) {
    if (depth == 1) {
        const pfresult mode = pfdisplaysetmode(dd, width, height, 8);
        if (mode != 0) {
            ddcheck("directxsetup,8bit - setting display mode", mode, ddseverity::warning);
            return;
        }
        const pfresult made =
            pfdisplaycreatepalette(dd, palettecaps, screen.palette, &screen.ddpalette, nullptr);
        if (made == 0)
            screen.bytesperpixel = 1;
        else
            ddcheck("directxsetup,8bit - creating palette", made, ddseverity::warning);
        return;
    }
    if (pfdisplaysetmode(dd, width, height, 24) == 0) {
        screen.bytesperpixel = 3;
        return;
    }
    const pfresult second = pfdisplaysetmode(dd, width, height, 32);
    if (second == 0)
        screen.bytesperpixel = 4;
    else
        ddcheck("directxsetup,24bit - setting display mode", second, ddseverity::warning);
}

// Create shad, give it the palette in 8-bit mode, and lock it for drawing.
void makebank() {
    describebank(&screen.shaddesc);
    ddcheck("makebank - creating shad",
            pfdisplaycreatesurface(screen.dd, &screen.shaddesc, &screen.shad, nullptr));
    if (screen.bytesperpixel == 1 && screen.ddpalette)
        ddcheck("makebank,8bit - setting palette on shad",
                pfsurfacesetpalette(screen.shad, screen.ddpalette));
    ddcheck("makebank - locking shad", locksurface(screen.shad, &screen.shaddesc));
    readshad();
    matchdrawingdepth(screen.shaddesc, "makebank");
}

// Create and lock shad and back, both alike.
void makebanks() {
    describebank(&screen.shaddesc);
    screen.backdesc = screen.shaddesc;
    ddcheck("makebanks - creating shad",
            pfdisplaycreatesurface(screen.dd, &screen.shaddesc, &screen.shad, nullptr));
    if (screen.bytesperpixel == 1 && screen.ddpalette)
        ddcheck("makebanks,8bit - setting palette on shad",
                pfsurfacesetpalette(screen.shad, screen.ddpalette));
    ddcheck("makebanks - locking shad", locksurface(screen.shad, &screen.shaddesc));
    readshad();
    ddcheck("makebanks - creating back",
            pfdisplaycreatesurface(screen.dd, &screen.backdesc, &screen.back, nullptr));
    if (screen.bytesperpixel == 1 && screen.ddpalette)
        ddcheck("makebanks,8bit - setting palette on back",
                pfsurfacesetpalette(screen.back, screen.ddpalette));
    ddcheck("makebanks - locking back", locksurface(screen.back, &screen.backdesc));
    readback();
    matchdrawingdepth(screen.shaddesc, "makebanks");
}

// Open the display in the current depth with one or two banks.
void ddstart() {
    directxsetup(screen.bytesperpixel);
    if (screen.twobanks)
        makebanks();
    else
        makebank();
}

// The present: unlock shad, blit it whole onto the primary, lock it again and re-read the
// pointer and pitch, which may change from lock to lock.
void showshad() {
    if (!screen.shad) return;  // suspended or closed: nothing to show
    pfsurfaceunlock(screen.shad, nullptr);
    const pfrect rect = fullrect();
    if (pfsurfacebltfast(screen.primary, 0, 0, screen.shad, &rect, PF_BLTFAST_WAIT) == PFERR_SURFACELOST) {
        // A lost screen would otherwise stay frozen: restore whichever was lost and show again.
        ddunlosesurface(screen.primary);
        ddunlosesurface(screen.shad);
        pfsurfacebltfast(screen.primary, 0, 0, screen.shad, &rect, PF_BLTFAST_WAIT);
    }
    relockshad("showshad - locking shad");
}

// Present shad, then start the next frame from the background held in back.
void cclb() {
    if (!screen.back) return;  // only with two banks
    ddcheck("cclb - unlocking shad", pfsurfaceunlock(screen.shad, nullptr));
    ddcheck("cclb - unlocking back", pfsurfaceunlock(screen.back, nullptr));
    ddunlosesurface(screen.primary);
    const pfrect rect = fullrect();
    ddcheck("cclb - blitting shad",
            pfsurfacebltfast(screen.primary, 0, 0, screen.shad, &rect, PF_BLTFAST_WAIT));
    ddcheck("cclb - blitting back", pfsurfacebltfast(screen.shad, 0, 0, screen.back, &rect, PF_BLTFAST_WAIT));
    ddcheck("cclb - locking shad", locksurface(screen.shad, &screen.shaddesc));
    readshad();
    ddcheck("cclb - locking back", locksurface(screen.back, &screen.backdesc));
    readback();
}

namespace {

// Copy one bank onto the other with both unlocked, then relock both.
void copybank(pfsurface* dest, pfsurface* source, const char* shadcontext, const char* backcontext) {
    pfsurfaceunlock(screen.shad, nullptr);
    pfsurfaceunlock(screen.back, nullptr);
    const pfrect rect = fullrect();
    pfsurfacebltfast(dest, 0, 0, source, &rect, PF_BLTFAST_WAIT);
    relockshad(shadcontext);
    pfresult result = locksurface(screen.back, &screen.backdesc);
    if (result != 0 && pfsurfaceislost(screen.back) != 0) {
        pfsurfacerestore(screen.back);
        result = locksurface(screen.back, &screen.backdesc);
    }
    ddcheck(backcontext, result);
    readback();
}

}  // namespace

// Copy back onto shad.
void backtoshad() {
    if (screen.back)
        copybank(screen.shad, screen.back, "backtoshad - locking shad", "backtoshad - locking back");
}

// Copy shad onto back.
void shadtoback() {
    if (screen.back)
        copybank(screen.back, screen.shad, "shadtoback - locking shad", "shadtoback - locking back");
}

// Exchange shad and back; both stay locked.
void swapbanks() {
    if (!screen.back) return;
    std::swap(screen.shaddesc, screen.backdesc);
    std::swap(screen.shad, screen.back);
    std::swap(screen.shadpixels, screen.backpixels);
    std::swap(screen.shadpitch, screen.backpitch);
}

// Lock the primary so that the front routines can draw on the screen itself.
int lockfront() {
    screen.savedbytesperpixel = screen.bytesperpixel;
    if (locksurface(screen.primary, &screen.primarydesc) != 0) return 0;
    screen.frontpixels = static_cast<uint8_t*>(screen.primarydesc.surface);
    screen.frontpitch = screen.primarydesc.pitch;
    return 1;
}

// Unlock the primary (which shows it) and give back a depth changed meanwhile.
void unlockfront() {
    pfsurfaceunlock(screen.primary, nullptr);
    if (screen.bytesperpixel != screen.savedbytesperpixel) {
        screen.bytesperpixel = screen.savedbytesperpixel;
        if (drawinglayer.select) drawinglayer.select();
    }
}

// Exchange shad and the locked primary, so that drawing goes straight onto the screen.
void swapfront() {
    if (!screen.frontpixels) return;  // the primary is not locked
    std::swap(screen.shaddesc, screen.primarydesc);
    std::swap(screen.shad, screen.primary);
    std::swap(screen.shadpixels, screen.frontpixels);
    std::swap(screen.shadpitch, screen.frontpitch);
}

// Hand shad to another drawer: unlock it and give out a device context.
pfresult getshaddc(pfdc** dc) {
    pfsurfaceunlock(screen.shad, nullptr);
    return pfsurfacegetdc(screen.shad, dc);
}

// Take shad back from the other drawer and relock it.
void releaseshaddc(pfdc** dc) {
    pfsurfacereleasedc(screen.shad, dc ? *dc : nullptr);
    relockshad("releaseshaddc - locking shad");
}

// Restore a lost surface; a failed restore is fatal.
void ddunlosesurface(pfsurface* surface) {
    if (pfsurfaceislost(surface) != 0) ddcheck("ddunlosesurface", pfsurfacerestore(surface));
}

// After a release the handles are stale; clear them so that a later set-up creates afresh.
void forgetdisplayobjects() {
    screen.dd = nullptr;
    screen.primary = screen.shad = screen.back = nullptr;
    screen.ddpalette = nullptr;
    screen.shadpixels = screen.backpixels = screen.frontpixels = nullptr;
    screen.shadpitch = screen.backpitch = screen.frontpitch = 0;
}
