// The history records a job's walk leaves, against the simulator: both device paths and the local
// one, also for items the walk refused before making their target; the cause of each file not
// copied; the file in progress while it is copied.

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "fstree/devicefilesystemnode.h"
#include "fstree/simulatedtree.h"
#include "support/simulateddevice.h"
#include "support/temporaryfolder.h"
#include "transfer/devicefolderdownload.h"
#include "transfer/localfolderupload.h"
#include "transfer/transferhistorystore.h"
#include "transfer/transferjob.h"
#include "transfer/transferrecorder.h"

namespace fs = std::filesystem;
using Cause = TransferRecord::NotCopiedCause;

namespace {

/** The run's observer: keeps or overwrites existing targets and cancels when told. */
class AnsweringObserver : public TransferObserver {
public:
    void fileStarted(const CZelboString&, const CZelboString&, int64_t) override {}
    void fileProgress(int64_t done, int64_t total) override {
        if (onProgress)
            onProgress(done, total);
    }
    void fileFinished(const CZelboString&, const CZelboString&) override {}
    void itemFailed(const CZelboString&, const CZelboString&) override {}
    void itemSkipped(const CZelboString&, const CZelboString&) override {}
    bool isCancelled() override { return cancelled; }
    CZelboString stopReason() override { return stop; }
    bool shouldOverwrite(const CZelboString&, CopyTarget) override { return false; }

    std::function<void(int64_t, int64_t)> onProgress;
    bool cancelled = false;
    // Set with cancelled when the run stops by itself.
    CZelboString stop;
};

class TransferRecorderTest : public testing::Test {
protected:
    void writeOnDevice(const fs::path& file, const std::string& contents) {
        fs::create_directories(file.parent_path());
        std::ofstream(file, std::ios::binary) << contents;
    }
    void pull(const char16_t* devicePath) {
        const TransferJob job{true, devicePath, text(local.path()),
                              deviceNode->nodeForPath(devicePath)};
        TransferRecorder recorder(run, &history, job);
        DeviceFolderDownload(recorder).run(job.node, job.destinationPath);
    }
    void push(const fs::path& item, const char16_t* deviceFolder) {
        const auto folder = deviceNode->nodeForPath(deviceFolder);
        const TransferJob job{false, text(item), folder->fullPath(), folder};
        TransferRecorder recorder(run, &history, job);
        LocalFolderUpload(recorder).run(job.itemPath, job.node);
    }
    /** The record whose device display path is `display`. */
    TransferRecord recordOf(const char16_t* display) {
        for (const TransferRecord& record : history.records()) {
            if (record.deviceDisplayPath == display)
                return record;
        }
        ADD_FAILURE() << "no record of " << CZelboString(display).toUtf8();
        return {};
    }
    static CZelboString text(const fs::path& path) { return CZelboString::fromUtf8(path.string()); }

