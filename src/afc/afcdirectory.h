#pragma once

#include <functional>
#include <map>
#include <mutex>
#include <optional>
#include <string_view>
#include <thread>
#include <utility>
#include <vector>

#include "afc/afcdirectorydelegate.h"
#include "afc/afcfilereference.h"
#include "afc/fileinformation.h"
#include "device/amservice.h"
#include "values/nsarray.h"
#include "values/nsdictionary.h"

class AMDevice;

/**
 * One open AFC connection to an area of a device: the media area, the whole file system, or an
 * app's container. Every device-side file operation is a method of this class; the text of the
 * last one that failed on the calling thread is errorText(). Releasing the object closes the
 * connection.
 */
class AFCDirectory : public AMService {
public:
    ~AFCDirectory() override;

    /** Starts the area's service on the device and opens AFC over it. */
    virtual bool open(AMDevice& device);

    /** 0 empties errorText() and gives true; any other code leaves "<entryPoint> failed: <hex>". */
    bool reportResult(int code, const char* entryPoint);

    /** How an opened file starts: with its bytes, or empty. Both create a missing file. */
    enum class WriteMode { KeepContents, Truncate };

    ZelboLib::Owned<AFCFileReference> openForReading(const CZelboString& path);
    ZelboLib::Owned<AFCFileReference> openForWriting(const CZelboString& path,
                                                     WriteMode mode = WriteMode::KeepContents);

    /** The entry names of a folder (no "." or ".."), in device order; null on failure. */
    ZelboLib::Owned<ZelboLib::NSArray> listDirectory(const CZelboString& path);
    /**
     * The names listDirectory gives, less the staged files of interrupted uploads, which are
     * removed unless StagedUploads has them being written.
     */
    ZelboLib::Owned<ZelboLib::NSArray> listEntries(const CZelboString& path);
    /**
     * The file information of path: values of decimal digits as CInt64, others as CAutoString,
     * plus "path" holding path as given; null on failure.
     */
    ZelboLib::Owned<ZelboLib::NSDictionary> fileInfo(const CZelboString& path);
    /** The keys of fileInfo that the system reads, as one request; nothing on failure. */
    std::optional<FileInformation> fileInformation(const CZelboString& path);
    /**
     * The read keys of the file information of every path, asked for in one stream of requests
     * in flight: found(index, information) once for each path the device answered, with nothing
     * for one it has nothing at, in any order. False when the stream broke off (or the library
     * has none) before every path was answered; the rest are then to be asked one by one.
     */
    bool fileInfoOfEach(const std::vector<CZelboString>& paths,
                        const std::function<void(size_t, std::optional<FileInformation>)>& found);
    /**
     * The whole contents of small files, read in one stream of requests in flight, each expected
     * to hold its listed size (expectedSizes, same order as paths): arrived(index, contents) for
     * each file read whole, in any order, the contents valid during the call. A file that failed
     * or holds more than largest bytes is not named, nor is any when the stream broke off or the
     * library has none: those are for copyFileFromDevice, which says why.
     */
    void contentsOfEach(const std::vector<CZelboString>& paths,
                        const std::vector<int64_t>& expectedSizes, int64_t largest,
                        const std::function<void(size_t, std::string_view)>& arrived);
    /**
     * Up to lengths[index] bytes from offsets[index] on of each file (same order as paths), read
     * in one stream of requests in flight: arrived(index, size, bytes) for each file read, in
     * any order, with the file's size on the device and its bytes from the offset on (fewer than
     * asked where the file ends first), valid during the call. A file that failed is not named,
     * nor is any when the stream broke off or the library has none.
     */
    void partsOfEach(const std::vector<CZelboString>& paths, const std::vector<uint64_t>& offsets,
                     const std::vector<uint64_t>& lengths,
                     const std::function<void(size_t, uint64_t, std::string_view)>& arrived);
    /**
     * Copies small local files (localPath, deviceItem) to the device in one stream of requests in
     * flight, each as copyFileToDevice would: through a staged file beside its target that takes
     * the local file's time and then the target's name, never replacing what is there.
     * arrived(index) for each file now in place, in any order. A file not named (it failed, its
     * target exists, it holds more than largest bytes or changed while read, or the stream broke
     * off or the library has none) is for copyFileToDevice, which says why.
     */
    void copySmallFilesToDevice(const std::vector<std::pair<CZelboString, CZelboString>>& files,
                                int64_t largest, const std::function<void(size_t)>& arrived);
    /** Whether the device has something at path; every failure counts as no. */
    bool pathExists(const CZelboString& path);

