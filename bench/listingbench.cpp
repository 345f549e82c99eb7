// Lists a folder of many entries through the device tree and sorts it by size, as the file list
// does: the time, and the MobileDevice calls it took per entry, counted by a resolver that wraps
// the simulator library. A local readdir, lstat and sort of the same folder is the yardstick.

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

#include "device/mobiledevicelibrary.h"
#include "fstree/devicefilesystemnode.h"
#include "fstree/folderlisting.h"
#include "fstree/listcolumns.h"
#include "support/simulateddevice.h"

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

}  // namespace

int main(int argc, char** argv) {
    int count = 20000;
    if (argc == 3 && std::string(argv[1]) == "--entries") {
        count = std::max(1, std::atoi(argv[2]));
    } else if (argc != 1) {
        std::fprintf(stderr, "usage: %s [--entries 20000]\n", argv[0]);
        return 2;
    }
    SimulatedDevice phone;
    phone.waitUntilReady();
    makeEntries(phone.media() / "Big", count);
    const auto deviceNode = ZelboLib::DeviceFileSystemNode::create(
        std::shared_ptr<AMDevice>(&phone.device(), [](AMDevice*) {}));
    const auto folder = deviceNode->nodeForPath(u"/Media/Big");

    size_t listed = 0;
    const auto listAndSort = [&] {
        // Fresh nodes every time: they keep their listing and file information.
        folder->clearChildren();
        FolderListing listing;
        listing.showFolder(folder);
        listing.headerClicked(static_cast<int>(ListColumn::Size));
        listed = listing.entries().size();
    };
    const double ours = secondsOf(listAndSort);
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
    std::printf("MobileDevice calls: %ld, %.2f per entry\n", total,
                static_cast<double>(total) / static_cast<double>(listed));
    for (const auto& [name, calls] : counter.calls()) {
        std::printf("  %-22s %8ld  %.2f per entry\n", name.c_str(), calls,
                    static_cast<double>(calls) / static_cast<double>(listed));
    }
    return 0;
}
