// errorlog_test.cpp - result names, warnings and fatal errors, the log file and the time stamps
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <regex>
#include <sstream>
#include <string>
#include <vector>

#include "display/errorlog.h"
#include "display/screen.h"
#include "platform/headless/headless.h"
#include "platform/platform.h"
#include "platform/resultcodes.h"
#include "tests/testfiles.h"

namespace {

// Runs a test inside a fresh temporary directory, and sets the C time locale.
class ErrorlogTest : public ::testing::Test {
  protected:
    void SetUp() override {
        old = std::filesystem::current_path();
        ASSERT_FALSE(tmp.path.empty());
        dir = tmp.path;
        std::filesystem::current_path(dir);
        const char* lc = std::getenv("LC_ALL");
        hadlc = lc != nullptr;
        if (lc) oldlc = lc;
        setenv("LC_ALL", "C", 1);
        pfheadlessstart();
    }
    void TearDown() override {
        std::filesystem::current_path(old);
        if (hadlc)
            setenv("LC_ALL", oldlc.c_str(), 1);
        else
            unsetenv("LC_ALL");
    }
    std::string readlog() { return readtext(dir / "graphics_error.log"); }
    testtempdir tmp{"voxda-errorlog"};
    std::filesystem::path old, dir;
    bool hadlc = false;
    std::string oldlc;
};

struct namedcode {
    std::string name;
    uint32_t code;
};

// The result codes as the data file lists them.
std::vector<namedcode> readcodefile() {
    std::ifstream in(std::string(VOXDA_SOURCE_DIR) + "/tests/data/directdraw-result-codes.tsv");
    std::vector<namedcode> rows;
    std::string line;
    while (std::getline(in, line)) {
        if (line.empty() || line[0] == '#') continue;
        size_t tab = line.find('\t');
        rows.push_back(
            {line.substr(0, tab), static_cast<uint32_t>(std::stoul(line.substr(tab + 1), nullptr, 16))});
    }
    return rows;
}

// The date and time the C library gives for now, "yyyy-Mon-dd HH:MM:SS" in the C locale.
std::string clibrarynow() {
    time_t t = time(nullptr);
    tm local{};
    localtime_r(&t, &local);
    char buffer[64];
    strftime(buffer, sizeof buffer, "%Y-%b-%d %H:%M:%S", &local);
    return buffer;
}

}  // namespace

TEST_F(ErrorlogTest, EveryCodeOfTheDataFileIsNamedInWarnings) {
    std::vector<namedcode> rows = readcodefile();
    ASSERT_EQ(rows.size(), 112u);
    ASSERT_EQ(ddresultnamecount, 112);
    for (size_t i = 0; i < rows.size(); ++i) {
        EXPECT_EQ(std::string(ddresultnames[i].name), rows[i].name) << "row " << i;
        EXPECT_EQ(ddresultnames[i].code, rows[i].code) << rows[i].name;
        testing::internal::CaptureStdout();
        ddcheck("ctx", rows[i].code, ddseverity::warning);
        std::string out = testing::internal::GetCapturedStdout();
        EXPECT_EQ(out, "\nDirectdraw error DDERR_" + rows[i].name + " @ -ctx\n");
    }
    // One log line per warning.
    std::string log = readlog();
    EXPECT_EQ(std::count(log.begin(), log.end(), '\n'), 112);
}

TEST_F(ErrorlogTest, PublishedCodesMatchTheirNames) {
    // Codes as the COM and display documentation publish them.
    const namedcode published[] = {
        {"OUTOFMEMORY", 0x8007000E},
        {"INVALIDPARAMS", 0x80070057},
        {"GENERIC", 0x80004005},
        {"UNSUPPORTED", 0x80004001},
        {"NOTINITIALIZED", 0x800401F0},
        {"ALREADYINITIALIZED", 0x88760005},
        {"NOEXCLUSIVEMODE", 0x887600E1},
        {"SURFACELOST", 0x887601C2},
        {"WASSTILLDRAWING", 0x8876021C},
        {"UNSUPPORTEDMODE", 0x8876024E},
        {"DEVICEDOESNTOWNSURFACE", 0x887602BB},
    };
    for (const namedcode& p : published) {
        testing::internal::CaptureStdout();
        ddcheck("x", p.code, ddseverity::warning);
        EXPECT_EQ(testing::internal::GetCapturedStdout(), "\nDirectdraw error DDERR_" + p.name + " @ -x\n");
    }
}

