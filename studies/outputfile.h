// Whole output files written under a temporary name and renamed, so no half-written file remains.
#pragma once

#include <string>

// Writes bytes as the whole file at path; false with *error (one line) when it cannot.
bool writewholefile(const std::string& path, const std::string& bytes, std::string* error);
