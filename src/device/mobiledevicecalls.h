#pragma once

#include "device/mobiledevice.h"

/**
 * The MobileDevice entry points as the program calls them: each call looks its entry point up by
 * name in the process's MobileDeviceLibrary and fails with -1 (null for values) when it is missing.
 */
namespace MobileDevice {

int AMDeviceNotificationSubscribe(AMDeviceNotificationCallback callback, uint32_t unused0,
                                  uint32_t unused1, void* context,
                                  AMDeviceNotificationRef* outNotification);
int AMDeviceConnect(AMDeviceRef device);
int AMDeviceDisconnect(AMDeviceRef device);
int AMDeviceStartSession(AMDeviceRef device);
int AMDeviceStopSession(AMDeviceRef device);
plist_t AMDeviceCopyValue(AMDeviceRef device, plist_t domain, plist_t key);
plist_t AMDeviceCopyDeviceIdentifier(AMDeviceRef device);
int AMDeviceGetAccessState(AMDeviceRef device);
int AMDeviceStartService(AMDeviceRef device, plist_t serviceName,
                         AMDServiceConnectionRef* outService, uint32_t* outWord);
int AMDeviceSecureStartService(AMDeviceRef device, plist_t serviceName, plist_t options,
                               AMDServiceConnectionRef* outService);

int64_t AMDServiceConnectionSend(AMDServiceConnectionRef service, const void* bytes, size_t length);
int64_t AMDServiceConnectionReceive(AMDServiceConnectionRef service, void* buffer, size_t length);
int AMDServiceConnectionSetReceiveTimeout(AMDServiceConnectionRef service, uint32_t milliseconds);
int AMDServiceConnectionInvalidate(AMDServiceConnectionRef service);

int AFCConnectionOpen(AMDServiceConnectionRef service, uint32_t ioTimeout,
                      AFCConnectionRef* outConnection);
int AFCConnectionClose(AFCConnectionRef connection);
int AFCDirectoryOpen(AFCConnectionRef connection, const char* path, AFCDirectoryRef* outDirectory);
int AFCDirectoryRead(AFCConnectionRef connection, AFCDirectoryRef directory, char** outName);
int AFCDirectoryClose(AFCConnectionRef connection, AFCDirectoryRef directory);
int AFCFileInfoOpen(AFCConnectionRef connection, const char* path, AFCDictionaryRef* outInfo);
int AFCKeyValueRead(AFCDictionaryRef info, char** outKey, char** outValue);
int AFCKeyValueClose(AFCDictionaryRef info);
int AFCFileInfoStream(AFCConnectionRef connection, const char* const* paths, size_t count,
                      AFCFileInfoHandler handler, void* context);
int AFCFileContentsStream(AFCConnectionRef connection, const char* const* paths,
                          const uint64_t* expectedSizes, size_t count, uint64_t largest,
                          AFCFileContentsHandler handler, void* context);
int AFCFileWriteStream(AFCConnectionRef connection, const AFCFileWrite* files, size_t count,
                       AFCFileWriteHandler handler, void* context);
int AFCFilePartStream(AFCConnectionRef connection, const char* const* paths,
                      const uint64_t* offsets, const uint64_t* lengths, size_t count,
                      AFCFilePartHandler handler, void* context);
int AFCDirectoryCreate(AFCConnectionRef connection, const char* path);
int AFCRemovePath(AFCConnectionRef connection, const char* path);
int AFCRenamePath(AFCConnectionRef connection, const char* oldPath, const char* newPath);
int AFCSetFileTime(AFCConnectionRef connection, const char* path, uint64_t nanoseconds);
int AFCFileRefOpen(AFCConnectionRef connection, const char* path, uint64_t mode, int reserved,
                   AFCFileRef* outFile);
int AFCFileRefRead(AFCConnectionRef connection, AFCFileRef file, void* buffer, uint32_t* length);
int AFCFileRefWrite(AFCConnectionRef connection, AFCFileRef file, const void* buffer,
                    uint32_t length);
int AFCFileRefSeek(AFCConnectionRef connection, AFCFileRef file, int64_t offset, uint64_t origin);
int AFCFileRefTell(AFCConnectionRef connection, AFCFileRef file, uint64_t* outPosition);
int AFCFileRefClose(AFCConnectionRef connection, AFCFileRef file);

}  // namespace MobileDevice
