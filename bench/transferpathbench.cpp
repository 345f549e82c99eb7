// Copies through the window path of a transfer (a batch on the queue, the worker thread, the run
// observer with its coalesced updates, a shown progress window, a history record per file on
// SQLite) against the core-only copy of the same data (the folder walks with an observer that
// does nothing) in the same run: one large file and many small files in nested folders, device
// to computer and computer to device. Prints both times, the window path's time over the core's,
// the processor time its user-interface thread spent, and how many progress-window updates and
// repaints it made. With --pieces it also times the window path without the history, without a
// shown window and without either, and the walk that sums the sizes before a copy.

#include <time.h>
#include <unistd.h>

#include <QApplication>
#include <QEvent>
#include <QEventLoop>
#include <QMetaObject>
#include <QObject>
#include <QString>
#include <QWidget>
#include <algorithm>
#include <array>
#include <atomic>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <string>
#include <vector>

#include "app/qtextconversion.h"
#include "app/transferrun.h"
#include "benchsupport.h"
#include "fstree/devicefilesystemnode.h"
#include "fstree/filesystemnode.h"
#include "support/simulateddevice.h"
#include "support/temporaryfolder.h"
#include "transfer/devicefolderdownload.h"
#include "transfer/localfolderupload.h"
#include "transfer/transferhistorystore.h"
#include "transfer/transferjob.h"
#include "transfer/transferobserver.h"
#include "transfer/transferqueue.h"
#include "transfer/transferrecord.h"
#include "transfer/transfersize.h"
#include "transfer/transferworker.h"
#include "transfer/ui/cprogresswindow.h"

namespace fs = std::filesystem;
using namespace benchsupport;
using ZelboLib::FileSystemNode;

namespace {

struct Options : benchsupport::CopySizes {
    // Also times parts of the window path on their own.
    bool pieces = false;
};

/** What the window path leaves behind besides its copies. */
struct WindowCounts {
    /** Passes that brought the progress window up to date (each sets its file percent once). */
    long updates = 0;
    /** Repaint passes of the progress window (the update requests it handled). */
    long repaints = 0;
    /** Processor time of the user-interface thread while it waited for the worker. */
    double guiSeconds = 0;
    long records = 0;
    int failed = 0;
};

/**
 * Watches every event of the application for those of one run: the queued calls the run posts to
 * itself (an update, or the end of a batch or of the worker), the ticks of its one-second timer
 * (a member, so it lies within the run object), and the repaint requests of its window.
 */
class RunEventCounter : public QObject {
public:
    explicit RunEventCounter(const TransferRun& run) : run_(run) { qApp->installEventFilter(this); }
    ~RunEventCounter() override { qApp->removeEventFilter(this); }
    RunEventCounter(const RunEventCounter&) = delete;
    RunEventCounter& operator=(const RunEventCounter&) = delete;

    void watchWindow(const QWidget* window) {
        window_ = window;
        queuedCalls = 0;
        ticks = 0;
        repaints = 0;
    }

    long queuedCalls = 0;
    long ticks = 0;
    long repaints = 0;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (event->type() == QEvent::MetaCall && watched == &run_)
            ++queuedCalls;
        else if (event->type() == QEvent::Timer && isWithinRun(watched))
            ++ticks;
        else if (event->type() == QEvent::UpdateRequest && watched == window_)
            ++repaints;
        return false;
    }

private:
    bool isWithinRun(const QObject* object) const {
        const auto address = reinterpret_cast<uintptr_t>(object);
        const auto start = reinterpret_cast<uintptr_t>(&run_);
        return address > start && address < start + sizeof(TransferRun);
    }

    const TransferRun& run_;
    const QWidget* window_ = nullptr;
};

