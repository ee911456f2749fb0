// voxda-decay: decays of a record of identical unstable particles, saved and read back.
#include <cctype>
#include <cerrno>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "particles/decays.h"
#include "particles/species.h"
#include "particles/trackedparticle.h"
#include "util/outputfile.h"
#include "util/units.h"
#include "util/vectors.h"

namespace {

const char usageline[] =
    "usage: voxda-decay [-n COUNT] [-s SPECIES] [-e ENERGY] [--seed N] [-u UNIT] [-o FILE]\n"
    "       voxda-decay -r FILE\n";

const char helptext[] =
    "Follows one tracked record of COUNT identical unstable particles moving along z:\n"
    "every decay is drawn from the particle's own random stream, its proper time,\n"
    "laboratory time and distance are printed, and the record is saved after every\n"
    "step and read back from the saved file.\n"
    "\n"
    "  -n, --count COUNT    particles in the record, 1 ... 100000 (default 10)\n"
    "  -s, --species NAME   pi+, pi-, mu+, mu-, K+, K- or pi0 (default pi+)\n"
    "  -e, --energy ENERGY  kinetic energy, a number with an optional eV unit such as\n"
    "                       200MeV, 1.5GeV or 800keV; a plain number is MeV (default 0)\n"
    "      --seed N         key of the random stream, 0 ... 4294967295 (default 1)\n"
    "  -u, --unit UNIT      time unit of the output: s, ms, us, ns, ps, ... (default ns)\n"
    "  -o, --output FILE    keep the saved records in FILE (default: a temporary file)\n"
    "  -r, --read FILE      list the records saved in FILE and stop\n"
    "  -h, --help           show this text\n"
    "Long options also take their value as --name=value.\n"
    "\n"
    "The saved file holds the record after scheduling and after every decay: 102 bytes\n"
    "per active record and 42 bytes for the final, decayed one.\n"
    "Exit status: 0 done, 1 a file could not be written or read back, 2 bad input.\n";

// Reports bad input and ends with status 2.
[[noreturn]] void badinput(const std::string& message) {
    std::fflush(stdout);
    std::fprintf(stderr, "voxda-decay: %s\n%s", message.c_str(), usageline);
    std::exit(2);
}

// Reports a failure to write or read back and ends with status 1.
[[noreturn]] void failure(const std::string& message) {
    std::fflush(stdout);
    std::fprintf(stderr, "voxda-decay: %s\n", message.c_str());
    std::exit(1);
}

// A whole decimal number within [low, high], or bad input.
unsigned long parsecount(const char* option, const char* text, unsigned long low, unsigned long high) {
    errno = 0;
    char* end = nullptr;
    unsigned long value = std::strtoul(text, &end, 10);
    bool digitsonly = *text >= '0' && *text <= '9' && end && *end == '\0';
    if (!digitsonly || errno == ERANGE || value < low || value > high)
        badinput(std::string(option) + " needs a whole number from " + std::to_string(low) + " to " +
                 std::to_string(high) + ", not '" + text + "'");
    return value;
}

// True when name is the unit base (such as "eV" or "s") with at most one
// metric prefix letter before it, as unit() reads it.
bool isunitof(const std::string& name, const char* base) {
    size_t n = std::strlen(base);
    if (name.size() < n || name.size() > n + 1) return false;
    for (size_t i = 0; i < n; i++)
        if (std::tolower(static_cast<unsigned char>(name[name.size() - n + i])) !=
            std::tolower(static_cast<unsigned char>(base[i])))
            return false;
    return name.size() == n || unitprefix(name[0]) != 0.0;
}

// Kinetic energy (J) of a text such as "200MeV"; a plain number is MeV.
double parseenergy(const char* text) {
    char* afternumber = nullptr;
    std::strtod(text, &afternumber);
    if (afternumber == text) badinput(std::string("--energy needs a number, not '") + text + "'");
    const char* end = nullptr;
    double joules = valuewithunit(text, &end, "MeV");
    std::string unitname(static_cast<const char*>(afternumber), end);
    if (*end != '\0' || !(unitname.empty() || isunitof(unitname, "eV")))
        badinput(std::string("--energy needs an energy in eV, keV, MeV, GeV, ..., not '") + text + "'");
    if (!(joules >= 0.0) || std::isinf(joules))
        badinput(std::string("--energy must be a finite energy of 0 or more, not '") + text + "'");
    return joules;
}

// Seconds per output time unit, for a text such as "ns".
double parsetimeunit(const char* text) {
    if (!isunitof(text, "s"))
        badinput(std::string("--unit needs a time unit such as s, ms, us or ns, not '") + text + "'");
    return unit(text);
}

// Saved fields equal, positions and proper velocities in single precision for inactive records.
bool samesaved(const trackedparticle& a, const trackedparticle& b) {
    if (a.weight != b.weight || a.ident != b.ident || static_cast<int8_t>(a.species) != b.species ||
        static_cast<int8_t>(a.status) != b.status || a.tag != b.tag)
        return false;
    const double av[6] = {a.x, a.y, a.z, a.ux, a.uy, a.uz};
    const double bv[6] = {b.x, b.y, b.z, b.ux, b.uy, b.uz};
    bool active = b.status == statusactive;
    for (int i = 0; i < 6; i++) {
        double expected = active ? av[i] : static_cast<double>(static_cast<float>(av[i]));
        if (expected != bv[i]) return false;
    }
    if (!active) return true;
    return a.propertime == b.propertime && a.auxtime == b.auxtime && a.nextdecay == b.nextdecay &&
           a.remaining == b.remaining && a.seed == b.seed && a.draws == b.draws;
}

// Reads every record of a saved file; a record cut short is bad input.
std::vector<trackedparticle> readall(FILE* file, const std::string& name) {
    std::vector<trackedparticle> records;
    for (;;) {
        int c = std::fgetc(file);
        if (c == EOF) break;
        std::ungetc(c, file);
        bool ok = false;
        trackedparticle p = readparticle(file, &ok);
        if (!ok)
            badinput(name + ": record " + std::to_string(records.size() + 1) +
                     " is cut short (not a saved particle file?)");
        records.push_back(p);
    }
    if (std::ferror(file)) failure(name + ": " + std::strerror(errno));
    return records;
}

const char* speciestext(int32_t species) {
    static char buffer[16];
    if (species >= 0 && species < speciescount) return speciesname[species];
    std::snprintf(buffer, sizeof buffer, "#%d", static_cast<int>(species));
    return buffer;
}

// Lists the records of a saved file.
int listfile(const char* path, double timeunit, const char* timeunitname) {
    FILE* file = std::fopen(path, "rb");
    if (!file) badinput(std::string("cannot open '") + path + "': " + std::strerror(errno));
    std::vector<trackedparticle> records = readall(file, path);
    std::fclose(file);
    std::printf("%s: %zu records\n", path, records.size());
    std::printf("record  species  status       ident  remaining  proper time (%s)  z (m)\n", timeunitname);
    for (size_t i = 0; i < records.size(); i++) {
        const trackedparticle& p = records[i];
        bool active = p.status == statusactive;
        char remaining[16] = "-", propertime[32] = "-";
        if (active) {
            std::snprintf(remaining, sizeof remaining, "%u", p.remaining);
            std::snprintf(propertime, sizeof propertime, "%.6g", p.propertime / timeunit);
        }
        std::printf("%6zu  %-7s  %-11s  %5d  %9s  %16s  %.6g\n", i + 1, speciestext(p.species),
                    statusname(p.status), static_cast<int>(p.ident), remaining, propertime, p.z);
    }
    return 0;
}

// Writes the records to a fresh file: a temporary name first, renamed when complete.
void saverecords(const std::vector<trackedparticle>& records, const std::string& path) {
    outputfile out;
    if (!openoutput(&out, path.c_str())) failure("cannot write '" + path + "': " + std::strerror(out.error));
    bool ok = true;
    for (const trackedparticle& p : records) ok = ok && writeparticle(&p, out.file);
    if (!ok) {
        int error = errno ? errno : EIO;
        abortoutput(&out);
        failure("cannot write '" + path + "': " + std::strerror(error));
    }
    if (!commitoutput(&out)) failure("cannot write '" + path + "': " + std::strerror(out.error));
}

}  // namespace

