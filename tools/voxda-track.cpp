// voxda-track: headless batch tracker running the demo's frame and printing CSV.
#include <CLI/CLI.hpp>

#include <algorithm>
#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include <unistd.h>

#include "particles/decays.h"
#include "simulation/beam.h"
#include "tracking/engine.h"
#include "tracking/frame.h"
#include "util/dynarray.h"
#include "util/outputfile.h"

namespace {

const char* const usage =
    "usage: voxda-track [--frames N] [--fast] [--accelerate FROM:TO] [--in FILE] [--out FILE]\n"
    "                   [--math exact|vector] [--threads N]\n"
    "\n"
    "Tracks the demo's proton beam through the FODO cell without a display and prints one\n"
    "CSV row per frame: frame,distance_m,time_ms,beam_percent,count.\n"
    "\n"
    "  --frames N           number of frames (default 100)\n"
    "  --fast               one whole cell (177 steps of 0.05 m) per frame instead of one step\n"
    "  --accelerate FROM:TO accelerate once per frame in frames FROM to TO (inclusive)\n"
    "  --in FILE            starting beam from a growable-array file (element size 40:\n"
    "                       x, xp, y, yp, energy as little-endian doubles); default: the\n"
    "                       demo's 10000-particle beam\n"
    "  --out FILE           write the beam after the last frame to FILE in the same layout\n"
    "  --math MODE          exact (default: the C library's functions, bit for bit the demo)\n"
    "                       or vector (our own SIMD functions, the same bits on every machine)\n"
    "  --threads N          threads to track with, 1 to 256 (default 0: every core); the\n"
    "                       results do not depend on it\n"
    "  --help               show this text\n";

struct options {
    long frames = 100;
    bool fast = false;
    bool accelerate = false;
    long from = 0, to = -1;
    std::string in;   // empty: the demo's beam
    std::string out;  // empty: no output file
    engineoptions engine;
};

// One line naming the problem, status 2.
[[noreturn]] void fail(const std::string& message) {
    std::fprintf(stderr, "voxda-track: %s\n", message.c_str());
    std::exit(2);
}

// A whole decimal number without sign, or -1.
long wholenumber(const std::string& text) {
    if (text.empty()) return -1;
    long value = 0;
    for (char c : text) {
        if (c < '0' || c > '9') return -1;
        value = value * 10 + (c - '0');
        if (value > 1000000000L) return -1;
    }
    return value;
}

// CLI11 reads the command line (also "--name=value"); the values are checked here, so each
// fault gets its own one-line message.
options parse(int argc, char** argv) {
    options o;
    std::string
        environmenterror;  // VOXDA_MATH, VOXDA_THREADS and VOXDA_SIMD as the demo reads them; options win
    if (!engineoptionsfromenvironment(&o.engine, environmenterror)) fail(environmenterror);
    std::string frames, range, math, threads;
    CLI::App app("voxda-track");
    app.set_help_flag("-h,--help");
    app.add_option("--frames", frames);
    app.add_flag("--fast", o.fast)->disable_flag_override();
    app.add_option("--accelerate", range);
    app.add_option("--in", o.in);
    app.add_option("--out", o.out);
    app.add_option("--math", math);
    app.add_option("--threads", threads);
    try {
        app.parse(argc, argv);
    } catch (const CLI::CallForHelp&) {
        std::fputs(usage, stdout);
        std::exit(0);
    } catch (const CLI::ParseError& e) {
        std::string message = e.what();
        if (message.find("flag override") != std::string::npos) fail("--fast takes no value");
        std::replace(message.begin(), message.end(), '\n', ' ');
        fail(message + " (try --help)");
    }
    if (app.count("--frames")) {
        o.frames = wholenumber(frames);
        if (o.frames < 0) fail("--frames needs a whole number of frames, not '" + frames + "'");
    }
    if (app.count("--accelerate")) {
        size_t colon = range.find(':');
        o.from = wholenumber(range.substr(0, colon));
        o.to = colon == std::string::npos ? -1 : wholenumber(range.substr(colon + 1));
        if (o.from < 0 || o.to < 0 || o.from > o.to)
            fail("--accelerate needs a frame range FROM:TO with FROM <= TO, not '" + range + "'");
        o.accelerate = true;
    }
    if (app.count("--in") && o.in.empty()) fail("--in needs a file name");
    if (app.count("--out") && o.out.empty()) fail("--out needs a file name");
    if (app.count("--math") && !parsemathmode(math, &o.engine.math))
        fail("--math needs exact or vector, not '" + math + "'");
    if (!mathmodeavailable(o.engine.math))
        fail(std::string("--math ") + mathmodename(o.engine.math) + ": not in this build");
    if (app.count("--threads") && !parsethreads(threads, &o.engine.threads))
        fail("--threads needs a thread count from 1 to 256 (0: every core), not '" + threads + "'");
    return o;
}

// Prints a frame's CSV row.
struct rowprinter {
    long frame;
};

void printrow(const framestatus& status, void* context) {
    const rowprinter& r = *static_cast<const rowprinter*>(context);
    std::printf("%ld,%.17g,%.17g,%.17g,%u\n", r.frame, status.distance, status.timems, status.percent,
                status.count);
}

// The element size in a beam file's header (little-endian u32 at byte 4); false when the
// file holds no whole header.
bool headerelemsize(const std::string& path, uint32_t* elemsize) {
    FILE* file = std::fopen(path.c_str(), "rb");
    if (!file) return false;
    unsigned char head[8];
    size_t got = std::fread(head, 1, sizeof head, file);
    std::fclose(file);
    if (got != sizeof head) return false;
    *elemsize = head[4] | head[5] << 8 | head[6] << 16 | static_cast<uint32_t>(head[7]) << 24;
    return true;
}

// The starting beam from a file in the full growable-array layout.
dynarray loadbeam(const std::string& path) {
    FILE* file = std::fopen(path.c_str(), "rb");
    if (!file) fail(path + ": cannot open: " + std::strerror(errno));
    bool ok = false;
    errno = 0;
    dynarray beam = dynarrayread(file, &ok);
    int error = errno;
    bool readfailed = std::ferror(file);
    std::fclose(file);
    if (!ok && readfailed) fail(path + ": cannot read: " + std::strerror(error));
    // A wrong element size also makes the length disagree with the header: name the size.
    // Every size but 40, 0 included, is refused: the tracker indexes the data as particles.
    uint32_t elemsize = beam.elemsize;
    bool known = ok || headerelemsize(path, &elemsize);
    if (known && elemsize != sizeof(particle))
        fail(path + ": element size is " + std::to_string(elemsize) + ", expected 40 (x, xp, y, yp, energy)");
    if (!ok) fail(path + ": file is shorter than its header says");
    return beam;
}

// The temporary output file, removed when a signal ends the run early.
char pendingtemp[4096];

void removependingtemp(int signal) {
    if (pendingtemp[0]) unlink(pendingtemp);
    std::signal(signal, SIG_DFL);
    std::raise(signal);
}

}  // namespace

