// Test helper: running a shell command or a built program as a child process, with its exit status and
// output.
#pragma once

#include <sys/wait.h>

#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "tests/testfiles.h"

// What a finished program gave back: its exit status (-1 when it did not exit normally) and output.
struct processresult {
    int status = -1;
    std::string out, err;
};

// The exit status in a raw wait status from std::system, or -1 when the child did not exit normally.
inline int exitstatus(int raw) { return WIFEXITED(raw) ? WEXITSTATUS(raw) : -1; }

// Runs a command through the shell; returns its exit status.
inline int runcommand(const std::string& command) { return exitstatus(std::system(command.c_str())); }

// The text single-quoted for the shell.
inline std::string shellquoted(const std::string& text) {
    std::string quoted = "'";
    for (char c : text) quoted += c == '\'' ? std::string("'\\''") : std::string(1, c);
    return quoted + "'";
}

// The path of a program of this build.
inline std::string builtprogram(const std::string& name) {
    return std::string(VOXDA_BINARY_DIR) + "/" + name;
}

// Runs a program of this build with the arguments; its standard output and error pass through
// files in dir, which are removed again.
inline processresult runbuilt(const std::string& name, const std::vector<std::string>& args,
                              const std::filesystem::path& dir) {
    std::string command = shellquoted(builtprogram(name));
    for (const std::string& a : args) command += " " + shellquoted(a);
    const std::filesystem::path out = dir / "stdout.txt", err = dir / "stderr.txt";
    command += " >" + shellquoted(out.string()) + " 2>" + shellquoted(err.string());
    processresult r;
    r.status = runcommand(command);
    r.out = readtext(out);
    r.err = readtext(err);
    std::filesystem::remove(out);
    std::filesystem::remove(err);
    return r;
}