int main(int argc, char** argv) {
    unsigned long count = 10, seed = 1;
    const char* speciesarg = "pi+";
    const char* energyarg = "0";
    const char* unitarg = "ns";
    const char* output = nullptr;
    const char* readpath = nullptr;
    for (int i = 1; i < argc; i++) {
        std::string option = argv[i];
        // A long option may carry its value after "=", as in --count=5.
        const char* value = nullptr;
        size_t equals = option.find('=');
        if (option.rfind("--", 0) == 0 && equals != std::string::npos) {
            value = argv[i] + equals + 1;
            option.resize(equals);
        }
        if (!value && (option == "-h" || option == "--help")) {
            std::printf("%s\n%s", usageline, helptext);
            return 0;
        }
        bool takesvalue = option == "-n" || option == "--count" || option == "-s" || option == "--species" ||
                          option == "-e" || option == "--energy" || option == "--seed" || option == "-u" ||
                          option == "--unit" || option == "-o" || option == "--output" || option == "-r" ||
                          option == "--read";
        if (!takesvalue) badinput("unknown option '" + std::string(argv[i]) + "'");
        if (!value) {
            if (i + 1 >= argc) badinput(option + " needs a value");
            value = argv[++i];
        }
        if (option == "-n" || option == "--count")
            count = parsecount(option.c_str(), value, 1, 100000);
        else if (option == "-s" || option == "--species")
            speciesarg = value;
        else if (option == "-e" || option == "--energy")
            energyarg = value;
        else if (option == "--seed")
            seed = parsecount(option.c_str(), value, 0, 4294967295ul);
        else if (option == "-u" || option == "--unit")
            unitarg = value;
        else if (option == "-o" || option == "--output")
            output = value;
        else
            readpath = value;
    }
    double timeunit = parsetimeunit(unitarg);
    if (readpath) return listfile(readpath, timeunit, unitarg);

    makedecaytables();
    int species = speciesbyname(speciesarg, 0);
    if (species < 0) badinput(std::string("unknown species '") + speciesarg + "'");
    double lifetime = decays[species].lifetime;  // s
    if (lifetime == 0.0)
        badinput(std::string(speciesname[species]) +
                 " does not decay here; choose pi+, pi-, mu+, mu-, K+, K- or pi0");
    double kinetic = parseenergy(energyarg);         // J
    double restenergy = speciesrestenergy[species];  // J

    // The record moves along z with the proper velocity of its kinetic energy.
    trackedparticle p = newparticle(static_cast<int32_t>(static_cast<uint32_t>(seed)), 1);
    p.species = species;
    p.uz = ufromkinetic(kinetic, restenergy);
    vec3 u = vec3make(p.ux, p.uy, p.uz);
    double gamma = gammafromu(u);
    double speed = speedfromu(u);
    std::printf("%lu %s, kinetic energy %.6g MeV (gamma %.6g, speed %.6g c), seed %lu\n", count,
                speciesname[species], kinetic / joulespermev, gamma, speed / lightspeed, seed);
    std::printf("mean lifetime %.6g %s at rest, %.6g %s in the laboratory\n", lifetime / timeunit, unitarg,
                gamma * lifetime / timeunit, unitarg);

    std::vector<trackedparticle> saved;
    scheduledecay(&p, static_cast<uint32_t>(count));
    saved.push_back(p);
    std::printf("decay  proper time (%s)  lab time (%s)  distance (m)  left\n", unitarg, unitarg);
    for (unsigned long k = 1; p.status == statusactive; k++) {
        // Drift to the decay: lab distance = proper velocity x proper time.
        double step = p.nextdecay - p.propertime;  // s
        const double move[6] = {p.ux * step, p.uy * step, p.uz * step, 0.0, 0.0, 0.0};
        p = shiftparticle(p, move);
        p.propertime = p.nextdecay;
        decayone(&p);
        saved.push_back(p);
        std::printf("%5lu  %16.6g  %13.6g  %12.6g  %4u\n", k, p.propertime / timeunit,
                    gamma * p.propertime / timeunit, p.z, p.remaining);
    }

    // Save every step, then read the file back and compare.
    FILE* file = nullptr;
    std::string where;
    if (output) {
        saverecords(saved, output);
        file = std::fopen(output, "rb");
        where = std::string("'") + output + "'";
        if (!file) failure("cannot read back " + where + ": " + std::strerror(errno));
    } else {
        file = std::tmpfile();
        where = "a temporary file";
        if (!file) failure(std::string("cannot make a temporary file: ") + std::strerror(errno));
        for (const trackedparticle& r : saved)
            if (!writeparticle(&r, file)) failure("cannot write " + where);
        std::rewind(file);
    }
    std::fseek(file, 0, SEEK_END);
    long bytes = std::ftell(file);
    std::rewind(file);
    std::vector<trackedparticle> back = readall(file, where);
    std::fclose(file);
    std::printf("saved %zu records (%ld bytes) to %s\n", saved.size(), bytes, where.c_str());
    bool same = back.size() == saved.size();
    for (size_t i = 0; same && i < saved.size(); i++) same = samesaved(saved[i], back[i]);
    if (!same) failure("the records read back from " + where + " differ from those saved");
    std::printf("read back %zu records: every saved field matches; the last is %s\n", back.size(),
                statusname(back.back().status));
    return 0;
}
