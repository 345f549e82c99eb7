// Lists a folder of many entries through the device tree and sorts it by size, as the file list
// does: the time to its names (the rows shown) and to every entry's information, the time of a
// sort alone by each column, and the MobileDevice calls it took per entry, counted by a resolver
// that wraps the simulator library. A local readdir, lstat and sort of the same folder is the
// yardstick. Then the real main window, offscreen, shows the folder in Extra Large Icons: the
// time to its first rows and to its whole information, and the resident memory once it was
// scrolled through, against a goal of 200 MB. With --link, only the window's times, over
// plovik-devemu's emulated link through the real-device library.

#include <dirent.h>
#include <sys/stat.h>
#include <unistd.h>

#include <fcntl.h>
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <map>
#include <mutex>
#include <string>
#include <vector>

#include <QAbstractItemView>
#include <QApplication>
#include <QScrollBar>
#include <functional>
#include <thread>

#include "app/clistviewcontrol.h"
#include "app/cmainwindow.h"
#include "app/listinginfofiller.h"
#include "app/platformfiletypes.h"
#include "app/viewstyle.h"
#include "device/mobiledevicelibrary.h"
#include "emulatorprocess.h"
#include "fstree/devicefilesystemnode.h"
#include "fstree/entryfacts.h"
#include "fstree/folderlisting.h"
#include "fstree/listcolumns.h"
#include "support/simulateddevice.h"
#include "support/temporaryfolder.h"
#include "ui/layoutloader.h"

namespace fs = std::filesystem;

