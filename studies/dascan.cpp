// Dynamic-aperture scan: initial conditions, whole-cell tracking, bisection at the edge, summaries.
#include "studies/dascan.h"

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <map>
#include <memory>
#include <thread>

namespace {

constexpr double degree = 0.017453292519943295;  // rad
constexpr int maxbisections = 60;                // a double interval halves to nothing well before

// Survived at least `cells` cells: inside after the check that follows them.
bool survivedcells(int64_t lost, int64_t cells) { return lost == survived || lost > cells; }

std::string real(double v) {
    char buffer[40];
    std::snprintf(buffer, sizeof buffer, "%.17g", v);
    return buffer;
}

// An empty field for a bound that does not exist.
std::string bound(double v) { return std::isnan(v) ? std::string() : real(v); }

// The rows of each angle, sorted by amplitude then row index; angles in increasing order. Rows
// without a finite amplitude and angle (a not-a-number read from a file) belong to no angle.
std::map<double, std::vector<size_t>> rowsbyangle(const datable& table) {
    std::map<double, std::vector<size_t>> groups;
    for (size_t i = 0; i < table.size(); ++i)
        if (std::isfinite(table.angle[i]) && std::isfinite(table.amplitude[i]))
            groups[table.angle[i]].push_back(i);
    for (auto& [angle, rows] : groups)
        std::stable_sort(rows.begin(), rows.end(),
                         [&](size_t a, size_t b) { return table.amplitude[a] < table.amplitude[b]; });
    return groups;
}

// Edge of one angle's rows; *survivor is the last surviving row below the first lost one, or -1.
daedge edgeof(const datable& table, double angle, const std::vector<size_t>& rows, int64_t cells,
              long* survivor) {
    daedge e{angle, 0.0, std::numeric_limits<double>::quiet_NaN()};
    *survivor = -1;
    for (size_t r : rows) {
        if (!survivedcells(table.lost[r], cells)) {
            e.upper = table.amplitude[r];
            break;
        }
        e.lower = table.amplitude[r];
        *survivor = static_cast<long>(r);
    }
    return e;
}

// CSV field splitting on commas; a trailing carriage return is dropped.
std::vector<std::string> splitfields(std::string line) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    std::vector<std::string> fields;
    size_t start = 0;
    for (;;) {
        size_t comma = line.find(',', start);
        fields.push_back(line.substr(start, comma == std::string::npos ? std::string::npos : comma - start));
        if (comma == std::string::npos) return fields;
        start = comma + 1;
    }
}

std::string trimmed(const std::string& s) {
    size_t a = s.find_first_not_of(" \t"), b = s.find_last_not_of(" \t");
    return a == std::string::npos ? std::string() : s.substr(a, b - a + 1);
}

// A whole field read as a number (strtod rules, "nan" and "inf" included); false on anything else.
bool fieldnumber(const std::string& field, double* value) {
    std::string t = trimmed(field);
    if (t.empty()) return false;
    char* end = nullptr;
    *value = std::strtod(t.c_str(), &end);
    return *end == '\0';
}

}  // namespace

double beamedge() { return std::sqrt(beambeta * beamemittance); }

void datable::add(const particle& p, double a, double theta) {
    initial.push_back(p);
    amplitude.push_back(a);
    angle.push_back(theta);
    lost.push_back(pending);
}

double scanrange::at(int64_t i) const {
    if (count <= 1) return from;
    return from + (to - from) * static_cast<double>(i) / static_cast<double>(count - 1);
}

particle gridpoint(const particle& centre, double amplitude, double angle) {
    particle p = centre;
    p.x = centre.x + amplitude * std::cos(angle * degree);
    p.y = centre.y + amplitude * std::sin(angle * degree);
    return p;
}

datable polargrid(const scanrange& amplitudes, const scanrange& angles, const particle& centre) {
    datable table;
    for (int64_t j = 0; j < angles.count; ++j) {
        double theta = angles.at(j);
        for (int64_t i = 0; i < amplitudes.count; ++i) {
            double a = amplitudes.at(i);
            table.add(gridpoint(centre, a, theta), a, theta);
        }
    }
    return table;
}

