// errorlog.h - display result names, the error log "graphics_error.log" and the fatal-error path
#pragma once

#include "platform/platform.h"

// One row of the result-name table: the constant's name without its "DDERR_" prefix.
struct ddresultname {
    const char* name;
    pfresult code;
};

constexpr int ddresultnamecount = 112;
extern const ddresultname ddresultnames[ddresultnamecount];

// The time value that the time-stamp routines take to mean the current local time.
constexpr double nowtime = -9e99;

// Bytes a caller's buffer must hold for datetimestring and filetimestring.
constexpr int datetimesize = 64;

// What a failed display call means to its caller.
enum class ddseverity {
    fatal,    // the program cannot go on: fatalerror
    warning,  // logged, and the caller goes on (its message shows "-" before the context)
};

// Returns at once for result 0.  Otherwise prints "\n<message>\n" to standard output, where the
// message is "Directdraw error DDERR_<name> @ <context>" for a known code and
// "DirectDraw error <8 upper-case hex digits> @ <context>" for any other, the context of a
// warning written as "-<context>"; then a warning is logged and the caller goes on, a fatal
// error ends the program.
void ddcheck(const char* context, pfresult result, ddseverity severity = ddseverity::fatal);

// Appends "<date> <time> <text>\n" to "graphics_error.log" in the working directory, opening
// and closing the file around the line.  When the file cannot be opened the line goes to
// standard output instead, with a note on standard error.
void logerror(const char* text);

// Logs text, releases the display objects, shows text in a box captioned "Oh sod it", posts a
// quit message and ends the program with exit status 1.
[[noreturn]] void fatalerror(const char* text);

// The local date ("yyyy-MMM-dd", month name in the user's locale) and time ("HH:mm:ss") of a
// time in seconds since 1970-01-01 00:00 UTC (formatted as UTC), or of the current local time
// for nowtime; joined by a space into out (datetimesize bytes).  Returns out.
char* datetimestring(double time, char* out);

// The date or the time alone; at most 20 bytes including the terminating zero ("" when the
// text would be longer).  Return out.
char* datestring(double time, char* out);
char* timestring(double time, char* out);

// As datetimestring for a file time.
char* filetimestring(const pffiletime* filetime, char* out);

// Seconds since 1970 to a calendar time (UTC).  Times before 1601 or beyond the year 30827
// (and not-a-number) give an all-zero record, which the formatters turn into "".
void timetosystemtime(double time, pfsystemtime* systemtime);
