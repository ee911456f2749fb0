// Pictures of the studies, drawn with cairo as PNG and SVG bytes.
#include "studies/plots.h"

#include <cairo-svg.h>
#include <cairo.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <functional>
#include <limits>

namespace {

constexpr double pi = 3.141592653589793;
const char* const fontface = "DejaVu Sans";

struct rgb {
    double r, g, b;
};

// Late losses are bright, early ones dark; survivors are red, outside the ramp.
const rgb ramp[] = {{0.267, 0.005, 0.329},
                    {0.231, 0.322, 0.545},
                    {0.129, 0.569, 0.549},
                    {0.369, 0.788, 0.384},
                    {0.992, 0.906, 0.145}};
const rgb survivorcolour = {0.85, 0.1, 0.1};

rgb rampat(double t) {
    t = std::clamp(t, 0.0, 1.0) * 4;
    int i = std::min(3, static_cast<int>(t));
    double f = t - i;
    return {ramp[i].r + (ramp[i + 1].r - ramp[i].r) * f, ramp[i].g + (ramp[i + 1].g - ramp[i].g) * f,
            ramp[i].b + (ramp[i + 1].b - ramp[i].b) * f};
}

cairo_status_t appendbytes(void* closure, const unsigned char* data, unsigned int length) {
    static_cast<std::string*>(closure)->append(reinterpret_cast<const char*>(data), length);
    return CAIRO_STATUS_SUCCESS;
}

// Draws the same picture onto a PNG and an SVG surface.
plotfiles drawboth(const std::function<void(cairo_t*)>& draw) {
    plotfiles files;
    cairo_surface_t* image = cairo_image_surface_create(CAIRO_FORMAT_RGB24, plotwidth, plotheight);
    cairo_t* cr = cairo_create(image);
    draw(cr);
    cairo_destroy(cr);
    cairo_surface_write_to_png_stream(image, appendbytes, &files.png);
    cairo_surface_destroy(image);
    cairo_surface_t* svg =
        cairo_svg_surface_create_for_stream(appendbytes, &files.svg, plotwidth, plotheight);
    cr = cairo_create(svg);
    draw(cr);
    cairo_destroy(cr);
    cairo_surface_finish(svg);
    cairo_surface_destroy(svg);
    return files;
}

// A tick step of 1, 2 or 5 times a power of ten giving about `wanted` intervals.
double tickstep(double span, int wanted) {
    double raw = span / wanted;
    double power = std::pow(10.0, std::floor(std::log10(raw)));
    double f = raw / power;
    return (f < 1.5 ? 1 : f < 3.5 ? 2 : f < 7.5 ? 5 : 10) * power;
}

std::string number(double v) {
    char buffer[32];
    std::snprintf(buffer, sizeof buffer, "%g", std::fabs(v) < 1e-12 ? 0.0 : v);
    return buffer;
}

void text(cairo_t* cr, double x, double y, const std::string& s, double size, double alignx, double aligny,
          bool bold = false) {
    cairo_select_font_face(cr, fontface, CAIRO_FONT_SLANT_NORMAL,
                           bold ? CAIRO_FONT_WEIGHT_BOLD : CAIRO_FONT_WEIGHT_NORMAL);
    cairo_set_font_size(cr, size);
    cairo_text_extents_t e;
    cairo_text_extents(cr, s.c_str(), &e);
    cairo_move_to(cr, x - e.x_advance * alignx, y + e.height * aligny);
    cairo_show_text(cr, s.c_str());
}

void verticaltext(cairo_t* cr, double x, double y, const std::string& s, double size) {
    cairo_save(cr);
    cairo_translate(cr, x, y);
    cairo_rotate(cr, -pi / 2);
    text(cr, 0, 0, s, size, 0.5, 0);
    cairo_restore(cr);
}

// A plot frame mapping data ranges to a pixel box.
struct frame {
    double left, top, width, height;  // pixels
    double x0, x1, y0, y1;            // data
    double px(double x) const { return left + (x - x0) / (x1 - x0) * width; }
    double py(double y) const { return top + height - (y - y0) / (y1 - y0) * height; }
};

// Box, ticks with labels and axis titles.
void axes(cairo_t* cr, const frame& f, const std::string& xtitle, const std::string& ytitle) {
    cairo_set_source_rgb(cr, 0, 0, 0);
    cairo_set_line_width(cr, 1);
    cairo_rectangle(cr, f.left, f.top, f.width, f.height);
    cairo_stroke(cr);
    double sx = tickstep(f.x1 - f.x0, 8), sy = tickstep(f.y1 - f.y0, 6);
    for (double t = std::ceil(f.x0 / sx) * sx; t <= f.x1 + sx * 1e-9; t += sx) {
        double x = f.px(t);
        cairo_move_to(cr, x, f.top + f.height);
        cairo_line_to(cr, x, f.top + f.height - 6);
        cairo_stroke(cr);
        text(cr, x, f.top + f.height + 8, number(t), 12, 0.5, 1);
    }
    for (double t = std::ceil(f.y0 / sy) * sy; t <= f.y1 + sy * 1e-9; t += sy) {
        double y = f.py(t);
        cairo_move_to(cr, f.left, y);
        cairo_line_to(cr, f.left + 6, y);
        cairo_stroke(cr);
        text(cr, f.left - 6, y, number(t), 12, 1, 0.5);
    }
    text(cr, f.left + f.width / 2, f.top + f.height + 38, xtitle, 14, 0.5, 0);
    verticaltext(cr, f.left - 48, f.top + f.height / 2, ytitle, 14);
}

void background(cairo_t* cr) {
    cairo_set_source_rgb(cr, 1, 1, 1);
    cairo_paint(cr);
}

}  // namespace