bool readparticlecsv(const std::string& text, double defaultenergy, const particle& centre, datable* table,
                     std::string* error) {
    size_t pos = 0;
    auto nextline = [&](std::string* line) {
        if (pos >= text.size()) return false;
        size_t end = text.find('\n', pos);
        if (end == std::string::npos) end = text.size();
        *line = text.substr(pos, end - pos);
        pos = end + 1;
        return true;
    };
    std::string line;
    if (!nextline(&line)) {
        *error = "empty file; the first line must be the header x,xp,y,yp (and optionally energy)";
        return false;
    }
    // Column of each coordinate: x, xp, y, yp, energy.
    const char* names[5] = {"x", "xp", "y", "yp", "energy"};
    int column[5] = {-1, -1, -1, -1, -1};
    std::vector<std::string> header = splitfields(line);
    for (size_t c = 0; c < header.size(); ++c) {
        std::string name = trimmed(header[c]);
        int k = 0;
        while (k < 5 && name != names[k]) ++k;
        if (k == 5) {
            *error = "header: unknown column '" + name + "'; the columns are x,xp,y,yp and optionally energy";
            return false;
        }
        if (column[k] >= 0) {
            *error = "header: column '" + name + "' appears twice";
            return false;
        }
        column[k] = static_cast<int>(c);
    }
    for (int k = 0; k < 4; ++k) {
        if (column[k] < 0) {
            *error = std::string("header: missing column '") + names[k] + "'; the columns are x,xp,y,yp";
            return false;
        }
    }
    datable read;
    for (long number = 2; nextline(&line); ++number) {
        if (trimmed(line).empty() || line == "\r") continue;
        std::vector<std::string> fields = splitfields(line);
        if (fields.size() != header.size()) {
            *error = "line " + std::to_string(number) + ": " + std::to_string(fields.size()) +
                     " fields, the header has " + std::to_string(header.size());
            return false;
        }
        double v[5] = {0, 0, 0, 0, defaultenergy};
        for (int k = 0; k < 5; ++k) {
            if (column[k] < 0) continue;
            if (!fieldnumber(fields[static_cast<size_t>(column[k])], &v[k])) {
                *error = "line " + std::to_string(number) + ": " + names[k] + " is not a number: '" +
                         trimmed(fields[static_cast<size_t>(column[k])]) + "'";
                return false;
            }
        }
        if (!(v[4] > 0) || std::isinf(v[4])) {
            *error = "line " + std::to_string(number) + ": energy must be a finite number of MeV above 0";
            return false;
        }
        particle p{v[0], v[1], v[2], v[3], v[4]};
        double dx = p.x - centre.x, dy = p.y - centre.y;
        read.add(p, std::hypot(dx, dy), std::atan2(dy, dx) / degree);
    }
    if (read.size() == 0) {
        *error = "no particles: the file has a header but no rows";
        return false;
    }
    *table = std::move(read);
    return true;
}

// The rows are copied out, tracked together and their results put back.
bool trackrows(datable& table, const std::vector<size_t>& rows, const dasettings& settings,
               const cellcontrol& control, const scanwatch& watch) {
    const size_t n = rows.size();
    std::vector<particle> work(n);
    std::vector<int64_t> lost(n, pending);
    for (size_t k = 0; k < n; ++k) work[k] = table.initial[rows[k]];
    std::unique_ptr<std::atomic<uint8_t>[]> done(new std::atomic<uint8_t>[n]);
    for (size_t k = 0; k < n; ++k) done[k].store(0);
    cellcontrol c = control;
    c.done = done.get();
    cellrequest request = settings.tracking;

    bool finished = true;
    auto run = [&] { finished = trackwholecells(work.data(), lost.data(), n, request, c); };
    if (!watch) {
        run();
    } else {
        std::atomic<bool> over{false};
        std::thread worker([&] {
            run();
            over.store(true);
        });
        int64_t rowsdone = 0;
        for (size_t i = 0; i < table.size(); ++i) rowsdone += table.lost[i] != pending;
        auto snapshot = [&] {
            datable copy = table;
            for (size_t k = 0; k < n; ++k)
                if (done[k].load(std::memory_order_acquire)) copy.lost[rows[k]] = lost[k];
            return copy;
        };
        while (!over.load()) {
            std::this_thread::sleep_for(std::chrono::milliseconds(50));
            scanprogress p;
            p.rows = static_cast<int64_t>(table.size());
            p.batchrows = static_cast<int64_t>(n);
            for (size_t k = 0; k < n; ++k) {
                if (!done[k].load(std::memory_order_acquire)) continue;
                ++p.batchdone;
                p.particlecells += lost[k] == survived ? request.cells : lost[k];
            }
            p.done = rowsdone + p.batchdone;
            watch(p, snapshot);
        }
        worker.join();
    }
    for (size_t k = 0; k < n; ++k)
        if (done[k].load(std::memory_order_acquire)) table.lost[rows[k]] = lost[k];
    return finished;
}

