#pragma once

#include <memory>
#include <vector>

class AFCDirectory;

namespace ZelboLib {

class FileSystemNode;

/**
 * Fetches the file information of the nodes that lack it over connection, in streams of requests
 * in flight (AFCDirectory::fileInfoOfEach) of a bounded number of entries each, so that other
 * work on a shared connection gets its turn between them. Nodes left without it (the device
 * broke a stream off, or the library has no streams) are fetched later, when first asked.
 */
void prefetchFileInfo(const std::vector<std::shared_ptr<FileSystemNode>>& nodes,
                      AFCDirectory& connection);

}  // namespace ZelboLib
