#include "afc/afcdirectory.h"

#include <algorithm>
#include <string_view>

#include "afc/afcmediadirectory.h"
#include "afc/fileinformation.h"
#include "afc/stageduploads.h"
#include "device/amdevice.h"
#include "device/callfailure.h"
#include "device/mobiledevicecalls.h"
#include "fstree/devicepath.h"
#include "values/cautostring.h"
#include "values/cint64.h"

using ZelboLib::CAutoString;
using ZelboLib::CInt64;
using ZelboLib::NSArray;
using ZelboLib::NSDictionary;
using ZelboLib::Object;
using ZelboLib::Owned;

AFCDirectory::~AFCDirectory() {
    if (connection_ != nullptr)
        MobileDevice::AFCConnectionClose(connection_);
}

bool AFCDirectory::isMediaArea() const {
    return std::string_view(serviceName_) == AFCMediaDirectory::kServiceName;
}

void AFCDirectory::interrupt() {
    // The handle stays for the destructor, whose second invalidation is refused harmlessly.
    if (serviceHandle() != nullptr)
        MobileDevice::AMDServiceConnectionInvalidate(serviceHandle());
}

bool AFCDirectory::open(AMDevice& device) {
    connection_ = nullptr;
    adoptServiceHandle(device.startService(serviceName_));
    if (serviceHandle() == nullptr)
        return false;
    return openConnection(u"AFCConnectionOpen failed: %x");
}

bool AFCDirectory::openConnection(const char16_t* failureFormat) {
    AFCConnectionRef connection = nullptr;
    const int result = MobileDevice::AFCConnectionOpen(serviceHandle(), 0, &connection);
    if (result != 0) {
        CZelboString text;
        text.format(failureFormat, result);
        setErrorText(std::move(text));
        return false;
    }
    connection_ = connection;
    return connection_ != nullptr;
}

bool AFCDirectory::reportResult(int code, const char* entryPoint) {
    setErrorText(code == 0 ? CZelboString() : callFailureText(entryPoint, code));
    return code == 0;
}

CZelboString AFCDirectory::errorText() const {
    const std::lock_guard lock(errorMutex_);
    const auto found = errorTexts_.find(std::this_thread::get_id());
    return found == errorTexts_.end() ? CZelboString() : found->second;
}

void AFCDirectory::setErrorText(CZelboString text) {
    const std::lock_guard lock(errorMutex_);
    if (text.isEmpty())
        errorTexts_.erase(std::this_thread::get_id());
    else
        errorTexts_[std::this_thread::get_id()] = std::move(text);
}

bool AFCDirectory::validate(const CZelboString& path, const char16_t* missingText,
                            bool allowEmpty) {
    if (path.isEmpty() && !allowEmpty) {
        setErrorText(missingText);
        return false;
    }
    if (connection_ == nullptr) {
        setErrorText(u"Connection is not open");
        return false;
    }
    return true;
}

Owned<AFCFileReference> AFCDirectory::openFile(const CZelboString& path, AFCFileMode mode,
                                               int* resultOut) {
    if (!validate(path, u"Input path is nil"))
        return nullptr;
    AFCFileRef handle = 0;
    const int result =
        MobileDevice::AFCFileRefOpen(connection_, path.toUtf8().c_str(), mode, 0, &handle);
    if (resultOut != nullptr)
        *resultOut = result;
    if (!reportResult(result, "AFCFileRefOpen") || handle == 0)
        return nullptr;
    return Owned<AFCFileReference>(new AFCFileReference(path, handle, connection_));
}

Owned<AFCFileReference> AFCDirectory::openForReading(const CZelboString& path) {
    return openFile(path, kAFCFileModeRead);
}

Owned<AFCFileReference> AFCDirectory::openForWriting(const CZelboString& path, WriteMode mode) {
    return openFile(
        path, mode == WriteMode::Truncate ? kAFCFileModeWriteTruncate : kAFCFileModeReadWrite);
}

Owned<NSArray> AFCDirectory::listDirectory(const CZelboString& path) {
    if (!validate(path, u"Input path is nil", true))
        return nullptr;
    AFCDirectoryRef listing = nullptr;
    if (!reportResult(MobileDevice::AFCDirectoryOpen(connection_, path.toUtf8().c_str(), &listing),
                      "AFCDirectoryOpen")) {
        return nullptr;
    }
    Owned<NSArray> names(new NSArray(true));
    for (;;) {
        char* name = nullptr;
        MobileDevice::AFCDirectoryRead(connection_, listing, &name);
        if (name == nullptr)
            break;
        const std::string_view entry(name);
        if (entry == "." || entry == "..")
            continue;
        names->addObject(new CAutoString(CZelboString::fromUtf8(entry)));
    }
    MobileDevice::AFCDirectoryClose(connection_, listing);
    setErrorText({});
    return names;
}

