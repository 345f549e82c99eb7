#pragma once

#include <memory>
#include <string>

#include "fstree/filesystemnode.h"

class DeviceSession;

/**
 * Device paths as the tree shows them: "/Media/DCIM", "/Root/private",
 * "/Applications/<app name>/Documents"; "/" is the device itself. Doubled and trailing slashes
 * are dropped. Throws UsageError for a path that does not start with "/".
 */
std::string normalizedDevicePath(const std::string& path);

/** The name after the last "/" of path. */
std::string lastComponent(const std::string& path);

/** The item at path on the chosen device; throws CommandFailure "PATH: no such file or folder". */
std::shared_ptr<ZelboLib::FileSystemNode> itemAt(DeviceSession& session, const std::string& path);

/** The item at path on the chosen device, or null when there is none. */
std::shared_ptr<ZelboLib::FileSystemNode> findItem(DeviceSession& session, const std::string& path);
