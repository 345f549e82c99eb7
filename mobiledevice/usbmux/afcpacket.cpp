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

}  // namespace plovik::usbmux