TEST_F(ErrorlogTest, UnknownCodesAreEightUpperCaseHexDigits) {
    const std::pair<uint32_t, const char*> cases[] = {
        {0x1, "00000001"}, {0x0ABCDEF0, "0ABCDEF0"}, {0x88760001, "88760001"}, {0xFFFFFFFF, "FFFFFFFF"}};
    for (const auto& [code, hex] : cases) {
        testing::internal::CaptureStdout();
        ddcheck("step", code, ddseverity::warning);
        EXPECT_EQ(testing::internal::GetCapturedStdout(),
                  std::string("\nDirectDraw error ") + hex + " @ -step\n");
    }
}

TEST_F(ErrorlogTest, SuccessWritesNothing) {
    testing::internal::CaptureStdout();
    ddcheck("makebank - locking shad", 0);
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "");
    EXPECT_FALSE(std::filesystem::exists(dir / "graphics_error.log"));
}

TEST_F(ErrorlogTest, WarningLineKeepsTheDashAndTheTimeStamp) {
    std::string before = clibrarynow();
    testing::internal::CaptureStdout();
    ddcheck("directxsetup,8bit - setting display mode", PFERR_NOEMULATION, ddseverity::warning);
    testing::internal::GetCapturedStdout();
    std::string after = clibrarynow();
    std::string log = readlog();
    const std::string message =
        " Directdraw error DDERR_NOEMULATION @ -directxsetup,8bit - setting display mode\n";
    EXPECT_TRUE(log == before + message || log == after + message) << log;
}

TEST_F(ErrorlogTest, TwoRunsAppendTwoLinesOldestFirst) {
    for (const char* text : {"first run", "second run"}) {
        pid_t child = fork();
        ASSERT_GE(child, 0);
        if (child == 0) {
            logerror(text);
            _exit(0);
        }
        int status = 0;
        waitpid(child, &status, 0);
        ASSERT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
    }
    std::regex line("\\d{4}-[A-Z][a-z]{2}-\\d{2} \\d{2}:\\d{2}:\\d{2} ");
    std::string log = readlog();
    size_t split = log.find('\n');
    ASSERT_NE(split, std::string::npos);
    std::string first = log.substr(0, split + 1), second = log.substr(split + 1);
    EXPECT_TRUE(std::regex_search(first, line) && first.ends_with(" first run\n")) << first;
    EXPECT_TRUE(std::regex_search(second, line) && second.ends_with(" second run\n")) << second;
}

TEST_F(ErrorlogTest, UnopenableLogGoesToStandardOutput) {
    std::filesystem::create_directory(dir / "graphics_error.log");  // a directory cannot be appended to
    testing::internal::CaptureStdout();
    testing::internal::CaptureStderr();
    logerror("cannot be filed");
    std::string out = testing::internal::GetCapturedStdout();
    std::string err = testing::internal::GetCapturedStderr();
    EXPECT_TRUE(out.ends_with(" cannot be filed\n")) << out;
    EXPECT_NE(err.find("graphics_error.log"), std::string::npos);
}

