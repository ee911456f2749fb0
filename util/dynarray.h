// dynarray: contiguous growable array of fixed-size elements, with an optional mirror pointer.
#pragma once

#include <cstdint>
#include <cstdio>

// The one container of the system. Elements are copied in and out by bytes.
// The storage grows to (count + 1) / f elements when full and shrinks to count / f
// when the fill falls below 0.01 * growth, where f = 0.005 * growth + 0.5.
// When `mirror` is set, the pointer variable it addresses always holds `data`.
struct dynarray {
    void* data;            // capacity * elemsize bytes from the heap
    void* mirror;          // address of an outside pointer variable kept equal to data, or null
    uint32_t count;        // elements in use
    uint32_t capacity;     // elements the storage holds
    uint32_t mincapacity;  // initial capacity and the floor for shrinking
    uint32_t elemsize;     // bytes per element
    float growth;          // growth parameter, 60 by default (f = 0.8, shrink below 60 % fill)
};

// Byte sizes of the two file headers.
constexpr long dynarrayheaderbytes = 16;
constexpr long dynarraycompactheaderbytes = 5;

// Starts an empty array with room for one element; returns the storage address.
void* dynarrayinit(dynarray* array, uint32_t elemsize);
// Appends a copy of the element at elem; returns its index (the old count).
uint32_t dynarrayappend(dynarray* array, const void* elem);
// Appends one element with undefined contents; returns its address.
void* dynarrayappendslot(dynarray* array);
// Removes element index by moving the last element into its place; may shrink.
// An index at or beyond count does nothing.
void dynarrayremove(dynarray* array, uint32_t index);
// Index of the last element whose bytes equal key's, or -1.
int dynarrayfind(const dynarray* array, const void* key);
// Removes the element found by dynarrayfind, if any.
void dynarrayremovevalue(dynarray* array, const void* key);
// Sorts the elements in use with a qsort comparison.
void dynarraysort(dynarray* array, int (*compare)(const void*, const void*));
// Sets the mirror (address of a pointer variable, or null) and fills it with data at once.
// Returns the previous mirror.
void* dynarraybind(dynarray* array, void* pointervariable);
// Empties the array and gives it fresh storage of mincapacity elements.
void dynarrayclear(dynarray* array);
// A copy with its own storage (all capacity elements copied) and no mirror.
dynarray dynarrayclone(dynarray array);
// Clears the mirror, frees the storage and the heap-allocated record itself.
void dynarraydestroy(dynarray* array);
// Clears the mirror and frees the storage of a record held by value.
void dynarrayrelease(dynarray array);

// File layouts, integers little-endian:
//   full:    count u32, elemsize u32, mincapacity u32, growth f32, then count * elemsize bytes;
//   compact: count u32, elemsize low byte, then count * elemsize bytes.
// Writers return false when the file could not be written completely.
bool dynarraywrite(const dynarray* array, FILE* file);
bool dynarraywritecompact(const dynarray* array, FILE* file);
// Writes the compact (or full) layout to path through a temporary file that is renamed
// into place, so a failed save leaves any old file untouched; false on failure.
bool dynarraysavecompact(const dynarray* array, const char* path);
bool dynarraysave(const dynarray* array, const char* path);

// Readers return the array read from the file. When the file cannot be opened, is shorter
// than its header says, or its header is unusable, nothing beyond the file's bytes is read,
// *ok (when given) is set to false and the result is a valid empty array (count 0,
// capacity 1) of the header's element size, or of element size 1 when no header was read
// or its element size exceeds 1 MiB.
// On success *ok is set to true.
dynarray dynarrayread(FILE* file, bool* ok = nullptr);
dynarray dynarrayreadcompact(FILE* file, bool* ok = nullptr);
dynarray dynarrayloadcompact(const char* path, bool* ok = nullptr);
dynarray dynarrayload(const char* path, bool* ok = nullptr);
