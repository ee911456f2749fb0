// The demo's main routine: start-up in its fixed order, then the frame loop until the user quits.
#include "simulation/appmain.h"

#include "display/errorlog.h"
#include "display/graphics.h"
#include "display/screen.h"
#include "display/window.h"
#include "particles/decays.h"
#include "raster/lines.h"
#include "raster/pixels.h"
#include "simulation/backgroundstep.h"
#include "simulation/beam.h"
#include "text/fontstore.h"
#include "text/textdraw.h"
#include "tracking/frame.h"
#include "util/datafile.h"

#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

const char* const demotitle = "Dynamic aperture for exponential VOX-FFAG magnet [Varnholt 2009]";

namespace {

constexpr double visibleheight = 0.4;                    // m of transverse position over the screen height
constexpr double gridhalfextent = 0.1;                   // m
constexpr double gridspacing = 0.01;                     // m
constexpr double anglespan = 0.1;                        // rad over half the screen height
constexpr double diagonal = 0.707;                       // projection onto the diagonals
constexpr double nearfraction = 0.2, farfraction = 0.8;  // phase-space view centres, of W and H

constexpr int gridcolour = 1;
constexpr int crosssectioncolour = 15, horizontalcolour = 12, verticalcolour = 11;
constexpr int diagonalcolour = 73, antidiagonalcolour = 223;
constexpr int clearcolour = 0;
constexpr int textcolour = 15;

// Truncate a pixel coordinate toward zero; values beyond the int range (or not a number) give a
// coordinate that every clip test refuses, rather than an undefined conversion.
inline int pixelcoord(double v) {
    return (v > -2147483648.0 && v < 2147483647.0) ? static_cast<int>(v) : INT32_MIN;
}

constexpr int keyfast = 'F', keyaccelerate = 'A', keyquit = 'Q';

}  // namespace

beamview makebeamview(int width, int height) {
    beamview v;
    v.w = width;
    v.h = height;
    v.s = v.h / visibleheight;
    v.s2 = v.s / 2.0;
    v.sa = (0.5 * v.h) / anglespan;
    v.cx = width / 2;
    v.cy = height / 2;
    return v;
}

// Vertical then horizontal line for each i from -10 to 10; drawline clips.
void drawscalegrid(const beamview& v) {
    for (int i = -10; i <= 10; ++i) {
        const double across = gridspacing * i * v.s;
        drawline(static_cast<float>(v.cx + across), static_cast<float>(v.cy + gridhalfextent * v.s),
                 static_cast<float>(v.cx + across), static_cast<float>(v.cy - gridhalfextent * v.s),
                 gridcolour);
        drawline(static_cast<float>(v.cx - gridhalfextent * v.s), static_cast<float>(v.cy + across),
                 static_cast<float>(v.cx + gridhalfextent * v.s), static_cast<float>(v.cy + across),
                 gridcolour);
    }
}

namespace {

// Where a frame's particles are drawn: the view's scales and shad, taken once per frame.
struct plotcontext {
    beamview view;
    pixeltarget target;
};

// The five pixels of one particle that stays in the beam, each clipped as putpixel clips it; B is
// the depth of shad, 0 to write through the routine table.
template <int B>
void plotparticle(const particle& q, void* context) {
    const plotcontext& c = *static_cast<const plotcontext*>(context);
    const beamview& v = c.view;
    auto put = [&c](int x, int y, int colour) {
        if constexpr (B == 0)
            pixelroutines.putpixel(x, y, colour);
        else
            c.target.put<B>(x, y, colour);
    };
    put(pixelcoord(v.cx + v.s * q.x), pixelcoord(v.cy - v.s * q.y), crosssectioncolour);
    put(pixelcoord(nearfraction * v.w + v.s2 * q.x), pixelcoord(farfraction * v.h - v.sa * q.xp),
        horizontalcolour);
    put(pixelcoord(farfraction * v.w + v.s2 * q.y), pixelcoord(farfraction * v.h - v.sa * q.yp),
        verticalcolour);
    put(pixelcoord(nearfraction * v.w + v.s2 * diagonal * (q.x + q.y)),
        pixelcoord(nearfraction * v.h - v.sa * diagonal * (q.xp + q.yp)), diagonalcolour);
    put(pixelcoord(farfraction * v.w + v.s2 * diagonal * (q.x - q.y)),
        pixelcoord(nearfraction * v.h - v.sa * diagonal * (q.xp - q.yp)), antidiagonalcolour);
}

// The plotter for the current depth of shad.
void (*plotterfor(const pixeltarget& t))(const particle&, void*) {
    switch (t.bpp) {
        case 1: return plotparticle<1>;
        case 3: return plotparticle<3>;
        case 4: return plotparticle<4>;
        default: return plotparticle<0>;
    }
}

// Plots particles in the order given, with the plotter for the current depth chosen once.
template <int B>
void plotallat(const particle* p, size_t n, plotcontext& context) {
    for (size_t i = 0; i < n; ++i) plotparticle<B>(p[i], &context);
}

void plotall(const particle* p, size_t n, const beamview& v) {
    plotcontext context{v, shadtarget()};
    switch (context.target.bpp) {
        case 1: plotallat<1>(p, n, context); break;
        case 3: plotallat<3>(p, n, context); break;
        case 4: plotallat<4>(p, n, context); break;
        default: plotallat<0>(p, n, context); break;
    }
}

// Keeps a copy of a particle that stays, in the order the cull meets them (room reserved).
void keepparticle(const particle& q, void* context) {
    static_cast<std::vector<particle>*>(context)->push_back(q);
}

// What this frame's keys ask of the stepping; a rising F toggles fast mode first.
frameactions frameactionsfromkeys(uint8_t* fast) {
    if (keydown(keys, keyfast) && !keydown(lastkeys, keyfast)) *fast = !*fast;
    return {*fast != 0, keydown(keys, keyaccelerate)};
}

}  // namespace

