// voxda-track: headless batch tracker running the demo's frame logic and printing CSV.
#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include <unistd.h>

#include "particles/decays.h"
#include "simulation/beam.h"
#include "util/dynarray.h"
#include "util/outputfile.h"

namespace {

const char* const usage =
    "usage: voxda-track [--frames N] [--fast] [--accelerate FROM:TO] [--in FILE] [--out FILE]\n"
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
    "  --help               show this text\n";

struct options {
    long frames = 100;
    bool fast = false;
    bool accelerate = false;
    long from = 0, to = -1;
    std::string in;   // empty: the demo's beam
    std::string out;  // empty: no output file
};

// One line naming the problem, status 2.
[[noreturn]] void fail(const std::string& message) {
    std::fprintf(stderr, "voxda-track: %s\n", message.c_str());
    std::exit(2);
}

// A whole decimal number without sign, or -1.
long wholenumber(const char* text) {
    if (!*text) return -1;
    long value = 0;
    for (const char* c = text; *c; ++c) {
        if (*c < '0' || *c > '9') return -1;
        value = value * 10 + (*c - '0');
        if (value > 1000000000L) return -1;
    }
    return value;
}

options parse(int argc, char** argv) {
    options o;
    for (int i = 1; i < argc; ++i) {
        std::string arg = argv[i];
        // "--name=value" is the same as "--name value".
        std::string inlinevalue;
        bool hasinline = false;
        if (size_t eq = arg.find('='); arg.rfind("--", 0) == 0 && eq != std::string::npos) {
            inlinevalue = arg.substr(eq + 1);
            arg.erase(eq);
            hasinline = true;
        }
        auto value = [&](const char* what) -> std::string {
            if (hasinline) {
                hasinline = false;
                return inlinevalue;
            }
            if (i + 1 >= argc) fail(arg + " needs " + what);
            return argv[++i];
        };
        if (arg == "--help" || arg == "-h") {
            std::fputs(usage, stdout);
            std::exit(0);
        } else if (arg == "--fast") {
            o.fast = true;
        } else if (arg == "--frames") {
            std::string v = value("a number of frames");
            o.frames = wholenumber(v.c_str());
            if (o.frames < 0) fail("--frames needs a whole number of frames, not '" + v + "'");
        } else if (arg == "--accelerate") {
            std::string v = value("a frame range FROM:TO");
            size_t colon = v.find(':');
            o.from = wholenumber(v.substr(0, colon).c_str());
            o.to = colon == std::string::npos ? -1 : wholenumber(v.c_str() + colon + 1);
            if (o.from < 0 || o.to < 0 || o.from > o.to)
                fail("--accelerate needs a frame range FROM:TO with FROM <= TO, not '" + v + "'");
            o.accelerate = true;
        } else if (arg == "--in") {
            o.in = value("a file name");
            if (o.in.empty()) fail("--in needs a file name");
        } else if (arg == "--out") {
            o.out = value("a file name");
            if (o.out.empty()) fail("--out needs a file name");
        } else {
            fail("unknown argument '" + std::string(argv[i]) + "' (try --help)");
        }
        if (hasinline) fail(arg + " takes no value");
    }
    return o;
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

    const uint32_t initialcount = beam.count;
    double distance = startdistance;  // m
    std::printf("frame,distance_m,time_ms,beam_percent,count\n");
    for (long frame = 0; frame < o.frames; ++frame) {
        cullbeam(&beam);
        double timems = distance / timedisplayspeed / 0.001;
        double percent = initialcount ? 100.0 * beam.count / initialcount : 0.0;
        std::printf("%ld,%.17g,%.17g,%.17g,%u\n", frame, distance, timems, percent, beam.count);
        advancebeam(&beam, &distance, o.fast);
        if (o.accelerate && o.from <= frame && frame <= o.to) acceleratebeam(&beam);
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
