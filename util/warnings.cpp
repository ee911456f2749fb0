// warnings.cpp - the sink for the warnings of the particle-data and unit code
#include "util/warnings.h"

void (*warnobserver)(const char* text) = nullptr;

// Warnings are not shown or logged anywhere.
void warnmessage(const char* text) {
    if (warnobserver) warnobserver(text);
}
