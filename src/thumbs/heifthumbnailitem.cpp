#include "thumbs/heifthumbnailitem.h"

#include <algorithm>
#include <map>
#include <set>
#include <span>

#include "thumbs/thumbnailmaker.h"

namespace {

using Bytes = std::vector<uint8_t>;
using ItemId = uint32_t;

// Larger metadata or thumbnails than any phone writes are not taken out.
constexpr uint64_t kMaxMetaBytes = 16 * 1024 * 1024;
constexpr uint64_t kMaxThumbnailBytes = 16 * 1024 * 1024;
constexpr uint64_t kMaxFileTypeBytes = 4096;
constexpr int kMaxTopLevelBoxes = 64;
constexpr uint8_t kMaxAssociationIndex = 0x7F;
// Phones store a thumbnail in one extent; each extent is a read from the device.
constexpr size_t kMaxThumbnailExtents = 16;

constexpr uint32_t fourCc(const char (&code)[5]) {
    return uint32_t(uint8_t(code[0])) << 24 | uint32_t(uint8_t(code[1])) << 16 |
           uint32_t(uint8_t(code[2])) << 8 | uint32_t(uint8_t(code[3]));
}

/** Big-endian fields read one after another from a span; any read past its end fails all. */
class FieldReader {
public:
    explicit FieldReader(std::span<const uint8_t> bytes) : bytes_(bytes) {}