plotfiles survivalmap(const datable& table, const survivalinfo& info) {
    // Data range in mm over the finite points and the orbit, the same scale on both axes.
    double xmin = 0, xmax = 0, ymin = 0, ymax = 0;
    bool any = false;
    auto include = [&](double x, double y) {
        if (!std::isfinite(x) || !std::isfinite(y)) return;
        if (!any) {
            xmin = xmax = x;
            ymin = ymax = y;
            any = true;
        }
        xmin = std::min(xmin, x);
        xmax = std::max(xmax, x);
        ymin = std::min(ymin, y);
        ymax = std::max(ymax, y);
    };
    for (const particle& p : table.initial) include(p.x * 1000, p.y * 1000);
    if (info.haveorbit) include(info.orbit.x * 1000, info.orbit.y * 1000);
    if (xmax - xmin < 1e-9) xmin -= 1, xmax += 1;
    if (ymax - ymin < 1e-9) ymin -= 1, ymax += 1;
    const double padx = (xmax - xmin) * 0.05, pady = (ymax - ymin) * 0.05;
    xmin -= padx, xmax += padx, ymin -= pady, ymax += pady;
    const double boxleft = 80, boxtop = 60, boxwidth = 640, boxheight = 570;
    double scale = std::min(boxwidth / (xmax - xmin), boxheight / (ymax - ymin));  // pixels per mm
    double cx = (xmin + xmax) / 2, cy = (ymin + ymax) / 2;
    frame f{boxleft,
            boxtop,
            boxwidth,
            boxheight,
            cx - boxwidth / 2 / scale,
            cx + boxwidth / 2 / scale,
            cy - boxheight / 2 / scale,
            cy + boxheight / 2 / scale};
    const double cells = static_cast<double>(std::max<int64_t>(info.cells, 1));
    const double logtop = std::log10(cells);
    double radius =
        std::clamp(0.45 * std::sqrt(boxwidth * boxheight / std::max<double>(1, table.size())), 1.2, 6.0);

    std::vector<daedge> edges = apertureedges(table, info.cells);
    const double ox = info.haveorbit ? info.orbit.x : 0, oy = info.haveorbit ? info.orbit.y : 0;
    return drawboth([&](cairo_t* cr) {
        background(cr);
        cairo_save(cr);
        cairo_rectangle(cr, f.left, f.top, f.width, f.height);
        cairo_clip(cr);
        for (size_t i = 0; i < table.size(); ++i) {
            const particle& p = table.initial[i];
            if (!std::isfinite(p.x) || !std::isfinite(p.y) || table.lost[i] == pending) continue;
            rgb c = table.lost[i] == survived
                        ? survivorcolour
                        : rampat(logtop > 0
                                     ? std::log10(std::max<double>(1, static_cast<double>(table.lost[i]))) /
                                           logtop
                                     : 0);
            cairo_set_source_rgb(cr, c.r, c.g, c.b);
            cairo_arc(cr, f.px(p.x * 1000), f.py(p.y * 1000), radius, 0, 2 * pi);
            cairo_fill(cr);
        }
        // The aperture's lower bound, one point per angle about the scan's centre.
        cairo_set_source_rgb(cr, 0, 0, 0);
        cairo_set_line_width(cr, 2);
        bool started = false;
        for (const daedge& e : edges) {
            double x = (ox + e.lower * std::cos(e.angle * pi / 180)) * 1000;
            double y = (oy + e.lower * std::sin(e.angle * pi / 180)) * 1000;
            if (!std::isfinite(x) || !std::isfinite(y)) continue;
            if (started)
                cairo_line_to(cr, f.px(x), f.py(y));
            else
                cairo_move_to(cr, f.px(x), f.py(y));
            started = true;
        }
        cairo_stroke(cr);
        if (info.haveorbit) {
            double x = f.px(info.orbit.x * 1000), y = f.py(info.orbit.y * 1000);
            cairo_set_line_width(cr, 2.5);
            cairo_move_to(cr, x - 9, y);
            cairo_line_to(cr, x + 9, y);
            cairo_move_to(cr, x, y - 9);
            cairo_line_to(cr, x, y + 9);
            cairo_stroke(cr);
            text(cr, x + 8, y + 6, "closed orbit", 12, 0, 1);
        }
        cairo_restore(cr);
        axes(cr, f, "initial x (mm)", "initial y (mm)");

        char title[160];
        std::snprintf(title, sizeof title, "Survival map at %g MeV: %lld cells, %s math", info.energy,
                      static_cast<long long>(info.cells), info.math.c_str());
        cairo_set_source_rgb(cr, 0, 0, 0);
        text(cr, plotwidth / 2.0, 34, title, 18, 0.5, 0, true);

        // Colour bar: cells survived by lost particles, log scale, then the survivors' swatch.
        const double barleft = 770, bartop = 90, barwidth = 24, barheight = 460;
        for (int k = 0; k < static_cast<int>(barheight); ++k) {
            rgb c = rampat(1 - (k + 0.5) / barheight);
            cairo_set_source_rgb(cr, c.r, c.g, c.b);
            cairo_rectangle(cr, barleft, bartop + k, barwidth, 1);
            cairo_fill(cr);
        }
        cairo_set_source_rgb(cr, 0, 0, 0);
        cairo_set_line_width(cr, 1);
        cairo_rectangle(cr, barleft, bartop, barwidth, barheight);
        cairo_stroke(cr);
        for (double decade = 1; decade <= cells * 1.0000001; decade *= 10) {
            double y = bartop + barheight - (logtop > 0 ? std::log10(decade) / logtop : 0) * barheight;
            cairo_move_to(cr, barleft + barwidth, y);
            cairo_line_to(cr, barleft + barwidth + 5, y);
            cairo_stroke(cr);
            text(cr, barleft + barwidth + 8, y, number(decade), 12, 0, 0.5);
        }
        verticaltext(cr, barleft - 10, bartop + barheight / 2, "cells survived before loss (log)", 13);
        cairo_set_source_rgb(cr, survivorcolour.r, survivorcolour.g, survivorcolour.b);
        cairo_rectangle(cr, barleft, bartop + barheight + 20, barwidth, 16);
        cairo_fill(cr);
        cairo_set_source_rgb(cr, 0, 0, 0);
        text(cr, barleft - 10, bartop + barheight + 50, "survived all", 12, 0, 0.5);
        text(cr, barleft - 10, bartop + barheight + 66, "black line: DA", 12, 0, 0.5);
    });
}

