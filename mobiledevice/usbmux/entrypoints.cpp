// The C entry points of mobiledevice.h: argument checks, handle look-ups and the translation to
// the library's objects. No exception leaves this file: each entry point catches and fails.
#include "afcconnection.h"
#include "afctextlist.h"
#include "log.h"
#include "mobiledevice.h"
#include "results.h"
#include "serviceconnection.h"
#include "usbmuxlibrary.h"

#include <algorithm>
#include <exception>
#include <memory>
#include <optional>
#include <string>
#include <vector>

using namespace plovik::usbmux;

namespace {

template <typename Handle>
std::uintptr_t handleNumber(Handle handle) {
    return reinterpret_cast<std::uintptr_t>(handle);
}

template <typename Handle>
Handle toHandle(std::uintptr_t number) {
    return reinterpret_cast<Handle>(number);
}

std::shared_ptr<Device> findDevice(AMDeviceRef device) {
    return UsbmuxLibrary::instance().watcher().find(handleNumber(device));
}

std::shared_ptr<ServiceConnection> findService(AMDServiceConnectionRef service) {
    return UsbmuxLibrary::instance().services().find(handleNumber(service));
}

std::shared_ptr<AfcConnection> findAfc(AFCConnectionRef connection) {
    return UsbmuxLibrary::instance().afcConnections().find(handleNumber(connection));
}

// The text of a PLIST_STRING node; nothing for any other node.
std::optional<std::string> stringOf(plist_t node) {
    if (plist_get_node_type(node) != PLIST_STRING) {
        return std::nullopt;
    }
    uint64_t length = 0;
    const char* text = plist_get_string_ptr(node, &length);
    return text != nullptr ? std::optional<std::string>(std::string(text, length)) : std::nullopt;
}

// Runs an entry point's body; an exception (only std::bad_alloc is expected) becomes failure.
template <typename Result, typename Body>
Result guarded(Result failure, Body body) noexcept {
    try {
        return body();
    } catch (const std::exception& error) {
        logLine("call failed: %s", error.what());
    } catch (...) {
        logLine("call failed");
    }
    return failure;
}

int startService(AMDeviceRef device, plist_t serviceName, AMDServiceConnectionRef* outService) {
    const std::shared_ptr<Device> target = findDevice(device);
    const std::optional<std::string> name = stringOf(serviceName);
    if (!target || !name || outService == nullptr) {
        return kInvalidHandle;
    }
    std::shared_ptr<ServiceConnection> service;
    if (const int result = target->startService(name->c_str(), &service); result != kSuccess) {
        return result;
    }
    *outService =
        toHandle<AMDServiceConnectionRef>(UsbmuxLibrary::instance().services().add(service));
    return kSuccess;
}

template <typename Operation>
int onAfcPath(AFCConnectionRef connection, const char* path, Operation operation) {
    const std::shared_ptr<AfcConnection> afc = findAfc(connection);
    if (!afc || path == nullptr) {
        return kAfcInvalidArgument;
    }
    return operation(*afc);
}

}  // namespace

