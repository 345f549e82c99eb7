// The AFC entry points of mobiledevice.h.

#include "afcerror.h"
#include "plovik_sim.h"
#include "injectedfault.h"
#include "simulator.h"

#include <algorithm>
#include <cstdint>
#include <string>
#include <vector>

using plovik::sim::AfcConnection;
using plovik::sim::EntryCursor;
using plovik::sim::injectedFault;
using plovik::sim::OpenFile;
using plovik::sim::Simulator;

namespace {

template <typename Operation>
int onConnection(AFCConnectionRef connection, Operation operation) {
    const auto found = Simulator::instance().afcConnections().find(connection);
    return found ? operation(*found) : plovik::sim::kAfcInvalidArgument;
}

template <typename Operation>
int onFile(AFCConnectionRef connection, AFCFileRef file, Operation operation) {
    return onConnection(connection, [&](AfcConnection& found) {
        int result = plovik::sim::kAfcSuccess;
        const std::shared_ptr<OpenFile> open = found.findFile(file, result);
        return open ? operation(*open) : result;
    });
}

// A cursor is only reachable through the connection that made it.
std::shared_ptr<EntryCursor> findDirectory(AFCConnectionRef connection, AFCDirectoryRef directory) {
    const auto found = Simulator::instance().directories().find(directory);
    if (!found || found->owner() != reinterpret_cast<std::uintptr_t>(connection)) {
        return nullptr;
    }
    return found;
}

}  // namespace

