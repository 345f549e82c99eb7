#pragma once

#include <cstdlib>
#include <ctime>
#include <string>

/** Local time is UTC while the object lives, so local-time texts can be compared exactly. */
class UtcZone {
public:
    UtcZone() {
        if (const char* zone = std::getenv("TZ"))
            saved_ = zone;
        setenv("TZ", "UTC", 1);
        tzset();
    }
    UtcZone(const UtcZone&) = delete;
    UtcZone& operator=(const UtcZone&) = delete;
    ~UtcZone() {
        if (saved_.empty())
            unsetenv("TZ");
        else
            setenv("TZ", saved_.c_str(), 1);
        tzset();
    }

private:
    std::string saved_;
};
