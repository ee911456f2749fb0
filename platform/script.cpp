// script.cpp - scripted input by pump number and frame captures as BMP files
#include "platform/script.h"

#include <cctype>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <map>
#include <string>
#include <vector>

#include "platform/backend.h"
#include "util/bmp.h"
#include "util/outputfile.h"

namespace {

// One scripted action at one pump.
struct scriptevent {
    int pump;
    enum kind { keydown, keyup, character, quit, close, minimise } what;
    int code;  // virtual key or character byte
};

struct capturerange {
    int first, last;
};

struct scriptstate {
    bool screenset = false;
    int screenwidth = 0, screenheight = 0;
    std::multimap<int, scriptevent> events;  // by pump, in the order given
    std::string capturedir;
    std::vector<capturerange> captures;
    bool restorepending = false;
    uint32_t restoreat = 0;  // tick count
};

scriptstate script;

constexpr int scriptrestorems = 100;  // a scripted minimise lasts this long (milliseconds)

struct keyname {
    const char* name;
    int code;
};

const keyname keynames[] = {
    {"ESC", 0x1B},    {"ESCAPE", 0x1B},    {"SPACE", 0x20},       {"ENTER", 0x0D},  {"RETURN", 0x0D},
    {"TAB", 0x09},    {"BACKSPACE", 0x08}, {"LEFT", 0x25},        {"UP", 0x26},     {"RIGHT", 0x27},
    {"DOWN", 0x28},   {"INSERT", 0x2D},    {"DELETE", 0x2E},      {"HOME", 0x24},   {"END", 0x23},
    {"PAGEUP", 0x21}, {"PAGEDOWN", 0x22},  {"PRINTSCREEN", 0x2C}, {"PAUSE", 0x13},  {"LWIN", 0x5B},
    {"RWIN", 0x5C},   {"SHIFT", 0xA0},     {"LSHIFT", 0xA0},      {"RSHIFT", 0xA1}, {"CTRL", 0xA2},
    {"LCTRL", 0xA2},  {"RCTRL", 0xA3},     {"ALT", 0xA4},         {"LALT", 0xA4},   {"RALT", 0xA5},
};

// The virtual-key code of a key name, or -1.
int keycode(const std::string& name) {
    std::string upper;
    for (char c : name) upper += static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    if (upper.size() == 1 && (std::isalpha(static_cast<unsigned char>(upper[0])) ||
                              std::isdigit(static_cast<unsigned char>(upper[0]))))
        return upper[0];
    if (upper.size() >= 2 && upper[0] == 'F' && upper.size() <= 3) {
        bool digits = true;
        for (size_t i = 1; i < upper.size(); ++i)
            digits = digits && std::isdigit(static_cast<unsigned char>(upper[i]));
        if (digits) {
            int n = std::atoi(upper.c_str() + 1);
            if (n >= 1 && n <= 12) return PFVK_F1 + n - 1;
        }
    }
    if (upper.size() == 4 && upper[0] == '0' && upper[1] == 'X' &&
        std::isxdigit(static_cast<unsigned char>(upper[2])) &&
        std::isxdigit(static_cast<unsigned char>(upper[3]))) {
        int code = static_cast<int>(std::strtol(upper.c_str() + 2, nullptr, 16));
        if (code > 0 && code < 255) return code;
    }
    for (const keyname& k : keynames)
        if (upper == k.name) return k.code;
    return -1;
}

// The character a key press types, or 0 (none with Control or Alt held).
int typedcharacter(int vk, bool shift, bool controloralt) {
    if (controloralt) return 0;
    if (vk >= 'A' && vk <= 'Z') return shift ? vk : vk + 32;
    if (vk >= '0' && vk <= '9' && !shift) return vk;
    if (vk == 0x20 || vk == 0x0D || vk == 0x08 || vk == 0x1B || vk == 0x09) return vk;
    return 0;
}

// A positive pump number, or -1.
int pumpnumber(const std::string& text) {
    if (text.empty() || text.size() > 9) return -1;
    for (char c : text)
        if (!std::isdigit(static_cast<unsigned char>(c))) return -1;
    int n = std::atoi(text.c_str());
    return n >= 1 ? n : -1;
}

// Splits the script into tokens at spaces and commas, keeping quoted text whole.
bool tokenise(const char* text, std::vector<std::string>& tokens, std::string& error) {
    std::string current;
    bool quoted = false;
    for (const char* p = text; *p; ++p) {
        char c = *p;
        if (c == '\'') quoted = !quoted;
        if (!quoted && (c == ' ' || c == ',' || c == '\t' || c == '\n')) {
            if (!current.empty()) tokens.push_back(current);
            current.clear();
            continue;
        }
        current += c;
    }
    if (quoted) {
        error = "unterminated quoted text";
        return false;
    }
    if (!current.empty()) tokens.push_back(current);
    return true;
}

// Parses one token into events.
bool parsetoken(const std::string& token, std::multimap<int, scriptevent>& events, std::string& error) {
    size_t at = token.rfind('@');
    if (at == std::string::npos || at == 0) {
        error = "'" + token + "' is not KEY@PUMP or KEY@FIRST-LAST";
        return false;
    }
    std::string what = token.substr(0, at), when = token.substr(at + 1);
    int first, last;
    size_t dash = when.find('-');
    if (dash == std::string::npos) {
        first = last = pumpnumber(when);
    } else {
        first = pumpnumber(when.substr(0, dash));
        last = pumpnumber(when.substr(dash + 1));
    }
    if (first < 0 || last < 0 || last < first) {
        error = "'" + token + "': the pump must be a number from 1 on, or FIRST-LAST with FIRST <= LAST";
        return false;
    }
    bool range = dash != std::string::npos;
    auto add = [&events](int pump, scriptevent::kind kind, int code) {
        events.emplace(pump, scriptevent{pump, kind, code});
    };
    // Quoted text: one character message per byte.
    if (what.size() >= 2 && what.front() == '\'' && what.back() == '\'') {
        if (range) {
            error = "'" + token + "': text is typed at one pump, not a range";
            return false;
        }
        for (size_t i = 1; i + 1 < what.size(); ++i)
            add(first, scriptevent::character, static_cast<unsigned char>(what[i]));
        return true;
    }
    std::string upper;
    for (char c : what) upper += static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    if (upper == "QUIT" || upper == "CLOSE" || upper == "MIN") {
        if (range) {
            error = "'" + token + "': " + upper + " happens at one pump, not a range";
            return false;
        }
        add(first,
            upper == "QUIT"    ? scriptevent::quit
            : upper == "CLOSE" ? scriptevent::close
                               : scriptevent::minimise,
            0);
        return true;
    }
    // Keys joined by '+': pressed in order, released in reverse order.
    std::vector<int> codes;
    size_t start = 0;
    while (true) {
        size_t plus = what.find('+', start);
        std::string name = what.substr(start, plus == std::string::npos ? std::string::npos : plus - start);
        int code = keycode(name);
        if (code < 0) {
            error = "unknown key '" + name + "' in '" + token + "'";
            return false;
        }
        codes.push_back(code);
        if (plus == std::string::npos) break;
        start = plus + 1;
    }
    bool shift = false, controloralt = false;
    for (int code : codes) {
        add(first, scriptevent::keydown, code);
        if (code == 0xA0 || code == 0xA1) shift = true;
        if (code >= 0xA2 && code <= 0xA5) controloralt = true;
        int ch = typedcharacter(code, shift, controloralt);
        if (ch) add(first, scriptevent::character, ch);
    }
    for (auto it = codes.rbegin(); it != codes.rend(); ++it) add(last + 1, scriptevent::keyup, *it);
    return true;
}

// Parses "N" or "A-B" items joined by commas.
bool parsecapturelist(const std::string& list, std::vector<capturerange>& ranges, std::string& error) {
    size_t start = 0;
    if (list.empty()) {
        error = "no frames listed after the ':'";
        return false;
    }
    while (true) {
        size_t comma = list.find(',', start);
        std::string item = list.substr(start, comma == std::string::npos ? std::string::npos : comma - start);
        size_t dash = item.find('-');
        int first, last;
        if (dash == std::string::npos) {
            first = last = pumpnumber(item);
        } else {
            first = pumpnumber(item.substr(0, dash));
            last = pumpnumber(item.substr(dash + 1));
        }
        if (first < 0 || last < 0 || last < first) {
            error = "'" + item + "' is not a frame number from 1 on or a range FIRST-LAST";
            return false;
        }
        ranges.push_back({first, last});
        if (comma == std::string::npos) break;
        start = comma + 1;
    }
    return true;
}

}  // namespace

