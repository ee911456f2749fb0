// outputfile_test.cpp - the one file writer: whole files or nothing, devices and links kept
#include "util/outputfile.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <filesystem>
#include <functional>
#include <thread>
#include <string>
#include <vector>

#include "tests/testfiles.h"
#include "tests/testprocess.h"

namespace {

const std::vector<uint8_t> oldbytes = {'o', 'l', 'd', '\n'};
const std::vector<uint8_t> newbytes(10000, 0x5A);

bool writeall(const std::string& path, const std::vector<uint8_t>& bytes) {
    return writewholefile(path.c_str(), bytes.data(), bytes.size());
}

int failingrename(const char*, const char*) {
    errno = EXDEV;
    return -1;
}

// A write of newbytes in a child process limited to 4096-byte files, as on a full disk.
// The child's exit status: 0 when the writer reported failure, 1 when it claimed success.
int writeunderfilesizelimit(const std::string& path) {
    pid_t child = fork();
    if (child == 0) {
        rlimit limit = {4096, 4096};
        setrlimit(RLIMIT_FSIZE, &limit);
        _exit(writeall(path, newbytes) ? 1 : 0);
    }
    int status = 0;
    waitpid(child, &status, 0);
    return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
}

class OutputFile : public tempdirtest {};

TEST_F(OutputFile, ReplacesTheFileWholeAndLeavesNoTemporary) {
    std::string path = (dir / "data.bin").string();
    writebytes(path, oldbytes);
    chmod(path.c_str(), 0640);
    ASSERT_TRUE(writeall(path, newbytes));
    EXPECT_EQ(readbytes(path), newbytes);
    struct stat st;
    ASSERT_EQ(stat(path.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0640u);  // the replacement keeps the old file's permissions
    EXPECT_EQ(temporariesin(dir), std::vector<std::string>{});

    // A streaming write that is given up leaves the old file too.
    outputfile out;
    ASSERT_TRUE(openoutput(&out, path.c_str()));
    EXPECT_EQ(out.temporary, temporaryname(path));
    std::fputs("half", out.file);
    abortoutput(&out);
    EXPECT_EQ(readbytes(path), newbytes);
    EXPECT_EQ(temporariesin(dir), std::vector<std::string>{});
}

// Each failure reports false, keeps the old file as it was and leaves no temporary file.
TEST_F(OutputFile, FailuresKeepTheOldFile) {
    struct failure {
        const char* what;
        std::function<bool(const std::string& path)> write;
    };
    const failure cases[] = {
        {"failing rename",
         [](const std::string& path) {
             outputrename = failingrename;
             bool ok = writeall(path, newbytes);
             outputrename = std::rename;
             return ok;
         }},
        {"missing directory",
         [](const std::string& path) {
             return writeall(
                 (std::filesystem::path(path).parent_path() / "no-such-dir" / "data.bin").string(), newbytes);
         }},
        {"file-size limit (full disk)",
         [](const std::string& path) { return writeunderfilesizelimit(path) != 0; }},
        {"temporary name taken by a directory",
         [](const std::string& path) {
             std::filesystem::create_directory(temporaryname(path));
             bool ok = writeall(path, newbytes);
             std::filesystem::remove(temporaryname(path));
             return ok;
         }},
    };
    for (const failure& c : cases) {
        SCOPED_TRACE(c.what);
        std::string path = (dir / "data.bin").string();
        writebytes(path, oldbytes);
        EXPECT_FALSE(c.write(path));
        EXPECT_EQ(readbytes(path), oldbytes);
        EXPECT_EQ(temporariesin(dir), std::vector<std::string>{});
        EXPECT_FALSE(std::filesystem::exists(dir / "no-such-dir"));
    }
}

TEST_F(OutputFile, ReportsWhyItFailed) {
    outputfile out;
    EXPECT_FALSE(openoutput(&out, (dir / "missing" / "x").c_str()));
    EXPECT_EQ(out.error, ENOENT);
    EXPECT_EQ(out.file, nullptr);

    std::string path = (dir / "data.bin").string();
    ASSERT_TRUE(openoutput(&out, path.c_str()));
    outputrename = failingrename;
    EXPECT_FALSE(commitoutput(&out));
    outputrename = std::rename;
    EXPECT_EQ(out.error, EXDEV);
    EXPECT_FALSE(std::filesystem::exists(path));
}

TEST(OutputFileDevice, DevNullIsWrittenAndStaysACharacterDevice) {
    if (access("/dev/null", W_OK) != 0) GTEST_SKIP() << "/dev/null is not writable here";
    EXPECT_TRUE(writeall("/dev/null", newbytes));
    struct stat st;
    ASSERT_EQ(stat("/dev/null", &st), 0);
    EXPECT_TRUE(S_ISCHR(st.st_mode));
    EXPECT_TRUE(temporariesin("/dev").empty());
}

// A device is written through, also by the tools: /dev/full then gives an error, and neither
// device is ever replaced by a file.
TEST(OutputFileDevice, DevFullFailsAndToolsWriteThroughDevices) {
    if (access("/dev/full", W_OK) != 0 || access("/dev/null", W_OK) != 0)
        GTEST_SKIP() << "/dev/full or /dev/null is not writable here";
    outputfile out;
    ASSERT_TRUE(openoutput(&out, "/dev/full"));
    EXPECT_TRUE(out.temporary.empty());
    std::fwrite(newbytes.data(), 1, newbytes.size(), out.file);
    EXPECT_FALSE(commitoutput(&out));
    EXPECT_EQ(out.error, ENOSPC);

    testtempdir dir;
    processresult r = runbuilt("voxda-track", {"--frames", "1", "--out", "/dev/null"}, dir.path);
    EXPECT_EQ(r.status, 0) << r.err;
    r = runbuilt("voxda-track", {"--frames", "1", "--out", "/dev/full"}, dir.path);
    EXPECT_EQ(r.status, 2);
    EXPECT_NE(r.err.find("/dev/full"), std::string::npos) << r.err;
    for (const char* device : {"/dev/null", "/dev/full"}) {
        struct stat st;
        ASSERT_EQ(stat(device, &st), 0);
        EXPECT_TRUE(S_ISCHR(st.st_mode)) << device;
    }
}

TEST_F(OutputFile, AFifoIsWrittenDirectlyAndStaysAFifo) {
    std::string fifo = (dir / "pipe").string();
    ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
    // Held open for reading and writing, so that no open of the FIFO blocks, and closed after the
    // write, so that the reader then sees the end (even if the writer never reached the FIFO).
    int keeper = open(fifo.c_str(), O_RDWR);
    ASSERT_GE(keeper, 0);
    int readend = open(fifo.c_str(), O_RDONLY);
    ASSERT_GE(readend, 0);
    std::vector<uint8_t> received;
    std::thread reader([&] {
        unsigned char buffer[4096];
        for (ssize_t n; (n = read(readend, buffer, sizeof buffer)) > 0;)
            received.insert(received.end(), buffer, buffer + n);
    });
    EXPECT_TRUE(writeall(fifo, newbytes));
    close(keeper);
    reader.join();
    close(readend);
    EXPECT_EQ(received, newbytes);
    struct stat st;
    ASSERT_EQ(lstat(fifo.c_str(), &st), 0);
    EXPECT_TRUE(S_ISFIFO(st.st_mode));
    EXPECT_EQ(temporariesin(dir), std::vector<std::string>{});
}

TEST_F(OutputFile, SymbolicLinksStayAndTheirFilesAreReplaced) {
    std::filesystem::create_directory(dir / "real");
    std::string real = (dir / "real" / "data.bin").string();
    writebytes(real, oldbytes);
    // One absolute link, one relative link to it, one link to a file not there yet.
    std::filesystem::create_symlink(real, dir / "absolute");
    std::filesystem::create_symlink("absolute", dir / "relative");
    std::filesystem::create_symlink("real/new.bin", dir / "dangling");

    ASSERT_TRUE(writeall((dir / "relative").string(), newbytes));
    EXPECT_TRUE(std::filesystem::is_symlink(dir / "relative"));
    EXPECT_TRUE(std::filesystem::is_symlink(dir / "absolute"));
    EXPECT_EQ(readbytes(real), newbytes);

    ASSERT_TRUE(writeall((dir / "dangling").string(), oldbytes));
    EXPECT_TRUE(std::filesystem::is_symlink(dir / "dangling"));
    EXPECT_EQ(readbytes(dir / "real" / "new.bin"), oldbytes);
    EXPECT_EQ(temporariesin(dir), std::vector<std::string>{});
    EXPECT_EQ(temporariesin(dir / "real"), std::vector<std::string>{});
}

}  // namespace
