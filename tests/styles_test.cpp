// Tests of text styles: style strings, derived-font names, the closeness score, selection.
#include "text/styles.h"

#include <cmath>

#include "tests/textfixture.h"
#include "util/helpers.h"

using namespace textfixture;

namespace {

class StylesTest : public display {
  protected:
    // "normal": every glyph 8 × 12 (maxwidth 8, maxheight 12) with a white bar.
    font* loadnormal() {
        record bar = solid(8, 12, 255);
        for (int y = 0; y < 12; y++) bar.pixels[y * 8 + 3] = 15;
        std::vector<uint8_t> bytes = filebytes(fontrecords(bar));
        return makefont(bytes.data(), static_cast<int>(bytes.size()), "normal");
    }
};

}  // namespace

TEST_F(StylesTest, StyleStringsNamesAndReuse) {
    opendisplay(1);
    font* normal = loadnormal();
    struct stylecase {
        const char* string;
        float widthscale, heightscale, boldness, skew;
        const char* name;  // of the font that serves it
    };
    const float tan10 = static_cast<float>(std::tan(10 * 3.14159265358979323846 / 180));
    const stylecase cases[] = {
        {"normal", 1, 1, 0, 0, "normal"},
        {"normal:bold", 1.1f, 1, 0.05f, 0, "normal:width=1.1:boldness=0.05"},
        {"normal:small", static_cast<float>(1 / 1.5), static_cast<float>(1 / 1.5), 0, 0,
         "normal:width=0.666667:height=0.666667"},
        {"NORMAL:Small:BIG", 1, 1, 0, 0, "normal"},
        {"normal:size=24px", 2, 2, 0, 0, "normal:width=2:height=2"},
        {"normal:width=50%", 0.5f, 1, 0, 0, "normal:width=0.5"},
        {"normal:height=6px:width=1.5", 1.5f, 0.5f, 0, 0, "normal:width=1.5:height=0.5"},
        {"normal:italic:angle=10\xB0", 1, 1, 0, tan10, "normal:skew=0.176327"},
        {"normal:italic:skew=0.1", 1, 1, 0, static_cast<float>(0.4f + 0.1), "normal:skew=0.5"},
        {"normal:bold:normal", 1, 1, 0, 0, "normal"},
        {"normal:black:boldness=-2px", 1.2f, 1, static_cast<float>(0.08f - 2.0 / 8), 0,
         "normal:width=1.2:boldness=-0.17"},
        {"normal:demibold:unknown=3:width", 1, 1, 0.03f, 0, "normal:boldness=0.03"},
        {"normal:width=0:height=-2:scale=0", 1, 1, 0, 0, "normal"},  // refused scales
    };
    for (const stylecase& c : cases) {
        textstyle st = parsestyle(c.string);
        EXPECT_EQ(st.base, normal->id) << c.string;
        EXPECT_EQ(st.widthscale, c.widthscale) << c.string;
        EXPECT_EQ(st.heightscale, c.heightscale) << c.string;
        EXPECT_EQ(st.boldness, c.boldness) << c.string;
        EXPECT_EQ(st.skew, c.skew) << c.string;
        font* f = fontforstyle(c.string);
        ASSERT_NE(f, nullptr) << c.string;
        EXPECT_STREQ(f->name, c.name) << c.string;
        EXPECT_EQ(f->style.glyphsdone, 512) << c.string;
        int count = fontcount();
        EXPECT_EQ(fontforstyle(c.string), f) << "asked again: " << c.string;
        EXPECT_EQ(fontcount(), count) << c.string;
    }
}

