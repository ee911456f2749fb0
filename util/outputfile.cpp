// outputfile.cpp - the one way to write a file: a temporary file beside it, renamed into place
#include "util/outputfile.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>
#include <climits>

int (*outputrename)(const char* from, const char* to) = std::rename;

namespace {

// Follows symbolic links to the file they name (which may not exist yet). Gives up after as
// many links as the system would follow and uses the last name reached.
std::string resolvelinks(std::string path) {
    for (int hop = 0; hop < 40; hop++) {
        struct stat st;
        if (lstat(path.c_str(), &st) != 0 || !S_ISLNK(st.st_mode)) break;
        char buffer[PATH_MAX];
        ssize_t n = readlink(path.c_str(), buffer, sizeof buffer - 1);
        if (n <= 0) break;
        std::string link(buffer, static_cast<size_t>(n));
        if (link[0] == '/') {
            path = link;
        } else {
            // Relative links count from the directory that holds the link.
            size_t slash = path.rfind('/');
            path = slash == std::string::npos ? link : path.substr(0, slash + 1) + link;
        }
    }
    return path;
}

bool fail(outputfile* out, int error) {
    if (out->error == 0) out->error = error ? error : EIO;
    return false;
}

}  // namespace

std::string temporaryname(const std::string& target) {
    return target + "." + std::to_string(getpid()) + ".tmp";
}

bool openoutput(outputfile* out, const char* path) {
    // A file-size limit then gives a failed write (EFBIG) that commitoutput reports.
    static const bool ignoringfilesize = std::signal(SIGXFSZ, SIG_IGN) != SIG_ERR;
    (void)ignoringfilesize;
    *out = outputfile{};
    if (!path || !*path) return fail(out, ENOENT);
    out->target = resolvelinks(path);

    struct stat st;
    const bool exists = stat(out->target.c_str(), &st) == 0;
    if (exists && !S_ISREG(st.st_mode)) {
        out->file = std::fopen(out->target.c_str(), "wb");
        return out->file ? true : fail(out, errno);
    }

    out->temporary = temporaryname(out->target);
    const int flags = O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC;
    int fd = open(out->temporary.c_str(), flags, 0666);
    if (fd < 0 && errno == EEXIST && unlink(out->temporary.c_str()) == 0) {
        // Left by a killed process that had our id; nobody else writes under this name.
        fd = open(out->temporary.c_str(), flags, 0666);
    }
    if (fd < 0) {
        int error = errno;
        out->temporary.clear();
        return fail(out, error);
    }
    // The new file keeps the permissions of the one it replaces.
    if (exists) fchmod(fd, st.st_mode & 07777);
    out->file = fdopen(fd, "wb");
    if (!out->file) {
        int error = errno;
        close(fd);
        unlink(out->temporary.c_str());
        out->temporary.clear();
        return fail(out, error);
    }
    return true;
}

bool commitoutput(outputfile* out) {
    if (!out->file) return fail(out, out->error);
    bool ok = std::fflush(out->file) == 0 && !std::ferror(out->file);
    if (!ok) fail(out, errno);
    // A device or FIFO has nothing to sync; a file has, before its name points at it.
    if (ok && !out->temporary.empty() && fsync(fileno(out->file)) != 0) ok = fail(out, errno);
    if (std::fclose(out->file) != 0 && ok) ok = fail(out, errno);
    out->file = nullptr;
    if (out->temporary.empty()) return ok;
    if (ok && outputrename(out->temporary.c_str(), out->target.c_str()) != 0) ok = fail(out, errno);
    if (!ok) unlink(out->temporary.c_str());
    out->temporary.clear();
    return ok;
}

void abortoutput(outputfile* out) {
    if (out->file) std::fclose(out->file);
    out->file = nullptr;
    if (!out->temporary.empty()) unlink(out->temporary.c_str());
    out->temporary.clear();
}

bool writewholefile(const char* path, const void* data, size_t size) {
    outputfile out;
    if (!openoutput(&out, path)) return false;
    if (size > 0 && std::fwrite(data, 1, size, out.file) != size) {
        abortoutput(&out);
        return false;
    }
    return commitoutput(&out);
}
