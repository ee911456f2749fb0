// Data files shipped with the programs: the working directory first, then the installed copy.
#include "util/datafile.h"

#include <filesystem>
#include <system_error>

namespace fs = std::filesystem;

std::string datafilepath(const std::string& name) {
    std::error_code error;
    if (fs::exists(name, error)) return name;
    // The running program's own file, whatever folder it was started from.
    fs::path program = fs::read_symlink("/proc/self/exe", error);
    if (error) return name;
    fs::path installed = program.parent_path() / installeddatafolder / name;
    if (fs::is_regular_file(installed, error)) return installed.lexically_normal().string();
    return name;
}
