#ifndef PLOVIK_SIM_SIMCONTROLS_H
#define PLOVIK_SIM_SIMCONTROLS_H

#include <condition_variable>
#include <cstddef>
#include <map>
#include <mutex>
#include <optional>
#include <set>
#include <stop_token>
#include <string>
#include <string_view>

namespace plovik::sim {

// What tests set to make the simulator misbehave: injected entry-point failures, refused
// services, and how the service servers answer. Read by every thread of the library.
class SimControls {
public:
    // The result the named entry point must fail with, 0 when it runs normally.
    int fault(std::string_view entryPoint) const;
    // false when entryPoint names no MobileDevice entry point.
    bool setFault(std::string_view entryPoint, int result);

    bool isServiceRefused(std::string_view serviceName) const;
    void setServiceRefused(std::string_view serviceName, bool refused);

    std::size_t replyPieceSize() const;
    void setReplyPieceSize(std::size_t bytes);

    void setStalled(bool stalled);
    // Returns once replies may flow; false when stop was requested first.
    bool waitWhileStalled(std::stop_token stop) const;

    // operations: a mask of PlovikSimFileOperations.
    void setStalledFileOperations(int operations);
    // Returns once the operation (one PlovikSimFileOperations value) may go on; false when stop
    // was requested first.
    bool waitWhileFileOperationStalled(int operation, std::stop_token stop) const;

    std::size_t browsePageSize() const;
    void setBrowsePageSize(std::size_t apps);

    // The error house arrest answers command with, if any.
    std::optional<std::string> houseArrestRefusal(std::string_view command) const;
    // false when command is not a house arrest command.
    bool setHouseArrestRefusal(std::string_view command, std::optional<std::string> errorName);

    void reset();

private:
    static constexpr std::size_t kDefaultBrowsePageSize = 20;

    mutable std::mutex mutex_;
    mutable std::condition_variable_any stallChanged_;
    std::map<std::string, int, std::less<>> faults_;
    std::set<std::string, std::less<>> refusedServices_;
    std::map<std::string, std::string, std::less<>> houseArrestRefusals_;
    std::size_t replyPieceSize_ = 0;
    std::size_t browsePageSize_ = kDefaultBrowsePageSize;
    bool stalled_ = false;
    int stalledFileOperations_ = 0;
};

}  // namespace plovik::sim

#endif
