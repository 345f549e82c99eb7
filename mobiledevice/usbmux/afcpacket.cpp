#include "afcpacket.h"

#include <algorithm>
#include <cstring>

namespace plovik::usbmux {

namespace {

constexpr char kMagic[] = "CFA6LPAA";

void storeUint64(uint8_t* out, uint64_t value) {
    for (size_t i = 0; i < 8; ++i) {
        out[i] = static_cast<uint8_t>(value >> (8 * i));
    }
}

}  // namespace

void AfcHeader::encode(uint8_t* out) const {
    std::memcpy(out, kMagic, 8);
    storeUint64(out + 8, entireLength);
    storeUint64(out + 16, thisLength);
    storeUint64(out + 24, packetNumber);
    storeUint64(out + 32, operation);
}

AfcHeader AfcHeader::decode(const uint8_t* in) {
    // The magic is not checked: the client library the devices are tested with does not either.
    AfcHeader header;
    header.entireLength = readUint64(in + 8);
    header.thisLength = readUint64(in + 16);
    header.packetNumber = readUint64(in + 24);
    header.operation = readUint64(in + 32);
    return header;
}

void appendUint64(std::vector<uint8_t>& bytes, uint64_t value) {
    const size_t end = bytes.size();
    bytes.resize(end + 8);
    storeUint64(bytes.data() + end, value);
}

void appendText(std::vector<uint8_t>& bytes, const char* text) {
    bytes.insert(bytes.end(), text, text + std::strlen(text) + 1);
}

uint64_t readUint64(const uint8_t* bytes) {
    uint64_t value = 0;
    for (size_t i = 0; i < 8; ++i) {
        value |= uint64_t{bytes[i]} << (8 * i);
    }
    return value;
}

std::vector<uint8_t> pathArgument(const char* path) {
    std::vector<uint8_t> arguments;
    appendText(arguments, path);
    return arguments;
}

std::vector<uint8_t> openArguments(uint64_t mode, const char* path) {
    std::vector<uint8_t> arguments;
    appendUint64(arguments, mode);
    appendText(arguments, path);
    return arguments;
}

std::vector<uint8_t> handleArgument(uint64_t handle) {
    std::vector<uint8_t> arguments;
    appendUint64(arguments, handle);
    return arguments;
}

std::vector<uint8_t> readArguments(uint64_t handle, uint64_t length) {
    std::vector<uint8_t> arguments = handleArgument(handle);
    appendUint64(arguments, length);
    return arguments;
}

std::vector<std::string> splitTexts(const std::vector<uint8_t>& body) {
    std::vector<std::string> texts;
    auto start = body.begin();
    while (start != body.end()) {
        const auto end = std::find(start, body.end(), uint8_t{0});
        texts.emplace_back(start, end);
        start = end == body.end() ? end : end + 1;
    }
    return texts;
}

std::vector<std::string> splitKeysAndValues(const std::vector<uint8_t>& body) {
    std::vector<std::string> texts = splitTexts(body);
    if (texts.size() % 2 != 0) {
        texts.pop_back();
    }
    return texts;
}

std::optional<std::string> fileInfoValue(const std::vector<uint8_t>& body, std::string_view key) {
    const std::vector<std::string> pairs = splitKeysAndValues(body);
    for (size_t at = 0; at < pairs.size(); at += 2) {
        if (pairs[at] == key) {
            return pairs[at + 1];
        }
    }
    return std::nullopt;
}

std::optional<uint64_t> openedHandle(const std::vector<uint8_t>& body) {
    if (body.size() < 8 || readUint64(body.data()) == 0) {
        return std::nullopt;
    }
    return readUint64(body.data());
}

}  // namespace plovik::usbmux
