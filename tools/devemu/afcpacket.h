// AFC packets as a device reads and sends them: a 40-byte little-endian header (magic, entire
// length, this length, packet number, operation), arguments, and for writes a payload.
#ifndef PLOVIK_DEVEMU_AFCPACKET_H
#define PLOVIK_DEVEMU_AFCPACKET_H

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace plovik::devemu {

enum AfcOperation : uint64_t {
    kAfcStatus = 0x01,
    kAfcData = 0x02,
    kAfcReadDirectory = 0x03,
    kAfcRemovePath = 0x08,
    kAfcMakeDirectory = 0x09,
    kAfcGetFileInfo = 0x0A,
    kAfcGetDeviceInfo = 0x0B,
    kAfcFileOpen = 0x0D,
    kAfcFileOpenResult = 0x0E,
    kAfcFileRead = 0x0F,
    kAfcFileWrite = 0x10,
    kAfcFileSeek = 0x11,
    kAfcFileTell = 0x12,
    kAfcFileTellResult = 0x13,
    kAfcFileClose = 0x14,
    kAfcRenamePath = 0x18,
    kAfcSetFileTime = 0x1E,
};

// The operation's name as statistics print it, "Op0x.." for one this emulator does not know.
std::string afcOperationName(uint64_t operation);

struct AfcRequest {
    uint64_t packetNumber = 0;
    uint64_t operation = 0;
    std::string arguments;
    std::string payload;

    // The little-endian number at offset of the arguments; 0 when they are shorter.
    uint64_t number(std::size_t offset) const;
    // The zero-terminated text at offset of the arguments; empty when they are shorter.
    std::string text(std::size_t offset) const;
};

struct AfcReply {
    uint64_t operation = kAfcStatus;
    std::string body;

    static AfcReply status(uint64_t code);
    static AfcReply number(uint64_t operation, uint64_t value);
};

// false when the peer closed, or the header is inconsistent or asks for an absurd size.
bool receiveAfcRequest(int socket, AfcRequest& request);

enum class AfcParse { Complete, Incomplete, Invalid };
// The request at the start of bytes, and in used the bytes it took, when all of it is there;
// Invalid for a header receiveAfcRequest would refuse.
AfcParse parseAfcRequest(std::string_view bytes, AfcRequest& request, std::size_t& used);
// DATA replies count only the header as this_length, as a device sends them: the client reads
// that part with a single recv and loops over the rest.
std::string encodeAfcReply(uint64_t packetNumber, const AfcReply& reply);

}  // namespace plovik::devemu

#endif
