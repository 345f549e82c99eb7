// Whole reads and writes on a stream socket, bounded in time so a peer that went silent ends the
// conversation instead of holding a thread forever.
#ifndef PLOVIK_DEVEMU_SOCKETIO_H
#define PLOVIK_DEVEMU_SOCKETIO_H

#include <cstddef>

namespace plovik::devemu {

// false when the peer closed or nothing came for timeoutMs.
bool readExactly(int socket, void* buffer, std::size_t length, int timeoutMs = 30000);
// false when the peer is gone; never raises SIGPIPE.
bool writeAll(int socket, const void* bytes, std::size_t length);

}  // namespace plovik::devemu

#endif