extern "C" {

int AMDeviceNotificationSubscribe(AMDeviceNotificationCallback callback, uint32_t, uint32_t,
                                  void* context, AMDeviceNotificationRef* outNotification) {
    return guarded(kInvalidHandle, [&] {
        if (callback == nullptr || outNotification == nullptr) {
            return kInvalidHandle;
        }
        std::uintptr_t subscription = 0;
        const int result =
            UsbmuxLibrary::instance().watcher().subscribe(callback, context, &subscription);
        if (result == kSuccess) {
            *outNotification = toHandle<AMDeviceNotificationRef>(subscription);
        }
        return result;
    });
}

int AMDeviceConnect(AMDeviceRef device) {
    return guarded(kInvalidHandle, [&] {
        const std::shared_ptr<Device> target = findDevice(device);
        return target ? target->connect() : kInvalidHandle;
    });
}

int AMDeviceDisconnect(AMDeviceRef device) {
    return guarded(kInvalidHandle, [&] {
        const std::shared_ptr<Device> target = findDevice(device);
        return target ? target->disconnect() : kInvalidHandle;
    });
}

int AMDeviceStartSession(AMDeviceRef device) {
    return guarded(kInvalidHandle, [&] {
        const std::shared_ptr<Device> target = findDevice(device);
        return target ? target->startSession() : kInvalidHandle;
    });
}

int AMDeviceStopSession(AMDeviceRef device) {
    return guarded(kInvalidHandle, [&] {
        const std::shared_ptr<Device> target = findDevice(device);
        return target ? target->stopSession() : kInvalidHandle;
    });
}

plist_t AMDeviceCopyValue(AMDeviceRef device, plist_t domain, plist_t key) {
    return guarded(plist_t{nullptr}, [&]() -> plist_t {
        const std::shared_ptr<Device> target = findDevice(device);
        const std::optional<std::string> domainText = stringOf(domain);
        const std::optional<std::string> keyText = stringOf(key);
        // A domain or key of another type is a caller's mistake, not a request for everything.
        if (!target || (domain != nullptr && !domainText) || (key != nullptr && !keyText)) {
            return nullptr;
        }
        plist_t value = nullptr;
        if (target->copyValue(domainText ? domainText->c_str() : nullptr,
                              keyText ? keyText->c_str() : nullptr, &value) != kSuccess) {
            plist_free(value);
            return nullptr;
        }
        return value;
    });
}

plist_t AMDeviceCopyDeviceIdentifier(AMDeviceRef device) {
    return guarded(plist_t{nullptr}, [&]() -> plist_t {
        const std::shared_ptr<Device> target = findDevice(device);
        return target ? plist_new_string(target->udid().c_str()) : nullptr;
    });
}

int AMDeviceGetAccessState(AMDeviceRef device) {
    return guarded(-1, [&] {
        const std::shared_ptr<Device> target = findDevice(device);
        return target ? static_cast<int>(target->accessState()) : -1;
    });
}

int AMDeviceStartService(AMDeviceRef device, plist_t serviceName,
                         AMDServiceConnectionRef* outService, uint32_t* outWord) {
    return guarded(kInvalidHandle, [&] {
        const int result = startService(device, serviceName, outService);
        if (result == kSuccess && outWord != nullptr) {
            *outWord = 0;
        }
        return result;
    });
}

int AMDeviceSecureStartService(AMDeviceRef device, plist_t serviceName, plist_t,
                               AMDServiceConnectionRef* outService) {
    // Every start already uses TLS when the service asks for it.
    return guarded(kInvalidHandle, [&] { return startService(device, serviceName, outService); });
}

int64_t AMDServiceConnectionSend(AMDServiceConnectionRef service, const void* bytes,
                                 size_t length) {
    return guarded(int64_t{kInvalidHandle}, [&]() -> int64_t {
        const std::shared_ptr<ServiceConnection> connection = findService(service);
        if (!connection || (bytes == nullptr && length > 0)) {
            return kInvalidHandle;
        }
        return connection->send(bytes, length);
    });
}

int64_t AMDServiceConnectionReceive(AMDServiceConnectionRef service, void* buffer, size_t length) {
    return guarded(int64_t{kInvalidHandle}, [&]() -> int64_t {
        const std::shared_ptr<ServiceConnection> connection = findService(service);
        if (!connection || (buffer == nullptr && length > 0)) {
            return kInvalidHandle;
        }
        return connection->receive(buffer, length);
    });
}

int AMDServiceConnectionSetReceiveTimeout(AMDServiceConnectionRef service, uint32_t milliseconds) {
    return guarded(kInvalidHandle, [&] {
        const std::shared_ptr<ServiceConnection> connection = findService(service);
        if (!connection) {
            return kInvalidHandle;
        }
        connection->setReceiveTimeout(milliseconds);
        return kSuccess;
    });
}

int AMDServiceConnectionInvalidate(AMDServiceConnectionRef service) {
    return guarded(kInvalidHandle, [&] {
        const std::shared_ptr<ServiceConnection> connection =
            UsbmuxLibrary::instance().services().remove(handleNumber(service));
        if (!connection) {
            return kInvalidHandle;
        }
        // An AFC connection still open on it fails from now on instead of using a freed socket.
        connection->invalidate();
        return kSuccess;
    });
}

int AFCConnectionOpen(AMDServiceConnectionRef service, uint32_t, AFCConnectionRef* outConnection) {
    return guarded(kAfcInvalidArgument, [&] {
        const std::shared_ptr<ServiceConnection> connection = findService(service);
        if (!connection || outConnection == nullptr) {
            return kAfcInvalidArgument;
        }
        *outConnection = toHandle<AFCConnectionRef>(UsbmuxLibrary::instance().afcConnections().add(
            std::make_shared<AfcConnection>(connection)));
        return kSuccess;
    });
}

int AFCConnectionClose(AFCConnectionRef connection) {
    return guarded(kAfcInvalidArgument, [&] {
        return UsbmuxLibrary::instance().afcConnections().remove(handleNumber(connection))
                   ? kSuccess
                   : kAfcInvalidArgument;
    });
}

int AFCDirectoryOpen(AFCConnectionRef connection, const char* path, AFCDirectoryRef* outDirectory) {
    return guarded(kAfcInvalidArgument, [&] {
        return onAfcPath(connection, path, [&](AfcConnection& afc) {
            if (outDirectory == nullptr) {
                return kAfcInvalidArgument;
            }
            std::vector<std::string> names;
            if (const int result = afc.readDirectory(path, &names); result != kSuccess) {
                return result;
            }
            *outDirectory = reinterpret_cast<AFCDirectoryRef>(new AfcTextList(std::move(names)));
            return kSuccess;
        });
    });
}

int AFCDirectoryRead(AFCConnectionRef, AFCDirectoryRef directory, char** outName) {
    return guarded(kAfcInvalidArgument, [&] {
        if (directory == nullptr || outName == nullptr) {
            return kAfcInvalidArgument;
        }
        *outName = reinterpret_cast<AfcTextList*>(directory)->next();
        return kSuccess;
    });
}

int AFCDirectoryClose(AFCConnectionRef, AFCDirectoryRef directory) {
    return guarded(kAfcInvalidArgument, [&] {
        if (directory == nullptr) {
            return kAfcInvalidArgument;
        }
        delete reinterpret_cast<AfcTextList*>(directory);
        return kSuccess;
    });
}

int AFCFileInfoOpen(AFCConnectionRef connection, const char* path, AFCDictionaryRef* outInfo) {
    return guarded(kAfcInvalidArgument, [&] {
        return onAfcPath(connection, path, [&](AfcConnection& afc) {
            if (outInfo == nullptr) {
                return kAfcInvalidArgument;
            }
            std::vector<std::string> keysAndValues;
            if (const int result = afc.fileInfo(path, &keysAndValues); result != kSuccess) {
                return result;
            }
            *outInfo =
                reinterpret_cast<AFCDictionaryRef>(new AfcTextList(std::move(keysAndValues)));
            return kSuccess;
        });
    });
}

int AFCKeyValueRead(AFCDictionaryRef info, char** outKey, char** outValue) {
    return guarded(kAfcInvalidArgument, [&] {
        if (info == nullptr || outKey == nullptr || outValue == nullptr) {
            return kAfcInvalidArgument;
        }
        // Pairs are whole (see AfcConnection::fileInfo): a key always comes with its value.
        auto* pairs = reinterpret_cast<AfcTextList*>(info);
        *outKey = pairs->next();
        *outValue = *outKey != nullptr ? pairs->next() : nullptr;
        return kSuccess;
    });
}

int AFCKeyValueClose(AFCDictionaryRef info) {
    return guarded(kAfcInvalidArgument, [&] {
        if (info == nullptr) {
            return kAfcInvalidArgument;
        }
        delete reinterpret_cast<AfcTextList*>(info);
        return kSuccess;
    });
}

int AFCFileInfoStream(AFCConnectionRef connection, const char* const* paths, size_t count,
                      AFCFileInfoHandler handler, void* context) {
    return guarded(kAfcInvalidArgument, [&] {
        const std::shared_ptr<AfcConnection> afc = findAfc(connection);
        if (!afc || handler == nullptr || (paths == nullptr && count > 0)) {
            return kAfcInvalidArgument;
        }
        std::vector<const char*> asked(paths, paths + count);
        if (std::find(asked.begin(), asked.end(), nullptr) != asked.end()) {
            return kAfcInvalidArgument;
        }
        return afc->fileInfoOfEach(
            asked, [&](size_t index, int result, std::vector<std::string>& keysAndValues) {
                AfcTextList info(std::move(keysAndValues));
                handler(context, index, result,
                        result == kSuccess ? reinterpret_cast<AFCDictionaryRef>(&info) : nullptr);
            });
    });
}

int AFCFileContentsStream(AFCConnectionRef connection, const char* const* paths,
                          const uint64_t* expectedSizes, size_t count, uint64_t largest,
                          AFCFileContentsHandler handler, void* context) {
    return guarded(kAfcInvalidArgument, [&] {
        const std::shared_ptr<AfcConnection> afc = findAfc(connection);
        if (!afc || handler == nullptr ||
            (count > 0 && (paths == nullptr || expectedSizes == nullptr))) {
            return kAfcInvalidArgument;
        }
        std::vector<const char*> asked(paths, paths + count);
        if (std::find(asked.begin(), asked.end(), nullptr) != asked.end()) {
            return kAfcInvalidArgument;
        }
        const std::vector<uint64_t> sizes(expectedSizes, expectedSizes + count);
        return afc->wholeFilesOfEach(
            asked, sizes, largest, [&](size_t index, int result, std::vector<uint8_t>& contents) {
                handler(context, index, result, contents.data(), contents.size());
            });
    });
}

int AFCFileWriteStream(AFCConnectionRef connection, const AFCFileWrite* files, size_t count,
                       AFCFileWriteHandler handler, void* context) {
    return guarded(kAfcInvalidArgument, [&] {
        const std::shared_ptr<AfcConnection> afc = findAfc(connection);
        if (!afc || handler == nullptr || (files == nullptr && count > 0)) {
            return kAfcInvalidArgument;
        }
        std::vector<AfcWholeFileWrites::File> written;
        written.reserve(count);
        for (size_t index = 0; index < count; ++index) {
            const AFCFileWrite& file = files[index];
            if (file.path == nullptr || file.stagedPath == nullptr ||
                (file.bytes == nullptr && file.length > 0)) {
                return kAfcInvalidArgument;
            }
            written.push_back({file.path, file.stagedPath, static_cast<const uint8_t*>(file.bytes),
                               file.length, file.modificationTime});
        }
        return afc->wholeFilesWritten(written, [&](size_t index, int result, bool stagedLeft) {
            handler(context, index, result, stagedLeft ? 1 : 0);
        });
    });
}

int AFCFilePartStream(AFCConnectionRef connection, const char* const* paths,
                      const uint64_t* offsets, const uint64_t* lengths, size_t count,
                      AFCFilePartHandler handler, void* context) {
    return guarded(kAfcInvalidArgument, [&] {
        const std::shared_ptr<AfcConnection> afc = findAfc(connection);
        if (!afc || handler == nullptr ||
            (count > 0 && (paths == nullptr || offsets == nullptr || lengths == nullptr))) {
            return kAfcInvalidArgument;
        }
        std::vector<AfcFilePartReads::Part> parts;
        parts.reserve(count);
        for (size_t index = 0; index < count; ++index) {
            if (paths[index] == nullptr) {
                return kAfcInvalidArgument;
            }
            parts.push_back({paths[index], offsets[index], lengths[index]});
        }
        return afc->filePartsOfEach(
            parts, [&](size_t index, int result, uint64_t size, std::vector<uint8_t>& bytes) {
                handler(context, index, result, size, bytes.data(), bytes.size());
            });
    });
}

int AFCDirectoryCreate(AFCConnectionRef connection, const char* path) {
    return guarded(kAfcInvalidArgument, [&] {
        return onAfcPath(connection, path,
                         [&](AfcConnection& afc) { return afc.makeDirectory(path); });
    });
}

int AFCRemovePath(AFCConnectionRef connection, const char* path) {
    return guarded(kAfcInvalidArgument, [&] {
        return onAfcPath(connection, path,
                         [&](AfcConnection& afc) { return afc.removePath(path); });
    });
}

int AFCRenamePath(AFCConnectionRef connection, const char* oldPath, const char* newPath) {
    return guarded(kAfcInvalidArgument, [&] {
        return onAfcPath(connection, oldPath, [&](AfcConnection& afc) {
            return newPath != nullptr ? afc.renamePath(oldPath, newPath) : kAfcInvalidArgument;
        });
    });
}

int AFCSetFileTime(AFCConnectionRef connection, const char* path, uint64_t nanoseconds) {
    return guarded(kAfcInvalidArgument, [&] {
        return onAfcPath(connection, path,
                         [&](AfcConnection& afc) { return afc.setFileTime(path, nanoseconds); });
    });
}

int AFCFileRefOpen(AFCConnectionRef connection, const char* path, uint64_t mode, int,
                   AFCFileRef* outFile) {
    return guarded(kAfcInvalidArgument, [&] {
        return onAfcPath(connection, path, [&](AfcConnection& afc) {
            if (outFile == nullptr) {
                return kAfcInvalidArgument;
            }
            // The modes are AFC's own numbers and go to the device unchanged.
            if (mode < kAFCFileModeRead || mode > kAFCFileModeReadAppend) {
                return kAfcInvalidArgument;
            }
            return afc.openFile(path, mode, outFile);
        });
    });
}

int AFCFileRefRead(AFCConnectionRef connection, AFCFileRef file, void* buffer, uint32_t* length) {
    return guarded(kAfcInvalidArgument, [&] {
        const std::shared_ptr<AfcConnection> afc = findAfc(connection);
        if (!afc || length == nullptr || (buffer == nullptr && *length > 0)) {
            return kAfcInvalidArgument;
        }
        return afc->readFile(file, buffer, length);
    });
}

int AFCFileRefWrite(AFCConnectionRef connection, AFCFileRef file, const void* buffer,
                    uint32_t length) {
    return guarded(kAfcInvalidArgument, [&] {
        const std::shared_ptr<AfcConnection> afc = findAfc(connection);
        if (!afc || (buffer == nullptr && length > 0)) {
            return kAfcInvalidArgument;
        }
        return afc->writeFile(file, buffer, length);
    });
}

int AFCFileRefSeek(AFCConnectionRef connection, AFCFileRef file, int64_t offset, uint64_t origin) {
    return guarded(kAfcInvalidArgument, [&] {
        const std::shared_ptr<AfcConnection> afc = findAfc(connection);
        if (!afc || (origin != kAFCSeekFromStart && origin != kAFCSeekFromEnd)) {
            return kAfcInvalidArgument;
        }
        // The origins are the wire's SEEK_SET and SEEK_END.
        return afc->seekFile(file, offset, origin);
    });
}

int AFCFileRefTell(AFCConnectionRef connection, AFCFileRef file, uint64_t* outPosition) {
    return guarded(kAfcInvalidArgument, [&] {
        const std::shared_ptr<AfcConnection> afc = findAfc(connection);
        if (!afc || outPosition == nullptr) {
            return kAfcInvalidArgument;
        }
        return afc->tellFile(file, outPosition);
    });
}

int AFCFileRefClose(AFCConnectionRef connection, AFCFileRef file) {
    return guarded(kAfcInvalidArgument, [&] {
        const std::shared_ptr<AfcConnection> afc = findAfc(connection);
        return afc ? afc->closeFile(file) : kAfcInvalidArgument;
    });
}

}  // extern "C"