void pfscriptreset() { script = scriptstate{}; }

bool pfscriptparsescreen(const char* text, int* width, int* height, std::string& error) {
    const char* x = text ? std::strchr(text, 'x') : nullptr;
    std::string w = x ? std::string(text, x) : "", h = x ? std::string(x + 1) : "";
    auto digitsonly = [](const std::string& s) {
        if (s.empty() || s.size() > 5) return false;
        for (char c : s)
            if (!std::isdigit(static_cast<unsigned char>(c))) return false;
        return true;
    };
    if (!x || !digitsonly(w) || !digitsonly(h)) {
        error = std::string("'") + (text ? text : "") + "' is not WIDTHxHEIGHT, for example 1024x768";
        return false;
    }
    int wv = std::atoi(w.c_str()), hv = std::atoi(h.c_str());
    if (wv > 16384 || hv > 16384 || (wv == 0) != (hv == 0)) {
        error =
            std::string("'") + text + "': each side must be 1 to 16384 (or 0x0 for a desktop without a size)";
        return false;
    }
    *width = wv;
    *height = hv;
    return true;
}

bool pfscriptscreen(int* width, int* height) {
    if (!script.screenset) return false;
    *width = script.screenwidth;
    *height = script.screenheight;
    return true;
}

// Reads the three settings; one line on standard error for the first bad one.
bool pfscriptreadenvironment() {
    pfscriptreset();
    std::string error;
    if (const char* s = std::getenv("VOXDA_SCREEN"); s && *s) {
        if (!pfscriptparsescreen(s, &script.screenwidth, &script.screenheight, error)) {
            std::fprintf(stderr, "voxda: VOXDA_SCREEN: %s\n", error.c_str());
            pfscriptreset();
            return false;
        }
        script.screenset = true;
    }
    if (const char* s = std::getenv("VOXDA_KEYS"); s && *s) {
        if (!pfscriptsetkeys(s, error)) {
            std::fprintf(stderr, "voxda: VOXDA_KEYS: %s\n", error.c_str());
            pfscriptreset();
            return false;
        }
    }
    if (const char* s = std::getenv("VOXDA_CAPTURE"); s && *s) {
        if (!pfscriptsetcapture(s, error)) {
            std::fprintf(stderr, "voxda: VOXDA_CAPTURE: %s\n", error.c_str());
            pfscriptreset();
            return false;
        }
    }
    return true;
}

