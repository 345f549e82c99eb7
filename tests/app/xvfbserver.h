#pragma once

#include <poll.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <string>

/**
 * An Xvfb server of its own on a free display, started with -displayfd so it is known to be ready
 * once it tells its display number. Ended with the object. Header-only, for the X11 window tests.
 */
class XvfbServer {
public:
    /** Starts the server; display() is empty when it could not start within the time. */
    explicit XvfbServer(const char* screen = "1600x1000x24", int timeoutMs = 30000) {
        int pipeFds[2];
        if (pipe(pipeFds) != 0)
            return;
        pid_ = fork();
        if (pid_ == 0) {
            // A test killed at its time limit takes its server along.
            prctl(PR_SET_PDEATHSIG, SIGKILL);
            close(pipeFds[0]);
            const std::string fd = std::to_string(pipeFds[1]);
            execlp("Xvfb", "Xvfb", "-displayfd", fd.c_str(), "-screen", "0", screen, "-nolisten",
                   "tcp", "-noreset", static_cast<char*>(nullptr));
            _exit(127);
        }
        close(pipeFds[1]);
        std::string number;
        pollfd ready{pipeFds[0], POLLIN, 0};
        while (pid_ > 0 && poll(&ready, 1, timeoutMs) == 1) {
            char c = 0;
            if (read(pipeFds[0], &c, 1) != 1)
                break;
            if (c == '\n') {
                display_ = ':' + number;
                break;
            }
            number += c;
        }
        close(pipeFds[0]);
    }
    ~XvfbServer() {
        if (pid_ <= 0)
            return;
        kill(pid_, SIGTERM);
        waitpid(pid_, nullptr, 0);
    }
    XvfbServer(const XvfbServer&) = delete;
    XvfbServer& operator=(const XvfbServer&) = delete;

    /** ":N", or empty when the server is not running. */
    const std::string& display() const { return display_; }

private:
    pid_t pid_ = -1;
    std::string display_;
};
