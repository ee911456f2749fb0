// Text markup: Greek names, #col= / #tab= codes and ^ _ scripts turned into drawtext escapes.
#include "text/markup.h"

#include <cmath>
#include <cstring>
#include <vector>

namespace {

const char* const greeknames[24] = {"alpha", "beta",    "gamma",   "delta", "epsilon", "zeta",
                                    "eta",   "theta",   "iota",    "kappa", "lambda",  "mu",
                                    "nu",    "xi",      "omicron", "pi",    "rho",     "sigma",
                                    "tau",   "upsilon", "phi",     "chi",   "psi",     "omega"};
const char* const variantnames[5] = {"vardelta", "varzeta", "vartheta", "varphi", "varomega"};

constexpr int greeklower = 256;
constexpr int greekupper = 280;
constexpr int greekvariant = 304;

unsigned char byteat(const char* text, size_t i) { return static_cast<unsigned char>(text[i]); }

// The byte at text[i] while i lies before the text's end, else the terminator: a text that
// fills its buffer, or ends inside an escape cut off by the buffer, is never read beyond.
unsigned char boundedbyte(const char* text, size_t i, size_t end) { return i < end ? byteat(text, i) : 0; }

size_t endindex(const char* text, size_t size) { return static_cast<size_t>(textend(text, size) - text); }

// Length of the name when the text at text[i] starts with it, ignoring letter case; else 0.
// Stops at the first mismatch or at the text's end.
size_t matchname(const char* text, size_t i, size_t end, const char* name) {
    size_t k = 0;
    for (; name[k]; k++) {
        unsigned char c = boundedbyte(text, i + k, end);
        if (c >= 'A' && c <= 'Z') c = static_cast<unsigned char>(c + 32);
        if (c != static_cast<unsigned char>(name[k])) return 0;
    }
    return k;
}

// Replaces `oldlength` bytes at text[at] by `newlength` bytes from `with`, moving the rest
// of the text (escape-aware end). Returns false, changing nothing, when it would not fit.
bool replacebytes(char* text, size_t size, size_t at, size_t oldlength, const unsigned char* with,
                  size_t newlength) {
    size_t end = endindex(text, size);
    if (end >= size) return false;
    if (end + 1 - oldlength + newlength > size) return false;
    std::memmove(text + at + newlength, text + at + oldlength, end + 1 - at - oldlength);
    std::memcpy(text + at, with, newlength);
    return true;
}

void putescape(unsigned char* out, int selector, uint32_t value) {
    out[0] = textescape;
    out[1] = static_cast<unsigned char>(selector);
    out[2] = static_cast<unsigned char>(value);
    out[3] = static_cast<unsigned char>(value >> 8);
    out[4] = static_cast<unsigned char>(value >> 16);
    out[5] = static_cast<unsigned char>(value >> 24);
}

void putscriptescape(unsigned char* out, int s, int v) {
    uint32_t value = (static_cast<uint32_t>(s) & 0xFFFF) | ((static_cast<uint32_t>(v) & 0xFFFF) << 16);
    putescape(out, textescapescript, value);
}

// Bytes an escape starting with byte c occupies (1 for an ordinary byte).
size_t stepof(unsigned char c) { return c == glyphescape ? 3 : c == textescape ? 6 : 1; }

bool isletter(unsigned char c) { return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z'); }
bool isdigitbyte(unsigned char c) { return c >= '0' && c <= '9'; }

// A text that ends inside an escape cut off by the buffer (its first zero is the terminator)
// is ended at the escape's first byte instead. drawtext stops there unread either way, and a
// conversion that moves the rest of the text left could otherwise make the cut-off escape
// whole again, its zero a data byte and the text without an end.
void endbeforecutescape(char* text, size_t size) {
    size_t i = 0;
    while (i < size && text[i]) {
        size_t step = stepof(byteat(text, i));
        if (step > size - i) {
            if (std::memchr(text + i, 0, size - i)) text[i] = 0;
            return;
        }
        i += step;
    }
}

}  // namespace

// Terminating zero, stepping over escapes; bounded by the buffer size.
const char* textend(const char* text, size_t size) {
    size_t i = 0;
    while (i < size) {
        unsigned char c = byteat(text, i);
        if (c == 0) return text + i;
        size_t step = stepof(c);
        if (step > size - i) {
            // An escape cut off by the end of the buffer: its first zero ends the text.
            for (i++; i < size; i++)
                if (text[i] == 0) return text + i;
            return text + size;
        }
        i += step;
    }
    return text + size;
}

char* textend(char* text, size_t size) {
    return const_cast<char*>(textend(static_cast<const char*>(text), size));
}

// Greek letter names become glyph escapes; a capital first letter gives the capital glyph.
int greekmarkup(char* text, size_t size) {
    endbeforecutescape(text, size);
    size_t i = 0;
    size_t end = endindex(text, size);
    while (i < end) {
        unsigned char c = byteat(text, i);
        if (c == glyphescape || c == textescape) {
            if (stepof(c) > end - i) break;  // cut off by the buffer: the text ends inside it
            i += stepof(c);
            continue;
        }
        int code = -1;
        size_t length = 0;
        for (int n = 0; n < 24 && code < 0; n++) {
            length = matchname(text, i, end, greeknames[n]);
            if (length) code = (c <= 96 ? greekupper : greeklower) + n;
        }
        for (int n = 0; n < 5 && code < 0; n++) {
            length = matchname(text, i, end, variantnames[n]);
            if (length) code = greekvariant + n;
        }
        if (code < 0) {
            i++;
            continue;
        }
        const unsigned char escape[3] = {glyphescape, static_cast<unsigned char>(code >> 8),
                                         static_cast<unsigned char>(code & 0xFF)};
        if (!replacebytes(text, size, i, length, escape, 3)) return 0;
        end = endindex(text, size);
        i += 3;
    }
    return 1;
}

// "#col=" and "#tab=" codes with an optionally signed decimal number, optionally closed
// by "#", become colour and tab escapes.
int hashmarkup(char* text, size_t size) {
    static const char* const keys[2] = {"#col=", "#tab="};
    endbeforecutescape(text, size);
    size_t i = 0;
    size_t end = endindex(text, size);
    while (i < end) {
        unsigned char c = byteat(text, i);
        if (c == glyphescape || c == textescape) {
            if (stepof(c) > end - i) break;  // cut off by the buffer: the text ends inside it
            i += stepof(c);
            continue;
        }
        bool converted = false;
        for (int selector = 0; selector < 2 && !converted; selector++) {
            size_t keylength = matchname(text, i, end, keys[selector]);
            if (!keylength) continue;
            size_t j = i + keylength;
            bool negative = boundedbyte(text, j, end) == '-';
            if (negative) j++;
            uint32_t n = 0;  // wraps instead of overflowing on absurdly long numbers
            for (; isdigitbyte(boundedbyte(text, j, end)); j++) n = 10 * n + (byteat(text, j) - '0');
            if (negative) n = 0u - n;
            if (boundedbyte(text, j, end) == '#') j++;
            unsigned char escape[6];
            putescape(escape, selector, n);
            if (!replacebytes(text, size, i, j - i, escape, 6)) return 0;
            end = endindex(text, size);
            i += 6;
            converted = true;
        }
        if (!converted) i++;
    }
    return 1;
}

// ^ and _ with their argument become script escapes, nested braced groups to `depth` levels.
int scriptmarkup(char* text, size_t size, int depth, int v, int s) {
    if (depth <= 0) return 1;
    int s2 = static_cast<int>(std::trunc(std::fmax(0.7 * s, 128.0)));
    int vup = static_cast<int>(
        std::trunc(static_cast<float>(v) + 0.3f * static_cast<float>(s) - 0.5f * static_cast<float>(s - s2)));
    int vdown = static_cast<int>(
        std::trunc(static_cast<float>(v) - 0.3f * static_cast<float>(s) - 0.5f * static_cast<float>(s - s2)));
    endbeforecutescape(text, size);
    size_t i = 0;
    size_t end = endindex(text, size);
    while (i < end) {
        unsigned char c = byteat(text, i);
        if (c != '^' && c != '_') {
            if (stepof(c) > end - i) break;  // cut off by the buffer: the text ends inside it
            i += stepof(c);
            continue;
        }
        int inner = c == '^' ? vup : vdown;
        if (end >= size) return 0;
        size_t a = i + 1;  // start of the argument
        unsigned char first = byteat(text, a);
        size_t b = a;  // one past the argument
        if (first == 0) {
            i++;  // nothing follows: the sign stays as it is
            continue;
        } else if (first == '{') {
            // Find the matching closing brace, stepping over escapes.
            int nesting = 0;
            size_t k = a;
            size_t close = 0;
            while (k < end) {
                unsigned char d = byteat(text, k);
                if (d == '{') nesting++;
                if (d == '}' && --nesting == 0) {
                    close = k;
                    break;
                }
                k += stepof(d);
            }
            if (close == 0) {
                i++;  // unclosed group: the sign stays as it is
                continue;
            }
            // Convert the inside in a scratch buffer with all the room the text has left.
            // The group grows by 9 bytes before its inside is converted; the inside may
            // use whatever room is left after that.
            size_t insidelength = close - a - 1;
            if (end + 10 > size) return 0;
            std::vector<char> scratch(size - end - 9 + insidelength);
            std::memcpy(scratch.data(), text + a + 1, insidelength);
            scratch[insidelength] = 0;
            scriptmarkup(scratch.data(), scratch.size(), depth - 1, inner, s2);
            size_t newinside = endindex(scratch.data(), scratch.size());
            unsigned char open[6], back[6];
            putscriptescape(open, s2, inner);
            putscriptescape(back, s, v);
            // Text after the group moves to its new place, then the pieces are written.
            size_t tail = close + 1;
            size_t newtail = i + 6 + newinside + 6;
            std::memmove(text + newtail, text + tail, end + 1 - tail);
            std::memcpy(text + i, open, 6);
            std::memcpy(text + i + 6, scratch.data(), newinside);
            std::memcpy(text + i + 6 + newinside, back, 6);
            end = endindex(text, size);
            i = newtail;
            continue;
        } else if (isletter(first)) {
            while (isletter(byteat(text, b))) b++;
        } else if (isdigitbyte(first)) {
            while (isdigitbyte(byteat(text, b))) b++;
        } else if (first == glyphescape) {
            while (b < end && byteat(text, b) == glyphescape) b += 3;
            if (b > end) b = end;
        } else {
            b = a + stepof(first);
            if (b > end) b = end;
        }
        if (end + 1 + 11 > size) return 0;
        unsigned char open[6], back[6];
        putscriptescape(open, s2, inner);
        putscriptescape(back, s, v);
        std::memmove(text + b + 11, text + b, end + 1 - b);
        std::memmove(text + a + 5, text + a, b - a);
        std::memcpy(text + i, open, 6);
        std::memcpy(text + b + 5, back, 6);
        end = endindex(text, size);
        i = b + 11;
    }
    return 1;
}

// Greek names first, so a Greek letter after ^ or _ is one argument; then scripts.
char* markup(char* text, size_t size, int depth) {
    greekmarkup(text, size);
    scriptmarkup(text, size, depth, 0, 256);
    return text;
}
