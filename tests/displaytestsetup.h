// Test helper: a fresh headless platform, a closed display and a temporary working directory.
#pragma once

#include "display/screen.h"
#include "display/window.h"
#include "platform/headless/headless.h"
#include "raster/pixels.h"
#include "tests/testfiles.h"

#include <gtest/gtest.h>

#include <unistd.h>

#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

// Each test starts with the platform restarted on the headless backend, a desktop of the given
// size, every display global zeroed and the working directory a fresh temporary one (the error
// log is written there). Nothing is released at the end: the next test restarts the platform.
class displaytest : public ::testing::Test {
  protected:
    std::filesystem::path olddir, tempdir;

    void SetUp() override {
        olddir = std::filesystem::current_path();
        const ::testing::TestInfo* info = ::testing::UnitTest::GetInstance()->current_test_info();
        tempdir = freshtestdir("display_" + std::string(info->test_suite_name()) + "_" + info->name());
        std::filesystem::current_path(tempdir);
        reset();
    }
    // Restart the platform and zero the display globals (the working directory stays).
    void reset() {
        ASSERT_EQ(pfheadlessstart(), 1);
        pfheadlesssetdesktop(64, 48);
        screen = screenrecord{};
        mousex = mousey = mousebuttons = 0;
        mouselatched = 1;
        std::memset(keys, 0, sizeof keys);
        std::memset(lastkeys, 0, sizeof lastkeys);
        std::memset(typedkeys, 0, sizeof typedkeys);
        clearpixelroutines();
        viewportdepth = 0;
        std::filesystem::remove(tempdir / "graphics_error.log");
    }
    void TearDown() override {
        std::filesystem::current_path(olddir);
        std::filesystem::remove_all(tempdir);
    }

    // The error log's contents ("" when there is none).
    std::string errorlog() const { return readtext(tempdir / "graphics_error.log"); }
    // Number of lines in the error log.
    int errorlines() const {
        const std::string log = errorlog();
        int n = 0;
        for (char c : log) n += c == '\n';
        return n;
    }
};
