// platform_script_test.cpp - VOXDA_KEYS, VOXDA_SCREEN and VOXDA_CAPTURE, and the BMP frames they write
#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <optional>
#include <sstream>
#include <string>
#include <vector>

#include "platform/headless/headless.h"
#include "platform/platform.h"
#include "platform/script.h"
#include "tests/testfiles.h"
#include "tests/testpython.h"

namespace {

std::vector<std::pair<uint32_t, uintptr_t>> received;  // (message, wparam) as dispatched

intptr_t scriptproc(pfwindow* w, uint32_t m, uintptr_t wp, intptr_t lp) {
    received.push_back({m, wp});
    if (m == PFM_DESTROY) return 0;
    return pfdefwindowproc(w, m, wp, lp);
}

// Environment variables set for one test and put back afterwards.
class PlatformScriptTest : public ::testing::Test {
  protected:
    void TearDown() override {
        for (const char* name : {"VOXDA_KEYS", "VOXDA_SCREEN", "VOXDA_CAPTURE", "VOXDA_DISPLAY"})
            unsetenv(name);
    }
    std::filesystem::path tempdir() {
        tmp.emplace("voxda-script");
        dir = tmp->path;
        return dir;
    }
    std::optional<testtempdir> tmp;
    std::filesystem::path dir;
};

pfwindow* openwindow() {
    received.clear();
    pfwindowclass c{};
    c.proc = scriptproc;
    c.classname = "scripted";
    pfregisterclass(&c);
    return pfcreatewindow(0, "scripted", "t", PF_WS_VISIBLE, 0, 0, 8, 8, nullptr, nullptr, nullptr, nullptr);
}

// Pumps until the given pump number; returns whether each watched key was down at each pump.
std::vector<std::string> runpumps(int pumps, const std::vector<int>& watched) {
    std::vector<std::string> rows;
    for (int p = 1; p <= pumps; ++p) {
        uint8_t keys[256];
        pfgetkeyboardstate(keys);
        std::string row;
        for (int vk : watched) row += (keys[vk] & 0x80) ? '1' : '0';
        rows.push_back(row);
        pfmessage m;
        while (pfpeekmessage(&m, nullptr, 0, 0, PF_PM_REMOVE)) pfdispatchmessage(&m);
    }
    return rows;
}

}  // namespace

TEST_F(PlatformScriptTest, KeysHeldOverPumpRangesShowOnePumpLater) {
    ASSERT_EQ(pfheadlessstart(), 1);
    openwindow();
    std::string error;
    ASSERT_TRUE(pfscriptsetkeys("F@2 a@3-5, ctrl+Esc@6", error)) << error;
    // Columns: F, A, Control, Escape; rows: pumps 1 to 8.
    std::vector<std::string> expected = {"0000", "0000", "1000", "0100", "0100", "0100", "0011", "0000"};
    EXPECT_EQ(runpumps(8, {'F', 'A', PFVK_CONTROL, PFVK_ESCAPE}), expected);
    // Letters also type their lower-case character; Control+Escape types nothing.
    std::vector<uintptr_t> chars;
    for (auto& [m, wp] : received)
        if (m == PFM_CHAR) chars.push_back(wp);
    EXPECT_EQ(chars, (std::vector<uintptr_t>{'f', 'a'}));
}

TEST_F(PlatformScriptTest, TextQuitCloseAndMinimiseEvents) {
    ASSERT_EQ(pfheadlessstart(), 1);
    pfwindow* w = openwindow();
    std::string error;
    ASSERT_TRUE(pfscriptsetkeys("'Hi there'@1 MIN@2 CLOSE@3 QUIT@3", error)) << error;
    runpumps(2, {});
    EXPECT_EQ(pfisiconic(w), 1);  // minimised at pump 2, back after 100 ms
    pfsleep(100);
    pfmessage m;
    pfpeekmessage(&m, nullptr, 0, 0, PF_PM_NOREMOVE);
    EXPECT_EQ(pfisiconic(w), 0);
    uint8_t keys[256];
    pfgetkeyboardstate(keys);  // pump 3
    std::vector<uint32_t> order;
    while (pfpeekmessage(&m, nullptr, 0, 0, PF_PM_REMOVE)) {
        order.push_back(m.message);
        pfdispatchmessage(&m);
    }
    std::string typed;
    for (auto& [msg, wp] : received)
        if (msg == PFM_CHAR) typed += static_cast<char>(wp);
    EXPECT_EQ(typed, "Hi there");
    // The size messages of minimise and restore, then this pump's close and quit, in script order.
    std::vector<uint32_t> tail(order.end() - 2, order.end());
    EXPECT_EQ(tail, (std::vector<uint32_t>{PFM_CLOSE, PFM_QUIT}));
    EXPECT_EQ(received.back().first, PFM_DESTROY);
}

