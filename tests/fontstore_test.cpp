// Tests of the font store: the font file, the font list, the current font, saving.
#include "text/fontstore.h"

#include "tests/testfiles.h"
#include "tests/textfixture.h"
#include "text/styles.h"
#include "text/textdraw.h"

using namespace textfixture;

namespace {

class FontstoreTest : public display {};

// Glyph code i as a (width, height, pixels) triple for comparisons.
std::vector<uint8_t> glyphbytesof(const font* f, int code) {
    const unsigned char* g = f->glyphs[code];
    return std::vector<uint8_t>(g, g + glyphblocksize(g));
}

}  // namespace

TEST_F(FontstoreTest, FileEdgeCases) {
    opendisplay(1);
    std::filesystem::path dir = freshtestdir("fontstore_edges");
    const record a{2, 1, {7, 255}}, empty{0, 3, {}}, b{1, 2, {15, 16}};
    std::vector<uint8_t> three = filebytes({a, empty, b});
    std::vector<uint8_t> shortlast = filebytes({a, b});
    shortlast.pop_back();  // the last record loses one pixel
    std::vector<record> full = fontrecords(solid(1, 1, 9), {{511, record{3, 1, {1, 2, 3}}}});
    std::vector<uint8_t> trailing = filebytes(full);
    trailing.insert(trailing.end(), 40, 0x63);

    struct filecase {
        const char* name;
        std::vector<uint8_t> bytes;  // written to the file; none at all when `missing`
        bool missing;
        int result;
        std::vector<std::pair<int, std::vector<uint8_t>>> glyphs;  // expected blocks
        int maxwidth, maxheight, cellwidth;
    };
    const std::vector<uint8_t> placeholder{1, 1, 1};
    const filecase cases[] = {
        {"missing", {}, true, 0, {{0, placeholder}, {511, placeholder}}, 1, 1, 2},
        {"empty", {}, false, 0, {{0, placeholder}, {511, placeholder}}, 1, 1, 2},
        {"three records",
         three,
         false,
         1,
         {{0, {2, 1, 7, 255}}, {1, {0, 3}}, {2, {1, 2, 15, 16}}, {3, placeholder}, {511, placeholder}},
         2,
         3,
         2},
        {"short last record",
         shortlast,
         false,
         1,
         {{0, {2, 1, 7, 255}}, {1, placeholder}, {2, placeholder}},
         2,
         1,
         2},
        {"trailing bytes", trailing, false, 1, {{0, {1, 1, 9}}, {511, {3, 1, 1, 2, 3}}}, 3, 1, 2},
    };
    for (const filecase& c : cases) {
        clearstore();
        std::filesystem::path path = dir / (std::string(c.name) + ".dat");
        if (!c.missing) writebytes(path, c.bytes);
        EXPECT_EQ(loadfont(path.c_str(), "normal"), c.result) << c.name;
        ASSERT_EQ(fontcount(), 1) << c.name;
        font* f = fonttable[0];
        EXPECT_EQ(currentfont, f) << c.name;
        EXPECT_STREQ(f->name, "normal") << c.name;
        for (const auto& [code, expected] : c.glyphs)
            EXPECT_EQ(glyphbytesof(f, code), expected) << c.name << " glyph " << code;
        EXPECT_EQ(f->maxwidth, c.maxwidth) << c.name;
        EXPECT_EQ(f->maxheight, c.maxheight) << c.name;
        EXPECT_EQ(f->cellwidth, c.cellwidth) << c.name;
        EXPECT_EQ(currentmaxheight, c.maxheight) << c.name;
        EXPECT_EQ(f->style.base, f->id) << c.name;
        EXPECT_EQ(f->style.glyphsdone, 512) << c.name;
    }
    std::filesystem::remove_all(dir);
}

TEST_F(FontstoreTest, SameNameTwiceAndPlaceholderReplacesBoth) {
    opendisplay(1);
    std::vector<uint8_t> bytes = filebytes({solid(2, 2, 15)});
    font* first = makefont(bytes.data(), static_cast<int>(bytes.size()), "Normal");
    font* second = makefont(bytes.data(), static_cast<int>(bytes.size()), "normal");
    font* other = makefont(bytes.data(), static_cast<int>(bytes.size()), "other");
    EXPECT_EQ(fontcount(), 3);
    EXPECT_EQ(currentfont, first);  // later fonts do not take the selection
    EXPECT_EQ(findfont("NORMAL"), second);
    font* p = placeholderfont("NORMAL");
    ASSERT_EQ(fontcount(), 2);
    EXPECT_TRUE(fonttable[0] == other || fonttable[1] == other);
    EXPECT_EQ(findfont("normal"), p);
    EXPECT_EQ(currentfont, other);  // the deleted current font handed over to a remaining one
    EXPECT_NE(currentfont, p);
}

