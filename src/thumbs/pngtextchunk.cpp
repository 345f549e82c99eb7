#include "thumbs/pngtextchunk.h"

#include <array>
#include <cstring>

namespace {

constexpr std::array<uint8_t, 8> kSignature = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
// Length, type and checksum around each chunk's data.
constexpr size_t kChunkFrame = 12;
constexpr uint32_t kMaxChunkLength = 0x7FFFFFFF;

constexpr std::array<uint32_t, 256> makeCrcTable() {
    std::array<uint32_t, 256> table{};
    for (uint32_t n = 0; n < 256; ++n) {
        uint32_t c = n;
        for (int k = 0; k < 8; ++k)
            c = (c & 1) ? 0xEDB88320u ^ (c >> 1) : c >> 1;
        table[n] = c;
    }
    return table;
}

constexpr std::array<uint32_t, 256> kCrcTable = makeCrcTable();

// The checksum of a chunk covers its type and its data.
uint32_t chunkCrc(std::span<const uint8_t> typeAndData) {
    uint32_t c = 0xFFFFFFFFu;
    for (const uint8_t byte : typeAndData)
        c = kCrcTable[(c ^ byte) & 0xFF] ^ (c >> 8);
    return c ^ 0xFFFFFFFFu;
}

uint32_t readBigEndian(const uint8_t* bytes) {
    return uint32_t{bytes[0]} << 24 | uint32_t{bytes[1]} << 16 | uint32_t{bytes[2]} << 8 |
           uint32_t{bytes[3]};
}

void appendBigEndian(std::vector<uint8_t>& out, uint32_t value) {
    for (int shift = 24; shift >= 0; shift -= 8)
        out.push_back(static_cast<uint8_t>(value >> shift));
}

bool hasSignature(std::span<const uint8_t> png) {
    return png.size() >= kSignature.size() &&
           std::memcmp(png.data(), kSignature.data(), kSignature.size()) == 0;
}

struct Chunk {
    std::string_view type;
    std::span<const uint8_t> data;
    // Type and data: what the checksum covers.
    std::span<const uint8_t> checked;
    uint32_t crc;
};

// The chunk at offset, or nothing when it does not fit in png.
std::optional<Chunk> chunkAt(std::span<const uint8_t> png, size_t offset) {
    if (png.size() - offset < kChunkFrame)
        return std::nullopt;
    const uint32_t length = readBigEndian(&png[offset]);
    if (length > kMaxChunkLength || png.size() - offset - kChunkFrame < length)
        return std::nullopt;
    const auto* type = reinterpret_cast<const char*>(&png[offset + 4]);
    return Chunk{{type, 4},
                 png.subspan(offset + 8, length),
                 png.subspan(offset + 4, length + 4),
                 readBigEndian(&png[offset + 8 + length])};
}

// The part of data before its first zero byte, and the rest after that zero.
std::optional<std::pair<std::string_view, std::span<const uint8_t>>> splitAtZero(
    std::span<const uint8_t> data) {
    const auto* begin = reinterpret_cast<const char*>(data.data());
    const auto* zero = static_cast<const char*>(std::memchr(begin, 0, data.size()));
    if (zero == nullptr)
        return std::nullopt;
    const auto length = static_cast<size_t>(zero - begin);
    return std::make_pair(std::string_view(begin, length), data.subspan(length + 1));
}

// The text of an uncompressed iTXt chunk of keyword.
std::optional<std::string> internationalText(std::span<const uint8_t> data,
                                             std::string_view keyword) {
    const auto name = splitAtZero(data);
    if (!name || name->first != keyword)
        return std::nullopt;
    // Compression flag and method, then the language tag and the translated keyword.
    std::span<const uint8_t> rest = name->second;
    if (rest.size() < 2 || rest[0] != 0)
        return std::nullopt;
    const auto language = splitAtZero(rest.subspan(2));
    if (!language)
        return std::nullopt;
    const auto translated = splitAtZero(language->second);
    if (!translated)
        return std::nullopt;
    const auto& text = translated->second;
    return std::string(reinterpret_cast<const char*>(text.data()), text.size());
}

}  // namespace

std::optional<std::vector<uint8_t>> withTextChunk(std::span<const uint8_t> png,
                                                  std::string_view keyword, std::string_view text) {
    if (!hasSignature(png))
        return std::nullopt;
    const auto header = chunkAt(png, kSignature.size());
    if (!header || header->type != "IHDR")
        return std::nullopt;
    const size_t afterHeader = kSignature.size() + kChunkFrame + header->data.size();

    std::vector<uint8_t> chunk;
    const uint32_t length = static_cast<uint32_t>(keyword.size() + 5 + text.size());
    appendBigEndian(chunk, length);
    chunk.insert(chunk.end(), {'i', 'T', 'X', 't'});
    chunk.insert(chunk.end(), keyword.begin(), keyword.end());
    // Keyword end, not compressed, compression method, empty language tag and translation.
    chunk.insert(chunk.end(), {0, 0, 0, 0, 0});
    chunk.insert(chunk.end(), text.begin(), text.end());
    appendBigEndian(chunk, chunkCrc(std::span(chunk).subspan(4)));

    std::vector<uint8_t> out(png.begin(), png.begin() + static_cast<ptrdiff_t>(afterHeader));
    out.insert(out.end(), chunk.begin(), chunk.end());
    out.insert(out.end(), png.begin() + static_cast<ptrdiff_t>(afterHeader), png.end());
    return out;
}

std::optional<std::string> findTextChunk(std::span<const uint8_t> png, std::string_view keyword) {
    if (!hasSignature(png))
        return std::nullopt;
    size_t offset = kSignature.size();
    while (const auto chunk = chunkAt(png, offset)) {
        if (chunk->type == "IEND")
            break;
        if (chunk->type == "iTXt") {
            if (chunkCrc(chunk->checked) != chunk->crc)
                return std::nullopt;
            if (auto text = internationalText(chunk->data, keyword))
                return text;
        }
        offset += kChunkFrame + chunk->data.size();
    }
    return std::nullopt;
}
