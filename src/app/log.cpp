#include "app/log.h"

#include <fcntl.h>
#include <locale.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cwchar>
#include <string_view>

#include "values/unicode.h"
#include "values/userfolders.h"

namespace {

constexpr size_t kMaxTimeCharacters = 259;

// A message cut at the limit keeps its last character whole: no half of a surrogate pair.
std::u16string_view cutMessage(std::u16string_view message) {
    if (message.size() <= Log::kMaxMessageUnits)
        return message;
    size_t length = Log::kMaxMessageUnits;
    const char16_t last = message[length - 1];
    if (last >= 0xD800 && last <= 0xDBFF)
        --length;
    return message.substr(0, length);
}

std::u16string toUtf16(std::wstring_view wide) {
    std::u16string text;
    for (const wchar_t character : wide) {
        const auto code = static_cast<uint32_t>(character);
        if (code >= 0x10000) {
            text.push_back(static_cast<char16_t>(0xD800 + ((code - 0x10000) >> 10)));
            text.push_back(static_cast<char16_t>(0xDC00 + ((code - 0x10000) & 0x3FF)));
        } else {
            text.push_back(static_cast<char16_t>(code));
        }
    }
    return text;
}

bool writeAll(int descriptor, std::string_view bytes) {
    while (!bytes.empty()) {
        const ssize_t written = ::write(descriptor, bytes.data(), bytes.size());
        if (written < 0 && errno == EINTR)
            continue;
        if (written <= 0)
            return false;
        bytes.remove_prefix(static_cast<size_t>(written));
    }
    return true;
}

}  // namespace

Log& Log::instance() {
    static Log log;
    return log;
}

Log::~Log() {
    close();
}

bool Log::open() {
    const std::lock_guard lock(mutex_);
    if (descriptor_ >= 0)
        return true;
    const auto folder = userCacheFolder();
    if (!folder || !createPrivateFolder(*folder))
        return false;
    path_ = *folder / "nakt.log";
    // O_NONBLOCK: a fifo in the log's place must not hang start-up; it is refused below.
    const int descriptor = ::open(
        path_.c_str(), O_WRONLY | O_APPEND | O_CREAT | O_NOFOLLOW | O_CLOEXEC | O_NONBLOCK, 0600);
    if (descriptor < 0)
        return false;
    struct stat status {};
    if (::fstat(descriptor, &status) != 0 || !S_ISREG(status.st_mode)) {
        ::close(descriptor);
        return false;
    }
    ::fcntl(descriptor, F_SETFL, O_APPEND);
    descriptor_ = descriptor;
    return true;
}

void Log::close() {
    const std::lock_guard lock(mutex_);
    const int descriptor = descriptor_.exchange(-1);
    if (descriptor >= 0)
        ::close(descriptor);
}

bool Log::isOpen() const {
    return descriptor_ >= 0;
}

std::filesystem::path Log::path() const {
    const std::lock_guard lock(mutex_);
    return path_;
}

void Log::write(const CZelboString& message) {
    if (descriptor_ < 0)
        return;
    std::string line = timeText(std::time(nullptr));
    line += " - ";
    line += utf16ToUtf8(cutMessage(message.view()));
    line += "\r\n";
    const std::lock_guard lock(mutex_);
    // One write per line: with O_APPEND, lines of other writers never interleave with it.
    const int descriptor = descriptor_;
    if (descriptor >= 0)
        writeAll(descriptor, line);
}

void Log::closeAfterCrash() noexcept {
    const int descriptor = descriptor_.exchange(-1);
    if (descriptor >= 0)
        ::close(descriptor);
}

std::string Log::timeText(std::time_t time) {
    std::tm utc{};
    if (gmtime_r(&time, &utc) == nullptr)
        return {};
    // Wide output does not depend on the locale's character set, so any locale yields UTF-8.
    locale_t locale = ::newlocale(LC_TIME_MASK, "", static_cast<locale_t>(nullptr));
    if (locale == static_cast<locale_t>(nullptr))
        locale = ::newlocale(LC_TIME_MASK, "C", static_cast<locale_t>(nullptr));
    if (locale == static_cast<locale_t>(nullptr))
        return {};
    wchar_t buffer[kMaxTimeCharacters + 1];
    const size_t length = ::wcsftime_l(buffer, std::size(buffer), L"%c", &utc, locale);
    ::freelocale(locale);
    return utf16ToUtf8(toUtf16(std::wstring_view(buffer, length)));
}