TEST_F(FontstoreTest, TrueColourConversionAndSavingBack) {
    opendisplay(4);
    std::filesystem::path dir = freshtestdir("fontstore_truecolour");
    // Index 200 is cube cell k = 160: red 0.8, green 0.4, blue 0.8.
    std::vector<uint8_t> bytes = filebytes({record{5, 1, {15, 1, 8, 255, 200}}, record{1, 1, {12}}});
    makefont(bytes.data(), static_cast<int>(bytes.size()), "tc");
    const font* f = fonttable[0];
    const std::vector<uint8_t> expected{5,    1,    0xFF, 0xFF, 0xFF, 0x00, 0x00, 0x7F, 0x3F,
                                        0x3F, 0x3F, 0x56, 0x34, 0x12, 204,  102,  204};
    EXPECT_EQ(glyphbytesof(f, 0), expected);
    EXPECT_EQ(glyphbytesof(f, 2), (std::vector<uint8_t>{1, 1, 0x00, 0x00, 0x80}));  // placeholder

    ASSERT_EQ(savefont((dir / "tc.dat").c_str(), "TC"), 1);
    std::vector<uint8_t> saved = readbytes(dir / "tc.dat");
    // Cube index 40 + b0/43 + 6 (b1/43) + 36 (b2/43); white is written as the basic white 15
    // because cube index 255 would read back as transparent.
    auto cube = [](int b0, int b1, int b2) {
        return static_cast<uint8_t>(40 + b0 / 43 + 6 * (b1 / 43) + 36 * (b2 / 43));
    };
    const std::vector<uint8_t> first{
        5, 1, 15, cube(0, 0, 0x7F), cube(0x3F, 0x3F, 0x3F), 255, cube(204, 102, 204)};
    ASSERT_GE(saved.size(), first.size());
    EXPECT_EQ(std::vector<uint8_t>(saved.begin(), saved.begin() + 7), first);
    EXPECT_EQ(saved.size(), 7u + 2 + 1 + 510u * 3);  // every further glyph a 1 × 1 record

    // Unknown name or unwritable path: nothing is written, the old file survives.
    EXPECT_EQ(savefont((dir / "x.dat").c_str(), "nosuchfont"), 0);
    EXPECT_FALSE(std::filesystem::exists(dir / "x.dat"));
    EXPECT_EQ(savefont((dir / "nodir" / "tc.dat").c_str(), "tc"), 0);
    std::filesystem::remove_all(dir);
}

TEST_F(FontstoreTest, EightBitSaveRoundTrip) {
    opendisplay(1);
    std::filesystem::path dir = freshtestdir("fontstore_roundtrip");
    std::vector<uint8_t> bytes =
        filebytes(fontrecords(record{2, 3, {15, 16, 255, 0, 39, 7}}, {{67, solid(4, 3, 20)}}));
    makefont(bytes.data(), static_cast<int>(bytes.size()), "normal");
    ASSERT_EQ(savefont((dir / "out.dat").c_str(), "normal"), 1);
    EXPECT_EQ(readbytes(dir / "out.dat"), bytes);
    EXPECT_FALSE(std::filesystem::exists(dir / "out.dat.tmp"));
    EXPECT_EQ(temporariesin(dir), std::vector<std::string>{});
    std::filesystem::remove_all(dir);
}

TEST_F(FontstoreTest, SelectingTheCurrentFontKeepsTheCopies) {
    opendisplay(1);
    std::vector<uint8_t> bytes = filebytes({solid(3, 5, 15)});
    font* f = makefont(bytes.data(), static_cast<int>(bytes.size()), "normal");
    font* g = copyfont(f);
    EXPECT_EQ(currentmaxheight, 5);
    f->maxheight = 9;
    selectfont(f);
    EXPECT_EQ(currentmaxheight, 5);
    selectfont(g);
    EXPECT_EQ(currentfont, g);
    EXPECT_EQ(currentmaxheight, 5);
    selectfont(f);
    EXPECT_EQ(currentmaxheight, 9);
}

