// Text styles: style strings, the closeness score, and derived fonts cached in the font list.
#include "text/styles.h"

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "text/glyphgen.h"
#include "util/helpers.h"
#include "util/random.h"

namespace {

constexpr double pi = 3.14159265358979323846;

bool samekey(const std::string& key, const char* name) { return samefontname(key.c_str(), name); }

// Stores a new scale only when it is a usable factor.
void setscale(float& field, double value) {
    float v = static_cast<float>(value);
    if (v > 0.0f && std::isfinite(v)) field = v;
}

void setfinite(float& field, double value) {
    float v = static_cast<float>(value);
    if (std::isfinite(v)) field = v;
}

// Applies one "key" or "key=value" segment to the style.
void applysegment(textstyle& st, const std::string& segment) {
    size_t eq = segment.find('=');
    std::string key = segment.substr(0, eq);
    bool hasvalue = eq != std::string::npos;
    std::string valuetext = hasvalue ? segment.substr(eq + 1) : std::string();
    double value = std::strtod(valuetext.c_str(), nullptr);
    bool px = valuetext.find("px") != std::string::npos;
    bool percent = valuetext.find('%') != std::string::npos;
    bool degrees = valuetext.find('\xB0') != std::string::npos;
    if (percent) value /= 100;
    const font* base = fontbyid(st.base);
    double m = base ? base->maxheight : 0;  // the height metric of the base
    double w = base ? base->maxwidth : 0;

    if (samekey(key, "normal")) {
        uint32_t keep = st.base;
        st = defaultstyle;
        st.base = keep;
    } else if (samekey(key, "scale") || samekey(key, "size")) {
        if (!hasvalue) return;
        if (px) {
            setscale(st.widthscale, value / m);
            setscale(st.heightscale, value / m);
        } else if (value > 0) {
            setscale(st.widthscale, st.widthscale * value);
            setscale(st.heightscale, st.heightscale * value);
        }
    } else if (samekey(key, "big")) {
        setscale(st.widthscale, st.widthscale * 1.5);
        setscale(st.heightscale, st.heightscale * 1.5);
    } else if (samekey(key, "small")) {
        setscale(st.widthscale, st.widthscale / 1.5);
        setscale(st.heightscale, st.heightscale / 1.5);
    } else if (samekey(key, "width")) {
        if (hasvalue) setscale(st.widthscale, px ? value / m : st.widthscale * value);
    } else if (samekey(key, "height")) {
        if (hasvalue) setscale(st.heightscale, px ? value / m : st.heightscale * value);
    } else if (samekey(key, "boldness")) {
        if (hasvalue) setfinite(st.boldness, px ? st.boldness + value / w : st.boldness + value);
    } else if (samekey(key, "demibold")) {
        setfinite(st.boldness, st.boldness + 0.03);
    } else if (samekey(key, "bold")) {
        setfinite(st.boldness, st.boldness + 0.05);
        setscale(st.widthscale, st.widthscale * 1.1);
    } else if (samekey(key, "black")) {
        setfinite(st.boldness, st.boldness + 0.08);
        setscale(st.widthscale, st.widthscale * 1.2);
    } else if (samekey(key, "skew") || samekey(key, "angle")) {
        if (!hasvalue) return;
        if (px)
            setfinite(st.skew, st.skew + value / m);
        else if (degrees)
            setfinite(st.skew, std::tan(value * pi / 180));
        else
            setfinite(st.skew, st.skew + value);
    } else if (samekey(key, "italic")) {
        setfinite(st.skew, st.skew + 0.4);
    }
}

// Appends "name:key=%g" to a derived font's name.
void appendnamepart(std::string& name, const char* key, float value) {
    char part[64];
    std::snprintf(part, sizeof part, ":%s=%g", key, static_cast<double>(value));
    name += part;
}

}  // namespace

// Font name first, then the keyword segments in order.
textstyle parsestyle(const char* string) {
    if (!string) string = "";
    textstyle st = defaultstyle;
    const char* colon = std::strchr(string, ':');
    std::string first(string, colon ? static_cast<size_t>(colon - string) : std::strlen(string));
    const font* named = nullptr;
    for (int i = 0; i < fontcount() && !named; i++)
        if (samefontname(fonttable[i]->name, first.c_str())) named = fonttable[i];
    if (named) {
        st = named->style;
    } else if (currentfont) {
        st.base = currentfont->style.base;
    } else if (fontcount() > 0) {
        st.base = fonttable[randint(fontcount())]->style.base;
    } else {
        st.base = placeholderfont(string)->id;
    }
    while (colon) {
        const char* start = colon + 1;
        colon = std::strchr(start, ':');
        std::string segment(start, colon ? static_cast<size_t>(colon - start) : std::strlen(start));
        applysegment(st, segment);
    }
    return st;
}

