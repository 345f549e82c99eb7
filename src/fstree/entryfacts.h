#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <vector>

class AFCDirectory;

namespace ZelboLib {

class FileSystemNode;

/** What the file list shows and sorts of an entry, taken from its file information. */
struct EntryFacts {
    bool isFolder = false;
    int64_t size = 0;
    int64_t modificationTime = 0;
    int64_t creationTime = 0;
};

/** An entry with its facts, as a fetch hands them over. */
struct NodeFacts {
    std::shared_ptr<FileSystemNode> node;
    EntryFacts facts;
};

/**
 * The node's facts, fetching its information when it lacks some (and a link's target); without
 * any, a file of 0 bytes at time 0.
 */
EntryFacts factsOf(FileSystemNode& node);
/** The node's facts when its information is known (a link's target may still be asked). */
std::optional<EntryFacts> knownFactsOf(FileSystemNode& node);

/**
 * The facts of nodes, in their order: their information in one stream of requests in flight over
 * connection (none: one by one), then one by one for those the stream left without. Before each
 * request of its own it asks stillWanted, and on a no it stops, handing over what it has.
 */
std::vector<NodeFacts> fetchEntryFacts(const std::vector<std::shared_ptr<FileSystemNode>>& nodes,
                                       AFCDirectory* connection,
                                       const std::function<bool()>& stillWanted);

}  // namespace ZelboLib