Owned<NSArray> AFCDirectory::listEntries(const CZelboString& path) {
    Owned<NSArray> names = listDirectory(path);
    if (!names)
        return nullptr;
    const auto nameAt = [&](int index) {
        return dynamic_cast<const CAutoString*>(names->objectAtIndex(index));
    };
    const auto isKept = [](const CAutoString* name) {
        return name != nullptr && !isStagedUploadName(name->text().view());
    };
    // Most folders hold no staged file: their listing is kept as it came.
    int kept = 0;
    while (kept < names->count() && isKept(nameAt(kept)))
        ++kept;
    if (kept == names->count())
        return names;
    Owned<NSArray> entries(new NSArray(true));
    for (int index = 0; index < names->count(); ++index) {
        const CAutoString* name = nameAt(index);
        if (isKept(name)) {
            entries->addObject(new CAutoString(name->text()));
        } else if (name != nullptr) {
            const CZelboString stagedPath = joinDevicePath(path, name->text());
            if (!StagedUploads::instance().isBeingWritten(stagedPath))
                removeItem(stagedPath);
        }
    }
    return entries;
}

namespace {

// Digits become a number; a number too large for 64 bits stays text, as everything else does.
Object* typedValue(std::string_view text) {
    if (const std::optional<int64_t> number = FileInformation::numberIn(text))
        return new CInt64(*number);
    return new CAutoString(CZelboString::fromUtf8(text));
}

/** Paths as the library takes them: UTF-8 texts, and pointers to them. */
struct Utf8Paths {
    explicit Utf8Paths(const std::vector<CZelboString>& paths) {
        texts.reserve(paths.size());
        for (const CZelboString& path : paths)
            texts.push_back(path.toUtf8());
        pointers.reserve(texts.size());
        for (const std::string& text : texts)
            pointers.push_back(text.c_str());
    }

    std::vector<std::string> texts;
    std::vector<const char*> pointers;
};

/** The pairs of info as typed values, plus "path". */
Owned<NSDictionary> dictionaryOf(AFCDictionaryRef info, const CZelboString& path) {
    Owned<NSDictionary> values(new NSDictionary(true));
    for (;;) {
        char* key = nullptr;
        char* value = nullptr;
        if (MobileDevice::AFCKeyValueRead(info, &key, &value) != 0 || key == nullptr ||
            value == nullptr) {
            break;
        }
        values->setObjectForKey(CZelboString::fromUtf8(key), typedValue(value));
    }
    values->setObjectForKey(u"path", new CAutoString(path));
    return values;
}

FileInformation informationOf(AFCDictionaryRef info) {
    FileInformation read;
    char* key = nullptr;
    char* value = nullptr;
    while (MobileDevice::AFCKeyValueRead(info, &key, &value) == 0 && key != nullptr &&
           value != nullptr) {
        read.take(key, value);
    }
    return read;
}

}  // namespace

bool AFCDirectory::openFileInfo(const CZelboString& path, AFCDictionaryRef* info) {
    return validate(path, u"Input file is nil") &&
           reportResult(MobileDevice::AFCFileInfoOpen(connection_, path.toUtf8().c_str(), info),
                        "AFCFileInfoOpen");
}

void AFCDirectory::closeFileInfo(AFCDictionaryRef info) {
    MobileDevice::AFCKeyValueClose(info);
    setErrorText({});
}

Owned<NSDictionary> AFCDirectory::fileInfo(const CZelboString& path) {
    AFCDictionaryRef info = nullptr;
    if (!openFileInfo(path, &info))
        return nullptr;
    Owned<NSDictionary> values = dictionaryOf(info, path);
    closeFileInfo(info);
    return values;
}

std::optional<FileInformation> AFCDirectory::fileInformation(const CZelboString& path) {
    AFCDictionaryRef info = nullptr;
    if (!openFileInfo(path, &info))
        return std::nullopt;
    FileInformation read = informationOf(info);
    closeFileInfo(info);
    return read;
}

bool AFCDirectory::fileInfoOfEach(
    const std::vector<CZelboString>& paths,
    const std::function<void(size_t, std::optional<FileInformation>)>& found) {
    if (connection_ == nullptr) {
        setErrorText(u"Connection is not open");
        return false;
    }
    const Utf8Paths asked(paths);
    struct Receiver {
        size_t count;
        const std::function<void(size_t, std::optional<FileInformation>)>& found;
    } receiver{paths.size(), found};
    const auto handle = [](void* context, size_t index, int result, AFCDictionaryRef info) {
        const auto& to = *static_cast<Receiver*>(context);
        if (index >= to.count)
            return;
        if (result != 0 || info == nullptr) {
            to.found(index, std::nullopt);
            return;
        }
        to.found(index, informationOf(info));
    };
    return reportResult(MobileDevice::AFCFileInfoStream(connection_, asked.pointers.data(),
                                                        asked.pointers.size(), handle, &receiver),
                        "AFCFileInfoStream");
}

