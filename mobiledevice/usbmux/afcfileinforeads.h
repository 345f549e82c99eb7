// The file information of many paths over one AFC connection, the requests on the way at once.
// This class holds the paths' state alone; AfcConnection sends the requests and hands their
// replies back.
#ifndef PLOVIK_USBMUX_AFCFILEINFOREADS_H
#define PLOVIK_USBMUX_AFCFILEINFOREADS_H

#include "afcstreamrequest.h"

#include <string>

namespace plovik::usbmux {

class AfcFileInfoReads {
public:
    enum class Kind : uint8_t { Info };
    using Request = AfcStreamRequest<Kind>;
    // A path done with: 0 and its keys and values, or the device's failure.
    struct Finished {
        size_t file = 0;
        int result = 0;
        std::vector<std::string> keysAndValues;
    };
    using Answer = AfcStreamAnswer<Finished>;

    // The reply operation that carries a request's data; any other but a status is unexpected.
    static AfcOperation replyWithData(Kind) { return AfcOperation::Data; }

    // files: the indexes into paths to ask for, in that order.
    AfcFileInfoReads(const std::vector<const char*>& paths, std::vector<size_t> files);

    bool hasNext() const { return next_ < files_.size(); }
    const Request& next();
    void pop();

    Answer answer(size_t file, Kind kind, bool carriesData, int status,
                  const std::vector<uint8_t>& body, bool sentAhead, bool outOfOrder);
    // The paths to ask for again, one request at a time, once the stream is through.
    const std::vector<size_t>& toDoAgain() const { return askAgain_; }
    // A path given up on: still to be asked for again once asked alone.
    static Finished givenUp(size_t file) { return {file, kAfcBadReply, {}}; }

private:
    const std::vector<const char*>& paths_;
    const std::vector<size_t> files_;
    size_t next_ = 0;
    std::optional<Request> asking_;
    std::vector<size_t> askAgain_;
};

}  // namespace plovik::usbmux

#endif