    uint64_t read(size_t count) {
        if (!ok_ || count > bytes_.size() - at_) {
            ok_ = false;
            return 0;
        }
        uint64_t value = 0;
        for (size_t i = 0; i < count; ++i)
            value = value << 8 | bytes_[at_ + i];
        at_ += count;
        return value;
    }
    std::span<const uint8_t> rest() const {
        return ok_ ? bytes_.subspan(at_) : std::span<const uint8_t>();
    }
    bool ok() const { return ok_; }

private:
    std::span<const uint8_t> bytes_;
    size_t at_ = 0;
    bool ok_ = true;
};

struct Box {
    uint32_t type = 0;
    std::span<const uint8_t> whole;
    std::span<const uint8_t> payload;
};

/** The boxes that fill bytes one after another; nothing when one of them is malformed. */
std::optional<std::vector<Box>> boxesIn(std::span<const uint8_t> bytes) {
    std::vector<Box> boxes;
    while (!bytes.empty()) {
        FieldReader header(bytes);
        uint64_t size = header.read(4);
        const auto type = static_cast<uint32_t>(header.read(4));
        size_t headerSize = 8;
        if (size == 1) {
            size = header.read(8);
            headerSize = 16;
        } else if (size == 0) {
            size = bytes.size();
        }
        if (!header.ok() || size < headerSize || size > bytes.size())
            return std::nullopt;
        const auto whole = bytes.first(static_cast<size_t>(size));
        boxes.push_back({type, whole, whole.subspan(headerSize)});
        bytes = bytes.subspan(static_cast<size_t>(size));
    }
    return boxes;
}

struct Extent {
    uint64_t offset = 0;
    uint64_t length = 0;
};
struct Location {
    uint16_t method = 0;
    std::vector<Extent> extents;
};
struct Association {
    bool essential = false;
    uint16_t property = 0;  // 1-based index into the property container
};

/** What the metadata box says about the items. */
struct Items {
    ItemId primary = 0;
    std::map<ItemId, Box> infos;
    std::map<ItemId, uint32_t> types;
    std::map<ItemId, Location> locations;
    std::map<ItemId, std::vector<Association>> associations;
    std::vector<Box> properties;
    std::set<ItemId> thumbnailsOfPrimary;
    Box handler;
};

bool readPrimary(const Box& box, Items& items) {
    FieldReader fields(box.payload);
    const uint64_t version = fields.read(1);
    fields.read(3);
    items.primary = static_cast<ItemId>(fields.read(version == 0 ? 2 : 4));
    return fields.ok();
}

bool readInfos(const Box& box, Items& items) {
    FieldReader fields(box.payload);
    const uint64_t version = fields.read(1);
    fields.read(3);
    fields.read(version == 0 ? 2 : 4);
    const auto entries = boxesIn(fields.rest());
    if (!fields.ok() || !entries)
        return false;
    for (const Box& entry : *entries) {
        if (entry.type != fourCc("infe"))
            continue;
        FieldReader info(entry.payload);
        const uint64_t infoVersion = info.read(1);
        info.read(3);
        // Versions before 2 carry no item type; such items are not images.
        if (infoVersion < 2)
            continue;
        const auto id = static_cast<ItemId>(info.read(infoVersion == 2 ? 2 : 4));
        info.read(2);
        const auto type = static_cast<uint32_t>(info.read(4));
        if (!info.ok())
            return false;
        items.infos[id] = entry;
        items.types[id] = type;
    }
    return true;
}

bool readReferences(const Box& box, Items& items) {
    FieldReader fields(box.payload);
    const uint64_t version = fields.read(1);
    fields.read(3);
    const size_t idSize = version == 0 ? 2 : 4;
    const auto references = boxesIn(fields.rest());
    if (!fields.ok() || !references)
        return false;
    for (const Box& reference : *references) {
        if (reference.type != fourCc("thmb"))
            continue;
        FieldReader ids(reference.payload);
        const auto from = static_cast<ItemId>(ids.read(idSize));
        const uint64_t count = ids.read(2);
        for (uint64_t i = 0; i < count && ids.ok(); ++i) {
            if (static_cast<ItemId>(ids.read(idSize)) == items.primary && ids.ok())
                items.thumbnailsOfPrimary.insert(from);
        }
        if (!ids.ok())
            return false;
    }
    return true;
}

bool readLocations(const Box& box, Items& items) {
    FieldReader fields(box.payload);
    const uint64_t version = fields.read(1);
    fields.read(3);
    const uint64_t sizes = fields.read(1);
    const uint64_t moreSizes = fields.read(1);
    const size_t offsetSize = sizes >> 4;
    const size_t lengthSize = sizes & 0xF;
    const size_t baseOffsetSize = moreSizes >> 4;
    const size_t indexSize = version == 0 ? 0 : moreSizes & 0xF;
    const uint64_t count = fields.read(version < 2 ? 2 : 4);
    // Fields may be zero bytes wide, so an extent can take no input at all: the extents of all
    // items, repeated ones included, may not outnumber the box's bytes.
    uint64_t extentBudget = box.payload.size();
    for (uint64_t i = 0; i < count && fields.ok(); ++i) {
        const auto id = static_cast<ItemId>(fields.read(version < 2 ? 2 : 4));
        Location location;
        if (version > 0)
            location.method = static_cast<uint16_t>(fields.read(2) & 0xF);
        fields.read(2);
        const uint64_t base = fields.read(baseOffsetSize);
        const uint64_t extents = fields.read(2);
        if (extents > extentBudget)
            return false;
        extentBudget -= extents;
        for (uint64_t e = 0; e < extents && fields.ok(); ++e) {
            fields.read(indexSize);
            const uint64_t offset = fields.read(offsetSize);
            const uint64_t length = fields.read(lengthSize);
            location.extents.push_back({base + offset, length});
        }
        items.locations[id] = std::move(location);
    }
    return fields.ok();
}

bool readProperties(const Box& box, Items& items) {
    const auto children = boxesIn(box.payload);
    if (!children)
        return false;
    for (const Box& child : *children) {
        if (child.type == fourCc("ipco")) {
            const auto properties = boxesIn(child.payload);
            if (!properties)
                return false;
            items.properties = *properties;
        } else if (child.type == fourCc("ipma")) {
            FieldReader fields(child.payload);
            const uint64_t version = fields.read(1);
            const uint64_t flags = fields.read(3);
            const uint64_t count = fields.read(4);
            for (uint64_t i = 0; i < count && fields.ok(); ++i) {
                const auto id = static_cast<ItemId>(fields.read(version < 1 ? 2 : 4));
                const uint64_t associations = fields.read(1);
                for (uint64_t a = 0; a < associations && fields.ok(); ++a) {
                    const bool wide = (flags & 1) != 0;
                    const uint64_t value = fields.read(wide ? 2 : 1);
                    const uint64_t essentialBit = wide ? 0x8000 : 0x80;
                    items.associations[id].push_back(
                        {(value & essentialBit) != 0,
                         static_cast<uint16_t>(value & (essentialBit - 1))});
                }
            }
            if (!fields.ok())
                return false;
        }
    }
    return true;
}

std::optional<Items> readItems(std::span<const uint8_t> metaPayload) {
    if (metaPayload.size() < 4)
        return std::nullopt;
    const auto children = boxesIn(metaPayload.subspan(4));
    if (!children)
        return std::nullopt;
    Items items;
    bool ok = true;
    // The primary item first: the references name it.
    for (const Box& child : *children) {
        if (child.type == fourCc("pitm"))
            ok = ok && readPrimary(child, items);
        else if (child.type == fourCc("hdlr"))
            items.handler = child;
    }
    for (const Box& child : *children) {
        if (child.type == fourCc("iinf"))
            ok = ok && readInfos(child, items);
        else if (child.type == fourCc("iref"))
            ok = ok && readReferences(child, items);
        else if (child.type == fourCc("iloc"))
            ok = ok && readLocations(child, items);
        else if (child.type == fourCc("iprp"))
            ok = ok && readProperties(child, items);
    }
    if (!ok || items.handler.whole.empty())
        return std::nullopt;
    return items;
}

const Box* propertyOf(const Items& items, ItemId id, uint32_t type) {
    const auto found = items.associations.find(id);
    if (found == items.associations.end())
        return nullptr;
    for (const Association& association : found->second) {
        const size_t index = association.property;
        if (index >= 1 && index <= items.properties.size() &&
            items.properties[index - 1].type == type)
            return &items.properties[index - 1];
    }
    return nullptr;
}

/** The item's size from its spatial extent, turned as its rotation says; 0 × 0 without one. */
ImageSize uprightSize(const Items& items, ItemId id) {
    const Box* extent = propertyOf(items, id, fourCc("ispe"));
    if (extent == nullptr)
        return {};
    FieldReader fields(extent->payload);
    fields.read(4);
    const uint64_t width = fields.read(4);
    const uint64_t height = fields.read(4);
    if (!fields.ok() || width > INT32_MAX || height > INT32_MAX)
        return {};
    ImageSize size{static_cast<int32_t>(width), static_cast<int32_t>(height)};
    const Box* rotation = propertyOf(items, id, fourCc("irot"));
    if (rotation != nullptr && !rotation->payload.empty() && (rotation->payload[0] & 1) != 0)
        std::swap(size.width, size.height);
    return size;
}

/** The total length of the item's data when it lies in the file itself. */
std::optional<uint64_t> lengthInFile(const Items& items, ItemId id) {
    const auto location = items.locations.find(id);
    if (location == items.locations.end() || location->second.method != 0 ||
        location->second.extents.empty() || location->second.extents.size() > kMaxThumbnailExtents)
        return std::nullopt;
    uint64_t total = 0;
    for (const Extent& extent : location->second.extents) {
        // A length of 0 stands for "to the end of the file", which no thumbnail needs.
        if (extent.length == 0 || extent.length > kMaxThumbnailBytes - total)
            return std::nullopt;
        total += extent.length;
    }
    return total;
}

std::optional<ItemId> servingThumbnail(const Items& items) {
    const ImageSize primary = uprightSize(items, items.primary);
    std::optional<ItemId> best;
    int64_t bestArea = 0;
    for (const ItemId id : items.thumbnailsOfPrimary) {
        const auto type = items.types.find(id);
        if (type == items.types.end() ||
            (type->second != fourCc("hvc1") && type->second != fourCc("av01")) ||
            !lengthInFile(items, id))
            continue;
        const ImageSize size = uprightSize(items, id);
        const int64_t area = int64_t{size.width} * size.height;
        if (previewIsEnough(size, primary) && (!best || area < bestArea)) {
            best = id;
            bestArea = area;
        }
    }
    return best;
}

void appendBigEndian(Bytes& out, uint64_t value, size_t count) {
    for (size_t i = count; i-- > 0;)
        out.push_back(static_cast<uint8_t>(value >> (8 * i)));
}

void appendBox(Bytes& out, uint32_t type, const Bytes& payload) {
    appendBigEndian(out, payload.size() + 8, 4);
    appendBigEndian(out, type, 4);
    out.insert(out.end(), payload.begin(), payload.end());
}

void appendFullBoxHeader(Bytes& out, uint8_t version) {
    out.push_back(version);
    appendBigEndian(out, 0, 3);
}

/**
 * The metadata box of a file whose only item is the thumbnail; dataOffsetAt tells where in it
 * the data's file offset is to be written. Nothing when its properties cannot be re-indexed.
 */
std::optional<Bytes> thumbnailMeta(const Items& items, ItemId id, uint64_t length,
                                   size_t& dataOffsetAt) {
    const bool wideIds = id > 0xFFFF;
    Bytes primary;
    appendFullBoxHeader(primary, wideIds ? 1 : 0);
    appendBigEndian(primary, id, wideIds ? 4 : 2);

    Bytes infos;
    appendFullBoxHeader(infos, 0);
    appendBigEndian(infos, 1, 2);
    const Box& info = items.infos.at(id);
    infos.insert(infos.end(), info.whole.begin(), info.whole.end());

    Bytes location;
    appendFullBoxHeader(location, wideIds ? 2 : 1);
    location.push_back(0x44);  // 4-byte offsets and lengths
    location.push_back(0x00);  // no base offset, no index
    appendBigEndian(location, 1, wideIds ? 4 : 2);
    appendBigEndian(location, id, wideIds ? 4 : 2);
    appendBigEndian(location, 0, 2);  // construction method 0: in the file
    appendBigEndian(location, 0, 2);  // data reference: this file
    appendBigEndian(location, 1, 2);
    const size_t offsetInLocation = location.size();
    appendBigEndian(location, 0, 4);
    appendBigEndian(location, length, 4);

    Bytes container;
    Bytes associations;
    appendFullBoxHeader(associations, wideIds ? 1 : 0);
    appendBigEndian(associations, 1, 4);
    appendBigEndian(associations, id, wideIds ? 4 : 2);
    const auto found = items.associations.find(id);
    const std::vector<Association> none;
    const std::vector<Association>& own = found == items.associations.end() ? none : found->second;
    if (own.size() > kMaxAssociationIndex)
        return std::nullopt;
    associations.push_back(static_cast<uint8_t>(own.size()));
    uint8_t index = 0;
    for (const Association& association : own) {
        if (association.property < 1 || association.property > items.properties.size())
            return std::nullopt;
        const Box& property = items.properties[association.property - 1];
        container.insert(container.end(), property.whole.begin(), property.whole.end());
        ++index;
        associations.push_back(static_cast<uint8_t>((association.essential ? 0x80 : 0) | index));
    }
    Bytes properties;
    appendBox(properties, fourCc("ipco"), container);
    appendBox(properties, fourCc("ipma"), associations);

    Bytes meta;
    appendFullBoxHeader(meta, 0);
    meta.insert(meta.end(), items.handler.whole.begin(), items.handler.whole.end());
    appendBox(meta, fourCc("pitm"), primary);
    appendBox(meta, fourCc("iinf"), infos);
    const size_t locationAt = meta.size() + 8;
    appendBox(meta, fourCc("iloc"), location);
    appendBox(meta, fourCc("iprp"), properties);
    Bytes box;
    appendBox(box, fourCc("meta"), meta);
    dataOffsetAt = 8 + locationAt + offsetInLocation;
    return box;
}

/** The file's file type box and metadata box, read whole; nothing when either is missing. */
std::optional<std::pair<Bytes, Bytes>> topLevelBoxes(ImageFile& file) {
    std::optional<Bytes> fileType;
    std::optional<Bytes> meta;
    uint64_t at = 0;
    for (int box = 0; box < kMaxTopLevelBoxes && at < file.size() && !(fileType && meta); ++box) {
        Bytes header(8);
        if (!file.read(at, header))
            return std::nullopt;
        FieldReader fields(header);
        uint64_t size = fields.read(4);
        const auto type = static_cast<uint32_t>(fields.read(4));
        if (size == 1) {
            Bytes large(8);
            if (!file.read(at + 8, large))
                return std::nullopt;
            size = FieldReader(large).read(8);
        } else if (size == 0) {
            size = file.size() - at;
        }
        if (size < 8 || size > file.size() - at)
            return std::nullopt;
        const uint64_t limit = type == fourCc("meta") ? kMaxMetaBytes : kMaxFileTypeBytes;
        if (type == fourCc("ftyp") || type == fourCc("meta")) {
            if (size > limit)
                return std::nullopt;
            Bytes whole(static_cast<size_t>(size));
            if (!file.read(at, whole))
                return std::nullopt;
            (type == fourCc("ftyp") ? fileType : meta) = std::move(whole);
        }
        at += size;
    }
    if (!fileType || !meta)
        return std::nullopt;
    return std::make_pair(std::move(*fileType), std::move(*meta));
}

}  // namespace

