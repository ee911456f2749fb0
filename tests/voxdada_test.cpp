// Tests of voxda-da and voxda-optics, run as programs: losses against voxda-track, identical files
// for any number of threads and processes, checkpoints, bad particle files, pictures.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cmath>
#include <filesystem>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "simulation/beam.h"
#include "tests/testfiles.h"
#include "tests/testprocess.h"
#include "tests/testpython.h"
#include "util/dynarray.h"

namespace {

#if defined(__SANITIZE_ADDRESS__)
constexpr bool sanitized = true;  // every cell costs ten times as much: shorter scans
#else
constexpr bool sanitized = false;
#endif

const char* const outputs[] = {".csv", "-da.csv", ".png", ".svg"};

// The first frame of voxda-track --fast whose row shows the lone particle gone, or -1.
long trackedloss(const testtempdir& dir, const particle& p, long cells, const std::string& accelerate) {
    dynarray beam;
    dynarrayinit(&beam, sizeof(particle));
    dynarrayappend(&beam, &p);
    std::string path = dir.file("one.bin");
    EXPECT_TRUE(dynarraysave(&beam, path.c_str()));
    dynarrayrelease(beam);
    std::vector<std::string> args = {"--fast", "--in", path, "--frames", std::to_string(cells + 1)};
    if (!accelerate.empty()) args.insert(args.end(), {"--accelerate", accelerate});
    processresult r = runbuilt("voxda-track", args, dir.path);
    EXPECT_EQ(r.status, 0) << r.err;
    std::istringstream in(r.out);
    std::string line;
    std::getline(in, line);
    for (long frame = 0; std::getline(in, line); ++frame)
        if (line.substr(line.rfind(',') + 1) == "0") return frame;
    return -1;
}

// The lost_at_cell column of a voxda-da table.
std::vector<long> lostcolumn(const std::string& csv) {
    std::istringstream in(csv);
    std::string line;
    std::getline(in, line);
    std::vector<long> lost;
    while (std::getline(in, line)) lost.push_back(std::stol(line.substr(line.rfind(',') + 1)));
    return lost;
}

processresult da(const testtempdir& dir, std::vector<std::string> args) {
    return runbuilt("voxda-da", args, dir.path);
}

TEST(VoxdaDa, LostAtCellIsTheFrameWhereVoxdaTrackLosesTheParticle) {
    testtempdir dir;
    // Inside throughout; outside at the start; not a number; lost after a few cells; lost in the
    // first cell; lost later under acceleration.
    const std::vector<particle> particles = {{0.01, 0, 0.012, 0.0005, 800}, {0.6, 0, 0, 0, 800},
                                             {std::nan(""), 0, 0, 0, 800},  {0.1, 0, 0, 0, 800},
                                             {0, 0, 0.15, 0, 800},          {0.07, 0.001, -0.03, 0, 760}};
    std::string csv = "x,xp,y,yp,energy\n";
    for (const particle& p : particles) {
        char row[200];
        std::snprintf(row, sizeof row, "%.17g,%.17g,%.17g,%.17g,%.17g\n", p.x, p.xp, p.y, p.yp, p.energy);
        csv += row;
    }
    writebytes(dir.path / "in.csv", std::vector<uint8_t>(csv.begin(), csv.end()));
    const long cells = 20;
    for (std::string accelerate : {"", "3:12"}) {
        std::vector<std::string> args = {"--particles", dir.file("in.csv"), "--cells", std::to_string(cells),
                                         "-o",          dir.file("scan"),   "--quiet"};
        if (!accelerate.empty()) args.insert(args.end(), {"--accelerate", accelerate});
        processresult r = da(dir, args);
        ASSERT_EQ(r.status, 0) << r.err;
        std::vector<long> lost = lostcolumn(readtext(dir.path / "scan.csv"));
        ASSERT_EQ(lost.size(), particles.size());
        for (size_t i = 0; i < particles.size(); ++i)
            EXPECT_EQ(lost[i], trackedloss(dir, particles[i], cells, accelerate))
                << "particle " << i << " " << accelerate;
        if (accelerate.empty()) {
            EXPECT_EQ(lost, (std::vector<long>{-1, 0, 0, 9, 2, lost[5]}));
        }
    }
}

TEST(VoxdaDa, FilesAreTheSameForAnyNumberOfThreads) {
    testtempdir dir;
    std::vector<std::string> scan = {"--amplitude", "2mm:110mm:12", "--angles", "-90:90:5", "--cells",
                                     "60",          "--refine",     "2mm",      "--quiet"};
    for (const char* threads : {"1", "2", "3"}) {
        std::vector<std::string> args = scan;
        args.insert(args.end(), {"--threads", threads, "-o", dir.file(threads)});
        processresult r = da(dir, args);
        ASSERT_EQ(r.status, 0) << r.err;
        EXPECT_EQ(r.err, "");
    }
    for (const char* suffix : outputs) {
        std::vector<uint8_t> one = readbytes(dir.file("1") + suffix);
        EXPECT_FALSE(one.empty()) << suffix;
        EXPECT_EQ(readbytes(dir.file("2") + suffix), one) << suffix;
        EXPECT_EQ(readbytes(dir.file("3") + suffix), one) << suffix;
    }
    // Bisection rows follow the 60 grid rows; the bounds narrowed below 2 mm at 60 cells.
    std::string summary = readtext(dir.file("1") + "-da.csv");
    std::istringstream in(summary);
    std::string line;
    int rows60 = 0;
    while (std::getline(in, line)) {
        if (line.rfind("60,", 0) != 0 || line.find("min") != std::string::npos ||
            line.find("mean") != std::string::npos)
            continue;
        std::vector<std::string> f;
        std::stringstream s(line);
        for (std::string field; std::getline(s, field, ',');) f.push_back(field);
        ASSERT_GE(f.size(), 4u) << line;
        if (f[3].empty()) continue;
        EXPECT_LT(std::stod(f[3]) - std::stod(f[2]), 0.002) << line;
        ++rows60;
    }
    EXPECT_GE(rows60, 3) << summary;
    EXPECT_GT(lostcolumn(readtext(dir.file("1") + ".csv")).size(), 60u);
}

TEST(VoxdaDa, FilesAreTheSameForOneAndTwoMpiProcesses) {
    const std::string mpirun = VOXDA_MPIRUN;
    if (mpirun.empty()) GTEST_SKIP() << "mpirun is not installed (./voxda.sh test installs openmpi-bin)";
    if (!VOXDA_DA_HAS_MPI) GTEST_SKIP() << "voxda-da was built without MPI (libopenmpi-dev missing)";
    testtempdir dir;
    std::string common =
        " --amplitude 2mm:110mm:15 --angles -90:90:4 --cells 40 --refine 3mm --threads 1 --quiet";
    std::string program = shellquoted(builtprogram("voxda-da"));
    int one = runcommand(program + common + " -o " + shellquoted(dir.file("one")) + " 2>/dev/null");
    ASSERT_EQ(one, 0);
    int two = runcommand(shellquoted(mpirun) + " --oversubscribe --allow-run-as-root -np 2 " + program +
                         common + " -o " + shellquoted(dir.file("two")) + " >/dev/null 2>&1");
    ASSERT_EQ(two, 0);
    for (const char* suffix : outputs) {
        std::vector<uint8_t> a = readbytes(dir.file("one") + suffix);
        EXPECT_FALSE(a.empty()) << suffix;
        EXPECT_EQ(readbytes(dir.file("two") + suffix), a) << suffix;
    }
}

// Starts voxda-da in the background with its output thrown away; returns its process id.
pid_t startda(const std::vector<std::string>& args) {
    pid_t pid = fork();
    if (pid == 0) {
        int null = open("/dev/null", O_WRONLY);
        dup2(null, 1);
        dup2(null, 2);
        std::vector<std::string> all = {builtprogram("voxda-da")};
        all.insert(all.end(), args.begin(), args.end());
        std::vector<char*> argv;
        for (std::string& a : all) argv.push_back(a.data());
        argv.push_back(nullptr);
        execv(argv[0], argv.data());
        _exit(127);
    }
    return pid;
}

TEST(VoxdaDa, ACheckpointResumedAfterAKillGivesTheSameFiles) {
    testtempdir dir;
    const std::string cells = sanitized ? "300" : "3000";
    std::vector<std::string> scan = {"--amplitude", "1mm:60mm:60", "--angles", "-90:90:7", "--cells",
                                     cells,         "--threads",   "1",        "--quiet"};
    std::vector<std::string> whole = scan;
    whole.insert(whole.end(), {"-o", dir.file("whole")});
    ASSERT_EQ(da(dir, whole).status, 0);

    const std::string checkpoint = dir.file("scan.checkpoint");
    std::vector<std::string> resumable = scan;
    resumable.insert(resumable.end(),
                     {"-o", dir.file("resumed"), "--checkpoint", checkpoint, "--checkpoint-every", "0.02"});
    // Killed outright once the first checkpoint is on disk: only what was saved survives.
    pid_t pid = startda(resumable);
    ASSERT_GT(pid, 0);
    auto start = std::chrono::steady_clock::now();
    while (!std::filesystem::exists(checkpoint) &&
           std::chrono::steady_clock::now() - start < std::chrono::seconds(60))
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
    kill(pid, SIGKILL);
    int status = 0;
    waitpid(pid, &status, 0);
    ASSERT_TRUE(std::filesystem::exists(checkpoint));
    std::string saved = readtext(checkpoint);
    size_t savedrows = lostcolumn(saved.substr(saved.find('\n', saved.find('\n') + 1) + 1)).size();
    EXPECT_LT(savedrows, 420u) << "the run finished before the kill: make the scan longer";
    EXPECT_FALSE(std::filesystem::exists(dir.file("resumed.csv")));

    // Stopped politely by SIGTERM on the way: status 143, the checkpoint grows.
    pid = startda(resumable);
    std::this_thread::sleep_for(std::chrono::milliseconds(sanitized ? 600 : 150));
    kill(pid, SIGTERM);
    waitpid(pid, &status, 0);
    if (WIFEXITED(status) && WEXITSTATUS(status) == 143) {
        std::string later = readtext(checkpoint);
        EXPECT_GE(lostcolumn(later.substr(later.find('\n', later.find('\n') + 1) + 1)).size(), savedrows);
    }

    processresult r = da(dir, resumable);
    ASSERT_EQ(r.status, 0) << r.err;
    for (const char* suffix : outputs)
        EXPECT_EQ(readbytes(dir.file("resumed") + suffix), readbytes(dir.file("whole") + suffix)) << suffix;
    EXPECT_FALSE(std::filesystem::exists(checkpoint));  // done: the checkpoint has served
}

TEST(VoxdaDa, ACheckpointOfOtherParametersIsRefused) {
    testtempdir dir;
    const std::string checkpoint = dir.file("scan.checkpoint");
    std::string text =
        "voxda-da checkpoint\nparameters cells=5 math=exact\n"
        "index,x_m,xp_rad,y_m,yp_rad,energy_mev,amplitude_m,angle_deg,lost_at_cell\n";
    writebytes(checkpoint, std::vector<uint8_t>(text.begin(), text.end()));
    processresult r = da(dir, {"--amplitude", "1mm:2mm:2", "--angles", "0:0:1", "--cells", "3",
                               "--checkpoint", checkpoint, "-o", dir.file("x")});
    EXPECT_EQ(r.status, 2);
    EXPECT_NE(r.err.find("other parameters"), std::string::npos) << r.err;
    EXPECT_EQ(readtext(checkpoint), text);
    EXPECT_FALSE(std::filesystem::exists(dir.file("x.csv")));
}

TEST(VoxdaDa, BadInputGivesStatusTwoOneLineAndNoFiles) {
    testtempdir dir;
    struct badcase {
        const char* file;  // particle file contents, or null for an option case
        std::vector<std::string> args;
        const char* message;
    };
    const badcase cases[] = {
        {"x,xprime,y,yp\n0,0,0,0\n", {}, "unknown column 'xprime'"},
        {"x,y,yp\n0,0,0\n", {}, "missing column 'xp'"},
        {"x,xp,y,yp\n0.01,0,0,0\n0.02,zero,0,0\n", {}, "line 3: xp is not a number: 'zero'"},
        {"x,xp,y,yp\n", {}, "no particles"},
        {nullptr, {"--particles", "/nonexistent/particles.csv"}, "cannot read"},
        {nullptr, {"--amplitude", "1mm:5MeV:3"}, "--amplitude needs MIN:MAX:COUNT"},
        {nullptr, {"--amplitude", "5mm:1mm:3"}, "--amplitude needs MIN:MAX:COUNT"},
        {nullptr, {"--angles", "0:90"}, "--angles needs FROM:TO:COUNT"},
        {nullptr, {"--energy", "800mm"}, "--energy needs a kinetic energy"},
        {nullptr, {"--energy", "5MeV"}, "no closed orbit inside the aperture"},
        {nullptr, {"--cells", "-3"}, "--cells needs a whole number"},
        {nullptr, {"--math", "fast"}, "--math needs exact or vector"},
        {nullptr, {"--accelerate", "5:2"}, "--accelerate needs a cell range"},
        {nullptr, {"--refine", "0mm"}, "--refine needs a length above 0"},
        {nullptr, {"--about", "centre"}, "--about needs orbit or axis"},
        {nullptr, {"--quiet=yes"}, "unknown option '--quiet=yes'"},
        {nullptr, {"--frobnicate"}, "unknown option '--frobnicate'"},
        {nullptr, {"--cells"}, "--cells needs a value"},
    };
    for (const badcase& c : cases) {
        std::vector<std::string> args = c.args;
        if (c.file) {
            std::string text = c.file;
            writebytes(dir.path / "bad.csv", std::vector<uint8_t>(text.begin(), text.end()));
            args = {"--particles", dir.file("bad.csv")};
        }
        args.insert(args.begin(), {"-o", dir.file("out")});
        processresult r = da(dir, args);
        EXPECT_EQ(r.status, 2) << c.message;
        EXPECT_NE(r.err.find(c.message), std::string::npos) << r.err;
        EXPECT_EQ(r.err.find('\n'), r.err.size() - 1) << r.err;  // one line
        for (const char* suffix : outputs)
            EXPECT_FALSE(std::filesystem::exists(dir.file("out") + suffix)) << c.message;
    }
    processresult help = da(dir, {"--help"});
    EXPECT_EQ(help.status, 0);
    EXPECT_EQ(help.out.rfind("usage: voxda-da", 0), 0u) << help.out;
}

TEST(VoxdaDa, PicturesOpenWithTheirSize) {
    testtempdir dir;
    processresult r = da(dir, {"--amplitude", "5mm:120mm:8", "--angles", "-90:90:4", "--cells", "30", "-o",
                               dir.file("map"), "--quiet"});
    ASSERT_EQ(r.status, 0) << r.err;
    processresult o =
        runbuilt("voxda-optics", {"--energy", "500:1100:4", "-o", dir.file("optics")}, dir.path);
    ASSERT_EQ(o.status, 0) << o.err;
    for (const char* name : {"map", "optics"}) {
        std::string svg = readtext(dir.file(name) + std::string(".svg"));
        EXPECT_NE(svg.find("width=\"900pt\" height=\"700pt\""), std::string::npos) << name;
        if (pilpython().empty()) continue;
        int w = 0, h = 0;
        std::string mode;
        std::vector<unsigned> rgb;
        ASSERT_TRUE(pilreadrgb(dir.file(name) + std::string(".png"), w, h, mode, rgb)) << name;
        EXPECT_EQ(w, 900);
        EXPECT_EQ(h, 700);
        // White paper with black axes and coloured points or curves on it.
        size_t white = 0, coloured = 0;
        for (unsigned c : rgb) {
            unsigned red = c >> 16, green = c >> 8 & 255, blue = c & 255;
            white += c == 0xFFFFFF;
            coloured += std::max({red, green, blue}) - std::min({red, green, blue}) > 100;
        }
        EXPECT_GT(white, rgb.size() / 2) << name;
        EXPECT_GT(coloured, 200u) << name;
    }
    if (pilpython().empty())
        GTEST_SKIP() << "/usr/bin/python3 with PIL is not installed; the PNG read-back is skipped";
}

TEST(VoxdaOptics, RowsPerEnergyAndAnEmptyRowWithoutOrbit) {
    testtempdir dir;
    processresult r = runbuilt("voxda-optics", {"--energy", "800"}, dir.path);
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out.rfind("energy_mev,x_m,xp_rad,y_m,yp_rad,tune1,tune2,det,stable\n800,0,0,0,0,0.", 0), 0u)
        << r.out;
    EXPECT_EQ(r.out.substr(r.out.size() - 3), ",1\n") << r.out;
    r = runbuilt("voxda-optics", {"--energy", "5:40:2"}, dir.path);
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_NE(r.out.find("\n5,,,,,,,,0\n40,"), std::string::npos) << r.out;
    for (const std::vector<std::string>& bad : std::vector<std::vector<std::string>>{
             {"--energy", "0"}, {"--energy", "1:2"}, {"--math", "x"}, {"--bogus"}}) {
        processresult b = runbuilt("voxda-optics", bad, dir.path);
        EXPECT_EQ(b.status, 2) << bad[0];
        EXPECT_EQ(b.err.find('\n'), b.err.size() - 1) << b.err;
        EXPECT_EQ(b.out, "");
    }
}

}  // namespace
