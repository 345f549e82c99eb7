// AFC wire format: the 40-byte little-endian packet header, operation codes, and the encoding of
// request arguments and reply bodies.
#ifndef PLOVIK_USBMUX_AFCPACKET_H
#define PLOVIK_USBMUX_AFCPACKET_H

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace plovik::usbmux {

enum class AfcOperation : uint64_t {
    Status = 0x01,
    Data = 0x02,
    ReadDirectory = 0x03,
    RemovePath = 0x08,
    MakeDirectory = 0x09,
    GetFileInfo = 0x0A,
    FileOpen = 0x0D,
    FileOpenResult = 0x0E,
    FileRead = 0x0F,
    FileWrite = 0x10,
    FileSeek = 0x11,
    FileTell = 0x12,
    FileTellResult = 0x13,
    FileClose = 0x14,
    RenamePath = 0x18,
    SetFileTime = 0x1E,
};

// Status codes a device answers with (afc_error_t's values).
inline constexpr int kAfcObjectNotFound = 8;
inline constexpr int kAfcObjectIsDirectory = 9;
inline constexpr int kAfcTooMuchData = 13;  // more data than the operation takes
inline constexpr int kAfcObjectExists = 16;
inline constexpr int kAfcNoSpaceLeft = 18;

// File open modes.
// "r": the only mode whose file position nobody but the reader moves.
inline constexpr uint64_t kAfcReadOnlyMode = 1;
// "w": creates the file, or empties it.
inline constexpr uint64_t kAfcWriteTruncateMode = 3;

struct AfcHeader {
    static constexpr size_t kSize = 40;

    uint64_t entireLength = 0;  // header + arguments + payload
    uint64_t thisLength = 0;    // header + arguments
    uint64_t packetNumber = 0;
    uint64_t operation = 0;

    void encode(uint8_t* out) const;
    static AfcHeader decode(const uint8_t* in);
};

void appendUint64(std::vector<uint8_t>& bytes, uint64_t value);
void appendText(std::vector<uint8_t>& bytes, const char* text);  // with its terminating zero
uint64_t readUint64(const uint8_t* bytes);

// The arguments of requests on a path or an open file.
std::vector<uint8_t> pathArgument(const char* path);
std::vector<uint8_t> openArguments(uint64_t mode, const char* path);
std::vector<uint8_t> handleArgument(uint64_t handle);
std::vector<uint8_t> readArguments(uint64_t handle, uint64_t length);

// The zero-terminated texts of a DATA body, in order; an unterminated tail counts as one more.
std::vector<std::string> splitTexts(const std::vector<uint8_t>& body);
// A file information body's keys and values, in pairs; a key without its value is dropped.
std::vector<std::string> splitKeysAndValues(const std::vector<uint8_t>& body);
// The value of key in a file information body, the first where it stands more than once.
std::optional<std::string> fileInfoValue(const std::vector<uint8_t>& body, std::string_view key);
// The handle an open's reply body brings; none where it is too short or 0, which no open file has.
std::optional<uint64_t> openedHandle(const std::vector<uint8_t>& body);

}  // namespace plovik::usbmux

#endif
