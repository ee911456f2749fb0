// Study outputs saved whole through the one file-writing helper, with a reason on failure.
#pragma once

#include <string>

// Writes bytes as the whole file at path (a temporary file renamed into place); false with
// *error set to one line naming the file and the reason when it cannot.
bool savefile(const std::string& path, const std::string& bytes, std::string* error);