extern "C" {

int AFCConnectionOpen(AMDServiceConnectionRef service, uint32_t, AFCConnectionRef* outConnection) {
    if (const int fault = injectedFault(__func__)) {
        return fault;
    }
    if (outConnection == nullptr) {
        return plovik::sim::kAfcInvalidArgument;
    }
    *outConnection = nullptr;
    Simulator& simulator = Simulator::instance();
    const auto found = simulator.services().find(service);
    if (!found) {
        return plovik::sim::kAfcInvalidArgument;
    }
    if (found->device()->isGone()) {
        return plovik::sim::kAfcDeviceGone;
    }
    auto folder = found->servedFolder();
    if (!folder) {
        return plovik::sim::kAfcInvalidArgument;
    }
    *outConnection = simulator.afcConnections().insert(
        std::make_shared<AfcConnection>(found->device(), std::move(folder), found->cutToken(),
                                        simulator.controls()));
    return plovik::sim::kAfcSuccess;
}

int AFCConnectionClose(AFCConnectionRef connection) {
    if (const int fault = injectedFault(__func__)) {
        return fault;
    }
    return Simulator::instance().afcConnections().take(connection)
               ? plovik::sim::kAfcSuccess
               : plovik::sim::kAfcInvalidArgument;
}

int AFCDirectoryOpen(AFCConnectionRef connection, const char* path, AFCDirectoryRef* outDirectory) {
    if (const int fault = injectedFault(__func__)) {
        return fault;
    }
    if (outDirectory == nullptr) {
        return plovik::sim::kAfcInvalidArgument;
    }
    *outDirectory = nullptr;
    return onConnection(connection, [&](AfcConnection& found) {
        std::vector<std::string> names;
        const int result = found.listDirectory(path, names);
        if (result == plovik::sim::kAfcSuccess) {
            *outDirectory =
                Simulator::instance().directories().insert(std::make_shared<EntryCursor>(
                    std::move(names), reinterpret_cast<std::uintptr_t>(connection)));
        }
        return result;
    });
}

int AFCDirectoryRead(AFCConnectionRef connection, AFCDirectoryRef directory, char** outName) {
    if (const int fault = injectedFault(__func__)) {
        return fault;
    }
    if (outName == nullptr) {
        return plovik::sim::kAfcInvalidArgument;
    }
    *outName = nullptr;
    const auto found = findDirectory(connection, directory);
    if (!found) {
        return plovik::sim::kAfcInvalidArgument;
    }
    *outName = found->next();
    return plovik::sim::kAfcSuccess;
}

int AFCDirectoryClose(AFCConnectionRef connection, AFCDirectoryRef directory) {
    if (const int fault = injectedFault(__func__)) {
        return fault;
    }
    if (!findDirectory(connection, directory)) {
        return plovik::sim::kAfcInvalidArgument;
    }
    Simulator::instance().directories().take(directory);
    return plovik::sim::kAfcSuccess;
}

int AFCFileInfoOpen(AFCConnectionRef connection, const char* path, AFCDictionaryRef* outInfo) {
    if (const int fault = injectedFault(__func__)) {
        return fault;
    }
    if (outInfo == nullptr) {
        return plovik::sim::kAfcInvalidArgument;
    }
    *outInfo = nullptr;
    return onConnection(connection, [&](AfcConnection& found) {
        std::vector<std::string> pairs;
        const int result = found.fileInfo(path, pairs);
        if (result == plovik::sim::kAfcSuccess) {
            *outInfo = Simulator::instance().fileInfos().insert(std::make_shared<EntryCursor>(
                std::move(pairs), reinterpret_cast<std::uintptr_t>(connection)));
        }
        return result;
    });
}

int AFCFileInfoStream(AFCConnectionRef connection, const char* const* paths, size_t count,
                      AFCFileInfoHandler handler, void* context) {
    if (const int fault = injectedFault(__func__)) {
        return fault;
    }
    if (handler == nullptr || (paths == nullptr && count > 0)) {
        return plovik::sim::kAfcInvalidArgument;
    }
    return onConnection(connection, [&](AfcConnection& found) {
        for (size_t index = 0; index < count; ++index) {
            std::vector<std::string> pairs;
            const int result = found.fileInfo(paths[index], pairs);
            if (result != plovik::sim::kAfcSuccess) {
                handler(context, index, result, nullptr);
                continue;
            }
            const AFCDictionaryRef info = Simulator::instance().fileInfos().insert(
                std::make_shared<EntryCursor>(std::move(pairs),
                                              reinterpret_cast<std::uintptr_t>(connection)));
            handler(context, index, result, info);
            Simulator::instance().fileInfos().take(info);
        }
        return plovik::sim::kAfcSuccess;
    });
}

namespace {

// One file of AFCFileContentsStream, as its open, reads and close would go one by one.
int wholeFile(AfcConnection& connection, const char* path, uint64_t largest,
              std::vector<char>& contents) {
    if (const int fault = injectedFault("AFCFileRefOpen")) {
        return fault;
    }
    AFCFileRef file = 0;
    if (const int result = connection.openFile(path, 1, file); result != plovik::sim::kAfcSuccess) {
        return result;
    }
    int result = plovik::sim::kAfcSuccess;
    const std::shared_ptr<OpenFile> open = connection.findFile(file, result);
    constexpr uint32_t kChunk = 64 << 10;
    while (open && result == plovik::sim::kAfcSuccess) {
        if (const int fault = injectedFault("AFCFileRefRead")) {
            result = fault;
            break;
        }
        result = connection.awaitFileOperation(kPlovikSimFileData);
        if (result != plovik::sim::kAfcSuccess) {
            break;
        }
        const size_t had = contents.size();
        contents.resize(had + kChunk);
        uint32_t length = kChunk;
        result = open->read(contents.data() + had, length);
        contents.resize(had + (result == plovik::sim::kAfcSuccess ? length : 0));
        if (length == 0) {
            break;
        }
        if (contents.size() > largest) {
            result = plovik::sim::kAfcTooMuchData;
        }
    }
    connection.closeFile(file);
    return result;
}

}  // namespace

int AFCFileContentsStream(AFCConnectionRef connection, const char* const* paths,
                          const uint64_t* expectedSizes, size_t count, uint64_t largest,
                          AFCFileContentsHandler handler, void* context) {
    if (const int fault = injectedFault(__func__)) {
        return fault;
    }
    if (handler == nullptr || (count > 0 && (paths == nullptr || expectedSizes == nullptr))) {
        return plovik::sim::kAfcInvalidArgument;
    }
    return onConnection(connection, [&](AfcConnection& found) -> int {
        for (size_t index = 0; index < count; ++index) {
            std::vector<char> contents;
            const int result = wholeFile(found, paths[index], largest, contents);
            if (result == plovik::sim::kAfcDeviceGone) {
                return result;
            }
            const bool whole = result == plovik::sim::kAfcSuccess;
            handler(context, index, result, whole ? contents.data() : nullptr,
                    whole ? contents.size() : 0);
        }
        return plovik::sim::kAfcSuccess;
    });
}

namespace {

// One part of AFCFilePartStream, as the file's information, open, seek, reads and close would
// go one by one.
int filePart(AfcConnection& connection, const char* path, uint64_t offset, uint64_t length,
             uint64_t& size, std::vector<char>& bytes) {
    std::vector<std::string> pairs;
    if (const int result = connection.fileInfo(path, pairs); result != plovik::sim::kAfcSuccess) {
        return result;
    }
    size_t key = 0;
    while (key + 1 < pairs.size() && pairs[key] != "st_size") {
        key += 2;
    }
    if (key + 1 >= pairs.size()) {
        return plovik::sim::kAfcUnknown;
    }
    size = std::stoull(pairs[key + 1]);
    if (const int fault = injectedFault("AFCFileRefOpen")) {
        return fault;
    }
    AFCFileRef file = 0;
    if (const int result = connection.openFile(path, 1, file); result != plovik::sim::kAfcSuccess) {
        return result;
    }
    int result = plovik::sim::kAfcSuccess;
    const std::shared_ptr<OpenFile> open = connection.findFile(file, result);
    if (open) {
        result = open->seek(static_cast<int64_t>(offset), 0);
    }
    if (result == plovik::sim::kAfcSuccess) {
        result = injectedFault("AFCFileRefRead");
    }
    if (result == plovik::sim::kAfcSuccess) {
        result = connection.awaitFileOperation(kPlovikSimFileData);
    }
    if (result == plovik::sim::kAfcSuccess) {
        bytes.resize(static_cast<size_t>(length));
        auto read = static_cast<uint32_t>(length);
        result = open->read(bytes.data(), read);
        bytes.resize(result == plovik::sim::kAfcSuccess ? read : 0);
    }
    connection.closeFile(file);
    return result;
}

}  // namespace

int AFCFilePartStream(AFCConnectionRef connection, const char* const* paths,
                      const uint64_t* offsets, const uint64_t* lengths, size_t count,
                      AFCFilePartHandler handler, void* context) {
    if (const int fault = injectedFault(__func__)) {
        return fault;
    }
    if (handler == nullptr ||
        (count > 0 && (paths == nullptr || offsets == nullptr || lengths == nullptr))) {
        return plovik::sim::kAfcInvalidArgument;
    }
    return onConnection(connection, [&](AfcConnection& found) -> int {
        for (size_t index = 0; index < count; ++index) {
            uint64_t size = 0;
            std::vector<char> bytes;
            const int result = filePart(found, paths[index], offsets[index],
                                        std::min<uint64_t>(lengths[index], UINT32_MAX), size,
                                        bytes);
            if (result == plovik::sim::kAfcDeviceGone) {
                return result;
            }
            const bool read = result == plovik::sim::kAfcSuccess;
            handler(context, index, result, read ? size : 0, read ? bytes.data() : nullptr,
                    read ? bytes.size() : 0);
        }
        return plovik::sim::kAfcSuccess;
    });
}

namespace {

// One file of AFCFileWriteStream, as its requests would go one by one: the path's information,
// the staged file written, its time, then its rename. stagedLeft tells whether the staged file
// may be left.
int writtenFile(AfcConnection& connection, const AFCFileWrite& file, bool& stagedLeft) {
    stagedLeft = false;
    std::vector<std::string> pairs;
    if (const int result = connection.fileInfo(file.path, pairs);
        result != plovik::sim::kAfcObjectNotFound) {
        if (result != plovik::sim::kAfcSuccess) {
            return result;
        }
        for (size_t key = 0; key + 1 < pairs.size(); key += 2) {
            if (pairs[key] == "st_ifmt" && pairs[key + 1] == "S_IFDIR") {
                return plovik::sim::kAfcObjectIsDirectory;
            }
        }
        return plovik::sim::kAfcObjectExists;
    }
    if (const int fault = injectedFault("AFCFileRefOpen")) {
        return fault;
    }
    AFCFileRef handle = 0;
    if (const int result = connection.openFile(file.stagedPath, 3, handle);
        result != plovik::sim::kAfcSuccess) {
        return result;
    }
    stagedLeft = true;
    int result = injectedFault("AFCFileRefWrite");
    if (result == plovik::sim::kAfcSuccess) {
        result = connection.awaitFileOperation(kPlovikSimFileData);
    }
    const std::shared_ptr<OpenFile> open =
        result == plovik::sim::kAfcSuccess ? connection.findFile(handle, result) : nullptr;
    if (open && file.length > 0) {
        result = open->write(file.bytes, static_cast<uint32_t>(file.length));
    }
    const int closed = connection.closeFile(handle);
    if (result == plovik::sim::kAfcSuccess) {
        result = closed;
    }
    if (result == plovik::sim::kAfcSuccess) {
        if (file.modificationTime > 0) {
            connection.setFileTime(file.stagedPath, file.modificationTime);
        }
        result = connection.renamePath(file.stagedPath, file.path);
    }
    if (result == plovik::sim::kAfcSuccess || connection.removePath(file.stagedPath) ==
                                                  plovik::sim::kAfcSuccess) {
        stagedLeft = false;
    }
    return result;
}

}  // namespace

int AFCFileWriteStream(AFCConnectionRef connection, const AFCFileWrite* files, size_t count,
                       AFCFileWriteHandler handler, void* context) {
    if (const int fault = injectedFault(__func__)) {
        return fault;
    }
    if (handler == nullptr || (files == nullptr && count > 0) ||
        std::any_of(files, files + count, [](const AFCFileWrite& file) {
            return file.path == nullptr || file.stagedPath == nullptr ||
                   (file.bytes == nullptr && file.length > 0) || file.length > UINT32_MAX;
        })) {
        return plovik::sim::kAfcInvalidArgument;
    }
    return onConnection(connection, [&](AfcConnection& found) -> int {
        for (size_t index = 0; index < count; ++index) {
            bool stagedLeft = false;
            const int result = writtenFile(found, files[index], stagedLeft);
            if (result == plovik::sim::kAfcDeviceGone) {
                return result;
            }
            handler(context, index, result, stagedLeft ? 1 : 0);
        }
        return plovik::sim::kAfcSuccess;
    });
}

int AFCKeyValueRead(AFCDictionaryRef info, char** outKey, char** outValue) {
    if (const int fault = injectedFault(__func__)) {
        return fault;
    }
    if (outKey == nullptr || outValue == nullptr) {
        return plovik::sim::kAfcInvalidArgument;
    }
    *outKey = nullptr;
    *outValue = nullptr;
    const auto found = Simulator::instance().fileInfos().find(info);
    if (!found) {
        return plovik::sim::kAfcInvalidArgument;
    }
    // Keys and values alternate, so a key always has its value.
    *outKey = found->next();
    *outValue = *outKey != nullptr ? found->next() : nullptr;
    return plovik::sim::kAfcSuccess;
}

int AFCKeyValueClose(AFCDictionaryRef info) {
    if (const int fault = injectedFault(__func__)) {
        return fault;
    }
    return Simulator::instance().fileInfos().take(info) ? plovik::sim::kAfcSuccess
                                                        : plovik::sim::kAfcInvalidArgument;
}

int AFCDirectoryCreate(AFCConnectionRef connection, const char* path) {
    if (const int fault = injectedFault(__func__)) {
        return fault;
    }
    return onConnection(connection,
                        [&](AfcConnection& found) { return found.makeDirectory(path); });
}

int AFCRemovePath(AFCConnectionRef connection, const char* path) {
    if (const int fault = injectedFault(__func__)) {
        return fault;
    }
    return onConnection(connection, [&](AfcConnection& found) {
        const int result = found.awaitFileOperation(kPlovikSimRemovals);
        return result != plovik::sim::kAfcSuccess ? result : found.removePath(path);
    });
}

int AFCRenamePath(AFCConnectionRef connection, const char* oldPath, const char* newPath) {
    if (const int fault = injectedFault(__func__)) {
        return fault;
    }
    return onConnection(connection,
                        [&](AfcConnection& found) { return found.renamePath(oldPath, newPath); });
}

int AFCSetFileTime(AFCConnectionRef connection, const char* path, uint64_t nanoseconds) {
    if (const int fault = injectedFault(__func__)) {
        return fault;
    }
    return onConnection(connection,
                        [&](AfcConnection& found) { return found.setFileTime(path, nanoseconds); });
}

int AFCFileRefOpen(AFCConnectionRef connection, const char* path, uint64_t mode, int,
                   AFCFileRef* outFile) {
    if (const int fault = injectedFault(__func__)) {
        return fault;
    }
    if (outFile == nullptr) {
        return plovik::sim::kAfcInvalidArgument;
    }
    *outFile = 0;
    return onConnection(connection,
                        [&](AfcConnection& found) { return found.openFile(path, mode, *outFile); });
}

int AFCFileRefRead(AFCConnectionRef connection, AFCFileRef file, void* buffer, uint32_t* length) {
    if (const int fault = injectedFault(__func__)) {
        return fault;
    }
    if (length == nullptr || (buffer == nullptr && *length > 0)) {
        return plovik::sim::kAfcInvalidArgument;
    }
    const uint32_t wanted = *length;
    *length = 0;
    return onConnection(connection, [&](AfcConnection& found) {
        if (const int result = found.awaitFileOperation(kPlovikSimFileData); result != plovik::sim::kAfcSuccess) {
            return result;
        }
        int result = plovik::sim::kAfcSuccess;
        const std::shared_ptr<OpenFile> open = found.findFile(file, result);
        if (!open) {
            return result;
        }
        *length = wanted;
        return open->read(buffer, *length);
    });
}

int AFCFileRefWrite(AFCConnectionRef connection, AFCFileRef file, const void* buffer,
                    uint32_t length) {
    if (const int fault = injectedFault(__func__)) {
        return fault;
    }
    if (buffer == nullptr && length > 0) {
        return plovik::sim::kAfcInvalidArgument;
    }
    return onConnection(connection, [&](AfcConnection& found) {
        if (const int result = found.awaitFileOperation(kPlovikSimFileData); result != plovik::sim::kAfcSuccess) {
            return result;
        }
        int result = plovik::sim::kAfcSuccess;
        const std::shared_ptr<OpenFile> open = found.findFile(file, result);
        return open ? open->write(buffer, length) : result;
    });
}

int AFCFileRefSeek(AFCConnectionRef connection, AFCFileRef file, int64_t offset, uint64_t origin) {
    if (const int fault = injectedFault(__func__)) {
        return fault;
    }
    return onFile(connection, file, [&](OpenFile& open) { return open.seek(offset, origin); });
}

int AFCFileRefTell(AFCConnectionRef connection, AFCFileRef file, uint64_t* outPosition) {
    if (const int fault = injectedFault(__func__)) {
        return fault;
    }
    if (outPosition == nullptr) {
        return plovik::sim::kAfcInvalidArgument;
    }
    return onFile(connection, file, [&](OpenFile& open) { return open.tell(*outPosition); });
}

int AFCFileRefClose(AFCConnectionRef connection, AFCFileRef file) {
    if (const int fault = injectedFault(__func__)) {
        return fault;
    }
    return onConnection(connection, [&](AfcConnection& found) { return found.closeFile(file); });
}

}  // extern "C"
