// Surfaces and presentation: the display object, the primary, the locked drawing banks, the present.
#pragma once

#include "platform/platform.h"

// Open the display for a depth in bytes per pixel (1: 8-bit palettised): display object,
// cooperative level, mode, palette and primary surface.
void directxsetup(int depth);
// Set the display mode for the depth, trying 24 then 32 bits for true colour; refusals are warnings.
void pickdisplaymode(pfdisplay* dd, int width, int height, int depth);
// Create and lock shad.
void makebank();
// Create and lock shad and back.
void makebanks();
// directxsetup for bytesperpixel, then makebanks or makebank by twobanks.
void ddstart();
// The per-frame present: blit shad whole onto the primary and relock it.
void showshad();
// Present shad, then copy back over shad.
void cclb();
// Copy back onto shad / shad onto back.
void backtoshad();
void shadtoback();
// Exchange the roles of shad and back.
void swapbanks();
// Lock the primary for direct drawing; 1 when locked, 0 when the lock failed.
int lockfront();
// End the direct drawing on the primary.
void unlockfront();
// Exchange the roles of shad and the (locked) primary.
void swapfront();
// Unlock shad and hand out a device context for it.
pfresult getshaddc(pfdc** dc);
// Give the device context back and relock shad.
void releaseshaddc(pfdc** dc);
// Restore a surface that was lost.
void ddunlosesurface(pfsurface* surface);
// Forget every display object and surface pointer (after they were released).
void forgetdisplayobjects();
