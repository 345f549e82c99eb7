#include "fstree/entryfacts.h"

#include "fstree/fileinfoprefetch.h"
#include "fstree/filesystemnode.h"

namespace ZelboLib {

EntryFacts factsOf(FileSystemNode& node) {
    EntryFacts facts;
    const std::optional<FileInformation> info = node.ensureFileInfo();
    if (!info)
        return facts;
    // Only a link asks the device again, for its target.
    facts.isFolder = info->type() == FileInformation::Type::Folder ||
                     (info->type() == FileInformation::Type::SymbolicLink && node.isDirectory());
    facts.size = info->size();
    facts.modificationTime = info->modificationTime();
    facts.creationTime = info->creationTime();
    return facts;
}

std::optional<EntryFacts> knownFactsOf(FileSystemNode& node) {
    if (!node.hasFileInfo())
        return std::nullopt;
    return factsOf(node);
}

std::vector<NodeFacts> fetchEntryFacts(const std::vector<std::shared_ptr<FileSystemNode>>& nodes,
                                       AFCDirectory* connection,
                                       const std::function<bool()>& stillWanted) {
    if (connection != nullptr)
        prefetchFileInfo(nodes, *connection);
    std::vector<NodeFacts> fetched;
    fetched.reserve(nodes.size());
    for (const auto& node : nodes) {
        if (!node->hasFileInfo() && !stillWanted())
            break;
        fetched.push_back({node, factsOf(*node)});
    }
    return fetched;
}

}  // namespace ZelboLib
