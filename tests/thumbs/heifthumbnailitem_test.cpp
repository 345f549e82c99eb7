#include "thumbs/heifthumbnailitem.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

#include "support/allocationgauge.h"
#include "thumbs/memoryimagefile.h"

namespace {

using Bytes = std::vector<uint8_t>;

void appendBigEndian(Bytes& out, uint64_t value, size_t count) {
    for (size_t i = count; i-- > 0;)
        out.push_back(static_cast<uint8_t>(value >> (8 * i)));
}

void appendBox(Bytes& out, const char* type, const Bytes& payload) {
    appendBigEndian(out, payload.size() + 8, 4);
    out.insert(out.end(), type, type + 4);
    out.insert(out.end(), payload.begin(), payload.end());
}

struct Location {
    uint16_t id = 0;
    uint16_t extents = 0;
};

// A HEIF file whose item-location box has zero-sized offsets, lengths and base offsets, so that
// each extent takes no byte of the file at all.
Bytes heifWithLocations(const std::vector<Location>& locations) {
    Bytes fileType;
    fileType.insert(fileType.end(), {'h', 'e', 'i', 'c', 0, 0, 0, 0, 'm', 'i', 'f', '1'});
    Bytes handler = {0, 0, 0, 0, 0, 0, 0, 0, 'p', 'i', 'c', 't'};
    handler.resize(handler.size() + 13, 0);
    Bytes primary = {0, 0, 0, 0, 0, 1};
    Bytes location = {1, 0, 0, 0, 0x00, 0x00};
    appendBigEndian(location, locations.size(), 2);
    for (const Location& item : locations) {
        appendBigEndian(location, item.id, 2);
        appendBigEndian(location, 0, 2);  // construction method
        appendBigEndian(location, 0, 2);  // data reference
        appendBigEndian(location, item.extents, 2);
    }
    Bytes meta = {0, 0, 0, 0};
    appendBox(meta, "hdlr", handler);
    appendBox(meta, "pitm", primary);
    appendBox(meta, "iloc", location);
    Bytes file;
    appendBox(file, "ftyp", fileType);
    appendBox(file, "meta", meta);
    return file;
}

// What extractHeifThumbnail allocates for the file.
uint64_t bytesAllocatedToRead(const Bytes& heif) {
    MemoryImageFile file(heif);
    const uint64_t before = allocatedBytes();
    EXPECT_FALSE(extractHeifThumbnail(file));
    return allocatedBytes() - before;
}

TEST(HeifThumbnailItem, ExtentsThatTakeNoBytesCostNoMoreThanTheBytesOfTheBox) {
    if (!allocationsGauged())
        GTEST_SKIP() << "operator new is the memory checker's";
    // 65535 extents for every 8 bytes: 64 items once took 64 MB, 3,000 several gigabytes.
    std::vector<Location> distinct;
    for (uint16_t id = 1; id <= 64; ++id)
        distinct.push_back({id, 0xFFFF});
    const Bytes many = heifWithLocations(distinct);
    EXPECT_LT(bytesAllocatedToRead(many), 64 * many.size());

    // The same item again and again once spun for seconds, rebuilding its extents each time.
    const Bytes repeated = heifWithLocations(std::vector<Location>(2000, Location{7, 0xFFFF}));
    EXPECT_LT(bytesAllocatedToRead(repeated), 64 * repeated.size());
}

}  // namespace
