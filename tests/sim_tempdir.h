// Test helper of the simulation tests: a fresh temporary directory per test, removed afterwards.
#pragma once

#include <filesystem>
#include <string>

#include <unistd.h>

// Creates a unique empty directory under the system's temporary folder.
struct tempdir {
    std::filesystem::path path;
    tempdir() {
        std::string pattern = (std::filesystem::temp_directory_path() / "voxda-test-XXXXXX").string();
        path = mkdtemp(pattern.data());
    }
    ~tempdir() {
        std::error_code ignored;
        std::filesystem::remove_all(path, ignored);
    }
    std::string file(const char* name) const { return (path / name).string(); }
};
