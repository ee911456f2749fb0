// Small shared helpers: whole-file reading, heap strings, characters.
#include "util/helpers.h"

#include <climits>
#include <cstdio>
#include <cstdlib>

// Opens, measures, reads whole, closes.
unsigned char* readwholefile(const char* path, int* length) {
    FILE* file = std::fopen(path, "rb");
    if (!file) return nullptr;
    long size = -1;
    if (std::fseek(file, 0, SEEK_END) == 0) size = std::ftell(file);
    if (size < 0 || size > INT_MAX || std::fseek(file, 0, SEEK_SET) != 0) {
        // Not a regular readable file (a directory, a pipe, or too large to measure in an int).
        std::fclose(file);
        return nullptr;
    }
    *length = static_cast<int>(size);
    unsigned char* block = nullptr;
    if (size > 0) {
        block = static_cast<unsigned char*>(std::malloc(static_cast<size_t>(size)));
        if (std::fread(block, 1, static_cast<size_t>(size), file) != static_cast<size_t>(size)) {
            std::free(block);
            block = nullptr;
            *length = 0;
        }
    }
    std::fclose(file);
    return block;
}

// Heap copy replacing the old text.
int setstring(char** target, const char* text) {
    char* old = *target;
    int length = newstring(target, text);
    std::free(old);
    return length;
}

// Heap copy; the old value is left alone.
int newstring(char** target, const char* text) {
    if (!text) text = "";
    size_t length = std::strlen(text);
    char* copy = static_cast<char*>(std::malloc(length + 1));
    std::memcpy(copy, text, length + 1);
    *target = copy;
    return static_cast<int>(length);
}

// ASCII upper case to lower case.
char lowercase(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c; }

// A negative signed char plus 256.
int charcode(char c) { return static_cast<unsigned char>(c); }
