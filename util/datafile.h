// Data files shipped with the programs (font.dat): found in the working directory first, then
// in the installed data folder next to the program.
#pragma once

#include <string>

// The installed data folder relative to the folder that holds the programs (PREFIX/bin and
// PREFIX/share/voxda); the install rules use the same layout.
constexpr const char* installeddatafolder = "../share/voxda";

// The path under which to open the data file `name`: `name` itself when it exists in the working
// directory, else the copy in the installed data folder beside this program when there is one,
// else `name` (so the caller's handling of a missing file is unchanged).
std::string datafilepath(const std::string& name);
