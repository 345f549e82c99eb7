// AFC stand-in over an in-memory file tree: the requests the library makes, answered as a device
// does (DATA replies with this_length 40, packet numbers echoed). ReadDirectory of "/desync"
// answers with a wrong packet number, as a stream that lost its place would; writes to files
// under "/Full/" are refused as on a device without space. File information, opens and reads of
// paths under "/Unordered/" are answered after the request waiting behind them, and under "/Busy/"
// refused when they were sent before the reply ahead of them was out; file information under
// "/Garbled/" is answered with a packet number never sent.
#ifndef PLOVIK_TESTS_USBMUX_STANDINAFC_H
#define PLOVIK_TESTS_USBMUX_STANDINAFC_H

#include "afcpacket.h"

#include <cstdint>
#include <map>
#include <mutex>
#include <set>
#include <string>

namespace standin {

class StandInAfc {
public:
    StandInAfc() : directories_{"/"} {}

    // Serves until the peer closes.
    void serve(int socket);

    std::string fileContent(const std::string& path);

private:
    struct OpenFile {
        std::string path;
        uint64_t position = 0;
    };

    static bool requestWaits(int socket);
    // The requests a pipelined stream sends, and the path one is about (its file's, for a handle).
    static bool streamed(const plovik::devemu::AfcRequest& request);
    std::string subjectOf(const plovik::devemu::AfcRequest& request);
    bool reply(int socket, const plovik::devemu::AfcRequest& request);
    plovik::devemu::AfcReply answer(const plovik::devemu::AfcRequest& request);
    plovik::devemu::AfcReply listing(const std::string& path);

    std::mutex mutex_;
    std::set<std::string> directories_;
    std::map<std::string, std::string> files_;
    std::map<uint64_t, OpenFile> open_;
    uint64_t nextHandle_ = 1;
    // The next request was there before the last reply went out.
    bool sentAhead_ = false;
};

}  // namespace standin

#endif