bool pfscriptsetkeys(const char* text, std::string& error) {
    std::vector<std::string> tokens;
    if (!text || !tokenise(text, tokens, error)) {
        if (!text) error = "no script";
        return false;
    }
    std::multimap<int, scriptevent> events;
    for (const std::string& token : tokens)
        if (!parsetoken(token, events, error)) return false;
    script.events = std::move(events);
    return true;
}

bool pfscriptsetcapture(const char* text, std::string& error) {
    std::string t = text ? text : "";
    size_t colon = t.rfind(':');
    if (colon == std::string::npos || colon == 0) {
        error = "'" + t + "' is not DIR:LIST, for example shots:1,10-20";
        return false;
    }
    std::vector<capturerange> ranges;
    if (!parsecapturelist(t.substr(colon + 1), ranges, error)) return false;
    std::string dir = t.substr(0, colon);
    std::error_code ec;
    std::filesystem::create_directories(dir, ec);
    if (!std::filesystem::is_directory(dir, ec)) {
        error = "cannot make the directory '" + dir + "'";
        return false;
    }
    script.capturedir = dir;
    script.captures = std::move(ranges);
    return true;
}

// Posts this pump's scripted input to the newest visible window.
void pfscriptpump(int pump) {
    auto range = script.events.equal_range(pump);
    bool alt = false;
    for (auto it = range.first; it != range.second; ++it) {
        const scriptevent& e = it->second;
        pfwindow* window = pfbackendmainwindow();
        switch (e.what) {
            case scriptevent::keydown:
                if (e.code == PFVK_LMENU || e.code == PFVK_RMENU) alt = true;
                pfpostmessage(window, alt ? PFM_SYSKEYDOWN : PFM_KEYDOWN, static_cast<uintptr_t>(e.code), 1);
                break;
            case scriptevent::keyup:
                pfpostmessage(window, PFM_KEYUP, static_cast<uintptr_t>(e.code),
                              static_cast<intptr_t>(0xC0000001u));
                break;
            case scriptevent::character:
                pfpostmessage(window, PFM_CHAR, static_cast<uintptr_t>(e.code), 1);
                break;
            case scriptevent::quit: pfpostquitmessage(0); break;
            case scriptevent::close: pfpostmessage(window, PFM_CLOSE, 0, 0); break;
            case scriptevent::minimise:
                if (window) {
                    pfclosewindow(window);
                    script.restorepending = true;
                    script.restoreat = pfgettickcount() + scriptrestorems;
                }
                break;
        }
    }
    // Events of this pump are done; drop them so that memory stays bounded in long runs.
    script.events.erase(range.first, range.second);
}

