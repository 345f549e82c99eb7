#include "device/mobiledevicecalls.h"

#include <type_traits>

#include "device/mobiledevicelibrary.h"

namespace MobileDevice {

namespace {

// Calls the library's entry point of that name and type, or gives the failed result: -1, or null
// for entry points that return a value.
template <typename Function, typename... Args>
auto call(const char* name, Args... args) {
    using Result = std::invoke_result_t<Function, Args...>;
    auto* function = reinterpret_cast<Function>(MobileDeviceLibrary::instance().entryPoint(name));
    if (function != nullptr)
        return function(args...);
    if constexpr (std::is_pointer_v<Result>) {
        return Result{nullptr};
    } else {
        return Result{-1};
    }
}

}  // namespace

// Each wrapper names its entry point once; decltype keeps the wrapper's type and the ABI in step.
#define PLOVIK_CALL(name, ...) call<decltype(&::name)>(#name, __VA_ARGS__)

int AMDeviceNotificationSubscribe(AMDeviceNotificationCallback callback, uint32_t unused0,
                                  uint32_t unused1, void* context,
                                  AMDeviceNotificationRef* outNotification) {
    return PLOVIK_CALL(AMDeviceNotificationSubscribe, callback, unused0, unused1, context,
                       outNotification);
}
int AMDeviceConnect(AMDeviceRef device) {
    return PLOVIK_CALL(AMDeviceConnect, device);
}
int AMDeviceDisconnect(AMDeviceRef device) {
    return PLOVIK_CALL(AMDeviceDisconnect, device);
}
int AMDeviceStartSession(AMDeviceRef device) {
    return PLOVIK_CALL(AMDeviceStartSession, device);
}
int AMDeviceStopSession(AMDeviceRef device) {
    return PLOVIK_CALL(AMDeviceStopSession, device);
}
plist_t AMDeviceCopyValue(AMDeviceRef device, plist_t domain, plist_t key) {
    return PLOVIK_CALL(AMDeviceCopyValue, device, domain, key);
}
plist_t AMDeviceCopyDeviceIdentifier(AMDeviceRef device) {
    return PLOVIK_CALL(AMDeviceCopyDeviceIdentifier, device);
}
int AMDeviceGetAccessState(AMDeviceRef device) {
    return PLOVIK_CALL(AMDeviceGetAccessState, device);
}
int AMDeviceStartService(AMDeviceRef device, plist_t serviceName,
                         AMDServiceConnectionRef* outService, uint32_t* outWord) {
    return PLOVIK_CALL(AMDeviceStartService, device, serviceName, outService, outWord);
}
int AMDeviceSecureStartService(AMDeviceRef device, plist_t serviceName, plist_t options,
                               AMDServiceConnectionRef* outService) {
    return PLOVIK_CALL(AMDeviceSecureStartService, device, serviceName, options, outService);
}

int64_t AMDServiceConnectionSend(AMDServiceConnectionRef service, const void* bytes,
                                 size_t length) {
    return PLOVIK_CALL(AMDServiceConnectionSend, service, bytes, length);
}
int64_t AMDServiceConnectionReceive(AMDServiceConnectionRef service, void* buffer, size_t length) {
    return PLOVIK_CALL(AMDServiceConnectionReceive, service, buffer, length);
}
int AMDServiceConnectionSetReceiveTimeout(AMDServiceConnectionRef service, uint32_t milliseconds) {
    return PLOVIK_CALL(AMDServiceConnectionSetReceiveTimeout, service, milliseconds);
}
int AMDServiceConnectionInvalidate(AMDServiceConnectionRef service) {
    return PLOVIK_CALL(AMDServiceConnectionInvalidate, service);
}

int AFCConnectionOpen(AMDServiceConnectionRef service, uint32_t ioTimeout,
                      AFCConnectionRef* outConnection) {
    return PLOVIK_CALL(AFCConnectionOpen, service, ioTimeout, outConnection);
}
int AFCConnectionClose(AFCConnectionRef connection) {
    return PLOVIK_CALL(AFCConnectionClose, connection);
}
int AFCDirectoryOpen(AFCConnectionRef connection, const char* path, AFCDirectoryRef* outDirectory) {
    return PLOVIK_CALL(AFCDirectoryOpen, connection, path, outDirectory);
}
int AFCDirectoryRead(AFCConnectionRef connection, AFCDirectoryRef directory, char** outName) {
    return PLOVIK_CALL(AFCDirectoryRead, connection, directory, outName);
}
int AFCDirectoryClose(AFCConnectionRef connection, AFCDirectoryRef directory) {
    return PLOVIK_CALL(AFCDirectoryClose, connection, directory);
}
int AFCFileInfoOpen(AFCConnectionRef connection, const char* path, AFCDictionaryRef* outInfo) {
    return PLOVIK_CALL(AFCFileInfoOpen, connection, path, outInfo);
}
int AFCKeyValueRead(AFCDictionaryRef info, char** outKey, char** outValue) {
    return PLOVIK_CALL(AFCKeyValueRead, info, outKey, outValue);
}
int AFCKeyValueClose(AFCDictionaryRef info) {
    return PLOVIK_CALL(AFCKeyValueClose, info);
}
int AFCFileInfoStream(AFCConnectionRef connection, const char* const* paths, size_t count,
                      AFCFileInfoHandler handler, void* context) {
    return PLOVIK_CALL(AFCFileInfoStream, connection, paths, count, handler, context);
}
int AFCFileContentsStream(AFCConnectionRef connection, const char* const* paths,
                          const uint64_t* expectedSizes, size_t count, uint64_t largest,
                          AFCFileContentsHandler handler, void* context) {
    return PLOVIK_CALL(AFCFileContentsStream, connection, paths, expectedSizes, count, largest,
                       handler, context);
}
int AFCFileWriteStream(AFCConnectionRef connection, const AFCFileWrite* files, size_t count,
                       AFCFileWriteHandler handler, void* context) {
    return PLOVIK_CALL(AFCFileWriteStream, connection, files, count, handler, context);
}
int AFCFilePartStream(AFCConnectionRef connection, const char* const* paths,
                      const uint64_t* offsets, const uint64_t* lengths, size_t count,
                      AFCFilePartHandler handler, void* context) {
    return PLOVIK_CALL(AFCFilePartStream, connection, paths, offsets, lengths, count, handler,
                       context);
}
int AFCDirectoryCreate(AFCConnectionRef connection, const char* path) {
    return PLOVIK_CALL(AFCDirectoryCreate, connection, path);
}
int AFCRemovePath(AFCConnectionRef connection, const char* path) {
    return PLOVIK_CALL(AFCRemovePath, connection, path);
}
int AFCRenamePath(AFCConnectionRef connection, const char* oldPath, const char* newPath) {
    return PLOVIK_CALL(AFCRenamePath, connection, oldPath, newPath);
}
int AFCSetFileTime(AFCConnectionRef connection, const char* path, uint64_t nanoseconds) {
    return PLOVIK_CALL(AFCSetFileTime, connection, path, nanoseconds);
}
int AFCFileRefOpen(AFCConnectionRef connection, const char* path, uint64_t mode, int reserved,
                   AFCFileRef* outFile) {
    return PLOVIK_CALL(AFCFileRefOpen, connection, path, mode, reserved, outFile);
}
int AFCFileRefRead(AFCConnectionRef connection, AFCFileRef file, void* buffer, uint32_t* length) {
    return PLOVIK_CALL(AFCFileRefRead, connection, file, buffer, length);
}
int AFCFileRefWrite(AFCConnectionRef connection, AFCFileRef file, const void* buffer,
                    uint32_t length) {
    return PLOVIK_CALL(AFCFileRefWrite, connection, file, buffer, length);
}
int AFCFileRefSeek(AFCConnectionRef connection, AFCFileRef file, int64_t offset, uint64_t origin) {
    return PLOVIK_CALL(AFCFileRefSeek, connection, file, offset, origin);
}
int AFCFileRefTell(AFCConnectionRef connection, AFCFileRef file, uint64_t* outPosition) {
    return PLOVIK_CALL(AFCFileRefTell, connection, file, outPosition);
}
int AFCFileRefClose(AFCConnectionRef connection, AFCFileRef file) {
    return PLOVIK_CALL(AFCFileRefClose, connection, file);
}

}  // namespace MobileDevice
