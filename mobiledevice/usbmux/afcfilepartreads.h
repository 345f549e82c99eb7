// A part of each of many files over one AFC connection, the requests of many files on the way at
// once. Each file takes its information (for its size) and an open; once its handle is back, a
// seek to the part's offset, reads of the part's length and the close go out together. A read
// answered short leaves the rest to the next ones, which go on from where it ended; the file's
// end shows as a part shorter than asked.
// This class holds the files' state alone: which requests go out next and what their replies
// mean. AfcConnection sends them and hands their replies back.
#ifndef PLOVIK_USBMUX_AFCFILEPARTREADS_H
#define PLOVIK_USBMUX_AFCFILEPARTREADS_H

#include "afcstreamrequest.h"

#include <cstddef>
#include <cstdint>
#include <deque>
#include <vector>

namespace plovik::usbmux {

class AfcFilePartReads {
public:
    enum class Kind : uint8_t { Info, Open, Seek, Read, Close };
    struct Part {
        const char* path = nullptr;
        uint64_t offset = 0;
        uint64_t length = 0;
    };
    using Request = AfcStreamRequest<Kind>;
    // A file done with: 0, its size and the part's bytes, or the failure that ended it.
    struct Finished {
        size_t file = 0;
        int result = 0;
        uint64_t size = 0;
        std::vector<uint8_t> bytes;
    };
    using Answer = AfcStreamAnswer<Finished>;

    // The reply operation that carries a request's data; any other but a status is unexpected.
    static AfcOperation replyWithData(Kind kind) {
        return kind == Kind::Info || kind == Kind::Read ? AfcOperation::Data
               : kind == Kind::Open                     ? AfcOperation::FileOpenResult
                                                        : AfcOperation::Status;
    }

    // files: the indexes into parts to read, in that order.
    AfcFilePartReads(const std::vector<Part>& parts, std::vector<size_t> files);

    // Requests of files already open come before the information and opening of others.
    bool hasNext() const { return !queued_.empty() || nextFile_ < files_.size(); }
    const Request& next();
    void pop();

    // The reply to a request for file of kind, as AfcWholeFileReads::answer takes it.
    Answer answer(size_t file, Kind kind, bool carriesData, int status,
                  const std::vector<uint8_t>& body, bool sentAhead, bool outOfOrder);
    // The files to read again, one request at a time, once the stream is through.
    const std::vector<size_t>& toDoAgain() const { return readAgain_; }
    // A file given up on: still to be read again once read alone.
    static Finished givenUp(size_t file) { return {file, kAfcBadReply, 0, {}}; }

private:
    struct File {
        uint64_t handle = 0;
        std::optional<uint64_t> size;
        std::vector<uint8_t> bytes;
        // Replies still to come before the file is done with.
        int awaited = 0;
        int failure = 0;
        bool readAgain = false;
    };

    void queueFollowUps(size_t file);
    void take(File& state, size_t file, Kind kind, bool carriesData, int status,
              const std::vector<uint8_t>& body);

    const std::vector<Part>& parts_;
    const std::vector<size_t> files_;
    size_t nextFile_ = 0;
    std::deque<Request> queued_;
    std::vector<File> state_;
    std::vector<size_t> readAgain_;
};

}  // namespace plovik::usbmux

#endif
