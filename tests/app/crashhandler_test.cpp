#include "app/crashhandler.h"

#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <csignal>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <string>
#include <vector>

#include "app/log.h"
#include "app/scopedenvironment.h"
#include "support/temporaryfolder.h"

namespace fs = std::filesystem;

namespace {

std::string contents(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

// Deep enough to run off any stack; the volatile frame keeps the compiler from looping instead.
int recurseForever(int depth) {
    volatile char frame[512];
    frame[0] = static_cast<char>(depth);
    return depth < 0 ? 0 : recurseForever(depth + 1) + frame[0];
}

class CrashHandlerTest : public testing::Test {
protected:
    // Runs crash in a child process with a log and the handler installed; returns how it ended.
    int crashChild(const std::function<void()>& crash) {
        const pid_t child = fork();
        if (child == 0) {
            // The program meets the default actions; a sanitizer's handlers would take over
            // once the handler hands the signal on.
            for (const int fatal : {SIGSEGV, SIGBUS, SIGFPE, SIGILL, SIGABRT})
                std::signal(fatal, SIG_DFL);
            const rlimit noCoreFile{0, 0};
            setrlimit(RLIMIT_CORE, &noCoreFile);
            Log log;
            if (!log.open())
                _exit(2);
            log.write(u"before the crash");
            const CrashHandler handler(log, "Plovik 0.10");
            if (!handler.isInstalled())
                _exit(3);
            crash();
            _exit(0);
        }
        childId = child;
        int status = 0;
        waitpid(child, &status, 0);
        return status;
    }

    std::vector<fs::path> reports() const {
        std::vector<fs::path> found;
        for (const auto& entry : fs::directory_iterator(crashes))
            found.push_back(entry.path());
        return found;
    }

    void expectReport(const char* signalLine) {
        const auto found = reports();
        ASSERT_EQ(found.size(), 1u);
        const std::string name = found[0].filename().string();
        EXPECT_EQ(name.substr(name.find('-') + 1), std::to_string(childId));
        EXPECT_EQ(contents(found[0] / "app.log"), contents(home / "Orvane/Plovik/nakt.log"));
        EXPECT_NE(contents(found[0] / "app.log").find(" - before the crash\r\n"),
                  std::string::npos);

        const std::string backtrace = contents(found[0] / "backtrace.txt");
        EXPECT_EQ(backtrace.rfind(std::string("Plovik 0.10\n") + signalLine + "\n", 0), 0u)
            << backtrace;
        const size_t frames = backtrace.find("\nBacktrace:\n");
        ASSERT_NE(frames, std::string::npos);
        EXPECT_GE(
            std::count(backtrace.begin() + static_cast<ptrdiff_t>(frames), backtrace.end(), '\n'),
            4);
    }

    TemporaryFolder home;
    ScopedEnvironment cacheHome{"XDG_CACHE_HOME", home.path().string()};
    fs::path crashes = home / "Orvane/Plovik/crashes";
    pid_t childId = 0;
};

TEST_F(CrashHandlerTest, FatalSignalLeavesAReportAndStillEndsTheProcess) {
    const int status = crashChild([] { raise(SIGSEGV); });
    ASSERT_TRUE(WIFSIGNALED(status)) << "exit status " << status;
    EXPECT_EQ(WTERMSIG(status), SIGSEGV);
    expectReport("Signal: 11 (SIGSEGV)");
}

TEST_F(CrashHandlerTest, StackOverflowIsReportedFromTheAlternateStack) {
    const int status = crashChild([] { recurseForever(0); });
    ASSERT_TRUE(WIFSIGNALED(status)) << "exit status " << status;
    EXPECT_EQ(WTERMSIG(status), SIGSEGV);
    expectReport("Signal: 11 (SIGSEGV)");
}

TEST_F(CrashHandlerTest, OneHandlerAtATimeAndActionsPutBack) {
    Log log;
    // Whatever stood before (the default, or a sanitizer's handler) stands again afterwards.
    struct sigaction before {};
    sigaction(SIGSEGV, nullptr, &before);
    {
        const CrashHandler first(log, "Plovik");
        EXPECT_TRUE(first.isInstalled());
        const CrashHandler second(log, "Plovik");
        EXPECT_FALSE(second.isInstalled());
    }
    struct sigaction action {};
    sigaction(SIGSEGV, nullptr, &action);
    EXPECT_EQ(action.sa_sigaction, before.sa_sigaction);
    const CrashHandler again(log, "Plovik");
    EXPECT_TRUE(again.isInstalled());
}

}  // namespace
