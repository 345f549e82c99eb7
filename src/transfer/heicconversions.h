#pragma once

#include <condition_variable>
#include <cstdint>
#include <deque>
#include <mutex>
#include <thread>
#include <vector>

#include "values/zelbostring.h"

class TransferObserver;

/** One downloaded HEIC photo for HeicConversions: where it lies and where it is to go. */
struct HeicConversion {
    /** The device file's display path, as the walk reports it. */
    CZelboString reportedSource;
    /** The staged local copy of the device file; HeicConversions removes or renames it. */
    CZelboString stagedHeic;
    /** Where the JPEG goes ("IMG_0001.JPG" beside where the HEIC would go). */
    CZelboString jpegTarget;
    /** Where the photo goes as it is when it cannot be converted. */
    CZelboString heicTarget;
    int64_t size = 0;
    /** The device file's "st_mtime" (nanoseconds since 1970 UTC), for the reports; 0 if unknown. */
    int64_t deviceModificationTime = 0;
};

/**
 * Turns downloaded HEIC photos into JPEGs on threads of their own (one per core, up to
 * kMaxThreads), while the walk goes on fetching the next files. The queue holds at most one photo
 * a thread: a walk that fetches faster than the photos convert waits in take.
 *
 * Nothing appears under the JPEG's name until the JPEG is complete (it is written under a staged
 * name and renamed into place), with the staged copy's modification time, which the download gave
 * it from the device file. A photo that cannot be
 * converted goes to its HEIC name as it is, the observer hearing fileNotConverted with why; an
 * existing file of that name is replaced only when the observer agrees.
 *
 * The observer hears of each photo on the walk's thread, once its conversion has ended and in the
 * order they ended: fileStarted, fileProgress, then fileFinished, or itemFailed. After a cancel
 * the photos not begun are dropped, their staged copies removed and each reported as failed.
 */
class HeicConversions {
public:
    static constexpr int kMaxThreads = 4;

    explicit HeicConversions(TransferObserver& observer, int threads = defaultThreads());
    /** Drops what waits and waits for the conversions in progress. */
    ~HeicConversions();
    HeicConversions(const HeicConversions&) = delete;
    HeicConversions& operator=(const HeicConversions&) = delete;

    static int defaultThreads();
    /** Queues the photo, waiting while the queue is full and reporting what ends meanwhile. */
    void take(HeicConversion conversion);
    /** Reports the photos whose conversion has ended since the last report. */
    void reportEnded();
    /** Waits for every photo taken and reports them; true when each became a JPEG or a copy. */
    bool finish();

private:
    enum class Outcome { Converted, NotConverted, Cancelled };
    struct Ended {
        HeicConversion conversion;
        Outcome outcome = Outcome::NotConverted;
        /** Why it was not converted. */
        CZelboString failure;
    };

    void runThread();
    void report(const Ended& ended);
    void tellDeviceTime(const HeicConversion& photo);
    void noteCancel();
    void stop();

    TransferObserver& observer_;
    std::vector<std::thread> threads_;
    bool allArrived_ = true;

    // Guards what follows.
    std::mutex mutex_;
    std::condition_variable changed_;
    std::deque<HeicConversion> waiting_;
    std::deque<Ended> ended_;
    int inProgress_ = 0;
    bool cancelled_ = false;
    bool stopping_ = false;
};