// The fatal path in a child: log line, box text and caption, released objects, quit posted, status 1.
TEST_F(ErrorlogTest, FatalErrorReleasesLogsShowsTheBoxAndExitsWithOne) {
    GTEST_FLAG_SET(death_test_style, "fast");
    auto fatal = [] {
        pfdisplay* dd = nullptr;
        pfdisplaycreate(nullptr, &dd, nullptr);
        screen.dd = dd;
        pfwindowclass c{};
        c.proc = pfdefwindowproc;
        c.classname = "fatal";
        pfregisterclass(&c);
        screen.window =
            pfcreatewindow(0, "fatal", "t", PF_WS_VISIBLE, 0, 0, 8, 8, nullptr, nullptr, nullptr, nullptr);
        pfdisplaysetcooperativelevel(dd, screen.window, PF_SCL_FULLSCREEN | PF_SCL_EXCLUSIVE);
        pfdisplaysetmode(dd, 8, 8, 8);
        pfsurfacedesc desc{
            PF_SD_CAPS | PF_SD_WIDTH | PF_SD_HEIGHT, 8, 8, 0, nullptr, {}, PF_CAPS_OFFSCREENPLAIN};
        pfdisplaycreatesurface(dd, &desc, &screen.shad, nullptr);
        // At exit: the surface must be gone and a quit message queued.
        std::atexit([] {
            pfsurfacedesc d{};
            pfmessage m{};
            bool quit = pfpeekmessage(&m, nullptr, 0, 0, PF_PM_NOREMOVE) && m.message == PFM_QUIT;
            std::fprintf(stderr, "released %d quit %d\n",
                         pfsurfacelock(screen.shad, nullptr, &d, 0, nullptr) == PFERR_INVALIDOBJECT, quit);
        });
        ddcheck("ddunlosesurface", PFERR_SURFACELOST);
    };
    EXPECT_EXIT(fatal(), ::testing::ExitedWithCode(1),
                "Oh sod it: Directdraw error DDERR_SURFACELOST @ ddunlosesurface\nreleased 1 quit 1");
    std::string log = readlog();
    EXPECT_TRUE(log.ends_with(" Directdraw error DDERR_SURFACELOST @ ddunlosesurface\n")) << log;
    EXPECT_EQ(std::count(log.begin(), log.end(), '\n'), 1);
}

TEST_F(ErrorlogTest, TimeToSystemTimeAgreesWithTheCLibrary) {
    const double times[] = {0.0, 1e9, 951782400.0, 951868799.5, 4102444800.0, 1234567890.25, 1709651251.0};
    for (double t : times) {
        pfsystemtime s{};
        timetosystemtime(t, &s);
        time_t whole = static_cast<time_t>(std::floor(t));
        tm g{};
        gmtime_r(&whole, &g);
        EXPECT_EQ(s.year, g.tm_year + 1900) << t;
        EXPECT_EQ(s.month, g.tm_mon + 1) << t;
        EXPECT_EQ(s.day, g.tm_mday) << t;
        EXPECT_EQ(s.dayofweek, g.tm_wday) << t;
        EXPECT_EQ(s.hour, g.tm_hour) << t;
        EXPECT_EQ(s.minute, g.tm_min) << t;
        EXPECT_EQ(s.second, g.tm_sec) << t;
        EXPECT_EQ(s.milliseconds, static_cast<int>(std::round((t - std::floor(t)) * 1000))) << t;
    }
    // Before 1601 and not-a-number give an empty record, which formats as an empty date.
    for (double bad : {-11644473601.0, std::nan("")}) {
        pfsystemtime s{};
        s.year = 99;
        timetosystemtime(bad, &s);
        EXPECT_EQ(s.year, 0);
        char out[datetimesize];
        EXPECT_STREQ(datestring(bad, out), "");
    }
}

TEST_F(ErrorlogTest, DateAndTimeStringsOfAFixedTime) {
    char out[datetimesize];
    EXPECT_STREQ(datetimestring(1e9, out), "2001-Sep-09 01:46:40");
    EXPECT_STREQ(datestring(951782400.0, out), "2000-Feb-29");
    EXPECT_STREQ(timestring(86399.0, out), "23:59:59");
    pffiletime ft{0, 0};  // 1601-01-01 00:00:00
    EXPECT_STREQ(filetimestring(&ft, out), "1601-Jan-01 00:00:00");
    // The current time in the same layout as the C library's.
    std::string before = clibrarynow();
    std::string now = datetimestring(nowtime, out);
    EXPECT_TRUE(now == before || now == clibrarynow()) << now;
}