    bool createDirectory(const CZelboString& path);
    /** Removes one file, link or empty folder. */
    bool removeItem(const CZelboString& path);
    bool renameItem(const CZelboString& fromPath, const CZelboString& toPath);
    /** Sets the modification time of path (nanoseconds since 1970 UTC); false when refused. */
    bool setModificationTime(const CZelboString& path, int64_t nanoseconds);

    /**
     * Copies a local file to deviceItem. The data goes to a temporary file beside the target,
     * which replaces the target only when every byte arrived: an interrupted or cancelled upload
     * never leaves a truncated file in place of a good one. An existing target is replaced only
     * when the delegate agrees (always without a delegate). The copy takes the local file's
     * modification time where the device allows it; a refusal does not fail the copy.
     */
    bool copyFileToDevice(const CZelboString& localPath, const CZelboString& deviceItem,
                          AFCDirectoryDelegate* delegate);
    /** copyFileToDevice into deviceFolder under the local file's own name. */
    bool copyToDevice(const CZelboString& localPath, const CZelboString& deviceFolder,
                      AFCDirectoryDelegate* delegate);
    /**
     * Copies a device file to localPath through a temporary file beside it, renamed into place
     * only when the whole file arrived and the copy was not cancelled. The copy keeps the device
     * file's modification time: modificationTime ("st_mtime", nanoseconds since 1970 UTC) where
     * the caller knows it, else it is read from the device.
     */
    bool copyFileFromDevice(const CZelboString& deviceItem, const CZelboString& localPath,
                            AFCDirectoryDelegate* delegate,
                            std::optional<int64_t> modificationTime = std::nullopt);

    /**
     * Whether name is one of the temporary names uploads stage their data under
     * (".plovik-XXXXXXXX.part"): one that an interrupted upload left behind is never shown, and
     * is removed when its folder is listed (StagedUploads keeps those being written).
     */
    static bool isStagedUploadName(std::u16string_view name);
    /**
     * The staged files of failed uploads that this connection could not remove (it broke, or was
     * interrupted), taken from the object. Call while no copy runs on the connection.
     */
    std::vector<CZelboString> takeStagedLeftovers() { return std::exchange(stagedLeftovers_, {}); }

    /**
     * Ends the connection at once, also for a request blocked on another thread, which then
     * fails; every later request fails too. Any thread.
     */
    void interrupt();

    AFCConnectionRef connection() const { return connection_; }
    const char* serviceName() const { return serviceName_; }
    CZelboString errorText() const;

protected:
    explicit AFCDirectory(const char* serviceName) : serviceName_(serviceName) {}

    void setErrorText(CZelboString text);
    /** Opens AFC over the service connection already held; on failure errorText() is
        failureFormat filled with the result. */
    bool openConnection(const char16_t* failureFormat);

private:
    /** The shared checks: a path (unless empty paths are allowed) and an open connection. */
    bool validate(const CZelboString& path, const char16_t* missingText, bool allowEmpty = false);
    /** Opens path's information as fileInfo reports it; false with errorText set on failure. */
    bool openFileInfo(const CZelboString& path, AFCDictionaryRef* info);
    /** Closes what openFileInfo opened; the call succeeded. */
    void closeFileInfo(AFCDictionaryRef info);
    /** result, when given, receives the device's answer (0 on success). */
    ZelboLib::Owned<AFCFileReference> openFile(const CZelboString& path, AFCFileMode mode,
                                               int* result = nullptr);
    enum class MoveOutcome { Moved, TargetKept, OnlyTemporaryLeft };
    /** Replaces deviceItem with the finished temporary file. */
    MoveOutcome moveIntoPlace(const CZelboString& temporary, const CZelboString& deviceItem);
    /** Whether this connection serves the media area, where the camera roll lies. */
    bool isMediaArea() const;
    /** The device's "st_mtime" of path; 0 when it gives none. */
    int64_t deviceModificationTime(const CZelboString& path);

    AFCConnectionRef connection_ = nullptr;
    const char* serviceName_;
    // Several threads use one connection (listing, transfers, thumbnails): each thread's last
    // failure is its own, so that an operation is never reported with another one's reason. A
    // thread's entry goes with its next success.
    mutable std::mutex errorMutex_;
    std::map<std::thread::id, CZelboString> errorTexts_;
    std::vector<CZelboString> stagedLeftovers_;
};
