// Display mode change: a new size and depth without closing the display.
#pragma once

// Results of changemode.
constexpr int modeunchanged = 0;   // same size asked for, or no mode could be set
constexpr int modeset = 1;         // the requested mode is set
constexpr int modeset32for24 = 2;  // depth 3 asked for, 32 bits per pixel set instead
constexpr int modeset24for32 = 3;  // depth 4 asked for, 24 bits per pixel set instead
constexpr int modeprevious = 4;    // the requested mode failed, the previous one is set again

// Switches the open display to width x height at depth bytes per pixel (depth x 8 bits):
// drops the surfaces, sets the mode with its fallbacks, and rebuilds the primary, the palette
// binding and the banks. Returns one of the results above.
int changemode(int width, int height, int depth);
