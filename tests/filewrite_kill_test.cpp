// Files are never corrupted: each writer of a file users keep ("crarray.cgf", a font, a BMP,
// a palette, a beam file) runs in a child that is killed at a random moment while it writes
// one version after another; the file then reads back as one whole version, never a mix. A
// directory that cannot be written gives a clear failure and leaves nothing behind.
#include <gtest/gtest.h>

#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cmath>
#include <cstring>
#include <filesystem>
#include <functional>
#include <random>
#include <string>
#include <vector>

#include "display/palette.h"
#include "display/screen.h"
#include "raster/blendtables.h"
#include "raster/export.h"
#include "raster/pixels.h"
#include "tests/testfiles.h"
#include "text/fontstore.h"
#include "util/dynarray.h"

namespace {

// A drawing surface in memory for the BMP and palette writers.
std::vector<uint8_t> surfacepixels;
void opensurface(int w, int h, int shade) {
    screen.bytesperpixel = 1;
    screen.width = w;
    screen.height = h;
    screen.clipleft = screen.cliptop = 0;
    screen.shadpitch = w;
    surfacepixels.assign(static_cast<size_t>(w) * h, 0);
    for (size_t k = 0; k < surfacepixels.size(); ++k) surfacepixels[k] = static_cast<uint8_t>(k * 7 + shade);
    screen.shadpixels = surfacepixels.data();
    for (int i = 0; i < 256; i++) screen.palette[i] = {uint8_t(i), uint8_t(255 - i), uint8_t(i * shade), 4};
    selectpixelroutines();
}

// One writer: writes version 0 or 1 of the file at path; true when it says it wrote it.
struct writer {
    const char* name;
    std::function<bool(const std::string& path, int version)> write;
};

std::vector<unsigned char> cachebytes(int version) {
    std::vector<unsigned char> bytes(blendcachesize);
    for (size_t k = 0; k < bytes.size(); ++k) bytes[k] = static_cast<unsigned char>(version ? k * 13 : 0x11);
    return bytes;
}

const writer writers[] = {
    {"crarray.cgf", [](const std::string& path,
                       int version) { return writeblendcache(path.c_str(), cachebytes(version).data()); }},
    {"font",
     [](const std::string& path, int version) {
         blendtablesbuilt = 1;  // no cache file of its own
         std::vector<unsigned char> bytes;
         for (int g = 0; g < glyphcount; ++g) {
             int w = 1 + (g + version) % 7, h = 2 + version;
             bytes.push_back(static_cast<unsigned char>(w));
             bytes.push_back(static_cast<unsigned char>(h));
             for (int k = 0; k < w * h; ++k) bytes.push_back(static_cast<unsigned char>(16 + (g + k) % 200));
         }
         makefont(bytes.data(), static_cast<int>(bytes.size()), version ? "one" : "zero");
         return savefont(path.c_str(), version ? "one" : "zero") == 1;
     }},
    {"bmp",
     [](const std::string& path, int version) {
         opensurface(40 + version, 30 + version, 3 + version);
         return savebmp(0, 0, screen.width, screen.height, path.c_str()) == 1;
     }},
    {"palette",
     [](const std::string& path, int version) {
         opensurface(4, 4, version ? 200 : 1);
         return savepalette(path.c_str()) == 1;
     }},
    {"beam",
     [](const std::string& path, int version) {
         dynarray a;
         dynarrayinit(&a, 40);
         unsigned char element[40];
         for (int n = 0; n < 2000 + 500 * version; ++n) {
             for (int k = 0; k < 40; ++k) element[k] = static_cast<unsigned char>(n + k + version);
             dynarrayappend(&a, element);
         }
         bool ok = dynarraysave(&a, path.c_str());
         dynarrayrelease(a);
         return ok;
     }},
};

// Runs fn in a child process; its exit status, or -signal when a signal ended it.
int inchild(const std::function<int()>& fn) {
    std::fflush(stdout);
    std::fflush(stderr);
    pid_t child = fork();
    if (child == 0) _exit(fn());
    int raw = 0;
    waitpid(child, &raw, 0);
    return WIFEXITED(raw) ? WEXITSTATUS(raw) : -WTERMSIG(raw);
}

}  // namespace

TEST(FileWrites, KilledWriterLeavesTheOldOrTheNewFile) {
    testtempdir dir;
    std::mt19937 random(12345);
    for (const writer& w : writers) {
        SCOPED_TRACE(w.name);
        // The two versions as written by an undisturbed writer.
        const std::string zero = (dir.path / (std::string(w.name) + ".0")).string();
        const std::string one = (dir.path / (std::string(w.name) + ".1")).string();
        ASSERT_EQ(inchild([&] { return w.write(zero, 0) && w.write(one, 1) ? 0 : 1; }), 0);
        const std::string versions[2] = {readtext(zero), readtext(one)};
        ASSERT_NE(versions[0], versions[1]);
        const std::string target = (dir.path / w.name).string();
        ASSERT_EQ(inchild([&] { return w.write(target, 0) ? 0 : 1; }), 0);
        for (int round = 0; round < 12; ++round) {
            std::fflush(stdout);
            pid_t child = fork();
            ASSERT_GE(child, 0);
            if (child == 0) {
                for (int n = 0;; ++n) w.write(target, n % 2);
            }
            usleep(std::uniform_int_distribution<useconds_t>(0, 30000)(random));
            kill(child, SIGKILL);
            int raw = 0;
            waitpid(child, &raw, 0);
            const std::string now = readtext(target);
            EXPECT_TRUE(now == versions[0] || now == versions[1])
                << "round " << round << ": " << now.size() << " bytes, versions of " << versions[0].size()
                << " and " << versions[1].size();
        }
    }
}

TEST(FileWrites, UnwritableDirectoryFailsCleanly) {
    testtempdir dir;
    for (const writer& w : writers) {
        SCOPED_TRACE(w.name);
        // A directory that cannot be written (for root, which may write anywhere else, one in
        // /proc).
        std::filesystem::path locked = dir.path / "locked";
        std::filesystem::create_directories(locked);
        std::filesystem::permissions(locked,
                                     std::filesystem::perms::owner_read | std::filesystem::perms::owner_exec);
        const std::string inside =
            geteuid() == 0 ? std::string("/proc/self/voxda-unwritable") : (locked / w.name).string();
        EXPECT_EQ(inchild([&] { return w.write(inside, 0) ? 0 : 7; }), 7);
        EXPECT_FALSE(std::filesystem::exists(inside));
        std::filesystem::permissions(locked, std::filesystem::perms::owner_all);
    }
    // Nothing but the written files is left behind: no temporary file.
    for (const auto& entry : std::filesystem::directory_iterator(dir.path))
        EXPECT_EQ(entry.path().string().find(".tmp"), std::string::npos) << entry.path();
}
