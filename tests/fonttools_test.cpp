// End-to-end tests of the font tools: fontspecimen's picture and a fontedit session that saves.
#include <gtest/gtest.h>

#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "tests/testbmp.h"
#include "tests/testfiles.h"
#include "tests/testprocess.h"

namespace {

namespace fs = std::filesystem;

// Runs a command in dir; returns its exit status and leaves its output in dir/output.txt.
int runin(const fs::path& dir, const std::string& command) {
    return runcommand("cd '" + dir.string() + "' && " + command + " > output.txt 2>&1");
}

}  // namespace

TEST(FonttoolsTest, SpecimenWritesAPictureWithText) {
    fs::path dir = freshtestdir("fonttools_specimen");
    fs::copy_file(fs::path(VOXDA_SOURCE_DIR) / "assets" / "font.dat", dir / "font.dat");
    ASSERT_EQ(runin(dir, "'" + std::string(VOXDA_BINARY_DIR) + "/fontspecimen' out.bmp"), 0);
    std::ifstream output(dir / "output.txt");
    std::string printed;
    std::getline(output, printed);
    EXPECT_EQ(printed, "out.bmp");
    std::vector<uint8_t> b = readbytes(dir / "out.bmp");
    ASSERT_GT(b.size(), 1078u);
    EXPECT_EQ(b[0], 'B');
    EXPECT_EQ(b[1], 'M');
    EXPECT_EQ(le32(b, 18), 1280u);
    EXPECT_EQ(static_cast<int32_t>(le32(b, 22)) < 0 ? -static_cast<int32_t>(le32(b, 22))
                                                    : static_cast<int32_t>(le32(b, 22)),
              800);
    EXPECT_EQ(b[28], 8);
    // Plenty of white and grey text pixels, and the markup line's red.
    size_t text = 0, red = 0;
    for (size_t i = le32(b, 10); i < b.size(); i++) {
        text += b[i] == 15 || (b[i] >= 17 && b[i] <= 39);
        red += b[i] == 12;
    }
    EXPECT_GT(text, 5000u);
    EXPECT_GT(red, 10u);
    fs::remove_all(dir);
}

TEST(FonttoolsTest, EditSessionSavesAndKeepsABackup) {
    fs::path dir = freshtestdir("fonttools_edit");
    // A font whose glyph 0 is 2 × 1: pixels 15 and 7.
    const std::vector<uint8_t> original{2, 1, 15, 7, 1, 1, 9};
    {
        std::ofstream out(dir / "my.dat", std::ios::binary);
        out.write(reinterpret_cast<const char*>(original.data()),
                  static_cast<std::streamsize>(original.size()));
    }
    // Right arrow adds a transparent column to glyph 0, D doubles it, Q saves and quits.
    ASSERT_EQ(runin(dir, "VOXDA_DISPLAY=headless VOXDA_SCREEN=640x480 VOXDA_KEYS='RIGHT@3 D@8 Q@14' '" +
                             std::string(VOXDA_BINARY_DIR) + "/fontedit' my.dat"),
              0);
    EXPECT_EQ(readbytes(dir / "my.dat.bak"), original);
    std::vector<uint8_t> saved = readbytes(dir / "my.dat");
    const std::vector<uint8_t> glyph0{6, 2, 15, 15, 7, 7, 255, 255, 15, 15, 7, 7, 255, 255};
    ASSERT_GE(saved.size(), glyph0.size() + 3);
    EXPECT_EQ(std::vector<uint8_t>(saved.begin(), saved.begin() + 14), glyph0);
    EXPECT_EQ(std::vector<uint8_t>(saved.begin() + 14, saved.begin() + 17), (std::vector<uint8_t>{1, 1, 9}));
    // Glyphs the file did not hold are saved as the 1 × 1 placeholder.
    EXPECT_EQ(saved.size(), 14u + 3u * 511u);
    fs::remove_all(dir);
}

TEST(FonttoolsTest, BadArgumentsGiveStatusTwoAndHelpGivesUsage) {
    testtempdir dir;
    struct toolcase {
        const char* tool;
        std::vector<std::string> args;
        const char* message;  // null: --help, status 0 and the usage on standard output
    };
    const toolcase cases[] = {
        {"fontspecimen", {"a.bmp", "font.dat", "extra"}, "fontspecimen: unexpected argument 'extra'"},
        {"fontspecimen", {"--colour"}, "fontspecimen: unknown option '--colour'"},
        {"fontspecimen", {"--help"}, nullptr},
        {"fontedit", {"a.dat", "b.dat"}, "fontedit: unexpected argument 'b.dat'"},
        {"fontedit", {"-h"}, nullptr},
        {"makefont",
         {dir.file("f.dat"), "/nonexistent.ttf", "3"},
         "makefont: pixel size must be a whole number from 4 to 100, not '3'"},
        {"makefont",
         {dir.file("f.dat"), "/nonexistent.ttf", "12px"},
         "makefont: pixel size must be a whole number from 4 to 100, not '12px'"},
        {"makefont", {"--help"}, nullptr},
    };
    for (const toolcase& c : cases) {
        if (std::string(c.tool) == "makefont" && !std::filesystem::exists(builtprogram("makefont"))) continue;
        processresult r = runbuilt(c.tool, c.args, dir.path);
        if (!c.message) {
            EXPECT_EQ(r.status, 0) << c.tool;
            EXPECT_EQ(r.out.rfind(std::string("usage: ") + c.tool, 0), 0u) << r.out;
            continue;
        }
        EXPECT_EQ(r.status, 2) << c.message;
        EXPECT_EQ(r.err.rfind(c.message, 0), 0u) << r.err;
        EXPECT_EQ(r.err.find('\n'), r.err.size() - 1) << r.err;
        EXPECT_FALSE(std::filesystem::exists(dir.file("f.dat")));
    }
}
