// errorlog.cpp - display result names, the error log "graphics_error.log" and the fatal-error path
#include "display/errorlog.h"

#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstring>

#include "display/screen.h"
#include "platform/resultcodes.h"

const ddresultname ddresultnames[ddresultnamecount] = {
    {"OUTOFMEMORY", PFERR_OUTOFMEMORY},
    {"INVALIDPARAMS", PFERR_INVALIDPARAMS},
    {"DEVICEDOESNTOWNSURFACE", PFERR_DEVICEDOESNTOWNSURFACE},
    {"VIDEONOTACTIVE", PFERR_VIDEONOTACTIVE},
    {"EXPIRED", PFERR_EXPIRED},
    {"MOREDATA", PFERR_MOREDATA},
    {"NOTPAGELOCKED", PFERR_NOTPAGELOCKED},
    {"CANTPAGEUNLOCK", PFERR_CANTPAGEUNLOCK},
    {"CANTPAGELOCK", PFERR_CANTPAGELOCK},
    {"NONONLOCALVIDMEM", PFERR_NONONLOCALVIDMEM},
    {"DCALREADYCREATED", PFERR_DCALREADYCREATED},
    {"NOFOCUSWINDOW", PFERR_NOFOCUSWINDOW},
    {"NOTLOADED", PFERR_NOTLOADED},
    {"NOOPTIMIZEHW", PFERR_NOOPTIMIZEHW},
    {"INVALIDSURFACETYPE", PFERR_INVALIDSURFACETYPE},
    {"NOMIPMAPHW", PFERR_NOMIPMAPHW},
    {"UNSUPPORTEDMODE", PFERR_UNSUPPORTEDMODE},
    {"NOTPALETTIZED", PFERR_NOTPALETTIZED},
    {"IMPLICITLYCREATED", PFERR_IMPLICITLYCREATED},
    {"WRONGMODE", PFERR_WRONGMODE},
    {"NODC", PFERR_NODC},
    {"CANTCREATEDC", PFERR_CANTCREATEDC},
    {"NOTLOCKED", PFERR_NOTLOCKED},
    {"CANTDUPLICATE", PFERR_CANTDUPLICATE},
    {"NOTFLIPPABLE", PFERR_NOTFLIPPABLE},
    {"EXCLUSIVEMODEALREADYSET", PFERR_EXCLUSIVEMODEALREADYSET},
    {"NOTAOVERLAYSURFACE", PFERR_NOTAOVERLAYSURFACE},
    {"INVALIDPOSITION", PFERR_INVALIDPOSITION},
    {"NOOVERLAYDEST", PFERR_NOOVERLAYDEST},
    {"OVERLAYNOTVISIBLE", PFERR_OVERLAYNOTVISIBLE},
    {"NODDROPSHW", PFERR_NODDROPSHW},
    {"NOBLTHW", PFERR_NOBLTHW},
    {"BLTFASTCANTCLIP", PFERR_BLTFASTCANTCLIP},
    {"NOPALETTEHW", PFERR_NOPALETTEHW},
    {"NOPALETTEATTACHED", PFERR_NOPALETTEATTACHED},
    {"HWNDALREADYSET", PFERR_HWNDALREADYSET},
    {"HWNDSUBCLASSED", PFERR_HWNDSUBCLASSED},
    {"NOHWND", PFERR_NOHWND},
    {"NOCLIPPERATTACHED", PFERR_NOCLIPPERATTACHED},
    {"CLIPPERISUSINGHWND", PFERR_CLIPPERISUSINGHWND},
    {"REGIONTOOSMALL", PFERR_REGIONTOOSMALL},
    {"NOEMULATION", PFERR_NOEMULATION},
    {"PRIMARYSURFACEALREADYEXISTS", PFERR_PRIMARYSURFACEALREADYEXISTS},
    {"NODIRECTDRAWHW", PFERR_NODIRECTDRAWHW},
    {"DIRECTDRAWALREADYCREATED", PFERR_DIRECTDRAWALREADYCREATED},
    {"INVALIDDIRECTDRAWGUID", PFERR_INVALIDDIRECTDRAWGUID},
    {"XALIGN", PFERR_XALIGN},
    {"WASSTILLDRAWING", PFERR_WASSTILLDRAWING},
    {"VERTICALBLANKINPROGRESS", PFERR_VERTICALBLANKINPROGRESS},
    {"INVALIDSTREAM", PFERR_INVALIDSTREAM},
    {"UNSUPPORTEDMASK", PFERR_UNSUPPORTEDMASK},
    {"UNSUPPORTEDFORMAT", PFERR_UNSUPPORTEDFORMAT},
    {"TOOBIGWIDTH", PFERR_TOOBIGWIDTH},
    {"TOOBIGSIZE", PFERR_TOOBIGSIZE},
    {"TOOBIGHEIGHT", PFERR_TOOBIGHEIGHT},
    {"SURFACENOTATTACHED", PFERR_SURFACENOTATTACHED},
    {"SURFACELOST", PFERR_SURFACELOST},
    {"SURFACEISOBSCURED", PFERR_SURFACEISOBSCURED},
    {"CANTLOCKSURFACE", PFERR_CANTLOCKSURFACE},
    {"SURFACEBUSY", PFERR_SURFACEBUSY},
    {"SURFACEALREADYDEPENDENT", PFERR_SURFACEALREADYDEPENDENT},
    {"SURFACEALREADYATTACHED", PFERR_SURFACEALREADYATTACHED},
    {"COLORKEYNOTSET", PFERR_COLORKEYNOTSET},
    {"PALETTEBUSY", PFERR_PALETTEBUSY},
    {"OVERLAYCOLORKEYONLYONEACTIVE", PFERR_OVERLAYCOLORKEYONLYONEACTIVE},
    {"OVERLAYCANTCLIP", PFERR_OVERLAYCANTCLIP},
    {"OUTOFVIDEOMEMORY", PFERR_OUTOFVIDEOMEMORY},
    {"OUTOFCAPS", PFERR_OUTOFCAPS},
    {"NOZOVERLAYHW", PFERR_NOZOVERLAYHW},
    {"NOZBUFFERHW", PFERR_NOZBUFFERHW},
    {"NOVSYNCHW", PFERR_NOVSYNCHW},
    {"NOTEXTUREHW", PFERR_NOTEXTUREHW},
    {"NOT8BITCOLOR", PFERR_NOT8BITCOLOR},
    {"NOT4BITCOLORINDEX", PFERR_NOT4BITCOLORINDEX},
    {"NOT4BITCOLOR", PFERR_NOT4BITCOLOR},
    {"NOSTRETCHHW", PFERR_NOSTRETCHHW},
    {"NOROTATIONHW", PFERR_NOROTATIONHW},
    {"NORASTEROPHW", PFERR_NORASTEROPHW},
    {"OVERLAPPINGRECTS", PFERR_OVERLAPPINGRECTS},
    {"NOOVERLAYHW", PFERR_NOOVERLAYHW},
    {"NOTFOUND", PFERR_NOTFOUND},
    {"NOMIRRORHW", PFERR_NOMIRRORHW},
    {"NOGDI", PFERR_NOGDI},
    {"NOFLIPHW", PFERR_NOFLIPHW},
    {"NOEXCLUSIVEMODE", PFERR_NOEXCLUSIVEMODE},
    {"NODIRECTDRAWSUPPORT", PFERR_NODIRECTDRAWSUPPORT},
    {"NOCOLORKEYHW", PFERR_NOCOLORKEYHW},
    {"NOCOLORKEY", PFERR_NOCOLORKEY},
    {"NOCOOPERATIVELEVELSET", PFERR_NOCOOPERATIVELEVELSET},
    {"NOCOLORCONVHW", PFERR_NOCOLORCONVHW},
    {"NOCLIPLIST", PFERR_NOCLIPLIST},
    {"NOSURFACELEFT", PFERR_NOSURFACELEFT},
    {"NOSTEREOHARDWARE", PFERR_NOSTEREOHARDWARE},
    {"NOALPHAHW", PFERR_NOALPHAHW},
    {"NO3D", PFERR_NO3D},
    {"LOCKEDSURFACES", PFERR_LOCKEDSURFACES},
    {"INVALIDRECT", PFERR_INVALIDRECT},
    {"INVALIDPIXELFORMAT", PFERR_INVALIDPIXELFORMAT},
    {"INVALIDOBJECT", PFERR_INVALIDOBJECT},
    {"INVALIDMODE", PFERR_INVALIDMODE},
    {"INVALIDCLIPLIST", PFERR_INVALIDCLIPLIST},
    {"INVALIDCAPS", PFERR_INVALIDCAPS},
    {"INCOMPATIBLEPRIMARY", PFERR_INCOMPATIBLEPRIMARY},
    {"HEIGHTALIGN", PFERR_HEIGHTALIGN},
    {"EXCEPTION", PFERR_EXCEPTION},
    {"CURRENTLYNOTAVAIL", PFERR_CURRENTLYNOTAVAIL},
    {"CANNOTDETACHSURFACE", PFERR_CANNOTDETACHSURFACE},
    {"CANNOTATTACHSURFACE", PFERR_CANNOTATTACHSURFACE},
    {"ALREADYINITIALIZED", PFERR_ALREADYINITIALIZED},
    {"NOTINITIALIZED", PFERR_NOTINITIALIZED},
    {"GENERIC", PFERR_GENERIC},
    {"UNSUPPORTED", PFERR_UNSUPPORTED},
};

