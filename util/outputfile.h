// outputfile.h - the one way to write a file: a temporary file beside it, renamed into place
#pragma once

#include <cstddef>
#include <cstdio>
#include <string>

// An output file being written. openoutput makes a temporary file in the target's directory,
// named after the target and the process id (TARGET.PID.tmp), so two processes never share it;
// commitoutput flushes it to the disk and renames it over the target, so the target is either
// the old file or the whole new one, never half of either. On any failure the temporary file is
// removed and the old file stays as it was.
//
// A target that exists and is not a regular file (/dev/null, a FIFO, a terminal) is written
// directly: renaming onto it would replace the device node. A symbolic link is followed: the
// file it points to is replaced and the link stays. A file-size limit makes the write fail with
// an error instead of killing the process (SIGXFSZ is ignored from the first open on).
struct outputfile {
    std::FILE* file = nullptr;  // write here; null when the open failed
    std::string target;         // the file that is replaced (a link's destination)
    std::string temporary;      // the temporary file; empty when writing straight to the target
    int error = 0;              // errno of the first failure, 0 while all is well
};

// Opens an output for path; false (with out->error set and nothing created) when it cannot.
bool openoutput(outputfile* out, const char* path);
// Flushes, syncs and closes the output and renames it into place. True when the whole file is
// there; false when any write, the flush, the close or the rename failed (out->error says why).
// The output is closed either way.
bool commitoutput(outputfile* out);
// Closes the output and removes the temporary file; the target stays as it was (a file written
// directly keeps what was written).
void abortoutput(outputfile* out);

// Writes size bytes as the whole file at path. True when written.
bool writewholefile(const char* path, const void* data, size_t size);

// The temporary name beside a target for this process: TARGET.PID.tmp.
std::string temporaryname(const std::string& target);

// The rename commitoutput makes; tests replace it to make the rename fail.
extern int (*outputrename)(const char* from, const char* to);
