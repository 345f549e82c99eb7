#include "app/listinginfofiller.h"

#include <QMetaObject>
#include <algorithm>

#include "fstree/filesystemnode.h"

using ZelboLib::NodeFacts;

ListingInfoFiller::ListingInfoFiller(Landed landed, std::function<bool()> canLand, QObject* parent)
    : QObject(parent),
      landed_(std::move(landed)),
      canLand_(std::move(canLand)),
      worker_([this](const std::stop_token& stop) { run(stop); }) {}

ListingInfoFiller::~ListingInfoFiller() {
    worker_.request_stop();
    wake_.notify_all();
}

void ListingInfoFiller::fill(NodePointer folder, std::vector<NodePointer> nodes) {
    auto job = std::make_unique<Job>();
    job->generation = ++generation_;
    job->folder = std::move(folder);
    job->nodes = std::move(nodes);
    filling_ = !job->nodes.empty();
    waiting_.clear();
    {
        const std::lock_guard lock(mutex_);
        wantedGeneration_ = generation_;
        pending_ = filling_ ? std::move(job) : nullptr;
    }
    wake_.notify_all();
}

void ListingInfoFiller::stop() {
    fill(nullptr, {});
}

bool ListingInfoFiller::isCurrent(uint64_t generation, const std::stop_token& stop) {
    const std::lock_guard lock(mutex_);
    return !stop.stop_requested() && generation == wantedGeneration_;
}

void ListingInfoFiller::run(const std::stop_token& stop) {
    for (;;) {
        std::unique_ptr<Job> job;
        {
            std::unique_lock lock(mutex_);
            if (!wake_.wait(lock, stop, [this] { return pending_ != nullptr; }))
                return;
            job = std::move(pending_);
        }
        // Asked here: an app container's connection is opened on first need.
        const std::shared_ptr<AFCDirectory> connection = job->folder->directory();
        const auto stillWanted = [&] { return isCurrent(job->generation, stop); };
        for (size_t start = 0; start < job->nodes.size() && stillWanted();
             start += kEntriesPerChunk) {
            const size_t end = std::min(job->nodes.size(), start + kEntriesPerChunk);
            const std::vector<NodePointer> chunk(
                job->nodes.begin() + static_cast<std::ptrdiff_t>(start),
                job->nodes.begin() + static_cast<std::ptrdiff_t>(end));
            std::vector<NodeFacts> facts =
                ZelboLib::fetchEntryFacts(chunk, connection.get(), stillWanted);
            const bool last = end == job->nodes.size();
            // Queued to this object: dropped if it is gone by then.
            QMetaObject::invokeMethod(
                this,
                [this, generation = job->generation, facts = std::move(facts), last]() mutable {
                    land(generation, std::move(facts), last);
                },
                Qt::QueuedConnection);
        }
    }
}

void ListingInfoFiller::land(uint64_t generation, std::vector<NodeFacts> facts, bool last) {
    if (generation != generation_)
        return;
    waiting_.push_back({std::move(facts), last});
    deliver();
}

void ListingInfoFiller::deliver() {
    const uint64_t generation = generation_;
    // landed_ may start another fill, which empties waiting_.
    while (!waiting_.empty() && canLand_() && generation == generation_) {
        const Landing landing = std::move(waiting_.front());
        waiting_.pop_front();
        if (landing.last)
            filling_ = false;
        landed_(landing.facts, landing.last);
    }
}
