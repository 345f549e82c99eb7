#include "fstree/fileinfoprefetch.h"

#include <atomic>
#include <thread>

#include "afc/afcdirectory.h"
#include "fstree/filesystemnode.h"

namespace ZelboLib {

void prefetchFileInfo(const std::vector<std::shared_ptr<FileSystemNode>>& nodes,
                      const std::function<std::shared_ptr<AFCDirectory>()>& openConnection,
                      int connections) {
    std::atomic<size_t> next{0};
    std::vector<std::thread> threads;
    for (int i = 0; i < connections; ++i) {
        threads.emplace_back([&] {
            const std::shared_ptr<AFCDirectory> connection = openConnection();
            if (!connection)
                return;
            for (size_t index = next++; index < nodes.size(); index = next++)
                nodes[index]->fetchFileInfoOn(*connection);
        });
    }
    for (std::thread& thread : threads)
        thread.join();
}

}  // namespace ZelboLib