namespace {

/** Every entry point lookup is one call: the library looks entry points up at every call. */
class CallCounter {
public:
    void* resolve(const char* name) {
        {
            const std::lock_guard lock(mutex_);
            ++calls_[name];
        }
        return SimulatedDevice::simulatorEntry(name);
    }
    void reset() {
        const std::lock_guard lock(mutex_);
        calls_.clear();
    }
    std::map<std::string, long> calls() const {
        const std::lock_guard lock(mutex_);
        return calls_;
    }

private:
    mutable std::mutex mutex_;
    std::map<std::string, long> calls_;
};

void makeEntries(const fs::path& folder, int count) {
    fs::create_directories(folder);
    for (int index = 0; index < count; ++index) {
        char name[32];
        std::snprintf(name, sizeof name, "IMG_%05d.JPG", index);
        const int file = open((folder / name).c_str(), O_CREAT | O_WRONLY | O_TRUNC, 0644);
        // Sizes scattered, so the sort has work to do; sparse, so making them is quick.
        if (file < 0 || ftruncate(file, (index * 7919L) % 5'000'000) != 0)
            std::fprintf(stderr, "cannot make %s\n", name);
        close(file);
    }
}

/** readdir, lstat of every entry, sort by size: what a local file manager does. */
size_t listLocally(const fs::path& folder) {
    std::vector<std::pair<off_t, std::string>> entries;
    DIR* directory = opendir(folder.c_str());
    while (const dirent* entry = readdir(directory)) {
        struct stat status {};
        if (fstatat(dirfd(directory), entry->d_name, &status, AT_SYMLINK_NOFOLLOW) == 0)
            entries.emplace_back(status.st_size, entry->d_name);
    }
    closedir(directory);
    std::stable_sort(entries.begin(), entries.end(),
                     [](const auto& a, const auto& b) { return a.first < b.first; });
    return entries.size();
}

double secondsOf(const auto& work) {
    const auto start = std::chrono::steady_clock::now();
    work();
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

/** The process's resident memory in MB: now (VmRSS) or at its peak (VmHWM). */
double residentMegabytes(const char* field = "VmRSS") {
    std::FILE* status = std::fopen("/proc/self/status", "r");
    if (status == nullptr)
        return 0;
    char line[256];
    long kibibytes = 0;
    const std::string prefix = std::string(field) + ": %ld kB";
    while (std::fgets(line, sizeof line, status) != nullptr) {
        if (std::sscanf(line, prefix.c_str(), &kibibytes) == 1)
            break;
    }
    std::fclose(status);
    return static_cast<double>(kibibytes) / 1024.0;
}

/** The window's figures for the folder. */
struct WindowFigures {
    int rows = 0;
    double firstRows = 0;
    double allInformation = 0;
    double residentBefore = 0;
    double residentFilled = 0;
    double residentScrolled = 0;
    double residentPeak = 0;
};

/**
 * The main window, given its device by attach, shows /Media/Big in Extra Large Icons: rows, then
 * the information filling in; then, with scrollThrough, every row is scrolled into view and
 * painted.
 */
WindowFigures browseInExtraLargeIcons(const std::function<void(CMainWindow&)>& attach,
                                      bool scrollThrough) {
    WindowFigures figures;
    figures.residentBefore = residentMegabytes();
    LayoutLoader loader;
    CMainWindow window(loader);
    window.resize(1000, 700);
    window.show();
    attach(window);
    window.showViewStyle(ViewStyle::ExtraLargeIcons);
    QCoreApplication::processEvents();
    const auto start = std::chrono::steady_clock::now();
    const auto since = [&start] {
        return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    };
    if (!window.openDevicePath(QStringLiteral("/Media/Big")))
        std::fprintf(stderr, "the window did not show /Media/Big\n");
    figures.firstRows = since();
    while (window.isFillingListing()) {
        QCoreApplication::processEvents();
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    figures.allInformation = since();
    figures.residentFilled = residentMegabytes();
    auto* list = window.findChild<CListviewControl*>(QStringLiteral("fileListview"));
    figures.rows = list->itemCount();
    QAbstractItemView* view = list->currentView();
    QScrollBar* bar = view->verticalScrollBar();
    for (int value = 0; scrollThrough && value <= bar->maximum();
         value += std::max(1, bar->pageStep())) {
        bar->setValue(value);
        view->viewport()->repaint();
        QCoreApplication::processEvents();
    }
    figures.residentScrolled = residentMegabytes();
    figures.residentPeak = residentMegabytes("VmHWM");
    return figures;
}

/**
 * The window's first rows and whole information over plovik-devemu's emulated link, through the
 * real-device library, with the AFC requests and round trips the emulator counted.
 */
int browseOverLink(const std::string& link, int count) {
    const TemporaryFolder work;
    const fs::path device = work / "device";
    fs::create_directories(device / "Apps");
    fs::copy_file(fs::path(PLOVIK_DEMO_DEVICE_DIR) / "device.plist", device / "device.plist");
    makeEntries(device / "Media/Big", count);
    EmulatorProcess emulator(PLOVIK_DEVEMU, work.path(), device, link);
    setenv("USBMUXD_SOCKET_ADDRESS", emulator.socketAddress().c_str(), 1);
    MobileDeviceLibrary::instance().setLibraryFile(PLOVIK_USBMUX_LIBRARY);
    const auto waitForDevice = [](CMainWindow& window) {
        window.startDeviceListening();
        const auto until = std::chrono::steady_clock::now() + std::chrono::seconds(30);
        while (std::chrono::steady_clock::now() < until &&
               (window.devices().empty() ||
                window.devices().front()->device()->accessState() != kAMDeviceAccessReady)) {
            QCoreApplication::processEvents();
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
        }
    };
    const WindowFigures figures = browseInExtraLargeIcons(waitForDevice, false);
    const EmulatorStats stats = emulator.stop();
    std::printf(
        "window over plovik-devemu --link %s, Extra Large Icons, %d rows: first rows %.3f s, "
        "all information %.3f s (%.2f)\n",
        link.c_str(), figures.rows, figures.firstRows, figures.allInformation,
        figures.firstRows / std::max(figures.allInformation, 1e-9));
    std::printf("  AFC requests %llu, round trips %llu (%.3f per entry): %s\n",
                static_cast<unsigned long long>(stats.afcRequests),
                static_cast<unsigned long long>(stats.afcRoundTrips),
                static_cast<double>(stats.afcRoundTrips) / std::max(figures.rows, 1),
                stats.operationSummary().c_str());
    return figures.rows == count ? 0 : 1;
}

}  // namespace

int main(int argc, char** argv) {
    int count = 20000;
    std::string link;
    bool understood = argc % 2 == 1;
    for (int index = 1; understood && index + 1 < argc; index += 2) {
        const std::string flag = argv[index];
        if (flag == "--entries")
            count = std::max(1, std::atoi(argv[index + 1]));
        else if (flag == "--link")
            link = argv[index + 1];
        else
            understood = false;
    }
    if (!understood) {
        std::fprintf(stderr, "usage: %s [--entries 20000] [--link usb2|usb3]\n", argv[0]);
        return 2;
    }
    // Offscreen, with settings and caches of its own.
    const TemporaryFolder home;
    setenv("QT_QPA_PLATFORM", "offscreen", 0);
    for (const char* variable : {"XDG_CONFIG_HOME", "XDG_CACHE_HOME", "XDG_DATA_HOME"})
        setenv(variable, (home / variable).c_str(), 1);
    QApplication application(argc, argv);
    if (!link.empty())
        return browseOverLink(link, count);
    SimulatedDevice phone;
    phone.waitUntilReady();
    makeEntries(phone.media() / "Big", count);
    // First: memory the core's run would leave behind must not count for the window.
    const WindowFigures window = browseInExtraLargeIcons(
        [&phone](CMainWindow& shown) {
            shown.onDeviceConnected(std::shared_ptr<AMDevice>(&phone.device(), [](AMDevice*) {}));
        },
        true);
    const auto deviceNode = ZelboLib::DeviceFileSystemNode::create(
        std::shared_ptr<AMDevice>(&phone.device(), [](AMDevice*) {}));
    const auto folder = deviceNode->nodeForPath(u"/Media/Big");

    size_t listed = 0;
    double toNames = 0;
    // Type names as the window looks them up.
    FolderListing listing(&PlatformFileTypes::typeName);
    const auto listAndSort = [&] {
        const auto start = std::chrono::steady_clock::now();
        // Fresh nodes every time: they keep their listing and file information.
        folder->clearChildren();
        listing.setSortOrder(static_cast<int>(ListColumn::Size), true);
        listing.showFolder(folder);
        listed = listing.entries().size();
        toNames = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
        // The rest of the information as the window's filler fetches it, a chunk at a time.
        const std::vector<FolderListing::NodePointer> wanting = listing.entriesWantingFacts();
        const std::shared_ptr<AFCDirectory> connection = folder->directory();
        constexpr size_t kChunk = ListingInfoFiller::kEntriesPerChunk;
        for (size_t first = 0; first < wanting.size(); first += kChunk) {
            const std::vector<FolderListing::NodePointer> chunk(
                wanting.begin() + static_cast<std::ptrdiff_t>(first),
                wanting.begin() +
                    static_cast<std::ptrdiff_t>(std::min(wanting.size(), first + kChunk)));
            listing.learnFacts(
                ZelboLib::fetchEntryFacts(chunk, connection.get(), [] { return true; }));
        }
        listing.settleOrder();
    };
    const double ours = secondsOf(listAndSort);
    const double namesOnly = toNames;
    // Each column twice (both directions), its keys made by the first sort of it.
    double slowestSort = 0;
    double firstTypeSort = 0;
    for (int column = 0; column < kListColumnCount; ++column) {
        const double first = secondsOf([&] { listing.headerClicked(column); });
        const double second = secondsOf([&] { listing.headerClicked(column); });
        if (column == static_cast<int>(ListColumn::Type))
            firstTypeSort = first;
        else
            slowestSort = std::max(slowestSort, first);
        slowestSort = std::max(slowestSort, second);
    }
    // Counted in a second run: the counting resolver has costs of its own.
    CallCounter counter;
    MobileDeviceLibrary::instance().setResolver(
        [&counter](const char* name) { return counter.resolve(name); });
    listAndSort();
    MobileDeviceLibrary::instance().setResolver({});
    const double local = secondsOf([&] { listLocally(phone.media() / "Big"); });

    long total = 0;
    for (const auto& [name, calls] : counter.calls())
        total += calls;
    std::printf(
        "listing %zu entries sorted by size: plovik %.3f s, local readdir+lstat+sort "
        "%.3f s, ratio %.1f\n",
        listed, ours, local, ours / local);
    std::printf("  names (rows shown): %.3f s, %.2f of the whole listing\n", namesOnly,
                namesOnly / ours);
    std::printf(
        "sorting %zu rows alone: slowest %.1f ms (goal 50 ms, ratio %.2f); the first by type, "
        "which makes the type names not made yet, %.1f ms\n",
        listed, slowestSort * 1e3, slowestSort / 0.050, firstTypeSort * 1e3);
    std::printf("window, Extra Large Icons, %d rows: first rows %.3f s, all information %.3f s\n",
                window.rows, window.firstRows, window.allInformation);
    std::printf(
        "  resident once scrolled through: %.1f MB, at its peak %.1f MB (%.1f MB before the "
        "window, %.1f MB once its information was in), goal 200 MB, ratio %.2f\n",
        window.residentScrolled, window.residentPeak, window.residentBefore, window.residentFilled,
        window.residentPeak / 200.0);
    std::printf("MobileDevice calls: %ld, %.2f per entry\n", total,
                static_cast<double>(total) / static_cast<double>(listed));
    for (const auto& [name, calls] : counter.calls()) {
        std::printf("  %-22s %8ld  %.2f per entry\n", name.c_str(), calls,
                    static_cast<double>(calls) / static_cast<double>(listed));
    }
    return 0;
}
