#include "fstree/entryfacts.h"

#include "fstree/fileinfoprefetch.h"
#include "fstree/filesystemnode.h"

namespace ZelboLib {

EntryFacts factsOf(FileSystemNode& node) {
    EntryFacts facts;
    // One request at most: the information once fetched serves the rest.
    if (!node.ensureFileInfo())
        return facts;
    facts.isFolder = node.isDirectory();
    facts.size = node.fileSize();
    facts.modificationTime = node.modificationTime();
    facts.creationTime = node.creationTime();
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
