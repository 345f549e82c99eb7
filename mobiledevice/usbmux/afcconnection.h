// AFC spoken over a service connection: afc, afc2, or a house arrest connection after the
// container was vended (the same stream, never a second one). The device answers in order. Calls
// wait for their replies, but for streaming a file, where waiting out every round trip would
// leave the link idle between chunks, one reply at a time is left on the way:
// - Read ahead: when a read of a file opened read-only is answered in full, the next read of the
//   caller's buffer size goes out while the answer still crosses, so the device sends it right
//   behind. Any other request takes that reply in and keeps it for the next read of the file;
//   seek and close drop it, and tell counts it as not yet read.
// - Write behind: a write returns once it is sent; its status is taken in after the next request
//   has gone out. A write the device refused fails the next write or the close of that file, so
//   a failure is reported late but never lost.
// - A stream of file information (fileInfoOfEach, AfcFileInfoReads): the requests for many
//   paths go out without waiting for each other's replies, as many as a bound of bytes in flight
//   allows, and replies are matched to them by packet number. A device that answers out of
//   order, or fails a request sent ahead of the reply before, gets one request at a time on this
//   connection from then on (logged once), read ahead and write behind included; the requests it
//   failed are asked again.
// - Whole small files (wholeFilesOfEach, wholeFilesWritten): the requests of many files' reads or
//   writes on the way at once, under the same bound and fallback (AfcWholeFileReads,
//   AfcWholeFileWrites); a part of each of many files likewise (filePartsOfEach,
//   AfcFilePartReads).
// Replies are checked before they are trusted: a reply to another packet, a malformed header, an
// oversized body or a stream that ends mid-reply marks the connection broken, and every later
// call fails at once instead of reading the rest of a desynchronised stream.
// Results are 0, an AFC status code from the device, or a results.h code.
#ifndef PLOVIK_USBMUX_AFCCONNECTION_H
#define PLOVIK_USBMUX_AFCCONNECTION_H

#include "afcfilepartreads.h"
#include "afcpacket.h"
#include "afcwholefilewrites.h"
#include "bufferedreceiver.h"

#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <set>
#include <string>
#include <vector>

namespace plovik::usbmux {

class ServiceConnection;

class AfcConnection {
public:
    explicit AfcConnection(std::shared_ptr<ServiceConnection> service);

    int readDirectory(const char* path, std::vector<std::string>* names);
    int fileInfo(const char* path, std::vector<std::string>* keysAndValues);
    // Called once for each path answered, with its index in paths, 0 or the device's failure for
    // it, and its keys and values; not necessarily in the order of paths.
    using InfoHandler =
        std::function<void(size_t index, int result, std::vector<std::string>& keysAndValues)>;
    // The file information of every path in one stream. 0 once each path was handed to found,
    // else the failure that ended the stream.
    int fileInfoOfEach(const std::vector<const char*>& paths, const InfoHandler& found);
    // Called once for each file, with its index in paths, 0 or the failure for it (AFC's
    // TOO_MUCH_DATA for one longer than largest), and its contents; in any order.
    using ContentsHandler =
        std::function<void(size_t index, int result, std::vector<uint8_t>& contents)>;
    // The whole contents of every path in one stream, each expected to hold about its
    // expectedSizes bytes. 0 once each path was handed to arrived, else the failure that ended
    // the stream.
    int wholeFilesOfEach(const std::vector<const char*>& paths,
                         const std::vector<uint64_t>& expectedSizes, uint64_t largest,
                         const ContentsHandler& arrived);
    // Called once for each file written, with its index in files, 0 once it is at its path or the
    // failure, and whether its staged file may be left; in any order.
    using WrittenHandler = std::function<void(size_t index, int result, bool stagedLeft)>;
    // Writes every file in one stream (see AfcWholeFileWrites). 0 once each file was handed to
    // written, else the failure that ended the stream.
    int wholeFilesWritten(const std::vector<AfcWholeFileWrites::File>& files,
                          const WrittenHandler& written);
    // Called once for each part, with its index in parts, 0 or the failure for it, the file's size
    // and the part's bytes (fewer than asked where the file ends first); in any order.
    using PartHandler =
        std::function<void(size_t index, int result, uint64_t size, std::vector<uint8_t>& bytes)>;
    // A part of every file in one stream (see AfcFilePartReads). 0 once each part was handed to
    // arrived, else the failure that ended the stream.
    int filePartsOfEach(const std::vector<AfcFilePartReads::Part>& parts,
                        const PartHandler& arrived);
    int makeDirectory(const char* path);
    int removePath(const char* path);
    int renamePath(const char* from, const char* to);
    int setFileTime(const char* path, uint64_t nanoseconds);

