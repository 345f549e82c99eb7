#include "thumbs/thumbnailreadahead.h"

#include <algorithm>
#include <atomic>
#include <exception>
#include <mutex>
#include <thread>
#include <utility>

#include "afc/afcdirectory.h"
#include "thumbs/prefetchedimagefile.h"
#include "thumbs/thumbnailreader.h"

namespace {

// Enough for a camera's Exif segment with its preview, or a phone's HEIC metadata.
constexpr uint64_t kHeadBytes = 16 * 1024;
// Read beyond a missed part too: the segment headers after an Exif segment, say.
constexpr uint64_t kPartSlack = 4 * 1024;
// A larger miss (a whole picture without a preview) is read the way readThumbnail reads it.
constexpr uint64_t kLargestPart = 512 * 1024;
// The head, then the parts missed.
constexpr int kRounds = 4;

// Runs work(index) for every index below count on up to one thread a core, this one among them;
// the first exception thrown is rethrown here once all have ended.
void forEachOnCores(size_t count, const std::function<void(size_t)>& work) {
    const size_t threads =
        std::min<size_t>(count, std::max(1U, std::thread::hardware_concurrency()));
    std::atomic<size_t> next{0};
    std::mutex failureMutex;
    std::exception_ptr failure;
    const auto drain = [&] {
        for (size_t index = next++; index < count; index = next++) {
            try {
                work(index);
            } catch (...) {
                const std::lock_guard lock(failureMutex);
                if (!failure)
                    failure = std::current_exception();
            }
        }
    };
    {
        std::vector<std::jthread> helpers;
        for (size_t helper = 1; helper < threads; ++helper)
            helpers.emplace_back(drain);
        drain();
    }
    if (failure)
        std::rethrow_exception(failure);
}

}  // namespace

void readThumbnailsAhead(AFCDirectory& connection, const std::vector<CZelboString>& paths,
                         const std::vector<uint64_t>& listedSizes,
                         const std::function<bool()>& shouldContinue,
                         const std::function<void(size_t, const Thumbnail&)>& made,
                         const std::function<void(size_t, ReadAheadOutcome)>& settled) {
    std::vector<PrefetchedImageFile> files;
    files.reserve(paths.size());
    std::vector<size_t> pending;
    std::vector<uint64_t> offsets;
    std::vector<uint64_t> lengths;
    for (size_t file = 0; file < paths.size(); ++file) {
        files.emplace_back(listedSizes[file]);
        pending.push_back(file);
        offsets.push_back(0);
        lengths.push_back(std::min(listedSizes[file], kHeadBytes));
    }
    for (int round = 0; round < kRounds && !pending.empty() && shouldContinue(); ++round) {
        std::vector<CZelboString> asked;
        for (const size_t file : pending)
            asked.push_back(paths[file]);
        enum class Arrival { None, Read, Changed };
        std::vector<Arrival> arrivals(pending.size(), Arrival::None);
        connection.partsOfEach(
            asked, offsets, lengths, [&](size_t index, uint64_t size, std::string_view bytes) {
                const size_t file = pending[index];
                if (size != listedSizes[file]) {
                    arrivals[index] = Arrival::Changed;
                    return;
                }
                files[file].addPart(offsets[index],
                                    std::vector<uint8_t>(bytes.begin(), bytes.end()));
                arrivals[index] = Arrival::Read;
            });
        // Each file's outcome, or the part it missed for the next round, in its slot.
        std::vector<std::optional<ReadAheadOutcome>> outcomes(pending.size());
        std::vector<std::optional<PrefetchedImageFile::Range>> misses(pending.size());
        forEachOnCores(pending.size(), [&](size_t index) {
            const size_t file = pending[index];
            if (arrivals[index] != Arrival::Read || !shouldContinue()) {
                // A file the stream did not bring is read alone, which says why it fails.
                outcomes[index] = arrivals[index] == Arrival::None && shouldContinue()
                                      ? ReadAheadOutcome::ReadAlone
                                      : ReadAheadOutcome::NotMade;
                return;
            }
            const std::optional<Thumbnail> thumbnail = readThumbnailDirectly(files[file]);
            const std::optional<PrefetchedImageFile::Range> miss = files[file].miss();
            if (!miss) {
                if (thumbnail)
                    made(file, *thumbnail);
                outcomes[index] = thumbnail ? ReadAheadOutcome::Made : ReadAheadOutcome::NotMade;
            } else if (miss->length > kLargestPart || round + 1 == kRounds) {
                outcomes[index] = ReadAheadOutcome::ReadAlone;
            } else {
                misses[index] = miss;
            }
        });
        std::vector<size_t> missed;
        std::vector<uint64_t> missedOffsets;
        std::vector<uint64_t> missedLengths;
        for (size_t index = 0; index < pending.size(); ++index) {
            const size_t file = pending[index];
            if (outcomes[index]) {
                settled(file, *outcomes[index]);
                continue;
            }
            missed.push_back(file);
            missedOffsets.push_back(misses[index]->offset);
            missedLengths.push_back(std::min(misses[index]->length + kPartSlack,
                                             listedSizes[file] - misses[index]->offset));
        }
        pending = std::move(missed);
        offsets = std::move(missedOffsets);
        lengths = std::move(missedLengths);
    }
    // Stopped before their round.
    for (const size_t file : pending)
        settled(file, ReadAheadOutcome::NotMade);
}