TEST_F(FontstoreTest, DeletingFontsAndFamilies) {
    opendisplay(4);
    std::vector<uint8_t> bytes = filebytes({solid(2, 2, 15)});
    font* normal = makefont(bytes.data(), static_cast<int>(bytes.size()), "normal");
    font* other = makefont(bytes.data(), static_cast<int>(bytes.size()), "other");
    font* bold = fontforstyle("normal:bold");
    font* small = fontforstyle("normal:small");
    font* othersmall = fontforstyle("other:small");
    ASSERT_EQ(fontcount(), 5);
    EXPECT_EQ(bold->style.base, normal->id);
    uint32_t otherid = other->id, othersmallid = othersmall->id;

    deletefontfamily(normal);  // the base and both fonts derived from it
    ASSERT_EQ(fontcount(), 2);
    EXPECT_NE(fontbyid(otherid), nullptr);
    EXPECT_NE(fontbyid(othersmallid), nullptr);
    EXPECT_TRUE(currentfont == other || currentfont == othersmall);
    (void)small;

    deletefont(other);  // a deleted base takes its derived fonts with it
    EXPECT_EQ(fontcount(), 0);
    EXPECT_EQ(currentfont, nullptr);
    EXPECT_EQ(fontbyid(othersmallid), nullptr);

    // With no font at all, text drawing draws nothing and measuring gives 10.
    drawtext(0, 0, 0, "abc", 0xFFFFFF);
    EXPECT_EQ(litbox().left, -1);
    EXPECT_EQ(textwidth("abc"), 10);
}

TEST_F(FontstoreTest, CopyRenameAndReframe) {
    opendisplay(1);
    // Glyph 48 ('0') is 3 × 2: rows {1 2 3} {4 5 6}; glyph 49 ('1') is 1 × 2.
    std::vector<uint8_t> bytes =
        filebytes(fontrecords(solid(1, 2, 9), {{48, record{3, 2, {1, 2, 3, 4, 5, 6}}}}));
    font* f = makefont(bytes.data(), static_cast<int>(bytes.size()), "normal");
    font* c = copyfont(f);
    renamefont(c, "copy");
    EXPECT_STREQ(f->name, "normal");
    EXPECT_STREQ(c->name, "copy");
    EXPECT_EQ(currentfont, f);

    // 5 × 1 canvas: pixel (x, 0) is old (x + 1 - 2, 0 + 1 - 0), so the old second row, centred.
    reframeglyph(c, 48, 5, 1);
    EXPECT_EQ(glyphbytesof(c, 48), (std::vector<uint8_t>{5, 1, 255, 4, 5, 6, 255}));
    EXPECT_EQ(glyphbytesof(f, 48),
              (std::vector<uint8_t>{3, 2, 1, 2, 3, 4, 5, 6}));  // the original is untouched
    // 2 × 3 canvas: pixel (x, y) is old (x + 1 - 1, y + 1 - 1).
    reframeglyph(f, 48, 2, 3);
    EXPECT_EQ(glyphbytesof(f, 48), (std::vector<uint8_t>{2, 3, 1, 2, 4, 5, 255, 255}));

    evendigits(c);  // widest digit is 5
    for (int d = '0'; d <= '9'; d++) EXPECT_EQ(c->glyphs[d][0], 5) << d;
    EXPECT_EQ(glyphbytesof(c, 49),
              (std::vector<uint8_t>{5, 2, 255, 255, 9, 255, 255, 255, 255, 9, 255, 255}));
}

TEST_F(FontstoreTest, MemoryEstimate) {
    opendisplay(4);
    std::vector<uint8_t> bytes = filebytes(fontrecords(solid(2, 3, 15), {{5, solid(4, 1, 15)}}));
    makefont(bytes.data(), static_cast<int>(bytes.size()), "abc");
    makefont(bytes.data(), 0, "de");  // all placeholders
    // Pixels are counted at 4 bytes in 32-bit mode.
    long glyphsofabc = 511L * (2 + 2 * 3 * 4) + (2 + 4 * 1 * 4);
    long glyphsofde = 512L * (2 + 1 * 4);
    long expected = static_cast<long>(sizeof(dynarray)) +
                    static_cast<long>(fontlist.capacity) * sizeof(font*) +
                    2 * static_cast<long>(sizeof(font)) + 3 + 2 + glyphsofabc + glyphsofde;
    EXPECT_EQ(fontmemory(), expected);
}
