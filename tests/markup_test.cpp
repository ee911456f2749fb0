// Tests of the text markup conversions.
#include "text/markup.h"

#include <gtest/gtest.h>

#include <cstring>
#include <memory>
#include <string>
#include <vector>

namespace {

// Byte-string builders for the expected results.
std::string glyph(int code) {
    return std::string{'\x02', static_cast<char>(code >> 8), static_cast<char>(code & 0xFF)};
}
std::string escape(int selector, int32_t value) {
    uint32_t u = static_cast<uint32_t>(value);
    return std::string{'\x05',
                       static_cast<char>(selector),
                       static_cast<char>(u & 0xFF),
                       static_cast<char>((u >> 8) & 0xFF),
                       static_cast<char>((u >> 16) & 0xFF),
                       static_cast<char>(u >> 24)};
}
std::string script(int s, int v) {
    return escape(
        2, static_cast<int32_t>((static_cast<uint32_t>(s) & 0xFFFF) | (static_cast<uint32_t>(v) << 16)));
}

enum class conversion { greek, hash, all1, all2 };

// Runs a conversion on `input` in a buffer of `size` bytes (0: ample room) and returns the
// resulting text up to its escape-aware end.
std::string convert(const std::string& input, conversion kind, size_t size = 0, int* result = nullptr) {
    if (size == 0) size = input.size() * 4 + 64;
    std::vector<char> buffer(size + 16, '\x7f');  // bytes past the buffer must stay untouched
    std::memcpy(buffer.data(), input.c_str(), input.size() + 1);
    int r = 1;
    switch (kind) {
        case conversion::greek: r = greekmarkup(buffer.data(), size); break;
        case conversion::hash: r = hashmarkup(buffer.data(), size); break;
        case conversion::all1: markup(buffer.data(), size, 1); break;
        case conversion::all2: markup(buffer.data(), size, 2); break;
    }
    if (result) *result = r;
    for (size_t k = size; k < buffer.size(); k++) EXPECT_EQ(buffer[k], '\x7f') << "wrote past the buffer";
    const char* end = textend(static_cast<const char*>(buffer.data()), size);
    EXPECT_LT(static_cast<size_t>(end - buffer.data()), size) << "no terminator inside the buffer";
    return std::string(static_cast<const char*>(buffer.data()), end);
}

struct markupcase {
    const char* name;
    std::string input;
    conversion kind;
    std::string expected;
};

}  // namespace

TEST(MarkupTest, ConversionsOfTypicalTexts) {
    // v up for size 256 is trunc(76.8 - 38.5) = 38, down trunc(-76.8 - 38.5) = -115; the
    // inner level of a 179 group: trunc(38 + 53.7 - 25.5) = 66. Expected texts start with
    // std::string("x") rather than "x": "literal" + string makes GCC 12 at -O3 warn falsely
    // (-Wrestrict) on the inlined string insertion.
    const markupcase cases[] = {
        {"pi superscript plus", "pi^+", conversion::all1,
         glyph(271) + script(179, 38) + "+" + script(256, 0)},
        {"capital sigma", "Sigma", conversion::greek, glyph(297)},
        {"small sigma", "sigma", conversion::greek, glyph(273)},
        {"name inside a word", "alphabet", conversion::greek, glyph(256) + "bet"},
        {"two letters in a row", "pipi", conversion::greek, glyph(271) + glyph(271)},
        {"alpha then beta", "alphabeta", conversion::greek, glyph(256) + glyph(257)},
        {"variant form", "vartheta=1", conversion::greek, glyph(306) + "=1"},
        {"upsilon before psi", "Upsilon", conversion::greek, glyph(299)},
        {"braced group", "x^{2y}", conversion::all1,
         std::string("x") + script(179, 38) + "2y" + script(256, 0)},
        {"nested group depth 2", "x^{a^{b}}", conversion::all2,
         std::string("x") + script(179, 38) + "a" + script(128, 66) + "b" + script(179, 38) + script(256, 0)},
        {"nested group depth 1", "x^{a^{b}}", conversion::all1,
         std::string("x") + script(179, 38) + "a^{b}" + script(256, 0)},
        {"subscript digits", "x_12+", conversion::all1,
         std::string("x") + script(179, -115) + "12" + script(256, 0) + "+"},
        {"greek letter as argument", "e^alphax", conversion::all1,
         std::string("e") + script(179, 38) + glyph(256) + script(256, 0) + "x"},
        {"sign at the very end", "x^", conversion::all1, "x^"},
        {"unclosed group", "x^{ab", conversion::all1, "x^{ab"},
        {"colour code", "#col=12#ab", conversion::hash, escape(0, 12) + "ab"},
        {"tab code at the end", "#tab=100", conversion::hash, escape(1, 100)},
        {"negative colour", "#col=-5#x", conversion::hash, escape(0, -5) + "x"},
        {"number ends at a space", "#COL=7 red", conversion::hash, escape(0, 7) + " red"},
        // The number is the run of decimal digits: the words after it, and a later '#', stay text.
        {"later hash stays text", "#col=12 red#", conversion::hash, escape(0, 12) + " red#"},
        {"letters end the number", "#tab=30px#x", conversion::hash, escape(1, 30) + "px#x"},
        {"minus counts only first", "#col=5-3#", conversion::hash, escape(0, 5) + "-3#"},
        {"code without digits", "a#tab=", conversion::hash, std::string("a") + escape(1, 0)},
        {"other key stays", "#row=3#", conversion::hash, "#row=3#"},
    };
    for (const markupcase& c : cases) EXPECT_EQ(convert(c.input, c.kind), c.expected) << c.name;
}

