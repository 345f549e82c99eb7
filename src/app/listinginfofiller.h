#pragma once

#include <QObject>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

#include "fstree/entryfacts.h"

namespace ZelboLib {
class FileSystemNode;
}

/**
 * Fetches the facts of a listing's entries on a thread of its own, a chunk at a time (one stream
 * of requests in flight each, over the folder's connection), and hands each chunk to the
 * user-interface thread as it lands, the last one marked. Chunks go in the order the nodes were
 * given, so the rows on show first fill in first.
 *
 * Chunks that land while canLand says no (the listing is busy elsewhere) wait, in order, until
 * deliver is called. A new fill or stop drops the fill before: a chunk of it on the way is
 * finished on the device but never handed over, and no further one is asked for. GUI thread
 * only; destroying it waits for the chunk on the way.
 */
class ListingInfoFiller : public QObject {
    Q_OBJECT
public:
    using NodePointer = std::shared_ptr<ZelboLib::FileSystemNode>;
    /** Entries per chunk: each lands as a stream of requests in flight, a few ms of a link. */
    static constexpr size_t kEntriesPerChunk = 256;
    using Landed = std::function<void(const std::vector<ZelboLib::NodeFacts>& facts, bool last)>;

    ListingInfoFiller(Landed landed, std::function<bool()> canLand, QObject* parent = nullptr);
    ~ListingInfoFiller() override;

    /** Fetches the facts of nodes, entries of folder, in their order. */
    void fill(NodePointer folder, std::vector<NodePointer> nodes);
    void stop();
    /** Hands over the chunks that waited, while canLand allows. */
    void deliver();
    /** Whether a fill has chunks still to hand over. */
    bool isFilling() const { return filling_; }

private:
    struct Job {
        uint64_t generation = 0;
        NodePointer folder;
        std::vector<NodePointer> nodes;
    };

    void run(const std::stop_token& stop);
    bool isCurrent(uint64_t generation, const std::stop_token& stop);
    void land(uint64_t generation, std::vector<ZelboLib::NodeFacts> facts, bool last);

    struct Landing {
        std::vector<ZelboLib::NodeFacts> facts;
        bool last = false;
    };

    Landed landed_;
    std::function<bool()> canLand_;
    std::deque<Landing> waiting_;
    uint64_t generation_ = 0;  // GUI thread's
    bool filling_ = false;
    std::mutex mutex_;
    std::condition_variable_any wake_;
    uint64_t wantedGeneration_ = 0;  // under mutex_
    std::unique_ptr<Job> pending_;   // under mutex_
    std::jthread worker_;            // last: it goes first
};