batchtracker localtracker(const dasettings& settings, const cellcontrol& control, scanwatch watch) {
    return [settings, control, watch](datable& table, size_t first, size_t end) {
        std::vector<size_t> rows;
        for (size_t i = first; i < end; ++i)
            if (table.lost[i] == pending) rows.push_back(i);
        return trackrows(table, rows, settings, control, watch);
    };
}

bool runscan(datable* table, const dasettings& settings, const batchtracker& track, const datable* resume) {
    const int64_t cells = settings.tracking.cells;
    auto takeknown = [&](size_t first) {
        if (!resume) return;
        for (size_t i = first; i < table->size() && i < resume->size(); ++i) {
            if (resume->lost[i] == pending) continue;
            if (std::memcmp(&resume->initial[i], &table->initial[i], sizeof(particle)) != 0) continue;
            table->lost[i] = resume->lost[i];
        }
    };
    size_t first = 0;
    takeknown(first);
    if (!track(*table, first, table->size())) return false;
    if (!(settings.refine > 0)) return true;
    for (int round = 0; round < maxbisections; ++round) {
        first = table->size();
        for (const auto& [angle, rows] : rowsbyangle(*table)) {
            long survivor = -1;
            daedge e = edgeof(*table, angle, rows, cells, &survivor);
            if (survivor < 0 || std::isnan(e.upper) || !(e.upper - e.lower >= settings.refine)) continue;
            double middle = e.lower + (e.upper - e.lower) / 2;
            if (!(middle > e.lower && middle < e.upper)) continue;
            // The survivor's angles and energy, at the middle amplitude.
            particle p = table->initial[static_cast<size_t>(survivor)];
            particle c = gridpoint(settings.centre, middle, angle);
            p.x = c.x;
            p.y = c.y;
            table->add(p, middle, angle);
        }
        if (table->size() == first) return true;
        takeknown(first);
        if (!track(*table, first, table->size())) return false;
    }
    return true;
}

std::vector<daedge> apertureedges(const datable& table, int64_t cells) {
    std::vector<daedge> edges;
    for (const auto& [angle, rows] : rowsbyangle(table)) {
        long survivor;
        edges.push_back(edgeof(table, angle, rows, cells, &survivor));
    }
    return edges;
}

std::vector<int64_t> reportedcells(int64_t cells) {
    std::vector<int64_t> counts;
    for (int64_t c = 1; c < cells; c *= 10) counts.push_back(c);
    counts.push_back(cells);
    return counts;
}

std::string aperturecsv(const datable& table, int64_t cells) {
    const double edge = beamedge();
    std::string out = "cells,angle_deg,lower_m,upper_m,lower_edges,upper_edges\n";
    auto row = [&](int64_t n, const std::string& angle, double lower, double upper) {
        out += std::to_string(n) + "," + angle + "," + bound(lower) + "," + bound(upper) + "," +
               bound(lower / edge) + "," + bound(upper / edge) + "\n";
    };
    for (int64_t n : reportedcells(cells)) {
        std::vector<daedge> edges = apertureedges(table, n);
        if (edges.empty()) continue;
        double lowmin = edges[0].lower, upmin = std::numeric_limits<double>::quiet_NaN();
        double lowsum = 0, upsum = 0;
        bool allupper = true;
        for (const daedge& e : edges) {
            row(n, real(e.angle), e.lower, e.upper);
            lowmin = std::min(lowmin, e.lower);
            lowsum += e.lower;
            if (std::isnan(e.upper))
                allupper = false;
            else {
                upmin = std::isnan(upmin) ? e.upper : std::min(upmin, e.upper);
                upsum += e.upper;
            }
        }
        double count = static_cast<double>(edges.size());
        row(n, "min", lowmin, upmin);
        row(n, "mean", lowsum / count, allupper ? upsum / count : std::numeric_limits<double>::quiet_NaN());
    }
    return out;
}

std::string tablecsv(const datable& table) {
    std::string out = "index,x_m,xp_rad,y_m,yp_rad,energy_mev,amplitude_m,angle_deg,lost_at_cell\n";
    for (size_t i = 0; i < table.size(); ++i) {
        const particle& p = table.initial[i];
        out += std::to_string(i) + "," + real(p.x) + "," + real(p.xp) + "," + real(p.y) + "," + real(p.yp) +
               "," + real(p.energy) + "," + real(table.amplitude[i]) + "," + real(table.angle[i]) + "," +
               std::to_string(table.lost[i]) + "\n";
    }
    return out;
}