// The cull walks downward: a removal moves the last particle, already drawn, into the hole.
void plotandcull(dynarray* beam, const beamview& v) {
    plotcontext context{v, shadtarget()};
    framehooks hooks;
    hooks.plot = plotterfor(context.target);
    hooks.context = &context;
    cullbeam(beam, hooks);
}

void stepbeam(engine& e, dynarray* beam, double* distance, uint8_t* fast) {
    stepframe(e, beam, distance, frameactionsfromkeys(fast));
}

void stepbeam(dynarray* beam, double* distance, uint8_t* fast) {
    stepbeam(sharedengine(), beam, distance, fast);
}

engineoptions demoengineoptions() {
    engineoptions options;
    std::string error;
    if (!engineoptionsfromenvironment(&options, error)) {
        std::fprintf(stderr, "voxda: %s\n", error.c_str());
        std::exit(2);
    }
    return options;
}

// The three status lines at the top left, in the loaded font: distance, time at the fixed
// display speed, and the surviving share of the beam.
void drawstatustext(double distance, uint32_t count) {
    char text[100];
    const framestatus status = beamstatus(distance, count, beamsize);
    std::snprintf(text, sizeof text, "distance=%lgm\ntime=%lgms\nbeam=%lg%%", status.distance, status.timems,
                  status.percent);
    drawtext(0, 0, 0, text, textcolour);
}

// The stepping of frame n runs on its own thread from the end of the cull until the start of
// the cull of frame n + 1. Meanwhile this thread plots the particles from the copy the cull kept
// (in the order the cull met them), draws the status text from the state taken before the step,
// presents, clears and pumps: every picture is as if all were done in sequence.
bool demoframe(demostate& d, backgroundstep& stepper) {
    const beamview view = makebeamview(screen.width, screen.height);
    drawscalegrid(view);
    stepper.wait();
    if (d.shown.capacity() < d.beam.count) d.shown.reserve(d.beam.count);  // first frame only
    d.shown.clear();
    framehooks keep;
    keep.plot = keepparticle;
    keep.context = &d.shown;
    cullbeam(&d.beam, keep);
    const double distance = d.distance;
    const uint32_t count = d.beam.count;
    stepper.start(&d.beam, &d.distance, frameactionsfromkeys(&d.fast));
    plotall(d.shown.data(), d.shown.size(), view);
    drawstatustext(distance, count);
    showframe(clearcolour);
    const int closing = dealwithmessages();
    return closing != 0 || keydown(keys, keyquit) || keydown(keys, PFVK_ESCAPE);
}

int appmain(const char* commandline) {
    (void)commandline;  // the demo takes no options
    makedecaytables();  // first: the transport reads the proton's mass from it
    engine tracker(demoengineoptions());
    GRAPHICS(screen.instance, 0, 0, demotitle, 1, 0);
    // The working directory's font.dat, else the installed one; a missing file gives placeholder
    // glyphs and the demo runs on.
    loadfont(datafilepath("font.dat").c_str(), "normal");
    demostate state;
    makebeam(&state.beam);
    if (screen.width == 0)
        fatalerror("GRAPHICS() macro not called at LOOP start, or no resolution specified");
    dealwithmessages();  // fills keys before the first frame
    backgroundstep stepper(tracker);
    while (!demoframe(state, stepper)) {
    }
    stepper.wait();
    return 0;  // nothing is freed: the process ends here
}