std::optional<std::vector<uint8_t>> extractHeifExif(ImageFile& file) {
    const auto boxes = topLevelBoxes(file);
    const auto meta = boxes ? boxesIn(boxes->second) : std::nullopt;
    if (!meta || meta->size() != 1)
        return std::nullopt;
    const std::optional<Items> items = readItems(meta->front().payload);
    if (!items)
        return std::nullopt;
    for (const auto& [id, type] : items->types) {
        if (type != fourCc("Exif"))
            continue;
        const std::optional<uint64_t> length = lengthInFile(*items, id);
        if (!length)
            return std::nullopt;
        Bytes exif(static_cast<size_t>(*length));
        uint64_t filled = 0;
        for (const Extent& extent : items->locations.at(id).extents) {
            if (!file.read(extent.offset, std::span(exif).subspan(filled, extent.length)))
                return std::nullopt;
            filled += extent.length;
        }
        return exif;
    }
    return std::nullopt;
}

std::optional<HeifThumbnailItem> extractHeifThumbnail(ImageFile& file) {
    const auto boxes = topLevelBoxes(file);
    if (!boxes)
        return std::nullopt;
    const auto [fileType, metaBox] = *boxes;
    const auto meta = boxesIn(metaBox);
    if (!meta || meta->size() != 1)
        return std::nullopt;
    const std::optional<Items> items = readItems(meta->front().payload);
    if (!items)
        return std::nullopt;
    const std::optional<ItemId> thumbnail = servingThumbnail(*items);
    if (!thumbnail || !items->infos.contains(*thumbnail))
        return std::nullopt;
    const uint64_t length = *lengthInFile(*items, *thumbnail);
    size_t dataOffsetAt = 0;
    const std::optional<Bytes> thumbnailMetaBox =
        thumbnailMeta(*items, *thumbnail, length, dataOffsetAt);
    if (!thumbnailMetaBox)
        return std::nullopt;

    HeifThumbnailItem item{uprightSize(*items, items->primary), uprightSize(*items, *thumbnail),
                           fileType};
    Bytes& out = item.file;
    const size_t metaAt = out.size();
    out.insert(out.end(), thumbnailMetaBox->begin(), thumbnailMetaBox->end());
    appendBigEndian(out, length + 8, 4);
    appendBigEndian(out, fourCc("mdat"), 4);
    const size_t dataAt = out.size();
    for (size_t i = 0; i < 4; ++i)
        out[metaAt + dataOffsetAt + i] = static_cast<uint8_t>(dataAt >> (8 * (3 - i)));
    out.resize(dataAt + length);
    uint64_t filled = dataAt;
    for (const Extent& extent : items->locations.at(*thumbnail).extents) {
        if (!file.read(extent.offset, std::span(out).subspan(filled, extent.length)))
            return std::nullopt;
        filled += extent.length;
    }
    return item;
}
