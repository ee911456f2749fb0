// Pictures of the studies, drawn with cairo as PNG and SVG bytes.
#pragma once

#include <string>
#include <vector>

#include "studies/dascan.h"
#include "studies/optics.h"

constexpr int plotwidth = 900, plotheight = 700;  // pixels (PNG) or points (SVG)

// A finished picture in both formats.
struct plotfiles {
    std::string png, svg;
};

// What the survival map shows besides the table.
struct survivalinfo {
    double energy = 800;  // MeV
    int64_t cells = 0;
    std::string math;  // "exact" or "vector"
    bool haveorbit = false;
    particle orbit{};  // marked when haveorbit
};

// Initial x and y in mm coloured by cells survived (log scale), survivors in one colour, the
// aperture's lower bound after the last cell as a line, the closed orbit marked.
plotfiles survivalmap(const datable& table, const survivalinfo& info);
// Tunes (top) and closed orbit x and y (bottom) against energy.
plotfiles opticsplot(const std::vector<opticsrow>& rows, const std::string& math);
