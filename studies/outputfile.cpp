// Whole output files written under a temporary name and renamed.
#include "studies/outputfile.h"

#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>

// The temporary name carries the process id, so runs writing side by side never meet.
bool writewholefile(const std::string& path, const std::string& bytes, std::string* error) {
    std::string temp = path + "." + std::to_string(getpid()) + ".tmp";
    FILE* file = std::fopen(temp.c_str(), "wb");
    if (!file) {
        *error = path + ": cannot write: " + std::strerror(errno);
        return false;
    }
    bool ok = std::fwrite(bytes.data(), 1, bytes.size(), file) == bytes.size();
    int writeerror = errno;
    ok = std::fclose(file) == 0 && ok;
    if (ok && std::rename(temp.c_str(), path.c_str()) == 0) return true;
    if (ok) writeerror = errno;
    std::remove(temp.c_str());
    *error = path + ": cannot write: " + std::strerror(writeerror ? writeerror : EIO);
    return false;
}