int main(int argc, char** argv) {
    options o = parse(argc, argv);
    makedecaytables();

    dynarray beam;
    if (!o.in.empty())
        beam = loadbeam(o.in);
    else
        makebeam(&beam);

    // Claim the output's temporary file before tracking, so a bad path fails at once
    // and a failed run never leaves a partial file under the output's name.
    outputfile out;
    if (!o.out.empty()) {
        if (!openoutput(&out, o.out.c_str())) fail(o.out + ": cannot write: " + std::strerror(out.error));
        if (out.temporary.size() < sizeof pendingtemp) {
            std::memcpy(pendingtemp, out.temporary.c_str(), out.temporary.size() + 1);
            for (int s : {SIGINT, SIGTERM, SIGHUP, SIGPIPE}) std::signal(s, removependingtemp);
        }
    }

    engine tracker(o.engine);
    const uint32_t initialcount = beam.count;
    double distance = startdistance;  // m
    std::printf("frame,distance_m,time_ms,beam_percent,count\n");
    rowprinter row{0};
    framehooks hooks;
    hooks.report = printrow;
    hooks.context = &row;
    for (long frame = 0; frame < o.frames; ++frame) {
        row.frame = frame;
        const bool accelerate = o.accelerate && o.from <= frame && frame <= o.to;
        runframe(tracker, &beam, &distance, initialcount, {o.fast, accelerate}, hooks);
    }
    if (std::fflush(stdout) != 0 || std::ferror(stdout)) {
        abortoutput(&out);
        fail("cannot write the CSV to standard output");
    }

    if (out.file) {
        bool good = dynarraywrite(&beam, out.file);
        if (!good) abortoutput(&out);
        good = good && commitoutput(&out);
        pendingtemp[0] = 0;
        if (!good) fail(o.out + ": cannot write: " + std::strerror(out.error ? out.error : EIO));
    }
    return 0;
}