namespace {

char timestamp[datetimesize];  // the time stamp of the line being logged

// The calendar time of a time value, or null for the current local time.
const pfsystemtime* systemtimefor(double time, pfsystemtime& storage) {
    if (time == nowtime) return nullptr;
    timetosystemtime(time, &storage);
    return &storage;
}

}  // namespace

// Reports a failed display call; only warnings return.
void ddcheck(const char* context, pfresult result, ddseverity severity) {
    if (result == 0) return;
    if (!context) context = "";
    // A warning's context is marked by a dash in the message, as the log has always shown it.
    const char* mark = severity == ddseverity::warning ? "-" : "";
    char message[200];
    std::snprintf(message, sizeof message, "DirectDraw error %08X @ %s%s", result, mark, context);
    for (int i = ddresultnamecount - 1; i >= 0; --i) {
        if (ddresultnames[i].code == result) {
            std::snprintf(message, sizeof message, "Directdraw error DDERR_%s @ %s%s", ddresultnames[i].name,
                          mark, context);
            break;
        }
    }
    std::printf("\n%s\n", message);
    std::fflush(stdout);
    if (severity == ddseverity::warning) {
        logerror(message);
        return;
    }
    fatalerror(message);
}

// Appends one time-stamped line to the log.
void logerror(const char* text) {
    if (!text) text = "";
    datetimestring(nowtime, timestamp);
    FILE* log = std::fopen("graphics_error.log", "a");
    if (!log) {
        std::fprintf(stderr,
                     "voxda: cannot append to graphics_error.log (%s); the line follows on standard output\n",
                     std::strerror(errno));
        std::printf("%s %s\n", timestamp, text);
        std::fflush(stdout);
        return;
    }
    std::fprintf(log, "%s %s\n", timestamp, text);
    std::fclose(log);
}

