// warnings.h - the sink for the warnings of the particle-data and unit code
#pragma once

// Sink for the warnings of the particle-data and unit code: it discards them.
void warnmessage(const char* text);
// Optional observer that sees every warning before it is discarded (diagnostics, tests).
extern void (*warnobserver)(const char* text);
