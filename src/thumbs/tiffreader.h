#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>

/**
 * Reads the TIFF structure of an Exif segment in its own byte order. Every read is checked
 * against the data's end, whatever offsets and counts the data claims.
 */
class TiffReader {
public:
    static constexpr size_t kIfdEntrySize = 12;
    static constexpr uint16_t kShortType = 3;
    static constexpr uint16_t kLongType = 4;

    explicit TiffReader(std::span<const uint8_t> tiff) : tiff_(tiff) {}

    /** Reads the byte order from the header; false when the header is not a TIFF one. */
    bool readHeader();
    /** The offset of the first directory (IFD), as the header says. */
    uint32_t firstDirectory() const { return read(4, 4); }
    /** The number of entries of the directory at offset; nothing when it lies outside. */
    std::optional<uint32_t> entryCount(uint64_t directory) const;
    /**
     * The offset of the directory's entry number index; nothing when the entry lies outside the
     * data (a count that claims more entries than there are ends at the data's end).
     */
    std::optional<uint64_t> entry(uint64_t directory, uint32_t index) const;
    /** The tag, type and count of the entry at offset, which entry() has given. */
    uint16_t entryTag(uint64_t entry) const { return static_cast<uint16_t>(read(entry, 2)); }
    uint16_t entryType(uint64_t entry) const { return static_cast<uint16_t>(read(entry + 2, 2)); }
    uint32_t entryValueCount(uint64_t entry) const { return read(entry + 4, 4); }
    /** The single SHORT or LONG value the entry holds; nothing for another type or count. */
    std::optional<uint32_t> entryValue(uint64_t entry) const;
    /**
     * Where the entry's values lie: inside the entry when size bytes fit its four, else at the
     * offset it holds; nothing when they would run past the data's end.
     */
    std::optional<uint64_t> entryValueOffset(uint64_t entry, uint64_t size) const {
        const uint64_t at = size <= 4 ? entry + 8 : read(entry + 8, 4);
        return holds(at, size) ? std::optional(at) : std::nullopt;
    }
    /** The offset of the directory after the one at offset; nothing when it lies outside. */
    std::optional<uint32_t> nextDirectory(uint64_t directory) const;

    bool holds(uint64_t offset, uint64_t count) const {
        return offset <= tiff_.size() && count <= tiff_.size() - offset;
    }
    std::span<const uint8_t> bytes() const { return tiff_; }

private:
    // The unsigned value of count bytes at offset, which the caller has checked with holds().
    uint32_t read(uint64_t offset, size_t count) const;

    std::span<const uint8_t> tiff_;
    bool bigEndian_ = false;
};