TEST_F(PlatformScriptTest, BadScriptsAreRefusedWithAReason) {
    const struct {
        const char* text;
        const char* mentions;
    } cases[] = {
        {"F", "KEY@PUMP"},
        {"F@0", "pump"},
        {"F@", "pump"},
        {"F@5-3", "FIRST <= LAST"},
        {"FOO@3", "unknown key 'FOO'"},
        {"CTRL+@3", "unknown key ''"},
        {"'ab'@2-3", "one pump"},
        {"QUIT@1-2", "one pump"},
        {"'open@2", "unterminated"},
        {"F13@1", "unknown key"},
        {"@4", "KEY@PUMP"},
    };
    for (const auto& c : cases) {
        std::string error;
        EXPECT_FALSE(pfscriptsetkeys(c.text, error)) << c.text;
        EXPECT_NE(error.find(c.mentions), std::string::npos) << c.text << " -> " << error;
    }
    for (const char* good :
         {"F@2 A@10-60 Q@400", "0x41@1", "F12@1", "ESC@3", "lwin@9", "SPACE@1,ENTER@2", ""}) {
        std::string error;
        EXPECT_TRUE(pfscriptsetkeys(good, error)) << good << " -> " << error;
    }
}

TEST_F(PlatformScriptTest, ScreenSizesParseOrExplain) {
    const struct {
        const char* text;
        bool ok;
        int width, height;
    } cases[] = {{"1024x768", true, 1024, 768}, {"0x0", true, 0, 0},      {"640x0", false, 0, 0},
                 {"640*480", false, 0, 0},      {"x480", false, 0, 0},    {"99999x2", false, 0, 0},
                 {"-1x5", false, 0, 0},         {"320x200 ", false, 0, 0}};
    for (const auto& c : cases) {
        int w = -1, h = -1;
        std::string error;
        EXPECT_EQ(pfscriptparsescreen(c.text, &w, &h, error), c.ok) << c.text;
        if (c.ok)
            EXPECT_EQ(w * 100000 + h, c.width * 100000 + c.height) << c.text;
        else
            EXPECT_FALSE(error.empty()) << c.text;
    }
}

TEST_F(PlatformScriptTest, BadEnvironmentStopsTheProgramBeforeItStarts) {
    const struct {
        const char* name;
        const char* value;
    } cases[] = {{"VOXDA_KEYS", "F@x"},
                 {"VOXDA_SCREEN", "big"},
                 {"VOXDA_CAPTURE", "nolist"},
                 {"VOXDA_CAPTURE", "/tmp:0"},
                 {"VOXDA_DISPLAY", "vga"}};
    static bool entered;
    for (const auto& c : cases) {
        setenv("VOXDA_DISPLAY", "headless", 1);
        setenv(c.name, c.value, 1);
        entered = false;
        char arg0[] = "voxda";
        char* argv[] = {arg0, nullptr};
        testing::internal::CaptureStderr();
        int status = pfrun(1, argv, [](pfinstance*, pfinstance*, const char*, int) {
            entered = true;
            return 0;
        });
        std::string err = testing::internal::GetCapturedStderr();
        EXPECT_EQ(status, 2) << c.name << "=" << c.value;
        EXPECT_FALSE(entered) << c.name;
        EXPECT_EQ(std::count(err.begin(), err.end(), '\n'), 1) << err;
        EXPECT_NE(err.find(c.name), std::string::npos) << err;
        unsetenv(c.name);
    }
}

TEST_F(PlatformScriptTest, RunPassesTheCommandLineAndTheScreenSetting) {
    setenv("VOXDA_DISPLAY", "headless", 1);
    setenv("VOXDA_SCREEN", "0x0", 1);
    char arg0[] = "voxda", arg1[] = "two words", arg2[] = "-x";
    char* argv[] = {arg0, arg1, arg2, nullptr};
    static std::string line;
    static int width = -1;
    int status = pfrun(3, argv, [](pfinstance* instance, pfinstance* previous, const char* commandline, int) {
        line = commandline;
        width = pfgetsystemmetrics(PF_SM_CXSCREEN);
        return instance && !previous ? 7 : 8;
    });
    EXPECT_EQ(status, 7);
    EXPECT_EQ(line, "voxda \"two words\" -x");
    EXPECT_EQ(width, 0);
}

