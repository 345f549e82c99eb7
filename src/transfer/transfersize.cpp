#include "transfer/transfersize.h"

#include <algorithm>
#include <filesystem>

#include "fstree/filesystemnode.h"

namespace fs = std::filesystem;
using ZelboLib::FileSystemNode;

namespace {

// picked: the item the user chose, whose link to a folder is copied as the folder.
int64_t deviceSize(FileSystemNode& item, const std::function<bool()>& stop, bool picked = false) {
    if (!item.isDirectory())
        return item.fileSize();
    if ((item.isSymbolicLink() && !picked) || stop())
        return 0;
    // Listed afresh, so that the copy that follows can use this listing.
    item.loadChildren();
    int64_t total = 0;
    for (const auto& child : item.children())
        total += deviceSize(*child, stop);
    return total;
}

int64_t localSize(const fs::path& item, const std::function<bool()>& stop, bool picked = false) {
    std::error_code error;
    const fs::file_status status =
        picked ? fs::status(item, error) : fs::symlink_status(item, error);
    if (fs::is_symlink(status)) {
        const fs::file_status target = fs::status(item, error);
        if (!fs::is_regular_file(target))
            return 0;
    } else if (fs::is_directory(status)) {
        if (stop())
            return 0;
        int64_t total = 0;
        for (fs::directory_iterator entry(item, error), end; !error && entry != end;
             entry.increment(error)) {
            total += localSize(entry->path(), stop);
        }
        return total;
    }
    const auto size = fs::file_size(item, error);
    return error ? 0 : static_cast<int64_t>(size);
}

}  // namespace

int64_t transferSize(const TransferJob& job, const std::function<bool()>& stop) {
    if (!job.importFiles.empty()) {
        int64_t total = 0;
        for (const ImportFile& file : job.importFiles)
            total += std::max<int64_t>(file.node->fileSize(), 0);
        return total;
    }
    if (job.fromDevice)
        return job.node ? deviceSize(*job.node, stop, true) : 0;
    return localSize(fs::path(job.itemPath.toUtf8()), stop, true);
}