TEST_F(StylesTest, ClosenessScore) {
    opendisplay(1);
    font* normal = loadnormal();
    textstyle plain = normal->style;
    auto with = [&](float ws, float bold, float skew) {
        textstyle s = plain;
        s.widthscale = ws;
        s.boldness = bold;
        s.skew = skew;
        return s;
    };
    // Width 1.04 against 1 with W = 8: min(ln 1.04 / ln 1.05, 8 × 0.04 / 0.5), halved.
    double widthterm = std::fmin(std::log(1.04) / std::log(1.05), std::fabs(8 * 1.04 - 8) / 0.5);
    EXPECT_NEAR(stylescore(with(1.04f, 0, 0), plain), 1 - 0.5 * widthterm, 1e-5);
    EXPECT_NEAR(stylescore(with(1.04f, 0, 0), plain), 0.68f, 1e-5);
    // One whole step of boldness costs exactly one point: not usable.
    EXPECT_EQ(stylescore(with(1, 0.02f, 0), plain), 0.0f);
    EXPECT_EQ(stylescore(with(1, 0, 0.1f), plain), -1.0f);
    EXPECT_EQ(stylescore(plain, plain), 1.0f);
    textstyle elsewhere = plain;
    elsewhere.base = plain.base + 1000;
    EXPECT_EQ(stylescore(elsewhere, plain), -1000.0f);

    // The close request is served by "normal"; the bolder one gets a font of its own.
    EXPECT_EQ(derivefont(with(1.04f, 0, 0)), normal);
    font* bolder = derivefont(with(1, 0.02f, 0));
    EXPECT_NE(bolder, normal);
    EXPECT_STREQ(bolder->name, "normal:boldness=0.02");
}

TEST_F(StylesTest, SelectionAliasesAndBaking) {
    opendisplay(1);
    font* normal = loadnormal();
    setfont("normal:small");
    font* small = currentfont;
    EXPECT_STREQ(small->name, "normal:width=0.666667:height=0.666667");
    EXPECT_EQ(currentmaxheight, small->maxheight);
    EXPECT_LT(small->maxheight, 12);
    // The exact name of the current font is recognised without parsing.
    setfont("NORMAL:width=0.666667:height=0.666667");
    EXPECT_EQ(currentfont, small);
    int count = fontcount();
    setstyle(normal->style);
    EXPECT_EQ(currentfont, normal);
    EXPECT_EQ(fontcount(), count);

    aliasfont("normal:bold", "heavy");
    EXPECT_EQ(hasfont("Heavy:italic"), 1);
    EXPECT_EQ(hasfont("light"), 0);
    textstyle heavyitalic = parsestyle("heavy:italic");  // the alias carries its distortions
    EXPECT_EQ(heavyitalic.boldness, 0.05f);
    EXPECT_EQ(heavyitalic.widthscale, 1.1f);
    EXPECT_EQ(heavyitalic.skew, 0.4f);

    font* baked = bakefont("normal:small", "tiny");
    EXPECT_STREQ(baked->name, "tiny");
    EXPECT_EQ(baked->style.base, baked->id);
    EXPECT_EQ(baked->style.widthscale, 1.0f);
    EXPECT_EQ(baked->glyphs['A'][0], small->glyphs['A'][0]);
    textstyle tinybig = parsestyle("tiny:big");
    EXPECT_EQ(tinybig.base, baked->id);
    deletestylefamily("normal");  // normal and its derived fonts; tiny is its own family
    EXPECT_EQ(hasfont("normal"), 0);
    EXPECT_EQ(hasfont("heavy"), 0);
    EXPECT_EQ(hasfont("tiny"), 1);
    deletestylefont("tiny");
    EXPECT_EQ(fontcount(), 0);
}

TEST_F(StylesTest, UnknownNamesFallBack) {
    opendisplay(1);
    // No font at all: a placeholder named after the whole string becomes the base.
    textstyle st = parsestyle("mono:bold");
    ASSERT_EQ(fontcount(), 1);
    EXPECT_STREQ(fonttable[0]->name, "mono:bold");
    EXPECT_EQ(st.base, fonttable[0]->id);
    EXPECT_EQ(st.widthscale, 1.1f);
    // With a current font, an unknown name takes the current font's base.
    font* normal = loadnormal();
    selectfont(normal);
    EXPECT_EQ(parsestyle("serif:small").base, normal->id);
}