    int openFile(const char* path, uint64_t mode, uint64_t* file);
    // Fills the buffer up to *length, asking again after a short reply, so only the end of the
    // file gives fewer bytes; *length is then the count read (0 at the end).
    int readFile(uint64_t file, void* buffer, uint32_t* length);
    int writeFile(uint64_t file, const void* bytes, uint32_t length);
    int seekFile(uint64_t file, int64_t offset, uint64_t whence);
    int tellFile(uint64_t file, uint64_t* position);
    int closeFile(uint64_t file);

private:
    struct Reply {
        AfcOperation operation;
        uint64_t packetNumber = 0;
        std::vector<uint8_t> body;
    };

    int request(AfcOperation operation, const std::vector<uint8_t>& arguments, Reply* reply,
                const void* payload = nullptr, size_t payloadLength = 0);
    // Appends the header and arguments of the next packet; its number is then lastPacketNumber_.
    void appendPacket(std::vector<uint8_t>& packets, AfcOperation operation,
                      const std::vector<uint8_t>& arguments, size_t payloadLength = 0);
    // Sends a packet; its number is then lastPacketNumber_.
    int send(AfcOperation operation, const std::vector<uint8_t>& arguments, const void* payload,
             size_t payloadLength);
    // Without a packet number, the reply to any packet is taken.
    int receiveHeader(AfcHeader* header, std::optional<uint64_t> packetNumber);
    int receiveReply(Reply* reply, std::optional<uint64_t> packetNumber);
    void fallBackToOneRequestAtATime(const char* reason);
    // Sends a stream's requests in flight and hands its replies back to it (see fileInfoOfEach).
    template <typename Stream, typename Handler>
    int runStream(Stream& stream, const Handler& finished);
    // Streams every item: a Stream made of sources and the items' indexes, then one made of those
    // it was to do again, and each item still left is handed to finished as Stream::givenUp.
    template <typename Stream, typename Handler, typename... Sources>
    int streamEach(size_t count, const Handler& finished, const Sources&... sources);
    int receiveExactly(void* buffer, size_t length);
    int discard(uint64_t length);
    // One read of up to length bytes; with aheadLength, a full reply sends the next read of
    // that many bytes before its data is taken in.
    int readChunk(uint64_t file, uint8_t* buffer, uint32_t length, uint32_t* received,
                  uint32_t aheadLength);
    int receiveRead(uint8_t* buffer, uint32_t length, uint32_t* received, uint64_t packetNumber,
                    uint64_t file = 0, uint32_t aheadLength = 0);
    // Takes in the replies still on the way (a read ahead, a write's status); fails only when the
    // stream does. Every reply but that to the next read or write of the same file comes after
    // them.
    int settlePending();
    int settleReadAhead();
    int settleWriteBehind();
    int fail(int code);

    // A status reply's code; any other reply is out of place for these requests.
    static int statusOf(const Reply& reply);

    // The read sent ahead of the caller for one file: its reply on the way, or taken in early and
    // not yet handed out.
    struct ReadAhead {
        uint64_t file = 0;
        uint32_t length = 0;
        uint64_t packetNumber = 0;
        bool onTheWay = false;
        std::vector<uint8_t> held;
        size_t handedOut = 0;
        int result = 0;  // a failure the device answered it with, for the next read of the file

        bool active() const { return onTheWay || handedOut < held.size() || result != 0; }
        size_t heldBack() const { return held.size() - handedOut; }
    };

    // The write whose status is still on the way.
    struct WriteBehind {
        uint64_t file = 0;
        uint64_t packetNumber = 0;
        bool onTheWay = false;
    };

    const std::shared_ptr<ServiceConnection> service_;
    BufferedReceiver receiver_;
    std::mutex mutex_;
    uint64_t lastPacketNumber_ = 0;
    bool broken_ = false;
    bool oneAtATime_ = false;
    std::set<uint64_t> readOnlyFiles_;
    ReadAhead ahead_;
    WriteBehind behind_;
    // The first failure the device answered a write with, by file, for its next write or close.
    std::map<uint64_t, int> writeFailures_;
};

}  // namespace plovik::usbmux

#endif
