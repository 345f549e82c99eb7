#include "childprocess.h"

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>

#include <cerrno>
#include <cstring>
#include <stdexcept>

#include "interruption.h"

extern char** environ;

namespace {

std::vector<std::string> environmentWith(const std::vector<std::string>& overrides) {
    std::vector<std::string> entries;
    for (char** entry = environ; *entry != nullptr; ++entry) {
        const std::string text = *entry;
        const std::string name = text.substr(0, text.find('=') + 1);
        bool overridden = false;
        for (const std::string& replacement : overrides)
            overridden = overridden || replacement.starts_with(name);
        if (!overridden)
            entries.push_back(text);
    }
    entries.insert(entries.end(), overrides.begin(), overrides.end());
    return entries;
}

std::vector<char*> pointersTo(std::vector<std::string>& texts) {
    std::vector<char*> pointers;
    for (std::string& text : texts)
        pointers.push_back(text.data());
    pointers.push_back(nullptr);
    return pointers;
}

int exitCodeOf(int status) {
    return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
}

}  // namespace

ChildProcess::ChildProcess(const std::vector<std::string>& arguments, const Options& options)
    : onInterruption_(options.onInterruption) {
    posix_spawn_file_actions_t files;
    posix_spawn_file_actions_init(&files);
    posix_spawn_file_actions_addopen(&files, STDIN_FILENO, "/dev/null", O_RDONLY, 0);
    posix_spawn_file_actions_addopen(&files, STDOUT_FILENO, options.outputFile.c_str(),
                                     O_WRONLY | O_CREAT | O_TRUNC, 0644);
    posix_spawn_file_actions_addopen(&files, STDERR_FILENO, options.errorFile.c_str(),
                                     O_WRONLY | O_CREAT | O_APPEND, 0644);
    std::vector<std::string> argumentTexts = arguments;
    std::vector<std::string> environment = environmentWith(options.environment);
    const std::vector<char*> argv = pointersTo(argumentTexts);
    const std::vector<char*> envp = pointersTo(environment);
    const int result = posix_spawnp(&pid_, argv[0], &files, nullptr, argv.data(), envp.data());
    posix_spawn_file_actions_destroy(&files);
    if (result != 0) {
        pid_ = -1;
        throw std::runtime_error("cannot start " + arguments[0] + ": " + std::strerror(result));
    }
}

ChildProcess::~ChildProcess() {
    if (pid_ > 0)
        terminate();
}

int ChildProcess::run(const std::vector<std::string>& arguments, const Options& options) {
    return ChildProcess(arguments, options).wait();
}

int ChildProcess::wait() {
    int status = 0;
    for (;;) {
        if (waitpid(pid_, &status, 0) == pid_)
            break;
        if (errno != EINTR)
            throw std::runtime_error(std::string("waitpid: ") + std::strerror(errno));
        if (onInterruption_ == OnInterruption::EndChild && Interruption::requested()) {
            terminate();
            throw Interrupted();
        }
    }
    pid_ = -1;
    return exitCodeOf(status);
}

void ChildProcess::signal(int number) const {
    if (pid_ > 0)
        kill(pid_, number);
}

int ChildProcess::terminate() {
    kill(pid_, SIGTERM);
    int status = 0;
    while (waitpid(pid_, &status, 0) != pid_ && errno == EINTR) {
    }
    pid_ = -1;
    return exitCodeOf(status);
}
