#include "fstree/ctimetext.h"

#include <cstdio>
#include <ctime>

namespace {

constexpr const char* kWeekdays[] = {"Sun", "Mon", "Tue", "Wed", "Thu", "Fri", "Sat"};
constexpr const char* kMonths[] = {"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                   "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};

bool toLocalTime(std::time_t seconds, std::tm& local) {
#if defined(_WIN32)
    return localtime_s(&local, &seconds) == 0;
#else
    return localtime_r(&seconds, &local) != nullptr;
#endif
}

}  // namespace

CZelboString localCtimeText(int64_t nanoseconds) {
    std::tm local{};
    if (!toLocalTime(static_cast<std::time_t>(nanoseconds / 1000000000), local))
        return {};
    if (local.tm_wday < 0 || local.tm_wday > 6 || local.tm_mon < 0 || local.tm_mon > 11)
        return {};
    char text[64];
    std::snprintf(text, sizeof text, "%s %s %02d %02d:%02d:%02d %04lld\n", kWeekdays[local.tm_wday],
                  kMonths[local.tm_mon], local.tm_mday, local.tm_hour, local.tm_min, local.tm_sec,
                  static_cast<long long>(local.tm_year) + 1900);
    return CZelboString::fromUtf8(text);
}
