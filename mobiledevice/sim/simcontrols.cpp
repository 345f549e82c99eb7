#include "simcontrols.h"

#include <algorithm>
#include <array>

namespace plovik::sim {

namespace {

// The entry points of mobiledevice.h: a fault set under any other name would never fire, which
// a test should hear about.
constexpr std::array<std::string_view, 36> kEntryPoints = {
    "AMDeviceNotificationSubscribe",
    "AMDeviceConnect",
    "AMDeviceDisconnect",
    "AMDeviceStartSession",
    "AMDeviceStopSession",
    "AMDeviceCopyValue",
    "AMDeviceCopyDeviceIdentifier",
    "AMDeviceGetAccessState",
    "AMDeviceStartService",
    "AMDeviceSecureStartService",
    "AMDServiceConnectionSend",
    "AMDServiceConnectionReceive",
    "AMDServiceConnectionSetReceiveTimeout",
    "AMDServiceConnectionInvalidate",
    "AFCConnectionOpen",
    "AFCConnectionClose",
    "AFCDirectoryOpen",
    "AFCDirectoryRead",
    "AFCDirectoryClose",
    "AFCFileInfoOpen",
    "AFCKeyValueRead",
    "AFCKeyValueClose",
    "AFCFileInfoStream",
    "AFCFileContentsStream",
    "AFCFileWriteStream",
    "AFCFilePartStream",
    "AFCDirectoryCreate",
    "AFCRemovePath",
    "AFCRenamePath",
    "AFCSetFileTime",
    "AFCFileRefOpen",
    "AFCFileRefRead",
    "AFCFileRefWrite",
    "AFCFileRefSeek",
    "AFCFileRefTell",
    "AFCFileRefClose",
};

constexpr std::array<std::string_view, 2> kHouseArrestCommands = {"VendContainer", "VendDocuments"};

}  // namespace

int SimControls::fault(std::string_view entryPoint) const {
    std::lock_guard lock(mutex_);
    const auto found = faults_.find(entryPoint);
    return found == faults_.end() ? 0 : found->second;
}

bool SimControls::setFault(std::string_view entryPoint, int result) {
    if (std::find(kEntryPoints.begin(), kEntryPoints.end(), entryPoint) == kEntryPoints.end()) {
        return false;
    }
    std::lock_guard lock(mutex_);
    if (result == 0) {
        faults_.erase(std::string(entryPoint));
    } else {
        faults_.insert_or_assign(std::string(entryPoint), result);
    }
    return true;
}

bool SimControls::isServiceRefused(std::string_view serviceName) const {
    std::lock_guard lock(mutex_);
    return refusedServices_.contains(serviceName);
}

void SimControls::setServiceRefused(std::string_view serviceName, bool refused) {
    std::lock_guard lock(mutex_);
    if (refused) {
        refusedServices_.emplace(serviceName);
    } else {
        refusedServices_.erase(std::string(serviceName));
    }
}

std::size_t SimControls::replyPieceSize() const {
    std::lock_guard lock(mutex_);
    return replyPieceSize_;
}

void SimControls::setReplyPieceSize(std::size_t bytes) {
    std::lock_guard lock(mutex_);
    replyPieceSize_ = bytes;
}

void SimControls::setStalled(bool stalled) {
    {
        std::lock_guard lock(mutex_);
        stalled_ = stalled;
    }
    stallChanged_.notify_all();
}

bool SimControls::waitWhileStalled(std::stop_token stop) const {
    std::unique_lock lock(mutex_);
    return stallChanged_.wait(lock, stop, [this] { return !stalled_; });
}

void SimControls::setStalledFileOperations(int operations) {
    {
        std::lock_guard lock(mutex_);
        stalledFileOperations_ = operations;
    }
    stallChanged_.notify_all();
}

bool SimControls::waitWhileFileOperationStalled(int operation, std::stop_token stop) const {
    std::unique_lock lock(mutex_);
    return stallChanged_.wait(lock, stop,
                              [this, operation] { return (stalledFileOperations_ & operation) == 0; });
}

std::size_t SimControls::browsePageSize() const {
    std::lock_guard lock(mutex_);
    return browsePageSize_;
}

void SimControls::setBrowsePageSize(std::size_t apps) {
    std::lock_guard lock(mutex_);
    browsePageSize_ = apps;
}

std::optional<std::string> SimControls::houseArrestRefusal(std::string_view command) const {
    std::lock_guard lock(mutex_);
    const auto found = houseArrestRefusals_.find(command);
    if (found == houseArrestRefusals_.end()) {
        return std::nullopt;
    }
    return found->second;
}

bool SimControls::setHouseArrestRefusal(std::string_view command,
                                        std::optional<std::string> errorName) {
    if (std::find(kHouseArrestCommands.begin(), kHouseArrestCommands.end(), command) ==
        kHouseArrestCommands.end()) {
        return false;
    }
    std::lock_guard lock(mutex_);
    if (errorName) {
        houseArrestRefusals_.insert_or_assign(std::string(command), std::move(*errorName));
    } else {
        houseArrestRefusals_.erase(std::string(command));
    }
    return true;
}

void SimControls::reset() {
    {
        std::lock_guard lock(mutex_);
        faults_.clear();
        refusedServices_.clear();
        houseArrestRefusals_.clear();
        replyPieceSize_ = 0;
        browsePageSize_ = kDefaultBrowsePageSize;
        stalled_ = false;
        stalledFileOperations_ = 0;
    }
    stallChanged_.notify_all();
}

}  // namespace plovik::sim
