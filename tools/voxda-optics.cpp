// voxda-optics: closed orbit, one-cell transfer matrix and eigentunes of the FODO cell per energy.
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "studies/optics.h"
#include "studies/savefile.h"
#include "studies/plots.h"
#include "tools/clitool.h"
#include "studies/quantities.h"

namespace {

const char* const helptext =
    "usage: voxda-optics [--energy E | --energy FROM:TO:COUNT] [--math exact|vector] [-o PREFIX]\n"
    "\n"
    "For each kinetic energy: the closed orbit at the demo's observation point (2 m before an F\n"
    "magnet), found by Newton iteration on the one-cell map and continued from the previous energy;\n"
    "the one-cell 4x4 transfer matrix about it; its two eigentunes (fractional phase advance per\n"
    "cell, ascending, in 0 ... 0.5), its determinant and whether the motion is stable. One CSV row\n"
    "per energy on standard output:\n"
    "energy_mev,x_m,xp_rad,y_m,yp_rad,tune1,tune2,det,stable\n"
    "An energy without a closed orbit inside the aperture gives stable 0 and empty values; an\n"
    "unstable orbit has empty tunes.\n"
    "\n"
    "  --energy E | FROM:TO:COUNT  energies, eV units, plain numbers MeV (default 800)\n"
    "  --math exact|vector         arithmetic of the tracking (default exact)\n"
    "  -o, --output PREFIX         also draw tunes and orbit against energy to PREFIX.png, .svg\n"
    "  -h, --help                  show this text\n"
    "Exit status: 0 done, 1 a file could not be written, 2 bad input.\n";

[[noreturn]] void badinput(const std::string& message) {
    std::fprintf(stderr, "voxda-optics: %s\n", message.c_str());
    std::exit(2);
}

bool energyof(const std::string& text, double* mev) { return parseenergymev(text, mev); }

std::vector<double> energies(const std::string& text) {
    const std::string what =
        "--energy needs an energy above 0 or FROM:TO:COUNT (such as 800 or 400:1200:17), not '" + text + "'";
    std::vector<double> list;
    size_t a = text.find(':');
    if (a == std::string::npos) {
        double e;
        if (!energyof(text, &e)) badinput(what);
        list.push_back(e);
        return list;
    }
    size_t b = text.find(':', a + 1);
    if (b == std::string::npos) badinput(what);
    double from, to;
    std::string countext = text.substr(b + 1);
    if (!energyof(text.substr(0, a), &from) || !energyof(text.substr(a + 1, b - a - 1), &to)) badinput(what);
    if (countext.empty() || countext.size() > 7 ||
        countext.find_first_not_of("0123456789") != std::string::npos)
        badinput(what);
    long count = std::atol(countext.c_str());
    if (count < 1) badinput(what);
    for (long i = 0; i < count; ++i)
        list.push_back(
            count == 1 ? from : from + (to - from) * static_cast<double>(i) / static_cast<double>(count - 1));
    return list;
}

}  // namespace

int main(int argc, char** argv) {
    std::string energytext = "800", mathtext = "exact", prefix;
    CLI::App app("voxda-optics", "voxda-optics");
    app.add_option("--energy", energytext);
    app.add_option("--math", mathtext);
    app.add_option("-o,--output", prefix);
    parsecommandline(app, argc, argv, helptext, [](const std::string& m) { badinput(m + " (try --help)"); });
    std::vector<double> list = energies(energytext);
    mathmode math;
    if (!parsemathmode(mathtext.c_str(), &math))
        badinput("--math needs exact or vector, not '" + mathtext + "'");
    if (app.count("--output") && prefix.empty()) badinput("--output needs a file name prefix");

    std::vector<opticsrow> rows = opticsscan(list, math);
    std::string csv = opticscsv(rows);
    if (std::fwrite(csv.data(), 1, csv.size(), stdout) != csv.size() || std::fflush(stdout) != 0) {
        std::fprintf(stderr, "voxda-optics: cannot write the CSV to standard output\n");
        return 1;
    }
    if (!prefix.empty()) {
        plotfiles pictures = opticsplot(rows, mathmodename(math));
        std::string error;
        if (!savefile(prefix + ".png", pictures.png, &error) ||
            !savefile(prefix + ".svg", pictures.svg, &error)) {
            std::fprintf(stderr, "voxda-optics: %s\n", error.c_str());
            return 1;
        }
    }
    return 0;
}