TEST(MarkupTest, TextEndStepsOverEscapeData) {
    // Glyph 256 carries a zero data byte; a colour escape of 0 carries four.
    std::string text = glyph(256) + "a" + escape(0, 0) + "b";
    EXPECT_EQ(textend(text.c_str()) - text.c_str(), static_cast<long>(text.size()));
    // An escape cut off by the end of the buffer never takes the scan past it.
    const char cut[4] = {'a', '\x05', 0, 0};
    EXPECT_EQ(textend(cut, 4) - cut, 2);
    const char noend[3] = {'a', 'b', 'c'};
    EXPECT_EQ(textend(noend, 3) - noend, 3);
}

TEST(MarkupTest, OverflowStopsWithValidText) {
    struct overflowcase {
        std::string input;
        conversion kind;
        size_t needed;  // bytes the whole conversion needs, terminator included
    };
    const overflowcase cases[] = {
        {"pi", conversion::greek, 4},      // two-letter name grows by one byte
        {"a^b", conversion::all1, 15},     // unbraced script grows by 11
        {"a^{bc}", conversion::all1, 16},  // braced script grows by 9
        {"#tab=", conversion::hash, 7},    // no digits, no closing #
        {"mu mu", conversion::greek, 8},   // two names, each one byte longer
    };
    for (const overflowcase& c : cases) {
        int result = 0;
        std::string full = convert(c.input, c.kind, c.needed, &result);
        EXPECT_EQ(full.size() + 1, c.needed) << c.input;
        if (c.kind != conversion::all1) {
            EXPECT_EQ(result, 1) << c.input;
        }
        std::string cut = convert(c.input, c.kind, c.needed - 1, &result);
        EXPECT_LT(cut.size() + 1, c.needed) << c.input;
        if (c.kind != conversion::all1) {
            EXPECT_EQ(result, 0) << c.input;
        }
    }
    // The first of two names still converts when only the second does not fit.
    EXPECT_EQ(convert("mu mu", conversion::greek, 7), glyph(267) + " mu");
}

TEST(MarkupTest, UnterminatedBufferIsNeverReadBeyondItsSize) {
    // Each text fills its stated buffer with no terminator, or ends inside an escape cut off
    // by the buffer. The buffer sits once at the very end of a heap block (the sanitizer
    // build sees any read beyond) and once followed by bytes that would complete a name,
    // a number or a script argument if they were read; the result must not change. A text
    // ending inside a cut-off escape is ended at the escape's first byte, so that a
    // conversion moving the text left cannot make the escape whole (and the text endless).
    struct boundcase {
        const char* name;
        std::string bytes;
        conversion kind;
        int result;            // the conversion's result
        std::string expected;  // the buffer afterwards
    };
    const std::string cutglyph("\x02\0", 2);
    const boundcase cases[] = {
        {"name cut by the size", "alph", conversion::greek, 1, "alph"},
        {"name after a whole escape", escape(0, 0) + "alph", conversion::greek, 1, escape(0, 0) + "alph"},
        {"name after a cut escape", std::string("x\x05\0", 3) + "al", conversion::greek, 1,
         std::string("x\0\0al", 5)},
        {"code cut by the size", "#col", conversion::hash, 1, "#col"},
        {"digits cut by the size", "#col=12", conversion::hash, 0, "#col=12"},
        {"digits after a whole escape", escape(1, 0) + "#tab=-", conversion::hash, 0,
         escape(1, 0) + "#tab=-"},
        {"code after a cut escape", std::string("\x05\x01\0", 3) + "#c", conversion::hash, 1,
         std::string("\0\x01\0#c", 5)},
        {"code shrinking before a cut escape", "#col=12" + cutglyph, conversion::hash, 1,
         escape(0, 12) + std::string(3, '\0')},
        {"script cut by the size", "a^bc", conversion::all1, 1, "a^bc"},
        {"script after a cut escape", cutglyph, conversion::all2, 1, std::string(2, '\0')},
    };
    const std::string tail = "ha#1234^{x}";
    for (const boundcase& c : cases) {
        for (const std::string& after : {std::string(), tail}) {
            size_t size = c.bytes.size();
            std::unique_ptr<char[]> block(new char[size + after.size()]);
            std::memcpy(block.get(), c.bytes.data(), size);
            std::memcpy(block.get() + size, after.data(), after.size());
            int r = 1;
            switch (c.kind) {
                case conversion::greek: r = greekmarkup(block.get(), size); break;
                case conversion::hash: r = hashmarkup(block.get(), size); break;
                case conversion::all1: markup(block.get(), size, 1); break;
                case conversion::all2: markup(block.get(), size, 2); break;
            }
            EXPECT_EQ(r, c.result) << c.name;
            EXPECT_EQ(std::string(block.get(), size), c.expected) << c.name;
            EXPECT_EQ(std::string(block.get() + size, after.size()), after) << c.name;
        }
    }
}
