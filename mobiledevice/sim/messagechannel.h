#ifndef PLOVIK_SIM_MESSAGECHANNEL_H
#define PLOVIK_SIM_MESSAGECHANNEL_H

#include "plistnodes.h"

#include <cstddef>
#include <stop_token>

namespace plovik::sim {

// The server side of the service framing on a stream socket: a 4-byte big-endian length, then an
// XML property list. Does not own the socket.
class MessageChannel {
public:
    explicit MessageChannel(int socket) : socket_(socket) {}

    // Reads one message. message is null when the body is not a property list. false when the
    // peer closed the connection, on an error, or when the length cannot be a message (the
    // stream cannot be resynchronised after it).
    bool read(PlistPtr& message);

    // Writes one message, all at once when pieceSize is 0, otherwise in pieces of that many
    // bytes with a pause between them. false on an error or when stop is requested.
    bool write(plist_t message, std::size_t pieceSize, std::stop_token stop);

private:
    bool readExactly(char* buffer, std::size_t length);
    bool writeAll(const char* bytes, std::size_t length);

    int socket_;
};

}  // namespace plovik::sim

#endif
