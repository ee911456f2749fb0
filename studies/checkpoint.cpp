// Checkpoints of a scan: the finished rows of its table, with the parameters that made them.
#include "studies/checkpoint.h"

#include <cerrno>
#include <cinttypes>
#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace {

const char* const firstline = "voxda-da checkpoint";
const char* const header = "index,x_m,xp_rad,y_m,yp_rad,energy_mev,amplitude_m,angle_deg,lost_at_cell";

// 64-bit FNV-1a: a fingerprint of the initial conditions, not a security measure.
uint64_t fnv1a(const std::string& bytes) {
    uint64_t h = 14695981039346656037ull;
    for (unsigned char c : bytes) {
        h ^= c;
        h *= 1099511628211ull;
    }
    return h;
}

std::string real(double v) {
    char buffer[40];
    std::snprintf(buffer, sizeof buffer, "%.17g", v);
    return buffer;
}

}  // namespace

std::string scanparameters(const datable& table, const dasettings& settings) {
    datable initial = table;
    for (int64_t& l : initial.lost) l = pending;
    char hash[24];
    std::snprintf(hash, sizeof hash, "%016" PRIx64, fnv1a(tablecsv(initial)));
    const cellrequest& r = settings.tracking;
    std::string accelerate = r.accelerate ? std::to_string(r.from) + ":" + std::to_string(r.to) : "none";
    return "cells=" + std::to_string(r.cells) + " math=" + mathmodename(r.math) +
           " accelerate=" + accelerate + " refine=" + real(settings.refine) +
           " centre=" + real(settings.centre.x) + "," + real(settings.centre.y) +
           " rows=" + std::to_string(table.size()) + " initial=" + hash;
}

std::string checkpointtext(const datable& table, const std::string& parameters) {
    std::string rows = tablecsv(table);
    std::string out = std::string(firstline) + "\nparameters " + parameters + "\n" + header + "\n";
    // Keep the finished rows of the table text (the header is its first line).
    size_t pos = rows.find('\n') + 1;
    for (size_t i = 0; i < table.size(); ++i) {
        size_t end = rows.find('\n', pos) + 1;
        if (table.lost[i] != pending) out.append(rows, pos, end - pos);
        pos = end;
    }
    return out;
}

bool readcheckpoint(const std::string& text, const std::string& parameters, datable* resume, bool* other,
                    std::string* error) {
    *other = false;
    size_t pos = 0;
    auto nextline = [&](std::string* line) {
        if (pos >= text.size()) return false;
        size_t end = text.find('\n', pos);
        if (end == std::string::npos) return false;  // a checkpoint always ends its lines
        *line = text.substr(pos, end - pos);
        pos = end + 1;
        return true;
    };
    std::string line;
    if (!nextline(&line) || line != firstline) {
        *error = "not a voxda-da checkpoint";
        return false;
    }
    if (!nextline(&line) || line.rfind("parameters ", 0) != 0) {
        *error = "the checkpoint has no parameters line";
        return false;
    }
    if (line.substr(11) != parameters) {
        *other = true;
        *error = "the checkpoint was made with other parameters (" + line.substr(11) + ")";
        return false;
    }
    if (!nextline(&line) || line != header) {
        *error = "the checkpoint has no table header";
        return false;
    }
    datable read;
    for (long number = 4; nextline(&line); ++number) {
        const char* p = line.c_str();
        char* end = nullptr;
        errno = 0;
        long long index = std::strtoll(p, &end, 10);
        double v[7];
        bool ok = end != p && *end == ',' && index >= 0 && errno == 0;
        for (int k = 0; ok && k < 7; ++k) {
            p = end + 1;
            v[k] = std::strtod(p, &end);
            ok = end != p && *end == ',';
        }
        long long lost = 0;
        if (ok) {
            p = end + 1;
            lost = std::strtoll(p, &end, 10);
            ok = end != p && *end == '\0' && lost >= -1;
        }
        if (!ok || static_cast<size_t>(index) < read.size() || index > 1000000000LL) {
            *error = "line " + std::to_string(number) + " of the checkpoint is damaged";
            return false;
        }
        while (read.size() < static_cast<size_t>(index)) read.add(particle{}, 0, 0);
        read.add(particle{v[0], v[1], v[2], v[3], v[4]}, v[5], v[6]);
        read.lost.back() = lost;
    }
    if (pos != text.size()) {
        *error = "the checkpoint ends in the middle of a line";
        return false;
    }
    *resume = std::move(read);
    return true;
}
