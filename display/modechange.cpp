// Display mode change: a new size and depth without closing the display.
#include "display/modechange.h"

#include <cstring>

#include "display/errorlog.h"
#include "display/palette.h"
#include "display/screen.h"
#include "display/surfaces.h"

// The remaining reference count after a release is reported like an error unless it is 0.
static void releasesurface(const char* context, pfsurface*& surface) {
    ddcheck(context, pfsurfacerelease(surface));
    surface = nullptr;
}

int changemode(int width, int height, int depth) {
    screenrecord& s = screen;
    if (drawinglayer.modechanging) drawinglayer.modechanging();
    const int olddepth = s.bytesperpixel;
    if (width == s.width && height == s.height) return modeunchanged;

    if (s.primary) releasesurface("changemode - releasing primary surface", s.primary);
    if (s.shad) {
        ddcheck("changemode - unlocking shad", pfsurfaceunlock(s.shad, nullptr));
        releasesurface("changemode - releasing shad", s.shad);
        s.shadpixels = nullptr;
    }
    const bool hadback = s.back != nullptr;
    if (hadback) {
        ddcheck("changemode - unlocking back", pfsurfaceunlock(s.back, nullptr));
        releasesurface("changemode - releasing back", s.back);
        s.backpixels = nullptr;
    }

    // The requested mode, then the other true-colour depth, then the mode from before.
    int result = modeunchanged;
    if (pfdisplaysetmode(s.dd, width, height, depth * 8) == 0) {
        s.width = width, s.height = height, s.bytesperpixel = depth;
        result = modeset;
    } else if (depth == 3 && pfdisplaysetmode(s.dd, width, height, 32) == 0) {
        s.width = width, s.height = height, s.bytesperpixel = 4;
        result = modeset32for24;
    } else if (depth == 4 && pfdisplaysetmode(s.dd, width, height, 24) == 0) {
        s.width = width, s.height = height, s.bytesperpixel = 3;
        result = modeset24for32;
    } else if (pfdisplaysetmode(s.dd, s.width, s.height, s.bytesperpixel * 8) == 0) {
        result = modeprevious;
    }
    s.clipleft = s.cliptop = 0;

    std::memset(&s.primarydesc, 0, sizeof s.primarydesc);
    s.primarydesc.flags = PF_SD_CAPS;
    s.primarydesc.caps = PF_CAPS_PRIMARYSURFACE;
    ddcheck("changemode - creating primary surface (again)",
            pfdisplaycreatesurface(s.dd, &s.primarydesc, &s.primary, nullptr));

    if (s.bytesperpixel == 1) {
        if (olddepth == 1 && s.ddpalette) {
            ddcheck("changemode,8bit - restoring old palette entries",
                    pfpalettesetentries(s.ddpalette, 0, 0, 256, s.palette));
        } else {
            standardpalette(1.0f, 0);
            // A display opened in true colour has no palette object yet.
            if (!s.ddpalette)
                ddcheck("changemode,8bit - creating palette",
                        pfdisplaycreatepalette(s.dd, PF_PCAPS_8BIT | PF_PCAPS_ALLOW256, s.palette,
                                               &s.ddpalette, nullptr));
        }
        ddcheck("changemode,8bit - setting palette", pfsurfacesetpalette(s.primary, s.ddpalette));
    }

    if (hadback)
        makebanks();
    else
        makebank();

    // Drawing goes on in the new depth: white, the drawing routines follow it.
    s.defaultcolour = s.bytesperpixel == 1 ? 15 : 0xFFFFFF;
    if (drawinglayer.modechanged) drawinglayer.modechanged();
    return result;
}
