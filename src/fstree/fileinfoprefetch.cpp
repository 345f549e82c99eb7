#include "fstree/fileinfoprefetch.h"

#include <algorithm>

#include "afc/afcdirectory.h"
#include "fstree/filesystemnode.h"

namespace ZelboLib {

namespace {

// Entries per stream: a few milliseconds of a USB 2 link.
constexpr size_t kEntriesPerStream = 1024;

}  // namespace

void prefetchFileInfo(const std::vector<std::shared_ptr<FileSystemNode>>& nodes,
                      AFCDirectory& connection) {
    std::vector<FileSystemNode*> wanting;
    for (const auto& node : nodes) {
        if (!node->hasFileInfo())
            wanting.push_back(node.get());
    }
    for (size_t start = 0; start < wanting.size(); start += kEntriesPerStream) {
        const size_t end = std::min(wanting.size(), start + kEntriesPerStream);
        std::vector<CZelboString> paths;
        paths.reserve(end - start);
        for (size_t index = start; index < end; ++index)
            paths.push_back(wanting[index]->fullPath());
        const auto adopt = [&](size_t index, std::optional<FileInformation> info) {
            if (info)
                wanting[start + index]->adoptFileInfo(std::move(*info));
        };
        if (!connection.fileInfoOfEach(paths, adopt))
            return;
    }
}

}  // namespace ZelboLib
