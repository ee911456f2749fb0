// Tests of the unit table, metric prefixes, unit texts and quantities read from text.
#include "util/units.h"

#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <vector>

#include "particles/species.h"

namespace {

const double electronvolt = 1.602176462e-19;  // J
const double degree = 3.14159265358979323846 / 180.0;

// Collects the warnings handed to the sink while it lives.
std::vector<std::string> caughtwarnings;
void catchwarning(const char* text) { caughtwarnings.push_back(text); }
struct unitswarningcatcher {
    unitswarningcatcher() {
        caughtwarnings.clear();
        warnobserver = catchwarning;
    }
    ~unitswarningcatcher() { warnobserver = nullptr; }
};

const std::string unknownwarning = "[WARNING] Unknown unit '";
const std::string emptywarning = "[WARNING] Called unit(\"\") with empty string, returning zero!";

TEST(UnitsText, FactorsAndWarnings) {
    struct unitcase {
        const char* text;
        double factor;
        const char* warning;  // null: no warning
    };
    const unitcase cases[] = {
        {"MeV", 1.602176462e-13, nullptr},
        {"GeV", 1e9 * electronvolt, nullptr},
        {"cm", 0.01, nullptr},
        {"c", 299792458.0, nullptr},
        {"C", 1.0, nullptr},
        {"mm", 0.001, nullptr},
        {"km/s", 1000.0, nullptr},
        {"Gauss", 0.0001, nullptr},
        {"mT", 0.001, nullptr},
        {"hz", 1.0, nullptr},
        {"kHz", 1000.0, nullptr},
        {"g", 0.001, nullptr},
        {"ft", 0.3048, nullptr},
        {"in", 0.0254, nullptr},
        {"m_p", 1.67262158e-27, nullptr},
        {"%", 0.01, nullptr},
        {"\x89", 0.001, nullptr},
        {"\xB0", degree, nullptr},
        {"\xC2\xB0", degree, nullptr},
        {"mrad", 0.001, nullptr},
        // Everything after the first slash is the denominator: a/b/c = a / (b / c).
        {"m/s/s", 1.0, nullptr},
        {"km/ms/s", 1e6, nullptr},
        {"ft/s", 0.3048, nullptr},
        {"xyz", 1.0, "[WARNING] Unknown unit 'xyz', assuming unity"},
        {"", 0.0, emptywarning.c_str()},
        // A known unit behind an unknown prefix letter is 0, silently.
        {"qm", 0.0, nullptr},
    };
    for (const unitcase& c : cases) {
        unitswarningcatcher catcher;
        EXPECT_DOUBLE_EQ(unit(c.text), c.factor) << "unit '" << c.text << "'";
        if (c.warning) {
            ASSERT_EQ(caughtwarnings.size(), 1u) << "unit '" << c.text << "'";
            EXPECT_EQ(caughtwarnings[0], c.warning);
        } else {
            EXPECT_TRUE(caughtwarnings.empty()) << "unit '" << c.text << "'";
        }
    }
}

TEST(UnitsText, LongUnknownUnitWarningIsCutToItsBuffer) {
    unitswarningcatcher catcher;
    std::string name(400, 'q');
    EXPECT_EQ(unit(name.c_str()), 1.0);
    ASSERT_EQ(caughtwarnings.size(), 1u);
    std::string full = unknownwarning + name + "', assuming unity";
    EXPECT_EQ(caughtwarnings[0], full.substr(0, 191));
}

TEST(UnitsTable, CaseRules) {
    struct valuecase {
        const char* name;
        double value;
    };
    const valuecase cases[] = {
        {"c", 299792458.0},  // c and C differ only in case: the exact spelling decides
        {"C", 1.0},         {"eV", electronvolt}, {"EV", electronvolt},  // a single case-insensitive match
        {"KG", 1.0},        {"gauss", 0.0001},    {"M_E", 9.10938188e-31}, {"rad", 1.0}, {"xyz", 0.0},
        {"", 0.0},          {"mm", 0.0},  // no prefixes here
    };
    for (const valuecase& c : cases) EXPECT_EQ(unitvalue(c.name), c.value) << "unitvalue '" << c.name << "'";
    makeunits();
    EXPECT_TRUE(unitsbuilt);
    ASSERT_EQ(unittable.count, 20u);
    ASSERT_EQ(unittable.elemsize, sizeof(unitentry));
    const unitentry* entries = static_cast<const unitentry*>(unittable.data);
    EXPECT_STREQ(entries[0].name, "c");
    EXPECT_STREQ(entries[15].name, "\xB0");
    EXPECT_STREQ(entries[18].name, "\x89");
    makeunits();  // a second call builds nothing more
    EXPECT_EQ(unittable.count, 20u);
}

TEST(UnitsPrefix, LettersCaseAndUnknowns) {
    struct prefixcase {
        char letter;
        int power;  // of ten; 99: not a prefix
    };
    const prefixcase cases[] = {
        {'a', -18},
        {'f', -15},
        {'p', -12},
        {'n', -9},
        {'u', -6},
        {'m', -3},
        {'c', -2},
        {'d', -1},
        {'D', 1},
        {'h', 2},
        {'k', 3},
        {'M', 6},
        {'G', 9},
        {'T', 12},
        {'P', 15},
        {'E', 18},
        // One letter per case-insensitive match: case does not matter.
        {'K', 3},
        {'H', 2},
        {'g', 9},
        {'t', 12},
        {'e', 18},
        {'A', -18},
        {'U', -6},
        {'C', -2},
        // Not prefixes: the filler dot, other letters, the end of a text.
        {'.', 99},
        {'q', 99},
        {'x', 99},
        {'\0', 99},
        {'/', 99},
    };
    for (const prefixcase& c : cases) {
        double expected = c.power == 99 ? 0.0 : std::pow(10.0, c.power);
        EXPECT_DOUBLE_EQ(unitprefix(c.letter), expected) << "prefix '" << c.letter << "'";
    }
}

TEST(UnitsValue, NumbersWithUnits) {
    struct valuecase {
        const char* text;
        const char* defaultunit;
        double value;
        int end;  // characters consumed
    };
    const valuecase cases[] = {
        {"5mm", nullptr, 0.005, 3},
        {"2.5 ", "MeV", 2.5 * 1.602176462e-13, 3},
        {"2.5", "MeV", 2.5 * 1.602176462e-13, 3},
        {"3m2", nullptr, 3.0, 2},
        {"12", nullptr, 12.0, 2},
        {"5 mm", nullptr, 5.0, 1},  // the unit must follow the number directly
        {"1.5GeV,rest", nullptr, 1.5e9 * electronvolt, 6},
        {"-4km/s]", nullptr, -4000.0, 6},
        {"1e3m\"", nullptr, 1000.0, 4},
        {"90\xB0", nullptr, 90 * degree, 3},
        {"90\xC2\xB0#", nullptr, 90 * degree, 4},
        {"7\n", "mm", 0.007, 1},  // a line end closes the unit name like a space
        {"8mm\r\n", nullptr, 0.008, 3},
        {"4mm\vx", nullptr, 0.004, 3},  // vertical tab and form feed are white space too
        {"6\f", "mm", 0.006, 1},
        {"250mT'", "T", 0.25, 5},
    };
    for (const valuecase& c : cases) {
        const char* end = nullptr;
        EXPECT_DOUBLE_EQ(valuewithunit(c.text, &end, c.defaultunit), c.value) << "text '" << c.text << "'";
        EXPECT_EQ(end - c.text, c.end) << "text '" << c.text << "'";
    }
    EXPECT_DOUBLE_EQ(valuewithunit("5mm", nullptr, nullptr), 0.005);  // the end location is optional
}

TEST(UnitsValue, UnknownUnitCountsAsOneWithAWarning) {
    unitswarningcatcher catcher;
    const char* text = "42furlongs";
    const char* end = nullptr;
    EXPECT_EQ(valuewithunit(text, &end, "m"), 42.0);
    EXPECT_EQ(end, text + 10);
    ASSERT_EQ(caughtwarnings.size(), 1u);
    EXPECT_EQ(caughtwarnings[0], "[WARNING] Unknown unit 'furlongs', assuming unity");
}

}  // namespace
