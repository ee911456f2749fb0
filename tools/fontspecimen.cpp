// fontspecimen: draws every glyph of a font and sample lines in several styles into a BMP file.
//
// usage: fontspecimen [output.bmp [font-file]]
//   output.bmp  default specimen.bmp in the current directory
//   font-file   default font.dat, else assets/font.dat
//
// Runs on the in-memory display in 8-bit mode, as the demo draws; prints the path written.

#include <cstdio>
#include <cstring>
#include <filesystem>
#include <string>

#include "display/graphics.h"
#include "display/screen.h"
#include "platform/headless/headless.h"
#include "platform/platform.h"
#include "raster/export.h"
#include "raster/lines.h"
#include "text/fontstore.h"
#include "text/markup.h"
#include "text/styles.h"
#include "text/textdraw.h"
#include "tools/clitool.h"

namespace {

constexpr int specimenwidth = 1280, specimenheight = 800;
constexpr int white = 15, grey = 7, yellow = 14, cyan = 11, dim = 8;

// Draws glyph code at (x, y) through a glyph escape.
void drawglyphcode(int x, int y, int code, int colour) {
    const char text[4] = {2, static_cast<char>(code >> 8), static_cast<char>(code & 0xFF), 0};
    drawtext(x, y, 0, text, colour);
}

}  // namespace

int main(int argc, char** argv) {
    std::string output = "specimen.bmp", fontpath = "font.dat";
    CLI::App app("fontspecimen", "fontspecimen");
    app.add_option("output", output);
    app.add_option("font", fontpath);
    parsecommandline(app, argc, argv,
                     "usage: fontspecimen [output.bmp [font-file]]\n"
                     "Draws every glyph of the font and sample lines in several styles into a BMP file.\n"
                     "  output.bmp  default specimen.bmp in the current directory\n"
                     "  font-file   default font.dat, else assets/font.dat\n",
                     [](const std::string& message) {
                         std::fprintf(stderr, "fontspecimen: %s (try --help)\n", message.c_str());
                         std::exit(2);
                     });
    if (output.empty() || fontpath.empty()) {
        std::fprintf(stderr, "fontspecimen: a file name is empty\n");
        return 2;
    }
    if (!app.count("font") && !std::filesystem::exists(fontpath)) fontpath = "assets/font.dat";

    if (!pfstartup("headless")) return 1;
    pfheadlesssetdesktop(specimenwidth, specimenheight);
    GRAPHICS(nullptr, specimenwidth, specimenheight, "font specimen", 1, 0);
    if (screen.width == 0) {
        std::fprintf(stderr, "fontspecimen: cannot open the in-memory display\n");
        return 1;
    }
    if (!loadfont(fontpath.c_str(), "normal")) {
        std::fprintf(stderr, "fontspecimen: cannot read %s\n", fontpath.c_str());
        return 1;
    }
    const int line = currentmaxheight + 1;
    int y = 4;
    std::string title = "voxda font specimen: " + fontpath + ", line height " + std::to_string(line) +
                        " pixels, cell width " + std::to_string(currentcellwidth);
    drawtext(8, y, 0, title.c_str(), white);
    y += line + 6;

    // All 512 glyphs, 32 to a row, each row labelled with its first code.
    const int cell = currentmaxwidth + 6;
    const int gridleft = 48;
    for (int row = 0; row < 16; row++) {
        int rowy = y + row * (line + 2);
        drawtext(8, rowy, 0, std::to_string(row * 32).c_str(), dim);
        for (int col = 0; col < 32; col++) drawglyphcode(gridleft + col * cell, rowy, row * 32 + col, white);
    }
    for (int col = 0; col <= 32; col++) {
        float x = static_cast<float>(gridleft + col * cell - 3);
        drawline(x, static_cast<float>(y - 1), x, static_cast<float>(y + 16 * (line + 2) - 2), 1);
    }
    y += 16 * (line + 2) + 8;

    // The same sentence in several styles.
    const char* sample =
        "Sphinx of black quartz, judge my vow! 0123456789 \xC4\xD6\xDC \xE4\xF6\xFC \xDF \x80 \xB0 \x89 \xA9";
    const char* styles[] = {"normal",     "normal:bold",      "normal:italic",    "normal:small",
                            "normal:big", "normal:width=1.5", "normal:skew=-0.3", "normal:black:skew=0.2"};
    for (const char* style : styles) {
        setfont("normal");
        drawtext(8, y, 0, style, yellow);
        setfont(style);
        drawtext(220, y, 0, sample, white);
        y += currentmaxheight + 4;
    }
    setfont("normal");
    y += 6;

    // Markup: Greek names, scripts, a colour code and a tab code.
    char markedup[512] =
        "Markup: alpha + beta^{2n} = Omega_k,  e^{i pi} = -1,  pi^+ -> mu^+ nu_mu,  "
        "x_{i}^2,  #col=12#red#col=15# and #col=11#cyan#col=15#,#tab=760#tab to 760: sigma, Sigma, vartheta, "
        "varphi";
    hashmarkup(markedup, sizeof markedup);
    markup(markedup, sizeof markedup, 2);
    drawtext(8, y, 0, markedup, white);
    y += 2 * line;

    // Word wrap at a margin.
    const char* paragraph =
        "Word wrap: this paragraph is drawn with a wrap margin of 600 pixels, so every word that would end "
        "beyond it starts a new line at the left edge of the paragraph, and the spaces at the breaks are not "
        "drawn.";
    drawtext(8, y, 600, paragraph, grey);

    if (!savescreenbmp(output.c_str())) {
        std::fprintf(stderr, "fontspecimen: cannot write %s\n", output.c_str());
        return 1;
    }
    std::printf("%s\n", output.c_str());
    return 0;
}