    SimulatedDevice phone;
    std::shared_ptr<ZelboLib::DeviceFileSystemNode> deviceNode = deviceNodeOf(phone);
    TemporaryFolder local;
    TemporaryFolder data;
    TransferHistoryStore history{text(data / "history.sqlite")};
    AnsweringObserver run;
};

TEST_F(TransferRecorderTest, DownloadsNameTheAfcAndDisplayPathsAndARefusedFoldersMeantLocalPath) {
    writeOnDevice(phone.media() / "Album/a.jpg", "jpeg");
    writeOnDevice(phone.media() / "Album/sub/b.txt", "bee");
    local.write("Album/sub", "a file in the folder's way");
    pull(u"/Media/Album");

    const TransferRecord copied = recordOf(u"/Media/Album/a.jpg");
    EXPECT_TRUE(copied.fromDevice);
    EXPECT_EQ(copied.status, TransferRecord::kCopied);
    EXPECT_EQ(copied.localFile, text(local / "Album/a.jpg"));
    EXPECT_EQ(copied.deviceFile, u"/Album/a.jpg");
    EXPECT_EQ(copied.deviceName, phone.device().name());
    EXPECT_EQ(copied.size, 4);

    const TransferRecord refused = recordOf(u"/Media/Album/sub");
    EXPECT_EQ(refused.status, TransferRecord::kNotCopied);
    EXPECT_EQ(refused.notCopiedCause, Cause::Failed);
    EXPECT_EQ(refused.localFile, text(local / "Album/sub"));
    EXPECT_EQ(refused.deviceFile, u"/Album/sub");
    EXPECT_EQ(refused.reason.toUtf8(), "Can't create local folder");
    EXPECT_EQ(history.records().size(), 2u);
    // The reason is kept with the row.
    const std::vector<TransferRecord> stored =
        TransferHistoryStore(text(data / "history.sqlite")).records();
    EXPECT_TRUE(std::any_of(stored.begin(), stored.end(), [](const TransferRecord& record) {
        return record.reason.toUtf8() == "Can't create local folder";
    }));
}

TEST_F(TransferRecorderTest,
       AKeptTargetIsSkippedAStoppedCopyCancelledAndTheCopyIsInProgressMeanwhile) {
    constexpr int64_t kSize = 3 << 20;
    writeOnDevice(phone.media() / "note.txt", "new");
    writeOnDevice(phone.media() / "big.mov", std::string(kSize, 'v'));
    local.write("note.txt", "old");
    pull(u"/Media/note.txt");
    const TransferRecord kept = recordOf(u"/Media/note.txt");
    EXPECT_EQ(kept.status, TransferRecord::kNotCopied);
    EXPECT_EQ(kept.notCopiedCause, Cause::Skipped);
    EXPECT_EQ(kept.localFile, text(local / "note.txt"));
    EXPECT_EQ(kept.size, 3);

    std::optional<TransferHistoryStore::FileInProgress> seen;
    run.onProgress = [&](int64_t done, int64_t) {
        if (done > 0 && !run.cancelled) {
            seen = history.fileInProgress();
            run.cancelled = true;
        }
    };
    pull(u"/Media/big.mov");
    ASSERT_TRUE(seen);
    EXPECT_EQ(seen->record.localFile, text(local / "big.mov"));
    EXPECT_EQ(seen->record.deviceDisplayPath, u"/Media/big.mov");
    EXPECT_EQ(seen->record.size, kSize);
    EXPECT_GT(seen->done, 0);
    EXPECT_FALSE(history.fileInProgress());

    const TransferRecord stopped = recordOf(u"/Media/big.mov");
    EXPECT_EQ(stopped.notCopiedCause, Cause::Cancelled);
    EXPECT_EQ(stopped.deviceFile, u"/big.mov");
}

TEST_F(TransferRecorderTest, ACopyStoppedByTheDevicesGoingFailedForThatReasonNotByACancel) {
    writeOnDevice(phone.media() / "big.mov", std::string(3 << 20, 'v'));
    run.onProgress = [&](int64_t done, int64_t) {
        if (done > 0) {
            run.cancelled = true;
            run.stop = u"The device \"Phone\" was disconnected";
        }
    };
    pull(u"/Media/big.mov");
    const TransferRecord stopped = recordOf(u"/Media/big.mov");
    EXPECT_EQ(stopped.status, TransferRecord::kNotCopied);
    EXPECT_EQ(stopped.notCopiedCause, Cause::Failed);
    EXPECT_EQ(stopped.reason.toUtf8(), "The device \"Phone\" was disconnected");
}

TEST_F(TransferRecorderTest, UploadsNameTheDeviceFolderAndTheFilesDisplayPathAlsoForARefusedItem) {
    local.write("Pics/a.jpg", "a");
    ASSERT_EQ(mkfifo((local / "Pics/pipe").c_str(), 0600), 0);
    fs::create_directories(phone.media() / "DCIM");
    // Named as the user gave it: the records carry the plain path all the same.
    push(local / "Pics/", u"/Media/DCIM");

    const TransferRecord copied = recordOf(u"/Media/DCIM/Pics/a.jpg");
    EXPECT_FALSE(copied.fromDevice);
    EXPECT_EQ(copied.status, TransferRecord::kCopied);
    EXPECT_EQ(copied.localFile, text(local / "Pics/a.jpg"));
    EXPECT_EQ(copied.deviceFile, u"/DCIM/Pics/");
    EXPECT_EQ(copied.size, 1);

    const TransferRecord refused = recordOf(u"/Media/DCIM/Pics/pipe");
    EXPECT_EQ(refused.notCopiedCause, Cause::Failed);
    EXPECT_EQ(refused.localFile, text(local / "Pics/pipe"));
    EXPECT_EQ(refused.deviceFile, u"/DCIM/Pics/");
    EXPECT_EQ(refused.size, -1);
}

}  // namespace
