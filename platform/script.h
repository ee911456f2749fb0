// script.h - scripted runs: VOXDA_SCREEN, VOXDA_KEYS (input by pump number), VOXDA_CAPTURE (frames to BMP)
#pragma once

#include <string>

#include "platform/platform.h"

// Forgets every scripted setting: no screen size, no keys, no captures.
void pfscriptreset();

// Reads VOXDA_SCREEN, VOXDA_KEYS and VOXDA_CAPTURE.  A bad value prints one line to standard
// error ("voxda: VOXDA_KEYS: ...") and gives false; nothing is kept then.
bool pfscriptreadenvironment();

// Parses "WxH" (decimal, each 0..16384; both 0 or both positive).
bool pfscriptparsescreen(const char* text, int* width, int* height, std::string& error);

// The VOXDA_SCREEN size when one was given.
bool pfscriptscreen(int* width, int* height);

// Sets the scripted input (the VOXDA_KEYS grammar, see the README); false with a reason when
// the text is bad, and the old script is kept then.
bool pfscriptsetkeys(const char* text, std::string& error);

// Sets the frames to capture ("DIR:LIST"); the directory is created when missing.  False with
// a reason when the text is bad or the directory cannot be made.
bool pfscriptsetcapture(const char* text, std::string& error);

// Posts the scripted input of one pump (called at every keyboard read).
void pfscriptpump(int pump);

// Restores a window that a script minimised once its time is up (called before input is read).
void pfscriptpoll();

// Saves a presented frame when the capture list names it.
void pfscriptcapture(const pfframe& frame);

// Writes a frame as a BMP file exactly as shown: 8-bit frames as 8-bit BMP with their
// palette, others as 24-bit BMP.  Writes a temporary file and renames it; false with a reason.
bool pfwriteframebmp(const char* path, const pfframe& frame, std::string& error);
