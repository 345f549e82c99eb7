// The faults a run of the emulator drills, from --fault options. They apply to every device.
#ifndef PLOVIK_DEVEMU_FAULTPLAN_H
#define PLOVIK_DEVEMU_FAULTPLAN_H

#include <cstdint>
#include <optional>
#include <set>
#include <string>
#include <string_view>

namespace plovik::devemu {

// What happens to one AFC request.
enum class RequestFault { None, Detach, Stall, BadHeader };

class FaultPlan {
public:
    // Adds "KIND" or "KIND=VALUE"; false when it names no fault or the value is unusable.
    bool add(std::string_view option);

    bool locked() const { return locked_; }
    bool unpaired() const { return unpaired_; }
    bool refuses(const std::string& service) const { return refused_.count(service) != 0; }
    bool malformedPlists() const { return malformedPlists_; }
    bool hostileNames() const { return hostileNames_; }
    // How many bytes of service replies a device sends before it is pulled out.
    std::optional<uint64_t> detachAfterBytes() const { return detachAfterBytes_; }
    // requestNumber counts the AFC requests of a device from 1.
    RequestFault atRequest(uint64_t requestNumber) const;

    static const char* usage();

private:
    bool locked_ = false;
    bool unpaired_ = false;
    bool malformedPlists_ = false;
    bool hostileNames_ = false;
    std::set<std::string> refused_;
    std::optional<uint64_t> detachAfterBytes_;
    std::optional<uint64_t> detachAtRequest_;
    std::optional<uint64_t> stallAtRequest_;
    std::optional<uint64_t> badHeaderAtRequest_;
};

}  // namespace plovik::devemu

#endif
