// voxda-da: dynamic-aperture scan of the FODO cell, on one machine or over MPI processes.
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <cmath>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "studies/checkpoint.h"
#include "studies/dascan.h"
#include "studies/optics.h"
#include "studies/savefile.h"
#include "studies/plots.h"
#include "studies/quantities.h"
#include "tools/clitool.h"
#include "util/helpers.h"
#ifdef VOXDA_HAVE_MPI
#include "studies/mpi/mpiscan.h"
#endif

namespace {

const char* const helptext =
    "usage: voxda-da [options] [-o PREFIX]\n"
    "\n"
    "Tracks a polar grid of initial conditions (or particles from a CSV file) through whole FODO\n"
    "cells from the demo's observation point, 2 m before an F magnet, and records after how many\n"
    "cells each leaves the aperture (x^2 + y^2 <= 0.25 m^2). Writes PREFIX.csv (one row per\n"
    "particle), PREFIX-da.csv (the dynamic aperture per angle, its minimum and mean over angles,\n"
    "after 1, 10, 100, ... and all cells) and the survival map PREFIX.png and PREFIX.svg.\n"
    "\n"
    "  --amplitude MIN:MAX:COUNT  grid amplitudes, lengths with units (default 1mm:150mm:150)\n"
    "  --angles FROM:TO:COUNT     grid angles in degrees from the x axis (default -90:90:19, the\n"
    "                             half plane x >= 0: the field is mirror-symmetric in x)\n"
    "  --particles FILE.csv       particles instead of the grid: header x,xp,y,yp and optionally\n"
    "                             energy (m, rad, MeV); taken as written\n"
    "  --energy E                 kinetic energy, eV units, plain number MeV (default 800)\n"
    "  --about orbit|axis         grid centre: the closed orbit at that energy (default) or the axis\n"
    "  --cells N                  whole cells to track (default 1000)\n"
    "  --math exact|vector        arithmetic of the tracking (default exact)\n"
    "  --accelerate FROM:TO       accelerate once per cell in cells FROM to TO, as the demo\n"
    "  --refine DISTANCE          bisect each angle's edge until the bounds are closer (a length)\n"
    "  --threads N                threads per process (default 0: every core)\n"
    "  -o, --output PREFIX        output name prefix (default da)\n"
    "  --checkpoint FILE          save finished results every 30 s and on Ctrl+C or SIGTERM; the same\n"
    "                             command run again resumes from FILE (removed when done)\n"
    "  --checkpoint-every SECONDS seconds between checkpoints (default 30)\n"
    "  --quiet                    no progress line\n"
    "  -h, --help                 show this text\n"
    "\n"
    "Under mpirun the particles are shared out over the processes; the files are the same.\n"
    "Exit status: 0 done, 1 a file could not be written, 2 bad input, 130/143 stopped by\n"
    "SIGINT/SIGTERM (with --checkpoint: results so far saved).\n";

int rank = 0;  // only rank 0 speaks and writes

[[noreturn]] void badinput(const std::string& message) {
    if (rank == 0) std::fprintf(stderr, "voxda-da: %s\n", message.c_str());
    std::exit(2);
}

// "A:B:N" split in three.
bool splitrange(const std::string& text, std::string parts[3]) {
    size_t a = text.find(':'), b = a == std::string::npos ? a : text.find(':', a + 1);
    if (b == std::string::npos || text.find(':', b + 1) != std::string::npos) return false;
    parts[0] = text.substr(0, a);
    parts[1] = text.substr(a + 1, b - a - 1);
    parts[2] = text.substr(b + 1);
    return true;
}

// A whole decimal number from low to high, or -1.
long long wholenumber(const std::string& text, long long low, long long high) {
    if (text.empty() || text.size() > 12) return -1;
    long long v = 0;
    for (char c : text) {
        if (c < '0' || c > '9') return -1;
        v = v * 10 + (c - '0');
    }
    return v >= low && v <= high ? v : -1;
}

scanrange amplituderange(const std::string& text) {
    std::string p[3];
    scanrange r;
    const std::string what =
        "--amplitude needs MIN:MAX:COUNT with lengths such as 1mm:150mm:150, not '" + text + "'";
    if (!splitrange(text, p) || !parselength(p[0], &r.from) || !parselength(p[1], &r.to)) badinput(what);
    r.count = wholenumber(p[2], 1, 100000000);
    if (r.count < 1 || r.from > r.to) badinput(what);
    return r;
}

scanrange anglerange(const std::string& text) {
    std::string p[3];
    scanrange r;
    const std::string what = "--angles needs FROM:TO:COUNT in degrees such as -90:90:19, not '" + text + "'";
    if (!splitrange(text, p)) badinput(what);
    for (int k = 0; k < 2; ++k) {
        char* end = nullptr;
        double v = std::strtod(p[k].c_str(), &end);
        if (p[k].empty() || *end != '\0' || !std::isfinite(v) || std::fabs(v) > 360) badinput(what);
        (k ? r.to : r.from) = v;
    }
    r.count = wholenumber(p[2], 1, 100000000);
    if (r.count < 1 || r.from > r.to) badinput(what);
    return r;
}

// Kinetic energy in MeV from "800", "800MeV" or "1.2GeV".
double energyof(const std::string& text) {
    double mev;
    if (!parseenergymev(text, &mev))
        badinput("--energy needs a kinetic energy above 0 such as 800 or 1.2GeV, not '" + text + "'");
    return mev;
}

std::atomic<bool> stoprequest{false};
std::atomic<int> stopsignal{0};
static_assert(std::atomic<bool>::is_always_lock_free, "the stop flag is set from a signal handler");

void onstopsignal(int signal) {
    stopsignal.store(signal);
    stoprequest.store(true);
}

// A progress line, rewritten in place.
struct progressline {
    bool show = false;
    std::chrono::steady_clock::time_point start = std::chrono::steady_clock::now();
    int64_t earliercells = 0, lastbatchrows = -1, lastbatchdone = 0, lastcells = 0;

