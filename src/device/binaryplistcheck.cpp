#include "device/binaryplistcheck.h"

#include <algorithm>
#include <cstring>
#include <optional>
#include <vector>

namespace {

constexpr char kMagic[] = "bplist00";
constexpr size_t kMagicSize = 8;
constexpr size_t kTrailerSize = 32;

constexpr uint8_t kTypeMask = 0xF0;
constexpr uint8_t kSizeMask = 0x0F;
constexpr uint8_t kInteger = 0x10;
constexpr uint8_t kArray = 0xA0;
constexpr uint8_t kSet = 0xC0;
constexpr uint8_t kDictionary = 0xD0;

// An object's height while it is on the walk's path, which no finished height reaches.
constexpr uint8_t kOnPath = 0xFF;

/** A big-endian number of width bytes; libplist keeps the last 8 of a wider one. */
uint64_t readNumber(const uint8_t* bytes, size_t width) {
    if (width > 8) {
        bytes += width - 8;
        width = 8;
    }
    uint64_t value = 0;
    for (size_t i = 0; i < width; ++i)
        value = value << 8 | bytes[i];
    return value;
}

struct Table {
    std::span<const uint8_t> bytes;
    uint64_t offsetTable = 0;
    uint64_t objects = 0;
    uint8_t offsetSize = 0;
    uint8_t referenceSize = 0;
    uint64_t root = 0;
};

/** The trailer's table, checked as libplist checks it; nothing when it is out of range. */
std::optional<Table> readTable(std::span<const uint8_t> bytes) {
    if (bytes.size() < kMagicSize + kTrailerSize || !isBinaryPlist(bytes))
        return std::nullopt;
    const uint8_t* trailer = bytes.data() + bytes.size() - kTrailerSize;
    Table table{bytes,      readNumber(trailer + 24, 8), readNumber(trailer + 8, 8), trailer[6],
                trailer[7], readNumber(trailer + 16, 8)};
    const uint64_t trailerAt = bytes.size() - kTrailerSize;
    if (table.objects == 0 || table.offsetSize == 0 || table.referenceSize == 0 ||
        table.root >= table.objects || table.offsetTable < kMagicSize ||
        table.offsetTable >= trailerAt ||
        table.objects > (trailerAt - table.offsetTable) / table.offsetSize)
        return std::nullopt;
    return table;
}

/** Where a container's references start and how many there are. */
struct References {
    uint64_t at = 0;
    uint64_t count = 0;
};

/**
 * The references of the object, none for a plain value; nothing when its offset, its size or
 * its references lie outside the objects before the offset table.
 */
std::optional<References> referencesOf(const Table& table, uint64_t object) {
    const uint64_t offset = readNumber(
        table.bytes.data() + table.offsetTable + object * table.offsetSize, table.offsetSize);
    if (offset >= table.offsetTable)
        return std::nullopt;
    const uint8_t marker = table.bytes[offset];
    const uint8_t type = marker & kTypeMask;
    if (type != kArray && type != kSet && type != kDictionary)
        return References{};
    uint64_t at = offset + 1;
    uint64_t size = marker & kSizeMask;
    if (size == kSizeMask) {
        if (at >= table.offsetTable || (table.bytes[at] & kTypeMask) != kInteger)
            return std::nullopt;
        const uint64_t width = uint64_t{1} << (table.bytes[at] & kSizeMask);
        ++at;
        if (width > table.offsetTable - at)
            return std::nullopt;
        size = readNumber(table.bytes.data() + at, width);
        at += width;
    }
    const uint64_t room = (table.offsetTable - at) / table.referenceSize;
    const uint64_t perEntry = type == kDictionary ? 2 : 1;
    if (size > room / perEntry)
        return std::nullopt;
    return References{at, size * perEntry};
}

/** One container on the walk's path. */
struct Step {
    uint64_t object = 0;
    References references;
    uint64_t next = 0;
    uint8_t height = 1;
    uint64_t nodes = 1;
};

}  // namespace

bool isBinaryPlist(std::span<const uint8_t> bytes) {
    return bytes.size() >= kMagicSize && std::memcmp(bytes.data(), kMagic, kMagicSize) == 0;
}

BinaryPlistCheck checkBinaryPlist(std::span<const uint8_t> bytes, int maxDepth, uint64_t maxNodes) {
    const std::optional<Table> table = readTable(bytes);
    if (!table || maxDepth < 1 || maxDepth >= kOnPath)
        return BinaryPlistCheck::Malformed;
    // Per object: 0 before it is visited, then its height; and the nodes of its tree.
    std::vector<uint8_t> heights(table->objects, 0);
    std::vector<uint64_t> nodes(table->objects, 0);
    std::vector<Step> path;

    // Visits an object: a finished one gives its height at once, a container goes on the path.
    auto enter = [&](uint64_t object) -> std::optional<BinaryPlistCheck> {
        if (heights[object] == kOnPath)
            return BinaryPlistCheck::Malformed;
        if (heights[object] != 0)
            return std::nullopt;
        const std::optional<References> references = referencesOf(*table, object);
        if (!references)
            return BinaryPlistCheck::Malformed;
        if (references->count == 0) {
            heights[object] = 1;
            nodes[object] = 1;
            return std::nullopt;
        }
        if (path.size() + 1 >= static_cast<size_t>(maxDepth))
            return BinaryPlistCheck::TooDeep;
        heights[object] = kOnPath;
        path.push_back({object, *references});
        return std::nullopt;
    };

    if (const auto failed = enter(table->root))
        return *failed;
    while (!path.empty()) {
        const Step& step = path.back();
        if (step.next == step.references.count) {
            heights[step.object] = step.height;
            nodes[step.object] = step.nodes;
            path.pop_back();
            continue;
        }
        const uint64_t child =
            readNumber(bytes.data() + step.references.at + step.next * table->referenceSize,
                       table->referenceSize);
        if (child >= table->objects)
            return BinaryPlistCheck::Malformed;
        if (const auto failed = enter(child))
            return *failed;
        if (heights[child] == kOnPath)
            continue;
        // A finished child may have been reached before by a shorter path: its deepest value
        // lies here at the parent's depth (the path's length) plus its height.
        if (path.size() + heights[child] > static_cast<size_t>(maxDepth))
            return BinaryPlistCheck::TooDeep;
        Step& parent = path.back();
        ++parent.next;
        parent.height = std::max(parent.height, static_cast<uint8_t>(heights[child] + 1));
        parent.nodes += nodes[child];
        if (parent.nodes > maxNodes)
            return BinaryPlistCheck::TooLarge;
    }
    return nodes[table->root] > maxNodes ? BinaryPlistCheck::TooLarge
                                         : BinaryPlistCheck::Acceptable;
}