/** Processor time of the calling thread. */
double threadSeconds() {
    timespec now{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
    return static_cast<double>(now.tv_sec) + static_cast<double>(now.tv_nsec) * 1e-9;
}

/** The parts of the window path a run takes; all but the first only with --pieces. */
enum class WindowParts { All, NoHistory, NoWindow, NoHistoryNoWindow };

bool writesHistory(WindowParts parts) {
    return parts == WindowParts::All || parts == WindowParts::NoWindow;
}

bool showsWindow(WindowParts parts) {
    return parts == WindowParts::All || parts == WindowParts::NoHistory;
}

/** The pieces FileCommands holds for its transfers, driven the way it drives them. */
class WindowPath {
public:
    explicit WindowPath(const fs::path& historyFile)
        : history_(CZelboString::fromUtf8(historyFile.string())),
          counter_(run_),
          worker_(queue_, &history_, run_),
          workerWithoutHistory_(queue_, nullptr, run_) {
        QObject::connect(&run_, &TransferRun::workerEnded, [this] { ++workerEnds_; });
        QObject::connect(&run_, &TransferRun::folderChanged, [this] { ++folderChanges_; });
        // As the program's commands do: each record brings a fill of the newest history window,
        // one per burst, queued to this thread; no such window is open here.
        history_.setRecordAddedListener([this](const TransferRecord&) {
            recordsAdded_.fetch_add(1);
            if (!fillPending_.exchange(true)) {
                QMetaObject::invokeMethod(
                    &historyWindows_, [this] { fillPending_.store(false); }, Qt::QueuedConnection);
            }
        });
        // Opened now, so that no run pays for creating the file.
        history_.records();
    }
    ~WindowPath() { history_.setRecordAddedListener({}); }
    WindowPath(const WindowPath&) = delete;
    WindowPath& operator=(const WindowPath&) = delete;

    /** Copies the batch and waits in an event loop until the worker has ended. */
    WindowCounts run(TransferBatch batch, const QString& destination, WindowParts parts) {
        const long recordsBefore = recordsAdded_.load();
        TransferWorker& worker = writesHistory(parts) ? worker_ : workerWithoutHistory_;
        run_.reset(destination, batch.targetFolder == nullptr);
        queue_.enqueue(std::move(batch));
        CProgressWindow progress(nullptr, CProgressWindow::Mode::Transfer,
                                 QStringLiteral("Copy to Folder"));
        QEventLoop loop;
        QObject::connect(&run_, &TransferRun::workerEnded, &loop, [&] {
            if (!worker.isRunning())
                loop.quit();
        });
        counter_.watchWindow(&progress);
        workerEnds_ = 0;
        folderChanges_ = 0;
        const bool shown = showsWindow(parts);
        if (shown) {
            run_.setProgressWindow(&progress);
            progress.show();
        }
        worker.start();
        const double guiBefore = threadSeconds();
        loop.exec();
        const double guiSeconds = threadSeconds() - guiBefore;
        run_.setProgressWindow(nullptr);
        worker.join();

        WindowCounts counts;
        // Every queued call of the run but the ends it reports is an update; so is every tick,
        // and the one that showing the window makes.
        counts.updates =
            shown ? counter_.queuedCalls - workerEnds_ - folderChanges_ + counter_.ticks + 1 : 0;
        counts.repaints = counter_.repaints;
        counts.guiSeconds = guiSeconds;
        counts.records = recordsAdded_.load() - recordsBefore;
        counts.failed = run_.filesFailed();
        return counts;
    }

private:
    TransferQueue queue_;
    TransferHistoryStore history_;
    TransferRun run_{nullptr};
    RunEventCounter counter_;
    TransferWorker worker_;
    TransferWorker workerWithoutHistory_;
    QObject historyWindows_;
    std::atomic<long> recordsAdded_{0};
    std::atomic<bool> fillPending_{false};
    long workerEnds_ = 0;
    long folderChanges_ = 0;
};

/**
 * A new, empty target folder on either side for every copy. Nothing is deleted while copies are
 * timed: ext4 without a journal passes over the inodes freed in the last half minute when it
 * allocates one, so a copy made just after deleting thousands of files would pay for each.
 */
class FreshTargets {
public:
    FreshTargets(fs::path localParent, fs::path deviceMedia)
        : localParent_(std::move(localParent)), deviceMedia_(std::move(deviceMedia)) {}

    void next() {
        ++number_;
        fs::create_directories(local());
        fs::create_directories(deviceMedia_ / deviceName());
    }
    fs::path local() const { return localParent_ / std::to_string(number_); }
    CZelboString devicePath() const { return CZelboString::fromUtf8("/Media/" + deviceName()); }

private:
    std::string deviceName() const { return "Pushed-" + std::to_string(number_); }

    const fs::path localParent_;
    const fs::path deviceMedia_;
    int number_ = 0;
};

/** How one case is copied each way, and the walk that sums its sizes first on the window path. */
struct Case {
    const char* name;
    std::function<void()> core;
    std::function<WindowCounts(WindowParts)> window;
    std::function<void()> sizeWalk;
};

struct Measurement {
    double core = 1e300;
    double window = 1e300;
    // The pieces, in WindowParts order from NoHistory, then the size walk alone.
    std::array<double, 4> pieces{1e300, 1e300, 1e300, 1e300};
    WindowCounts counts;
};

/**
 * Each side repeat times, each into fresh targets, the one that goes first taking turns; the best
 * time of each, the counts of the last full window path.
 */
Measurement measure(const Options& options, FreshTargets& targets, const Case& copies) {
    Measurement best;
    const auto timeCore = [&] {
        targets.next();
        best.core = std::min(best.core, secondsOf(copies.core));
    };
    const auto timeWindow = [&](WindowParts parts, double& bestTime) {
        targets.next();
        WindowCounts counts;
        bestTime = std::min(bestTime, secondsOf([&] { counts = copies.window(parts); }));
        return counts;
    };
    for (int run = 0; run < options.repeat; ++run) {
        if (run % 2 == 0)
            timeCore();
        best.counts = timeWindow(WindowParts::All, best.window);
        if (run % 2 == 1)
            timeCore();
        if (!options.pieces)
            continue;
        timeWindow(WindowParts::NoHistory, best.pieces[0]);
        timeWindow(WindowParts::NoWindow, best.pieces[1]);
        timeWindow(WindowParts::NoHistoryNoWindow, best.pieces[2]);
        best.pieces[3] = std::min(best.pieces[3], secondsOf(copies.sizeWalk));
    }
    return best;
}

void printHeader(const Options& options) {
    std::printf(
        "seconds, best of %d; ratio = window path / core only; gui-cpu: processor time "
        "of the user-interface thread during the window path; updates and repaints of the "
        "progress window; history records written\n",
        options.repeat);
    std::printf("%-33s %8s %8s %7s %8s %8s %8s %8s", "case", "core", "window", "ratio", "gui-cpu",
                "updates", "repaints", "records");
    if (options.pieces)
        std::printf(" %8s %8s %8s %8s", "no-hist", "no-win", "neither", "sizes");
    std::printf("\n");
}

void report(const Options& options, FreshTargets& targets, const Case& copies) {
    const Measurement measured = measure(options, targets, copies);
    std::printf("%-33s %8.3f %8.3f %7.3f %8.3f %8ld %8ld %8ld", copies.name, measured.core,
                measured.window, measured.window / measured.core, measured.counts.guiSeconds,
                measured.counts.updates, measured.counts.repaints, measured.counts.records);
    if (options.pieces) {
        for (const double seconds : measured.pieces)
            std::printf(" %8.3f", seconds);
    }
    std::printf("\n");
    std::fflush(stdout);
}

bool parseOptions(int argc, char** argv, Options& options) {
    return benchsupport::parseCopyFlags(argc, argv, options,
                                        [&](const std::string& flag, long long value) {
                                            if (flag != "--pieces")
                                                return false;
                                            options.pieces = value != 0;
                                            return true;
                                        });
}

}  // namespace