// Brings back a window minimised by the script once its time has passed.
void pfscriptpoll() {
    if (!script.restorepending) return;
    if (static_cast<int32_t>(pfgettickcount() - script.restoreat) < 0) return;
    script.restorepending = false;
    if (pfwindow* window = pfbackendmainwindow()) {
        pfwindowplacement placement{sizeof(pfwindowplacement), 0, PF_SW_RESTORE, 0, 0, 0, 0, 0, 0, 0, 0};
        pfsetwindowplacement(window, &placement);
    }
}

// Saves the frame when its number is listed.
void pfscriptcapture(const pfframe& frame) {
    if (script.captures.empty()) return;
    bool listed = false;
    for (const capturerange& r : script.captures)
        listed = listed || (frame.number >= r.first && frame.number <= r.last);
    if (!listed) return;
    char name[32];
    std::snprintf(name, sizeof name, "frame%06d.bmp", frame.number);
    std::string path = (std::filesystem::path(script.capturedir) / name).string();
    std::string error;
    if (!pfwriteframebmp(path.c_str(), frame, error))
        std::fprintf(stderr, "voxda: capture: %s\n", error.c_str());
}

// Writes an uncompressed bottom-up BMP of the frame through a temporary file.
bool pfwriteframebmp(const char* path, const pfframe& frame, std::string& error) {
    if (!frame.pixels || frame.width <= 0 || frame.height <= 0) {
        error = "no frame to write";
        return false;
    }
    const bool indexed = frame.bitsperpixel == 8;
    unsigned char colours[bmpcolourtablesize];
    for (int k = 0; k < 256; k++) {
        const pfpaletteentry& e = frame.palette[k];
        colours[4 * k] = e.blue, colours[4 * k + 1] = e.green, colours[4 * k + 2] = e.red,
                    colours[4 * k + 3] = 0;
    }
    // 72 dots per inch, in dots per metre.
    const bmplayout image = {frame.width, frame.height, indexed ? 8 : 24, 2835, indexed ? 256u : 0u, colours};
    const int bytes = frame.bitsperpixel / 8;
    auto row = [&](int y, unsigned char* out) {
        const uint8_t* pixels = frame.pixels + static_cast<size_t>(y) * static_cast<size_t>(frame.pitch);
        if (indexed) {
            std::memcpy(out, pixels, static_cast<size_t>(frame.width));
            return;
        }
        for (int x = 0; x < frame.width; ++x, out += 3) {
            const uint8_t* p = pixels + x * bytes;
            if (bytes == 2) {
                uint32_t v = static_cast<uint32_t>(p[0] | p[1] << 8);
                uint32_t r = v >> 11 & 31, g = v >> 5 & 63, bl = v & 31;
                out[0] = static_cast<uint8_t>(bl << 3 | bl >> 2);
                out[1] = static_cast<uint8_t>(g << 2 | g >> 4);
                out[2] = static_cast<uint8_t>(r << 3 | r >> 2);
            } else {
                out[0] = p[0], out[1] = p[1], out[2] = p[2];
            }
        }
    };
    outputfile out;
    if (!openoutput(&out, path)) {
        error = std::string("cannot write '") + path + "': " + std::strerror(out.error);
        return false;
    }
    const bool written = writebmp(out.file, image, row);
    if (!written) abortoutput(&out);
    if (!written || !commitoutput(&out)) {
        error = std::string("cannot write '") + path + "': " + std::strerror(out.error ? out.error : EIO);
        return false;
    }
    return true;
}