// Logs, releases the display, tells the user and ends the program with status 1.
void fatalerror(const char* text) {
    if (!text) text = "";
    logerror(text);
    ddrelease();
    pfmessagebox(nullptr, text, "Oh sod it", PF_MB_ICONERROR | PF_MB_SETFOREGROUND);
    pfpostquitmessage(0);
    pfexit(1);
}

char* datetimestring(double time, char* out) {
    pfsystemtime storage;
    const pfsystemtime* t = systemtimefor(time, storage);
    char date[31], clock[32];  // together they fit datetimesize
    if (!pfgetdateformat(PF_LOCALE_USER_DEFAULT, 0, t, "yyyy-MMM-dd", date, sizeof date)) date[0] = 0;
    if (!pfgettimeformat(PF_LOCALE_USER_DEFAULT, PF_TIME_FORCE24HOURFORMAT, t, "HH:mm:ss", clock,
                         sizeof clock))
        clock[0] = 0;
    std::snprintf(out, datetimesize, "%s %s", date, clock);
    return out;
}

char* datestring(double time, char* out) {
    pfsystemtime storage;
    if (!pfgetdateformat(PF_LOCALE_USER_DEFAULT, 0, systemtimefor(time, storage), "yyyy-MMM-dd", out, 20))
        out[0] = 0;
    return out;
}

char* timestring(double time, char* out) {
    pfsystemtime storage;
    if (!pfgettimeformat(PF_LOCALE_USER_DEFAULT, PF_TIME_FORCE24HOURFORMAT, systemtimefor(time, storage),
                         "HH:mm:ss", out, 20))
        out[0] = 0;
    return out;
}

char* filetimestring(const pffiletime* filetime, char* out) {
    pfsystemtime t{};
    if (!filetime || !pffiletimetosystemtime(filetime, &t)) t = pfsystemtime{};
    char date[31], clock[32];  // together they fit datetimesize
    if (!pfgetdateformat(PF_LOCALE_USER_DEFAULT, 0, &t, "yyyy-MMM-dd", date, sizeof date)) date[0] = 0;
    if (!pfgettimeformat(PF_LOCALE_USER_DEFAULT, PF_TIME_FORCE24HOURFORMAT, &t, "HH:mm:ss", clock,
                         sizeof clock))
        clock[0] = 0;
    std::snprintf(out, datetimesize, "%s %s", date, clock);
    return out;
}

// Seconds since 1970 to 100 ns ticks since 1601, split into halves, then to a calendar time.
void timetosystemtime(double time, pfsystemtime* systemtime) {
    if (!systemtime) return;
    *systemtime = pfsystemtime{};
    double ticks = (time + 11644473600.0) * 1e7;
    if (!(ticks >= 0.0 && ticks < 9223372036854775808.0)) return;  // also catches not-a-number
    double high = std::floor(ticks / 4294967296.0);
    double low = std::floor(ticks - high * 4294967296.0);
    pffiletime filetime{static_cast<uint32_t>(low), static_cast<uint32_t>(high)};
    if (!pffiletimetosystemtime(&filetime, systemtime)) *systemtime = pfsystemtime{};
}
