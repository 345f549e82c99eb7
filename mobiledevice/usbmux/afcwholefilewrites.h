// Many small files written to a device over one AFC connection, the requests of many files on
// the way at once. Each file takes the information of its path (something there is kept) and the
// opening of its staged file, sent together; once the handle is back, its write, close and file
// time go out together; once every one of those was answered well and the path was free, the
// staged file is renamed to the path, else it is removed. Nothing reaches the path before every
// byte was written.
// This class holds the files' state alone; AfcConnection sends the requests and hands their
// replies back.
#ifndef PLOVIK_USBMUX_AFCWHOLEFILEWRITES_H
#define PLOVIK_USBMUX_AFCWHOLEFILEWRITES_H

#include "afcstreamrequest.h"

#include <cstddef>
#include <cstdint>
#include <deque>
#include <vector>

namespace plovik::usbmux {

class AfcWholeFileWrites {
public:
    struct File {
        const char* path = nullptr;
        const char* stagedPath = nullptr;
        const uint8_t* bytes = nullptr;
        uint64_t length = 0;
        uint64_t modificationTime = 0;  // 0: none to set
    };
    enum class Kind : uint8_t { Info, Open, Write, Close, Time, Rename, Remove };
    using Request = AfcStreamRequest<Kind>;
    // A file done with: 0 once it is at its path, AFC's OBJECT_EXISTS (16) or OBJECT_IS_DIR (9)
    // when something was there, or the failure; its staged file is gone unless stagedLeft.
    struct Finished {
        size_t file = 0;
        int result = 0;
        bool stagedLeft = false;
    };
    using Answer = AfcStreamAnswer<Finished>;

    // The reply operation that carries a request's data; any other but a status is unexpected.
    static AfcOperation replyWithData(Kind kind) {
        return kind == Kind::Info   ? AfcOperation::Data
               : kind == Kind::Open ? AfcOperation::FileOpenResult
                                    : AfcOperation::Status;
    }

    // files: the indexes into all to write, in that order.
    AfcWholeFileWrites(const std::vector<File>& all, std::vector<size_t> files);

    bool hasNext() const { return !followUps_.empty() || nextFile_ < files_.size(); }
    const Request& next();
    void pop();

    // The reply to a request for file of kind: carriesData for the reply replyWithData names
    // (with status 0), else the status the reply gave.
    Answer answer(size_t file, Kind kind, bool carriesData, int status,
                  const std::vector<uint8_t>& body, bool sentAhead, bool outOfOrder);
    // The files to write again, one request at a time, once the stream is through.
    const std::vector<size_t>& toDoAgain() const { return writeAgain_; }
    // A file given up on: still to be written again once written alone; its staged file may be
    // left.
    static Finished givenUp(size_t file) { return {file, kAfcBadReply, true}; }

private:
    struct State {
        uint64_t handle = 0;
        int onTheWay = 0;
        bool pathTaken = false;
        bool pathIsFolder = false;
        int failure = 0;
        bool writeAgain = false;
        bool staged = false;  // the staged file may exist
        bool renaming = false;
        bool removing = false;
    };

    void queue(size_t file, Kind kind);
    // Once nothing of the file is on the way: the rename, the removal, or the end.
    std::optional<Finished> settle(size_t file);

    const std::vector<File>& all_;
    const std::vector<size_t> files_;
    size_t nextFile_ = 0;
    std::deque<Request> followUps_;
    std::vector<State> state_;
    std::vector<size_t> writeAgain_;
};

}  // namespace plovik::usbmux

#endif