plotfiles opticsplot(const std::vector<opticsrow>& rows, const std::string& math) {
    double e0 = std::numeric_limits<double>::infinity(), e1 = -e0, o0 = 0, o1 = 0;
    for (const opticsrow& r : rows) {
        e0 = std::min(e0, r.energy);
        e1 = std::max(e1, r.energy);
        if (!r.found) continue;
        for (double v : {r.orbit.x * 1000, r.orbit.y * 1000}) o0 = std::min(o0, v), o1 = std::max(o1, v);
    }
    if (!(e1 > e0)) e0 -= 1, e1 += 1;
    if (o1 - o0 < 1e-9) o0 -= 1, o1 += 1;
    double pe = (e1 - e0) * 0.03, po = (o1 - o0) * 0.08;
    frame tunes{90, 60, 760, 260, e0 - pe, e1 + pe, 0, 0.5};
    frame orbit{90, 390, 760, 240, e0 - pe, e1 + pe, o0 - po, o1 + po};
    auto curve = [&](cairo_t* cr, const frame& f, const std::function<bool(const opticsrow&, double*)>& value,
                     rgb c) {
        cairo_set_source_rgb(cr, c.r, c.g, c.b);
        cairo_set_line_width(cr, 2);
        bool drawing = false;
        for (const opticsrow& r : rows) {
            double v;
            if (!value(r, &v)) {
                drawing = false;
                continue;
            }
            if (drawing)
                cairo_line_to(cr, f.px(r.energy), f.py(v));
            else
                cairo_move_to(cr, f.px(r.energy), f.py(v));
            drawing = true;
        }
        cairo_stroke(cr);
        for (const opticsrow& r : rows) {
            double v;
            if (!value(r, &v)) continue;
            cairo_arc(cr, f.px(r.energy), f.py(v), 2.5, 0, 2 * pi);
            cairo_fill(cr);
        }
    };
    const rgb blue = {0.12, 0.35, 0.75}, orange = {0.9, 0.45, 0.05};
    return drawboth([&](cairo_t* cr) {
        background(cr);
        curve(
            cr, tunes, [](const opticsrow& r, double* v) { return r.stable && (*v = r.tune1, true); }, blue);
        curve(
            cr, tunes, [](const opticsrow& r, double* v) { return r.stable && (*v = r.tune2, true); },
            orange);
        curve(
            cr, orbit, [](const opticsrow& r, double* v) { return r.found && (*v = r.orbit.x * 1000, true); },
            blue);
        curve(
            cr, orbit, [](const opticsrow& r, double* v) { return r.found && (*v = r.orbit.y * 1000, true); },
            orange);
        // Energies without a stable orbit, shaded in the tune panel.
        for (size_t i = 0; i < rows.size(); ++i) {
            if (rows[i].stable) continue;
            double a = tunes.px(i > 0 ? (rows[i - 1].energy + rows[i].energy) / 2 : rows[i].energy - pe);
            double b = tunes.px(i + 1 < rows.size() ? (rows[i].energy + rows[i + 1].energy) / 2
                                                    : rows[i].energy + pe);
            cairo_set_source_rgba(cr, 0.5, 0.5, 0.5, 0.3);
            cairo_rectangle(cr, std::min(a, b), tunes.top, std::fabs(b - a), tunes.height);
            cairo_fill(cr);
        }
        axes(cr, tunes, "kinetic energy (MeV)", "tune per cell");
        axes(cr, orbit, "kinetic energy (MeV)", "closed orbit (mm)");
        cairo_set_source_rgb(cr, 0, 0, 0);
        text(cr, plotwidth / 2.0, 34, "Optics of the FODO cell against energy (" + math + " math)", 18, 0.5,
             0, true);
        auto legend = [&](double x, double y, rgb c, const char* label) {
            cairo_set_source_rgb(cr, c.r, c.g, c.b);
            cairo_rectangle(cr, x, y - 5, 18, 10);
            cairo_fill(cr);
            cairo_set_source_rgb(cr, 0, 0, 0);
            text(cr, x + 24, y, label, 12, 0, 0.5);
        };
        legend(600, 75, blue, "tune 1 (lower)");
        legend(600, 93, orange, "tune 2 (higher)");
        legend(110, 405, blue, "x");
        legend(110, 423, orange, "y");
        text(cr, 100, 80, "grey: no stable closed orbit", 12, 0, 0.5);
    });
}
