#include "devicepaths.h"

#include "commandfailure.h"
#include "devicesession.h"

std::string normalizedDevicePath(const std::string& path) {
    if (path.empty() || path[0] != '/')
        throw UsageError(path + ": device paths start with /, as in /Media/DCIM");
    std::string normalized;
    for (const char c : path) {
        if (c != '/' || normalized.empty() || normalized.back() != '/')
            normalized.push_back(c);
    }
    if (normalized.size() > 1 && normalized.back() == '/')
        normalized.pop_back();
    return normalized;
}

std::string lastComponent(const std::string& path) {
    return path.substr(path.find_last_of('/') + 1);
}

std::shared_ptr<ZelboLib::FileSystemNode> findItem(DeviceSession& session,
                                                   const std::string& path) {
    const std::string normalized = normalizedDevicePath(path);
    const auto device = session.deviceNode();
    if (normalized == "/")
        return device;
    return device->nodeForPath(CZelboString::fromUtf8(normalized));
}

std::shared_ptr<ZelboLib::FileSystemNode> itemAt(DeviceSession& session, const std::string& path) {
    auto item = findItem(session, path);
    if (!item)
        throw CommandFailure(normalizedDevicePath(path) + ": no such file or folder");
    return item;
}
