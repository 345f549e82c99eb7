#include "progressline.h"

#include <sys/ioctl.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>

using namespace std::chrono_literals;

namespace {

constexpr auto kRedrawInterval = 100ms;
constexpr int kBarWidth = 24;

int terminalWidth() {
    winsize size{};
    if (ioctl(STDERR_FILENO, TIOCGWINSZ, &size) == 0 && size.ws_col > 0)
        return size.ws_col;
    return 80;
}

std::string rateText(double bytesPerSecond) {
    char text[32];
    if (bytesPerSecond >= 1024.0 * 1024.0)
        std::snprintf(text, sizeof text, "%.1f MiB/s", bytesPerSecond / (1024.0 * 1024.0));
    else
        std::snprintf(text, sizeof text, "%.0f KiB/s", bytesPerSecond / 1024.0);
    return text;
}

}  // namespace

ProgressLine::ProgressLine()
    : enabled_(isatty(STDERR_FILENO) == 1), started_(Clock::now()), lastDrawn_(started_) {}

ProgressLine::~ProgressLine() {
    clear();
}

void ProgressLine::startFile(const std::string& name) {
    name_ = name;
    lastDrawn_ = Clock::time_point();
}

void ProgressLine::update(int64_t done, int64_t total, int64_t runBytes) {
    if (!enabled_)
        return;
    const Clock::time_point now = Clock::now();
    if (now - lastDrawn_ < kRedrawInterval)
        return;
    lastDrawn_ = now;
    draw(done, total, runBytes);
}

void ProgressLine::draw(int64_t done, int64_t total, int64_t runBytes) {
    const int percent =
        total > 0 ? static_cast<int>(std::clamp<int64_t>(done * 100 / total, 0, 100)) : 0;
    const int filled = percent * kBarWidth / 100;
    const double seconds = std::chrono::duration<double>(Clock::now() - started_).count();
    const double rate = seconds > 0 ? static_cast<double>(runBytes) / seconds : 0.0;
    char head[96];
    std::snprintf(head, sizeof head, "%3d%% [%s%s] %s  ", percent,
                  std::string(static_cast<size_t>(filled), '#').c_str(),
                  std::string(static_cast<size_t>(kBarWidth - filled), ' ').c_str(),
                  rateText(rate).c_str());
    std::string line = head + name_;
    // One column short of the width: a full line would wrap on some terminals.
    const size_t width = static_cast<size_t>(std::max(terminalWidth() - 1, 20));
    if (line.size() > width)
        line.resize(width);
    std::fprintf(stderr, "\r%s\033[K", line.c_str());
    std::fflush(stderr);
    drawn_ = true;
}

void ProgressLine::clear() {
    if (!drawn_)
        return;
    std::fprintf(stderr, "\r\033[K");
    std::fflush(stderr);
    drawn_ = false;
}
