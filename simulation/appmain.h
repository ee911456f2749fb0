// The demo's main routine: start-up in its fixed order, then the frame loop until the user quits.
#pragma once

#include "tracking/engine.h"
#include "util/dynarray.h"

#include <cstdint>
#include <vector>

// The window title of the demo.
extern const char* const demotitle;

// Screen scales of one frame, from the current display size.
struct beamview {
    double w, h;    // display size, pixels
    double s;       // pixels per metre of the cross-section (0.4 m over the height)
    double s2;      // pixels per metre in the four phase-space views
    double sa;      // pixels per radian of angle (0.1 rad over half the height)
    double cx, cy;  // screen centre, from integer halves
};
beamview makebeamview(int width, int height);

// The 21 x 21 scale grid of 1 cm squares about the centre, in colour 1.
void drawscalegrid(const beamview& view);
// Plot every particle in the five views, removing those outside the aperture; last to first.
void plotandcull(dynarray* beam, const beamview& view);
// Toggle fast mode on a rising F, advance the beam, and accelerate it while A is held.
void stepbeam(engine& e, dynarray* beam, double* distance, uint8_t* fast);
void stepbeam(dynarray* beam, double* distance, uint8_t* fast);  // on the shared engine

// The engine settings of the demo from VOXDA_MATH, VOXDA_THREADS and VOXDA_SIMD; a bad value
// prints one line on standard error and ends the program with status 2.
engineoptions demoengineoptions();

// The status text at the top left: distance (m), time (ms) and the beam's surviving percentage.
void drawstatustext(double distance, uint32_t count);

// The demo's state between frames: the beam, the distance travelled (m) and fast mode.
struct demostate {
    dynarray beam{};
    double distance = startdistance;
    uint8_t fast = 0;
    std::vector<particle> shown;  // the frame's particles as plotted, while the beam moves on
};

class backgroundstep;
// One frame of the demo: grid, plot and cull, status text, stepping (on the stepper's thread,
// finished by the next frame), present and clear, pump. True when the user asks to quit.
bool demoframe(demostate& d, backgroundstep& stepper);

// The main routine. The command line is accepted and ignored. Returns 0 when the user quits.
int appmain(const char* commandline);
