// The whole contents of many small files over one AFC connection, the requests of many files on
// the way at once. Each file takes an open; once its handle is back, two reads of one byte more
// than the size it is expected to have go out together (the second one's empty reply confirms
// the end, whatever the first one gave); then its close. A file longer than expected is read on,
// two reads at a time, up to the largest size the caller takes.
// This class holds the files' state alone: which requests go out next and what their replies
// mean. AfcConnection sends them and hands their replies back.
#ifndef PLOVIK_USBMUX_AFCWHOLEFILEREADS_H
#define PLOVIK_USBMUX_AFCWHOLEFILEREADS_H

#include "afcstreamrequest.h"

#include <cstddef>
#include <cstdint>
#include <deque>
#include <vector>

namespace plovik::usbmux {

class AfcWholeFileReads {
public:
    enum class Kind : uint8_t { Open, Read, Close };
    using Request = AfcStreamRequest<Kind>;
    // A file done with: 0 and its contents, or the failure that ended it.
    struct Finished {
        size_t file = 0;
        int result = 0;
        std::vector<uint8_t> contents;
    };
    using Answer = AfcStreamAnswer<Finished>;

    // The reply operation that carries a request's data; any other but a status is unexpected.
    static AfcOperation replyWithData(Kind kind) {
        return kind == Kind::Open   ? AfcOperation::FileOpenResult
               : kind == Kind::Read ? AfcOperation::Data
                                    : AfcOperation::Status;
    }

    // files: the indexes into paths and expectedSizes to read, in that order.
    AfcWholeFileReads(const std::vector<const char*>& paths,
                      const std::vector<uint64_t>& expectedSizes, uint64_t largest,
                      std::vector<size_t> files);

    // Requests of files already open come before the opening of others.
    bool hasNext() const { return !followUps_.empty() || nextOpen_ < files_.size(); }
    const Request& next();
    void pop();

    // The reply to a request for file of kind: carriesData for the reply replyWithData names
    // (with status 0), else the status the reply gave. outOfOrder: it was not the oldest reply
    // on the way, so the file's data may be out of order and it is read again.
    Answer answer(size_t file, Kind kind, bool carriesData, int status,
                  const std::vector<uint8_t>& body, bool sentAhead, bool outOfOrder);
    // The files to read again, one request at a time, once the stream is through.
    const std::vector<size_t>& toDoAgain() const { return readAgain_; }
    // A file given up on: still to be read again once read alone.
    static Finished givenUp(size_t file) { return {file, kAfcBadReply, {}}; }

private:
    struct File {
        uint64_t handle = 0;
        std::vector<uint8_t> contents;
        int readsOnTheWay = 0;
        bool ended = false;
        int failure = 0;
        bool readAgain = false;
    };

    uint64_t readLength(size_t file) const;
    void queueReads(size_t file);
    void queueClose(size_t file);
    Answer finish(size_t file);

    const std::vector<const char*>& paths_;
    const std::vector<uint64_t>& expectedSizes_;
    const uint64_t largest_;
    const std::vector<size_t> files_;
    size_t nextOpen_ = 0;
    std::optional<Request> opening_;
    std::deque<Request> followUps_;
    std::vector<File> state_;
    std::vector<size_t> readAgain_;
};

}  // namespace plovik::usbmux

#endif
