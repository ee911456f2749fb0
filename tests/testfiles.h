// Test helper: temporary directories of this test process, and whole-file reads and writes.
#pragma once

#include <gtest/gtest.h>

#include <unistd.h>

#include <cstdint>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <system_error>
#include <vector>

// A unique empty directory under the system's temporary folder, removed with everything in it
// when the object goes.
struct testtempdir {
    std::filesystem::path path;
    explicit testtempdir(const std::string& prefix = "voxda-test") {
        std::string pattern = (std::filesystem::temp_directory_path() / (prefix + "-XXXXXX")).string();
        if (mkdtemp(pattern.data()))
            path = pattern;
        else
            ADD_FAILURE() << "cannot create a temporary directory from " << pattern;
    }
    ~testtempdir() {
        std::error_code ignored;
        if (!path.empty()) std::filesystem::remove_all(path, ignored);
    }
    testtempdir(const testtempdir&) = delete;
    testtempdir& operator=(const testtempdir&) = delete;
    // The path of a file inside the directory.
    std::string file(const char* name) const { return (path / name).string(); }
};

// A named directory path of this process under the temporary folder (not created), so that test
// runs of several builds at once never share files.
inline std::filesystem::path testdirpath(const std::string& name) {
    return std::filesystem::temp_directory_path() / ("voxda_" + name + "_" + std::to_string(::getpid()));
}

// The directory testdirpath(name), emptied (or made) afresh; the caller removes it.
inline std::filesystem::path freshtestdir(const std::string& name) {
    std::filesystem::path dir = testdirpath(name);
    std::filesystem::remove_all(dir);
    std::filesystem::create_directories(dir);
    return dir;
}

// A file's bytes (none when it cannot be read).
inline std::vector<uint8_t> readbytes(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    return std::vector<uint8_t>(std::istreambuf_iterator<char>(in), {});
}

// A file's contents as text ("" when it cannot be read).
inline std::string readtext(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

// Writes the bytes as the file's whole contents.
inline void writebytes(const std::filesystem::path& path, const std::vector<uint8_t>& bytes) {
    std::ofstream out(path, std::ios::binary);
    out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
}

// A test with a fresh directory of its own in `dir`, named after the test and removed afterwards.
class tempdirtest : public ::testing::Test {
  protected:
    std::filesystem::path dir;
    void SetUp() override {
        const ::testing::TestInfo* info = ::testing::UnitTest::GetInstance()->current_test_info();
        dir = freshtestdir(std::string(info->test_suite_name()) + "_" + info->name());
    }
    void TearDown() override { std::filesystem::remove_all(dir); }
};

// The names of the temporary files (*.tmp) left in a directory: none after any write, done or failed.
inline std::vector<std::string> temporariesin(const std::filesystem::path& dir) {
    std::vector<std::string> names;
    std::error_code error;
    for (const auto& entry : std::filesystem::directory_iterator(dir, error))
        if (entry.path().extension() == ".tmp") names.push_back(entry.path().filename().string());
    return names;
}