void AFCDirectory::contentsOfEach(const std::vector<CZelboString>& paths,
                                  const std::vector<int64_t>& expectedSizes, int64_t largest,
                                  const std::function<void(size_t, std::string_view)>& arrived) {
    if (connection_ == nullptr || paths.size() != expectedSizes.size() || largest < 0)
        return;
    const Utf8Paths asked(paths);
    std::vector<uint64_t> sizes;
    sizes.reserve(expectedSizes.size());
    for (const int64_t size : expectedSizes)
        sizes.push_back(static_cast<uint64_t>(std::max<int64_t>(size, 0)));
    struct Receiver {
        size_t count;
        const std::function<void(size_t, std::string_view)>& arrived;
    } receiver{paths.size(), arrived};
    const auto handle = [](void* context, size_t index, int result, const void* bytes,
                           uint64_t length) {
        const auto& to = *static_cast<Receiver*>(context);
        if (result == 0 && index < to.count && (bytes != nullptr || length == 0))
            to.arrived(index, std::string_view(static_cast<const char*>(bytes), length));
    };
    MobileDevice::AFCFileContentsStream(connection_, asked.pointers.data(), sizes.data(),
                                        sizes.size(), static_cast<uint64_t>(largest), handle,
                                        &receiver);
}

void AFCDirectory::partsOfEach(
    const std::vector<CZelboString>& paths, const std::vector<uint64_t>& offsets,
    const std::vector<uint64_t>& lengths,
    const std::function<void(size_t, uint64_t, std::string_view)>& arrived) {
    if (connection_ == nullptr || paths.size() != offsets.size() ||
        paths.size() != lengths.size())
        return;
    const Utf8Paths asked(paths);
    struct Receiver {
        size_t count;
        const std::function<void(size_t, uint64_t, std::string_view)>& arrived;
    } receiver{paths.size(), arrived};
    const auto handle = [](void* context, size_t index, int result, uint64_t size,
                           const void* bytes, uint64_t length) {
        const auto& to = *static_cast<Receiver*>(context);
        if (result == 0 && index < to.count && (bytes != nullptr || length == 0))
            to.arrived(index, size, std::string_view(static_cast<const char*>(bytes), length));
    };
    MobileDevice::AFCFilePartStream(connection_, asked.pointers.data(), offsets.data(),
                                    lengths.data(), asked.pointers.size(), handle, &receiver);
}

int64_t AFCDirectory::deviceModificationTime(const CZelboString& path) {
    const Owned<NSDictionary> info = fileInfo(path);
    const Object* value = info ? info->objectForKey(u"st_mtime") : nullptr;
    if (value == nullptr || value->typeCode() != ZelboLib::kTypeInt64)
        return 0;
    return static_cast<const ZelboLib::CInt64&>(*value).value();
}

bool AFCDirectory::pathExists(const CZelboString& path) {
    if (!validate(path, u"Input path is nil"))
        return false;
    AFCDictionaryRef info = nullptr;
    if (MobileDevice::AFCFileInfoOpen(connection_, path.toUtf8().c_str(), &info) != 0) {
        return false;
    }
    MobileDevice::AFCKeyValueClose(info);
    setErrorText({});
    return true;
}

bool AFCDirectory::createDirectory(const CZelboString& path) {
    if (!validate(path, u"Input path is nil"))
        return false;
    return reportResult(MobileDevice::AFCDirectoryCreate(connection_, path.toUtf8().c_str()),
                        "AFCDirectoryCreate");
}

bool AFCDirectory::removeItem(const CZelboString& path) {
    if (!validate(path, u"Input path is nil"))
        return false;
    return reportResult(MobileDevice::AFCRemovePath(connection_, path.toUtf8().c_str()),
                        "AFCRemovePath");
}

bool AFCDirectory::renameItem(const CZelboString& fromPath, const CZelboString& toPath) {
    if (toPath.isEmpty()) {
        setErrorText(u"Input path is nil");
        return false;
    }
    if (!validate(fromPath, u"Input path is nil"))
        return false;
    return reportResult(MobileDevice::AFCRenamePath(connection_, fromPath.toUtf8().c_str(),
                                                    toPath.toUtf8().c_str()),
                        "AFCRenamePath");
}

bool AFCDirectory::setModificationTime(const CZelboString& path, int64_t nanoseconds) {
    if (!validate(path, u"Input path is nil") || nanoseconds < 0)
        return false;
    return reportResult(MobileDevice::AFCSetFileTime(connection_, path.toUtf8().c_str(),
                                                     static_cast<uint64_t>(nanoseconds)),
                        "AFCSetFileTime");
}
