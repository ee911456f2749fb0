// datetime.cpp - file times, calendar times and date and time pictures in the user's locale
#include <langinfo.h>
#include <locale.h>
#include <time.h>

#include <cstdio>
#include <cstring>
#include <string>

#include "platform/platform.h"

namespace {

constexpr uint64_t ticksperday = 864000000000ull;  // 100 ns intervals per day
constexpr int64_t days1601to1970 = 134774;

// Year, month (1..12) and day (1..31) of a count of days since 1970-01-01 (proleptic Gregorian).
void civilfromdays(int64_t z, int64_t& year, unsigned& month, unsigned& day) {
    z += 719468;
    const int64_t era = (z >= 0 ? z : z - 146096) / 146097;
    const unsigned doe = static_cast<unsigned>(z - era * 146097);
    const unsigned yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
    const unsigned doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
    const unsigned mp = (5 * doy + 2) / 153;
    day = doy - (153 * mp + 2) / 5 + 1;
    month = mp < 10 ? mp + 3 : mp - 9;
    year = static_cast<int64_t>(yoe) + era * 400 + (month <= 2 ? 1 : 0);
}

// The current local time as a calendar time.
pfsystemtime localnow() {
    timespec ts{};
    clock_gettime(CLOCK_REALTIME, &ts);
    tm t{};
    localtime_r(&ts.tv_sec, &t);
    pfsystemtime s{};
    s.year = static_cast<uint16_t>(t.tm_year + 1900);
    s.month = static_cast<uint16_t>(t.tm_mon + 1);
    s.dayofweek = static_cast<uint16_t>(t.tm_wday);
    s.day = static_cast<uint16_t>(t.tm_mday);
    s.hour = static_cast<uint16_t>(t.tm_hour);
    s.minute = static_cast<uint16_t>(t.tm_min);
    s.second = static_cast<uint16_t>(t.tm_sec);
    s.milliseconds = static_cast<uint16_t>(ts.tv_nsec / 1000000);
    return s;
}

// The user's time locale (LC_ALL, LC_TIME, LANG), or the C locale when that is not available.
struct userlocale {
    locale_t loc;
    userlocale() {
        loc = newlocale(LC_TIME_MASK, "", static_cast<locale_t>(nullptr));
        if (!loc) loc = newlocale(LC_TIME_MASK, "C", static_cast<locale_t>(nullptr));
    }
    ~userlocale() {
        if (loc) freelocale(loc);
    }
    std::string item(nl_item what) const { return loc ? nl_langinfo_l(what, loc) : ""; }
};

bool validtime(const pfsystemtime& t) {
    return t.month >= 1 && t.month <= 12 && t.day >= 1 && t.day <= 31 && t.hour < 24 && t.minute < 60 &&
           t.second < 60 && t.dayofweek < 7;
}

std::string number(int value, int width) {
    char buffer[16];
    std::snprintf(buffer, sizeof buffer, "%0*d", width, value);
    return buffer;
}

// Expands a picture: quoted text literally, runs of picture letters through field.
template <typename Field>
std::string expand(const char* picture, Field field) {
    std::string out;
    for (const char* p = picture; *p;) {
        if (*p == '\'') {
            ++p;
            while (*p) {
                if (*p == '\'') {
                    if (p[1] == '\'') {
                        out += '\'';
                        p += 2;
                        continue;
                    }
                    ++p;
                    break;
                }
                out += *p++;
            }
            continue;
        }
        char c = *p;
        int run = 0;
        while (p[run] == c) ++run;
        if (!field(c, run, out)) out.append(static_cast<size_t>(run), c);
        p += run;
    }
    return out;
}

// Copies a result into the caller's buffer; 0 (and "") when it does not fit.
int deliver(const std::string& text, char* out, int size) {
    if (!out || size <= 0) return 0;
    if (static_cast<int>(text.size()) + 1 > size) {
        out[0] = 0;
        return 0;
    }
    std::memcpy(out, text.c_str(), text.size() + 1);
    return static_cast<int>(text.size()) + 1;
}

}  // namespace

