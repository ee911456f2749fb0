// Study outputs saved whole through the one file-writing helper.
#include "studies/savefile.h"

#include <cerrno>
#include <cstring>

#include "util/outputfile.h"

bool savefile(const std::string& path, const std::string& bytes, std::string* error) {
    outputfile out;
    bool ok = openoutput(&out, path.c_str());
    if (ok && std::fwrite(bytes.data(), 1, bytes.size(), out.file) != bytes.size()) {
        out.error = errno ? errno : EIO;
        abortoutput(&out);
        ok = false;
    } else if (ok) {
        ok = commitoutput(&out);
    }
    if (!ok) *error = path + ": cannot write: " + std::strerror(out.error ? out.error : EIO);
    return ok;
}