int main(int argc, char** argv) {
    Options options;
    if (!parseOptions(argc, argv, options)) {
        std::fprintf(stderr,
                     "usage: %s [--large-mib 1024] [--small-files 5000] [--small-kib 8] "
                     "[--repeat 1] [--pieces 0|1]\n"
                     "--pieces 1 also times the window path without the history, without a "
                     "shown window, without either, and the walk that sums the sizes alone\n"
                     "Every copy stays on disk until the program ends.\n",
                     argv[0]);
        return 2;
    }
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);

    SimulatedDevice phone;
    phone.waitUntilReady();
    const auto device = std::shared_ptr<AMDevice>(&phone.device(), [](AMDevice*) {});
    // Each copy starts from a tree never listed, as a first copy after browsing to it does.
    const auto freshNode = [&](const CZelboString& path) {
        return ZelboLib::DeviceFileSystemNode::create(device)->nodeForPath(path);
    };
    TemporaryFolder local;
    const fs::path source = local / "source";
    FreshTargets targets(local / "out", phone.media());

    const int64_t largeBytes = options.largeMiB * 1024 * 1024;
    writeRandomFile(phone.media() / "Large/large.bin", largeBytes);
    writeRandomFile(source / "Large/large.bin", largeBytes);
    writeSmallFiles(phone.media() / "Small", options.smallFiles, options.smallKiB);
    writeSmallFiles(source / "Small", options.smallFiles, options.smallKiB);

    FailureCounter failures;
    int windowFailures = 0;
    WindowPath windowPath(local / "history/transfers.sqlite");
    const auto pull = [&](const char16_t* path) {
        DeviceFolderDownload(failures).run(freshNode(path),
                                           CZelboString::fromUtf8(targets.local().string()));
    };
    const auto pullThroughWindow = [&](const char16_t* path, WindowParts parts) {
        const std::shared_ptr<FileSystemNode> item = freshNode(path);
        TransferBatch batch;
        batch.device = device;
        batch.jobs.push_back(
            {true, item->fullPath(), CZelboString::fromUtf8(targets.local().string()), item});
        const WindowCounts counts = windowPath.run(
            std::move(batch), QString::fromStdString(targets.local().string()), parts);
        windowFailures += counts.failed;
        return counts;
    };
    const auto push = [&](const char* name) {
        LocalFolderUpload(failures).run(CZelboString::fromUtf8((source / name).string()),
                                        freshNode(targets.devicePath()));
    };
    const auto pushThroughWindow = [&](const char* name, WindowParts parts) {
        const std::shared_ptr<FileSystemNode> target = freshNode(targets.devicePath());
        TransferBatch batch;
        batch.device = device;
        batch.targetFolder = target;
        batch.jobs.push_back(
            {false, CZelboString::fromUtf8((source / name).string()), target->fullPath(), target});
        const WindowCounts counts =
            windowPath.run(std::move(batch), toQString(targets.devicePath()), parts);
        windowFailures += counts.failed;
        return counts;
    };
    const auto walkSizes = [&](bool fromDevice, const CZelboString& itemPath) {
        // An upload's walk reads the local item only.
        const TransferJob job{fromDevice, itemPath, {}, fromDevice ? freshNode(itemPath) : nullptr};
        transferSize(job, [] { return false; });
    };
    const CZelboString largeSource = CZelboString::fromUtf8((source / "Large").string());
    const CZelboString smallSource = CZelboString::fromUtf8((source / "Small").string());

    printHeader(options);
    report(options, targets,
           {"device -> computer, 1 large file", [&] { pull(u"/Media/Large"); },
            [&](WindowParts parts) { return pullThroughWindow(u"/Media/Large", parts); },
            [&] { walkSizes(true, u"/Media/Large"); }});
    report(options, targets,
           {"computer -> device, 1 large file", [&] { push("Large"); },
            [&](WindowParts parts) { return pushThroughWindow("Large", parts); },
            [&] { walkSizes(false, largeSource); }});
    report(options, targets,
           {"device -> computer, small files", [&] { pull(u"/Media/Small"); },
            [&](WindowParts parts) { return pullThroughWindow(u"/Media/Small", parts); },
            [&] { walkSizes(true, u"/Media/Small"); }});
    report(options, targets,
           {"computer -> device, small files", [&] { push("Small"); },
            [&](WindowParts parts) { return pushThroughWindow("Small", parts); },
            [&] { walkSizes(false, smallSource); }});
    if (failures.failures + windowFailures > 0)
        std::printf("%d copies failed: the times above do not count\n",
                    failures.failures + windowFailures);
    return 0;
}
