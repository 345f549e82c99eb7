// AFC spoken over a service connection: afc, afc2, or a house arrest connection after the
// container was vended (the same stream, never a second one). One request is in flight at a time.
// Replies are checked before they are trusted: a reply to another packet, a malformed header, an
// oversized body or a stream that ends mid-reply marks the connection broken, and every later
// call fails at once instead of reading the rest of a desynchronised stream.
// Results are 0, an AFC status code from the device, or a results.h code.
#ifndef PLOVIK_USBMUX_AFCCONNECTION_H
#define PLOVIK_USBMUX_AFCCONNECTION_H

#include "afcpacket.h"

#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

namespace plovik::usbmux {

class ServiceConnection;

class AfcConnection {
public:
    explicit AfcConnection(std::shared_ptr<ServiceConnection> service);

    int readDirectory(const char* path, std::vector<std::string>* names);
    int fileInfo(const char* path, std::vector<std::string>* keysAndValues);
    int makeDirectory(const char* path);
    int removePath(const char* path);
    int renamePath(const char* from, const char* to);

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
        std::vector<uint8_t> body;
    };

    int request(AfcOperation operation, const std::vector<uint8_t>& arguments, Reply* reply,
                const void* payload = nullptr, size_t payloadLength = 0);
    int send(AfcOperation operation, const std::vector<uint8_t>& arguments, const void* payload,
             size_t payloadLength);
    int receiveHeader(AfcHeader* header);
    int receiveExactly(void* buffer, size_t length);
    int discard(uint64_t length);
    int readChunk(uint64_t file, uint8_t* buffer, uint32_t length, uint32_t* received);
    int fail(int code);

    // A status reply's code; any other reply is out of place for these requests.
    static int statusOf(const Reply& reply);

    const std::shared_ptr<ServiceConnection> service_;
    std::mutex mutex_;
    uint64_t lastPacketNumber_ = 0;
    bool broken_ = false;
};

}  // namespace plovik::usbmux

#endif