// 1 minus the costs: a scale ratio of 1.05 or half a pixel, 0.02 boldness, 0.05 skew. The
// terms are single precision, so a difference of exactly one step costs exactly one point.
float stylescore(const textstyle& a, const textstyle& b) {
    if (a.base != b.base) return -1000.0f;
    const font* base = fontbyid(a.base);
    float w = base ? base->maxwidth : 0, h = base ? base->maxheight : 0;
    const float step = std::log(1.05f);
    float widthterm = std::fmin(std::fabs(std::log(a.widthscale / b.widthscale)) / step,
                                std::fabs(w * a.widthscale - w * b.widthscale) / 0.5f);
    float heightterm = std::fmin(std::fabs(std::log(a.heightscale / b.heightscale)) / step,
                                 std::fabs(h * a.heightscale - h * b.heightscale) / 0.5f);
    float sizeterm = 0.5f * (widthterm + heightterm);
    float boldterm = std::fabs(a.boldness - b.boldness) / 0.02f;
    float skewterm = std::fabs(a.skew - b.skew) / 0.05f;
    return 1.0f - (boldterm + sizeterm + skewterm);
}

// Best existing font, else a copy of the base distorted by the generator.
font* derivefont(const textstyle& request) {
    font* best = nullptr;
    float bestscore = 0.0f;
    font* donor = fontbyid(request.base);
    float donorscore = -1e20f;
    for (int i = fontcount() - 1; i >= 0; i--) {
        font* f = fonttable[i];
        float s = stylescore(request, f->style);
        if (s > bestscore) {
            best = f;
            bestscore = s;
        }
        if (s > donorscore && f->style.glyphsdone == glyphcount) {
            donor = f;
            donorscore = s;
        }
    }
    if (best) return best;
    font* base = donor ? fontbyid(donor->style.base) : nullptr;
    if (!base) return currentfont;  // the base is gone: nothing to derive from
    font* made = copyfont(base);
    made->style = request;
    made->style.glyphsdone = 0;
    made->style.stage = 0;
    std::string name = base->name ? base->name : "";
    if (request.widthscale != 1) appendnamepart(name, "width", request.widthscale);
    if (request.heightscale != 1) appendnamepart(name, "height", request.heightscale);
    if (request.boldness != 0) appendnamepart(name, "boldness", request.boldness);
    if (request.skew != 0) appendnamepart(name, "skew", request.skew);
    renamefont(made, name.c_str());
    generateglyphs();
    return made;
}

void setstyle(const textstyle& request) {
    if (samestyle(request, currentstyle)) return;
    font* f = derivefont(request);
    if (!f) return;
    selectfont(f);
    currentstyle = request;
}

font* fontforstyle(const char* string) { return derivefont(parsestyle(string)); }

void setfont(const char* string) {
    if (currentfont && samefontname(currentfont->name, string)) return;
    setstyle(parsestyle(string));
}

void aliasfont(const char* string, const char* name) {
    font* f = fontforstyle(string);
    if (f) renamefont(f, name);
}

font* bakefont(const char* string, const char* name) {
    font* styled = fontforstyle(string);
    if (!styled) return nullptr;
    font* c = copyfont(styled);
    renamefont(c, name);
    c->style.base = c->id;
    c->style.widthscale = 1;
    c->style.heightscale = 1;
    c->style.skew = 0;
    c->style.boldness = 0;
    return c;
}

void deletestylefont(const char* string) { deletefont(fontforstyle(string)); }

void deletestylefamily(const char* string) { deletefontfamily(fontforstyle(string)); }

int hasfont(const char* string) {
    if (!string) return 0;
    const char* colon = std::strchr(string, ':');
    std::string first(string, colon ? static_cast<size_t>(colon - string) : std::strlen(string));
    for (int i = 0; i < fontcount(); i++)
        if (samefontname(fonttable[i]->name, first.c_str())) return 1;
    return 0;
}