// Splits a file time into its calendar fields.
int pffiletimetosystemtime(const pffiletime* filetime, pfsystemtime* systemtime) {
    if (!filetime || !systemtime) return 0;
    uint64_t ticks = (static_cast<uint64_t>(filetime->high) << 32) | filetime->low;
    if (ticks >= 0x8000000000000000ull) return 0;
    int64_t days = static_cast<int64_t>(ticks / ticksperday);
    uint64_t rest = ticks % ticksperday;  // 100 ns within the day
    int64_t year;
    unsigned month, day;
    civilfromdays(days - days1601to1970, year, month, day);
    if (year > 30827) return 0;
    systemtime->year = static_cast<uint16_t>(year);
    systemtime->month = static_cast<uint16_t>(month);
    systemtime->day = static_cast<uint16_t>(day);
    systemtime->dayofweek = static_cast<uint16_t>((days + 1) % 7);  // 1601-01-01 was a Monday
    uint64_t ms = rest / 10000;
    systemtime->hour = static_cast<uint16_t>(ms / 3600000);
    systemtime->minute = static_cast<uint16_t>(ms / 60000 % 60);
    systemtime->second = static_cast<uint16_t>(ms / 1000 % 60);
    systemtime->milliseconds = static_cast<uint16_t>(ms % 1000);
    return 1;
}

// Formats a date by its picture.
int pfgetdateformat(uint32_t, uint32_t, const pfsystemtime* time, const char* picture, char* out, int size) {
    if (!picture || !out || size <= 0) return 0;
    pfsystemtime t = time ? *time : localnow();
    if (!validtime(t)) {
        out[0] = 0;
        return 0;
    }
    userlocale names;
    std::string text = expand(picture, [&](char c, int run, std::string& o) {
        switch (c) {
            case 'd':
                if (run == 1)
                    o += number(t.day, 1);
                else if (run == 2)
                    o += number(t.day, 2);
                else if (run == 3)
                    o += names.item(ABDAY_1 + t.dayofweek);
                else
                    o += names.item(DAY_1 + t.dayofweek);
                return true;
            case 'M':
                if (run == 1)
                    o += number(t.month, 1);
                else if (run == 2)
                    o += number(t.month, 2);
                else if (run == 3)
                    o += names.item(ABMON_1 + t.month - 1);
                else
                    o += names.item(MON_1 + t.month - 1);
                return true;
            case 'y':
                if (run == 1)
                    o += number(t.year % 100, 1);
                else if (run == 2)
                    o += number(t.year % 100, 2);
                else
                    o += number(t.year, 4);
                return true;
            default: return false;
        }
    });
    return deliver(text, out, size);
}

// Formats a time by its picture.
int pfgettimeformat(uint32_t, uint32_t flags, const pfsystemtime* time, const char* picture, char* out,
                    int size) {
    if (!picture || !out || size <= 0) return 0;
    pfsystemtime t = time ? *time : localnow();
    if (!validtime(t)) {
        out[0] = 0;
        return 0;
    }
    bool force24 = (flags & PF_TIME_FORCE24HOURFORMAT) != 0;
    userlocale names;
    std::string text = expand(picture, [&](char c, int run, std::string& o) {
        int width = run >= 2 ? 2 : 1;
        switch (c) {
            case 'H': o += number(t.hour, width); return true;
            case 'h': {
                int h = force24 ? t.hour : (t.hour % 12 == 0 ? 12 : t.hour % 12);
                o += number(h, width);
                return true;
            }
            case 'm': o += number(t.minute, width); return true;
            case 's': o += number(t.second, width); return true;
            case 't':
                if (!force24) {
                    std::string marker = names.item(t.hour < 12 ? AM_STR : PM_STR);
                    o += run == 1 ? marker.substr(0, 1) : marker;
                }
                return true;
            default: return false;
        }
    });
    return deliver(text, out, size);
}
