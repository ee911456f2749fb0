// Checkpoints of a scan: the finished rows of its table, with the parameters that made them.
#pragma once

#include <string>

#include "studies/dascan.h"

// The parameters that decide a scan's results: the settings (threads aside) and a hash of
// every initial condition.
std::string scanparameters(const datable& table, const dasettings& settings);
// The checkpoint text: a first line, the parameters line, the CSV header and every finished row.
std::string checkpointtext(const datable& table, const std::string& parameters);
// Reads a checkpoint into *resume (rows by index, unfinished ones pending). False with *error
// (one line) when it is not a checkpoint or was made with other parameters (*other set then).
bool readcheckpoint(const std::string& text, const std::string& parameters, datable* resume, bool* other,
                    std::string* error);