// Captured frames are read back by an independent BMP reader (Python's PIL).
TEST_F(PlatformScriptTest, CapturedFramesShowWhatTheScreenShowed) {
    if (pilpython().empty())
        GTEST_SKIP() << "/usr/bin/python3 with PIL is not installed (./voxda.sh test installs python3-pil)";
    std::filesystem::path d = tempdir() / "shots";
    setenv("VOXDA_CAPTURE", (d.string() + ":2,4-5").c_str(), 1);
    ASSERT_EQ(pfstartup("headless"), 1);
    pfwindow* w = openwindow();
    pfheadlesssetdepths({8, 32});
    pfdisplay* dd = nullptr;
    ASSERT_EQ(pfdisplaycreate(nullptr, &dd, nullptr), 0u);
    ASSERT_EQ(pfdisplaysetcooperativelevel(dd, w, PF_SCL_FULLSCREEN | PF_SCL_EXCLUSIVE), 0u);
    // Frames 1-3 in 8-bit, frames 4-5 in 32-bit: the 6x5 'F' in ink (red) on paper (blue), with
    // frame number f shifting the ink's green channel by 10 * f so that frames differ.
    const char* const letter[5] = {"#####.", "#.....", "####..", "#.....", "#....."};
    pfsurface* primary = nullptr;
    pfpalette* pal = nullptr;
    for (int frame = 1; frame <= 5; ++frame) {
        bool indexed = frame <= 3;
        if (frame == 1 || frame == 4) {
            if (primary) pfsurfacerelease(primary);
            ASSERT_EQ(pfdisplaysetmode(dd, 6, 5, indexed ? 8 : 32), 0u);
            pfsurfacedesc pd{PF_SD_CAPS, 0, 0, 0, nullptr, {}, PF_CAPS_PRIMARYSURFACE};
            ASSERT_EQ(pfdisplaycreatesurface(dd, &pd, &primary, nullptr), 0u);
            if (indexed) {
                pfpaletteentry entries[256] = {};
                ASSERT_EQ(pfdisplaycreatepalette(dd, PF_PCAPS_8BIT, entries, &pal, nullptr), 0u);
                ASSERT_EQ(pfsurfacesetpalette(primary, pal), 0u);
            }
        }
        if (indexed) {
            pfpaletteentry ink[2] = {{255, uint8_t(10 * frame), 0, 4}, {0, 0, 255, 4}};
            ASSERT_EQ(pfpalettesetentries(pal, 0, 1, 2, ink), 0u);
        }
        pfsurfacedesc desc{};
        ASSERT_EQ(pfsurfacelock(primary, nullptr, &desc, PF_LOCK_WAIT, nullptr), 0u);
        uint8_t* p = static_cast<uint8_t*>(desc.surface);
        for (int y = 0; y < 5; ++y)
            for (int x = 0; x < 6; ++x) {
                bool ink = letter[y][x] == '#';
                if (indexed) {
                    p[y * desc.pitch + x] = ink ? 1 : 2;
                } else {
                    uint8_t* q = p + y * desc.pitch + 4 * x;
                    q[0] = ink ? 0 : 255;                  // blue
                    q[1] = ink ? uint8_t(10 * frame) : 0;  // green
                    q[2] = ink ? 255 : 0;                  // red
                    q[3] = 0x77;                           // unused byte
                }
            }
        ASSERT_EQ(pfsurfaceunlock(primary, nullptr), 0u);  // unlocking the primary presents it
    }
    std::vector<std::string> files;
    for (auto& entry : std::filesystem::directory_iterator(d))
        files.push_back(entry.path().filename().string());
    std::sort(files.begin(), files.end());
    EXPECT_EQ(files, (std::vector<std::string>{"frame000002.bmp", "frame000004.bmp", "frame000005.bmp"}));
    for (int frame : {2, 4, 5}) {
        char name[32];
        std::snprintf(name, sizeof name, "frame%06d.bmp", frame);
        std::string out = (dir / "pixels.txt").string();
        std::string command =
            pilpython() +
            " -c \"import sys; from PIL import Image; im = Image.open(sys.argv[1]); "
            "print(im.mode, im.size[0], im.size[1]); rgb = im.convert('RGB'); "
            "print(' '.join('%02x%02x%02x' % rgb.getpixel((x, y)) for y in range(im.size[1]) "
            "for x in range(im.size[0])))\" " +
            (d / name).string() + " > " + out;
        ASSERT_EQ(runcommand(command), 0) << command;
        std::string expected = std::string(frame <= 3 ? "P" : "RGB") + " 6 5\n";
        char ink[8];
        std::snprintf(ink, sizeof ink, "ff%02x00", 10 * frame);
        for (int y = 0; y < 5; ++y)
            for (int x = 0; x < 6; ++x)
                expected += std::string(x || y ? " " : "") + (letter[y][x] == '#' ? ink : "0000ff");
        EXPECT_EQ(readtext(out), expected + "\n") << name;
    }
}
