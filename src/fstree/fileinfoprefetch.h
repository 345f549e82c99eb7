#pragma once

#include <functional>
#include <memory>
#include <vector>

class AFCDirectory;

namespace ZelboLib {

class FileSystemNode;

/**
 * Fetches the file information of the nodes that lack it on up to `connections` AFC connections
 * of their own at once, each opened by openConnection on a thread of its own. An AFC connection
 * carries one request at a time, so a large folder's entries then cost a round trip per
 * connection rather than one each. Nodes left over when no connection opens are fetched later,
 * when first asked. Returns once every thread has ended.
 */
void prefetchFileInfo(const std::vector<std::shared_ptr<FileSystemNode>>& nodes,
                      const std::function<std::shared_ptr<AFCDirectory>()>& openConnection,
                      int connections);

}  // namespace ZelboLib
