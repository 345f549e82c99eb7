#include "app/crashhandler.h"

#include <execinfo.h>
#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <time.h>
#include <unistd.h>

#include <array>
#include <atomic>
#include <climits>
#include <cstdint>
#include <cstring>
#include <filesystem>
#include <string>

#include "app/log.h"
#include "values/userfolders.h"

namespace {

constexpr std::array<int, 5> kFatalSignals = {SIGSEGV, SIGBUS, SIGFPE, SIGILL, SIGABRT};
constexpr int kMaxFrames = 128;
constexpr size_t kAlternateStackBytes = 64 * 1024;

// A text of fixed capacity built without allocating, for use inside the handler.
class FixedText {
public:
    bool append(std::string_view text) {
        if (text.size() > sizeof(chars_) - 1 - length_)
            return false;
        std::memcpy(chars_ + length_, text.data(), text.size());
        length_ += text.size();
        chars_[length_] = '\0';
        return true;
    }
    void appendNumber(uintmax_t value, unsigned base) {
        char digits[32];
        size_t count = 0;
        do {
            digits[count++] = "0123456789abcdef"[value % base];
            value /= base;
        } while (value != 0);
        while (count > 0)
            append(std::string_view(&digits[--count], 1));
    }
    const char* c_str() const { return chars_; }
    std::string_view view() const { return {chars_, length_}; }

private:
    char chars_[PATH_MAX] = {};
    size_t length_ = 0;
};

// All the handler reads, prepared at installation.
struct Installation {
    Log* log = nullptr;
    FixedText reportFolder;
    FixedText logPath;
    FixedText title;
    std::array<struct sigaction, kFatalSignals.size()> previousActions{};
    stack_t previousStack{};
    alignas(16) char alternateStack[kAlternateStackBytes];
};

Installation installation;
std::atomic<bool> handlerInstalled{false};
std::atomic<bool> reporting{false};

std::string_view signalName(int signal) {
    switch (signal) {
        case SIGSEGV:
            return "SIGSEGV";
        case SIGBUS:
            return "SIGBUS";
        case SIGFPE:
            return "SIGFPE";
        case SIGILL:
            return "SIGILL";
        case SIGABRT:
            return "SIGABRT";
        default:
            return "signal";
    }
}

void writeAll(int descriptor, std::string_view bytes) {
    while (!bytes.empty()) {
        const ssize_t written = ::write(descriptor, bytes.data(), bytes.size());
        if (written <= 0)
            return;
        bytes.remove_prefix(static_cast<size_t>(written));
    }
}

int createReportFile(const FixedText& folder, std::string_view name) {
    FixedText path;
    if (!path.append(folder.view()) || !path.append("/") || !path.append(name))
        return -1;
    return ::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600);
}

void writeBacktrace(const FixedText& folder, int signal, const siginfo_t* info) {
    const int file = createReportFile(folder, "backtrace.txt");
    if (file < 0)
        return;
    FixedText header;
    header.append(installation.title.view());
    header.append("\nSignal: ");
    header.appendNumber(static_cast<uintmax_t>(signal), 10);
    header.append(" (");
    header.append(signalName(signal));
    header.append(")\nAddress: 0x");
    header.appendNumber(reinterpret_cast<uintptr_t>(info != nullptr ? info->si_addr : nullptr), 16);
    header.append("\n\nBacktrace:\n");
    writeAll(file, header.view());
    void* frames[kMaxFrames];
    const int count = ::backtrace(frames, kMaxFrames);
    ::backtrace_symbols_fd(frames, count, file);
    ::close(file);
}

void copyLog(const FixedText& folder) {
    if (installation.logPath.view().empty())
        return;
    const int log = ::open(installation.logPath.c_str(), O_RDONLY | O_NOFOLLOW | O_CLOEXEC);
    if (log < 0)
        return;
    const int copy = createReportFile(folder, "app.log");
    if (copy >= 0) {
        char buffer[4096];
        ssize_t count;
        while ((count = ::read(log, buffer, sizeof buffer)) > 0)
            writeAll(copy, std::string_view(buffer, static_cast<size_t>(count)));
        ::close(copy);
    }
    ::close(log);
}

void writeReport(int signal, const siginfo_t* info) {
    timespec now{};
    ::clock_gettime(CLOCK_REALTIME, &now);
    FixedText folder;
    folder.append(installation.reportFolder.view());
    folder.append("/");
    folder.appendNumber(static_cast<uintmax_t>(now.tv_sec), 10);
    folder.append("-");
    folder.appendNumber(static_cast<uintmax_t>(::getpid()), 10);
    if (::mkdir(folder.c_str(), 0700) != 0)
        return;
    writeBacktrace(folder, signal, info);
    copyLog(folder);
}

void onFatalSignal(int signal, siginfo_t* info, void*) {
    // Only the first crash writes a report; a second thread crashing meanwhile just ends.
    if (!reporting.exchange(true)) {
        installation.log->closeAfterCrash();
        writeReport(signal, info);
    }
    // SA_RESETHAND has restored the default action; the raised signal is delivered when the
    // handler returns and ends the process with it.
    ::raise(signal);
}

}  // namespace

CrashHandler::CrashHandler(Log& log, std::string_view title) {
    if (handlerInstalled.exchange(true))
        return;
    const auto cacheFolder = userCacheFolder();
    const std::filesystem::path reportFolder =
        cacheFolder ? *cacheFolder / "crashes" : std::filesystem::path();
    installation.reportFolder = FixedText();
    installation.logPath = FixedText();
    installation.title = FixedText();
    if (reportFolder.empty() || !createPrivateFolder(reportFolder) ||
        !installation.reportFolder.append(reportFolder.native()) ||
        !installation.logPath.append(log.path().native())) {
        handlerInstalled = false;
        return;
    }
    installation.title.append(title.substr(0, 256));
    installation.log = &log;

    // The first call loads the unwinder, which allocates; the handler must find it loaded.
    void* frame = nullptr;
    ::backtrace(&frame, 1);

    stack_t stack{};
    stack.ss_sp = installation.alternateStack;
    stack.ss_size = sizeof installation.alternateStack;
    ::sigaltstack(&stack, &installation.previousStack);

    struct sigaction action {};
    action.sa_sigaction = onFatalSignal;
    action.sa_flags = SA_SIGINFO | SA_ONSTACK | SA_RESETHAND;
    sigemptyset(&action.sa_mask);
    for (size_t i = 0; i < kFatalSignals.size(); ++i)
        ::sigaction(kFatalSignals[i], &action, &installation.previousActions[i]);
    installed_ = true;
}

CrashHandler::~CrashHandler() {
    if (!installed_)
        return;
    for (size_t i = 0; i < kFatalSignals.size(); ++i)
        ::sigaction(kFatalSignals[i], &installation.previousActions[i], nullptr);
    ::sigaltstack(&installation.previousStack, nullptr);
    handlerInstalled = false;
}