    void update(const scanprogress& p) {
        if (p.batchrows != lastbatchrows || p.batchdone < lastbatchdone) {
            earliercells += lastcells;  // a new batch began
            lastbatchrows = p.batchrows;
        }
        lastbatchdone = p.batchdone;
        lastcells = p.particlecells;
        if (!show) return;
        double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
        double rate = seconds > 0 ? static_cast<double>(earliercells + p.particlecells) / seconds : 0;
        double perrow = p.batchdone > 0 ? seconds / static_cast<double>(p.batchdone) : 0;
        double left = perrow * static_cast<double>(p.batchrows - p.batchdone);
        std::fprintf(stderr,
                     "\rvoxda-da: %lld of %lld particles, %.3g particle-cells/s, about %.0f s left   ",
                     static_cast<long long>(p.done), static_cast<long long>(p.rows), rate, left);
        std::fflush(stderr);
    }
    void finish() {
        if (show) std::fprintf(stderr, "\r%79s\r", "");
    }
};

void writeorfail(const std::string& path, const std::string& bytes) {
    std::string error;
    if (!savefile(path, bytes, &error)) {
        std::fprintf(stderr, "voxda-da: %s\n", error.c_str());
        std::exit(1);
    }
}

}  // namespace

int main(int argc, char** argv) {
    // Under mpirun only the first process reports bad input.
    if (const char* r = std::getenv("OMPI_COMM_WORLD_RANK")) rank = std::atoi(r);

    std::string amplitudetext = "1mm:150mm:150", angletext = "-90:90:19", particlefile, energytext = "800",
                about = "orbit", cellstext = "1000", mathtext = "exact", acceleratetext, refinetext,
                threadstext = "0", prefix = "da", checkpointfile, everytext = "30";
    bool quiet = false;
    CLI::App app("voxda-da", "voxda-da");
    app.add_option("--amplitude", amplitudetext);
    app.add_option("--angles", angletext);
    app.add_option("--particles", particlefile);
    app.add_option("--energy", energytext);
    app.add_option("--about", about);
    app.add_option("--cells", cellstext);
    app.add_option("--math", mathtext);
    app.add_option("--accelerate", acceleratetext);
    app.add_option("--refine", refinetext);
    app.add_option("--threads", threadstext);
    app.add_option("-o,--output", prefix);
    app.add_option("--checkpoint", checkpointfile);
    app.add_option("--checkpoint-every", everytext);
    app.add_flag("--quiet", quiet);
    parsecommandline(app, argc, argv, helptext, [](const std::string& m) { badinput(m + " (try --help)"); });

    dasettings settings;
    const double energy = energyof(energytext);
    long long cells = wholenumber(cellstext, 0, 1000000000);
    if (cells < 0) badinput("--cells needs a whole number of cells, not '" + cellstext + "'");
    settings.tracking.cells = cells;
    if (!parsemathmode(mathtext.c_str(), &settings.tracking.math))
        badinput("--math needs exact or vector, not '" + mathtext + "'");
    if (!acceleratetext.empty()) {
        size_t colon = acceleratetext.find(':');
        long long from = wholenumber(acceleratetext.substr(0, colon), 0, 1000000000);
        long long to =
            colon == std::string::npos ? -1 : wholenumber(acceleratetext.substr(colon + 1), 0, 1000000000);
        if (from < 0 || to < 0 || from > to)
            badinput("--accelerate needs a cell range FROM:TO with FROM <= TO, not '" + acceleratetext + "'");
        settings.tracking.accelerate = true;
        settings.tracking.from = from;
        settings.tracking.to = to;
    }
    if (!refinetext.empty() && (!parselength(refinetext, &settings.refine) || !(settings.refine > 0)))
        badinput("--refine needs a length above 0 such as 0.1mm, not '" + refinetext + "'");
    long long threads = wholenumber(threadstext, 0, 4096);
    if (threads < 0) badinput("--threads needs a whole number (0: every core), not '" + threadstext + "'");
    settings.tracking.threads = static_cast<int>(threads);
    if (about != "orbit" && about != "axis") badinput("--about needs orbit or axis, not '" + about + "'");
    if (prefix.empty()) badinput("--output needs a file name prefix");
    char* everyend = nullptr;
    double every = std::strtod(everytext.c_str(), &everyend);
    if (everytext.empty() || *everyend != '\0' || !(every >= 0) || !std::isfinite(every))
        badinput("--checkpoint-every needs a number of seconds, not '" + everytext + "'");
    bool gridgiven = app.count("--amplitude") + app.count("--angles") > 0;
    if (!particlefile.empty() && gridgiven)
        badinput("--particles and a grid (--amplitude, --angles) exclude each other");

    // The centre of the scan: the closed orbit at the energy, or the axis.
    particle centre{0, 0, 0, 0, energy};
    bool haveorbit = false;
    if (about == "orbit") {
        haveorbit = closedorbitfrom800(energy, settings.tracking.math, &centre);
        if (!haveorbit)
            badinput("no closed orbit inside the aperture at " + std::to_string(energy) +
                     " MeV; use --about axis");
    }
    settings.centre = centre;

    datable table;
    if (particlefile.empty()) {
        table = polargrid(amplituderange(amplitudetext), anglerange(angletext), centre);
    } else {
        int length = 0;
        unsigned char* bytes = readwholefile(particlefile.c_str(), &length);
        if (!bytes && length == 0 && access(particlefile.c_str(), R_OK) != 0)
            badinput(particlefile + ": cannot read: " + std::strerror(errno));
        std::string text(reinterpret_cast<const char*>(bytes), bytes ? static_cast<size_t>(length) : 0);
        std::free(bytes);
        std::string error;
        if (!readparticlecsv(text, energy, centre, &table, &error)) badinput(particlefile + ": " + error);
    }

    const std::string parameters = scanparameters(table, settings);
    datable resume;
    bool resuming = false;
    if (!checkpointfile.empty() && access(checkpointfile.c_str(), F_OK) == 0) {
        int length = 0;
        unsigned char* bytes = readwholefile(checkpointfile.c_str(), &length);
        std::string text(reinterpret_cast<const char*>(bytes), bytes ? static_cast<size_t>(length) : 0);
        std::free(bytes);
        bool other = false;
        std::string error;
        if (!readcheckpoint(text, parameters, &resume, &other, &error))
            badinput(checkpointfile + ": " + error +
                     (other ? "; remove it or choose another --checkpoint file" : ""));
        resuming = true;
    }

#ifdef VOXDA_HAVE_MPI
    mpiplace place = mpibegin(&argc, &argv);
    rank = place.rank;
#endif
    if (!checkpointfile.empty()) {
        std::signal(SIGINT, onstopsignal);
        std::signal(SIGTERM, onstopsignal);
    }
    cellcontrol control;
    control.stop = &stoprequest;
    progressline progress;
    progress.show = !quiet && rank == 0 && isatty(2);
    auto lastsave = std::chrono::steady_clock::now();
    scanwatch watch = [&](const scanprogress& p, const std::function<datable()>& snapshot) {
        progress.update(p);
        if (checkpointfile.empty() || rank != 0) return;
        auto now = std::chrono::steady_clock::now();
        if (std::chrono::duration<double>(now - lastsave).count() < every) return;
        writeorfail(checkpointfile, checkpointtext(snapshot(), parameters));
        lastsave = now;
    };
#ifdef VOXDA_HAVE_MPI
    batchtracker track =
        place.size > 1 ? mpitracker(settings, control, watch, place) : localtracker(settings, control, watch);
#else
    batchtracker track = localtracker(settings, control, watch);
#endif
    bool finished = runscan(&table, settings, track, resuming ? &resume : nullptr);
    progress.finish();

    int status = 0;
    if (!finished) {
        if (rank == 0) {
            writeorfail(checkpointfile, checkpointtext(table, parameters));
            int64_t done = 0;
            for (int64_t l : table.lost) done += l != pending;
            std::fprintf(
                stderr,
                "voxda-da: stopped; %lld of %zu particles saved in %s; run the same command again to "
                "resume\n",
                static_cast<long long>(done), table.size(), checkpointfile.c_str());
        }
        status = 128 + stopsignal.load();
    } else if (rank == 0) {
        writeorfail(prefix + ".csv", tablecsv(table));
        writeorfail(prefix + "-da.csv", aperturecsv(table, cells));
        survivalinfo info;
        info.energy = energy;
        info.cells = cells;
        info.math = mathmodename(settings.tracking.math);
        info.haveorbit = haveorbit;
        info.orbit = centre;
        plotfiles pictures = survivalmap(table, info);
        writeorfail(prefix + ".png", pictures.png);
        writeorfail(prefix + ".svg", pictures.svg);
        if (!checkpointfile.empty()) std::remove(checkpointfile.c_str());
    }
#ifdef VOXDA_HAVE_MPI
    mpiend();
#endif
    return status;
}
