#include "transfer/copyconnections.h"

#include "afc/afcdirectory.h"
#include "fstree/filesystemnode.h"

using ZelboLib::FileSystemNode;

CopyConnections::AreaKey CopyConnections::areaOf(const FileSystemNode& node) {
    return {static_cast<int>(node.area()), std::u16string(node.appIdentifier().view())};
}

std::shared_ptr<AFCDirectory> CopyConnections::open(const FileSystemNode& node) {
    if (isInterrupted())
        return nullptr;
    std::shared_ptr<AFCDirectory> connection = node.openAnotherConnection();
    if (!connection)
        return nullptr;
    const std::lock_guard lock(mutex_);
    // A cancel given while the connection opened ends it too.
    if (interrupted_) {
        connection->interrupt();
        return nullptr;
    }
    opened_.push_back({connection, node.shared_from_this()});
    return connection;
}

std::shared_ptr<AFCDirectory> CopyConnections::forWalk(const FileSystemNode& node) {
    const AreaKey area = areaOf(node);
    {
        const std::lock_guard lock(mutex_);
        if (interrupted_)
            return nullptr;
        if (const auto known = walkConnections_.find(area); known != walkConnections_.end())
            return known->second;
    }
    std::shared_ptr<AFCDirectory> connection = open(node);
    if (!connection) {
        if (isInterrupted())
            return nullptr;
        connection = node.directory();
    }
    const std::lock_guard lock(mutex_);
    walkConnections_.emplace(area, connection);
    return connection;
}

void CopyConnections::interrupt() {
    std::vector<std::shared_ptr<AFCDirectory>> connections;
    {
        const std::lock_guard lock(mutex_);
        interrupted_ = true;
        for (const Opened& opened : opened_)
            connections.push_back(opened.connection);
    }
    for (const std::shared_ptr<AFCDirectory>& connection : connections)
        connection->interrupt();
}

bool CopyConnections::isInterrupted() const {
    const std::lock_guard lock(mutex_);
    return interrupted_;
}

void CopyConnections::removeStagedLeftovers() {
    std::vector<Opened> opened;
    {
        const std::lock_guard lock(mutex_);
        opened = opened_;
    }
    for (const Opened& each : opened) {
        const std::vector<CZelboString> leftovers = each.connection->takeStagedLeftovers();
        if (leftovers.empty())
            continue;
        const std::shared_ptr<AFCDirectory> area = each.node->directory();
        if (!area)
            continue;
        for (const CZelboString& path : leftovers)
            area->removeItem(path);
    }
}
