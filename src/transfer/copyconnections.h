#pragma once

#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <utility>
#include <vector>

#include "values/zelbostring.h"

class AFCDirectory;

namespace ZelboLib {
class FileSystemNode;
}

/**
 * The AFC connections one transfer run copies on, apart from the connections the window lists and
 * reads thumbnails on, so that a cancel can end them at once, even in the middle of a request to a
 * device that has stopped taking data, and leave browsing alone.
 *
 * Staged upload files that a broken connection could not remove are removed afterwards on the
 * area's own connection, while the device can still be reached. Any thread may call open, forWalk
 * and interrupt.
 */
class CopyConnections {
public:
    CopyConnections() = default;
    CopyConnections(const CopyConnections&) = delete;
    CopyConnections& operator=(const CopyConnections&) = delete;

    /** Another connection to node's area; null once interrupted or when the device opens none. */
    std::shared_ptr<AFCDirectory> open(const ZelboLib::FileSystemNode& node);
    /**
     * The connection a walk copies node's files on, one per area for the whole run; the node's own
     * connection when the device opens no other. Null once interrupted.
     */
    std::shared_ptr<AFCDirectory> forWalk(const ZelboLib::FileSystemNode& node);
    /** Ends every connection opened so far and refuses new ones. */
    void interrupt();
    bool isInterrupted() const;
    /** Removes the staged files the run's connections left behind; call once no copy runs. */
    void removeStagedLeftovers();

private:
    using AreaKey = std::pair<int, std::u16string>;
    struct Opened {
        std::shared_ptr<AFCDirectory> connection;
        std::shared_ptr<const ZelboLib::FileSystemNode> node;
    };

    static AreaKey areaOf(const ZelboLib::FileSystemNode& node);

    mutable std::mutex mutex_;
    bool interrupted_ = false;
    std::vector<Opened> opened_;
    std::map<AreaKey, std::shared_ptr<AFCDirectory>> walkConnections_;
};
