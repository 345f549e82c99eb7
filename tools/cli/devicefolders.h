#pragma once

#include <memory>
#include <string>

#include "afc/afcdirectory.h"
#include "fstree/filesystemnode.h"

class DeviceSession;

/** The AFC connection of item; throws CommandFailure naming path when it has none. */
std::shared_ptr<AFCDirectory> connectionOf(const ZelboLib::FileSystemNode& item,
                                           const std::string& path);
/** A folder that takes new items, or a CommandFailure naming path. */
std::shared_ptr<ZelboLib::FileSystemNode> folderForNewItems(DeviceSession& session,
                                                            const std::string& path);
/**
 * Creates the device folder at the normalised path shown; its parent must exist. Throws
 * CommandFailure ("PATH: exists" or the device's reason).
 */
void makeDeviceFolder(DeviceSession& session, const std::string& shown);
