// Test helper: an X server for window tests, the one in DISPLAY or an Xvfb started and stopped here.
#pragma once

#include <fcntl.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <thread>

// Uses the X server named in DISPLAY; without one, starts /usr/bin/Xvfb on the first free display
// number from `first` (offset by the process id, stepping by 7, below `end`), so that test runs of
// several builds at once pick different displays. `ready` says whether a server is there, `why`
// says why not. A started server is stopped, and DISPLAY unset, on destruction.
class testxserver {
  public:
    testxserver(int first, int end) {
        const char* d = std::getenv("DISPLAY");
        if (d && *d) {
            ready = true;
            return;
        }
        if (access("/usr/bin/Xvfb", X_OK) != 0) {
            why = "no DISPLAY and no /usr/bin/Xvfb (./voxda.sh test installs xvfb)";
            return;
        }
        for (int n = first + getpid() % 50; n < end && !ready; n += 7) {
            // Built by appending: "literal" + std::to_string(n) makes GCC 12 at -O3 warn falsely
            // (-Wrestrict) on the inlined string insertion.
            const std::string number = std::to_string(n);
            const std::string socket = std::string("/tmp/.X11-unix/X").append(number);
            const std::string lock = std::string("/tmp/.X").append(number).append("-lock");
            if (std::filesystem::exists(socket) || std::filesystem::exists(lock)) continue;
            const std::string display = std::string(":").append(number);
            pid = fork();
            if (pid == 0) {
                // The server dies with the test and holds none of its files: a test runner waiting
                // for the test's output must not wait for the server too.
                prctl(PR_SET_PDEATHSIG, SIGTERM);
                const int null = open("/dev/null", O_RDWR);
                dup2(null, 0);
                dup2(null, 1);
                dup2(null, 2);
                close_range(3, ~0u, 0);
                execl("/usr/bin/Xvfb", "Xvfb", display.c_str(), "-screen", "0", "640x480x24", "-nolisten",
                      "tcp", static_cast<char*>(nullptr));
                _exit(127);
            }
            for (int i = 0; i < 100 && !ready; ++i) {  // up to 10 s for the socket
                std::this_thread::sleep_for(std::chrono::milliseconds(100));
                int status;
                if (waitpid(pid, &status, WNOHANG) == pid) {
                    pid = -1;
                    break;
                }
                ready = std::filesystem::exists(socket);
            }
            if (ready) {
                setenv("DISPLAY", display.c_str(), 1);
                started = true;
            } else {
                stop();
            }
        }
        if (!ready) why = "Xvfb could not be started";
    }
    ~testxserver() {
        if (started) unsetenv("DISPLAY");
        stop();
    }
    testxserver(const testxserver&) = delete;
    testxserver& operator=(const testxserver&) = delete;
    bool ready = false;
    std::string why;

  private:
    // Stops the Xvfb started here, if any.
    void stop() {
        if (pid > 0) {
            kill(pid, SIGTERM);
            waitpid(pid, nullptr, 0);
        }
        pid = -1;
    }
    pid_t pid = -1;
    bool started = false;
};
