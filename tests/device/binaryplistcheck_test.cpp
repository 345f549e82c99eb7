#include "device/binaryplistcheck.h"

#include <gtest/gtest.h>
#include <plist/plist.h>

#include <cstdlib>
#include <string>
#include <vector>

#include "values/plistconversion.h"

namespace {

using Bytes = std::vector<uint8_t>;

void appendBigEndian(Bytes& out, uint64_t value, size_t count) {
    for (size_t i = count; i-- > 0;)
        out.push_back(static_cast<uint8_t>(value >> (8 * i)));
}

// An array object of the references, each 4 bytes wide.
Bytes arrayOf(const std::vector<uint32_t>& references) {
    Bytes object;
    if (references.size() < 15) {
        object.push_back(static_cast<uint8_t>(0xA0 | references.size()));
    } else {
        object.insert(object.end(), {0xAF, 0x12});
        appendBigEndian(object, references.size(), 4);
    }
    for (const uint32_t reference : references)
        appendBigEndian(object, reference, 4);
    return object;
}

// A binary property list of the objects, object 0 the root, with 4-byte offsets and references.
Bytes binaryPlist(const std::vector<Bytes>& objects) {
    Bytes out = {'b', 'p', 'l', 'i', 's', 't', '0', '0'};
    std::vector<uint64_t> offsets;
    for (const Bytes& object : objects) {
        offsets.push_back(out.size());
        out.insert(out.end(), object.begin(), object.end());
    }
    const uint64_t table = out.size();
    for (const uint64_t offset : offsets)
        appendBigEndian(out, offset, 4);
    out.insert(out.end(), {0, 0, 0, 0, 0, 0, 4, 4});
    appendBigEndian(out, objects.size(), 8);
    appendBigEndian(out, 0, 8);
    appendBigEndian(out, table, 8);
    return out;
}

// Arrays nested depth deep, the innermost holding the integer 7.
Bytes nestedArrays(uint32_t depth) {
    std::vector<Bytes> objects;
    for (uint32_t i = 0; i < depth; ++i)
        objects.push_back(arrayOf({i + 1}));
    objects.push_back({0x10, 7});
    return binaryPlist(objects);
}

bool libplistReads(const Bytes& bytes) {
    plist_t node = nullptr;
    plist_from_bin(reinterpret_cast<const char*>(bytes.data()), static_cast<uint32_t>(bytes.size()),
                   &node);
    const PlistPtr owned(node);
    return node != nullptr;
}

TEST(BinaryPlistCheck, AcceptsWhatLibplistWritesAndCountsNestingAsItRecurses) {
    // A dictionary holding arrays eight deep and keys shared as the writer shares them.
    const PlistPtr root(plist_new_dict());
    plist_t inner = plist_new_array();
    plist_array_append_item(inner, plist_new_string("leaf"));
    for (int level = 0; level < 7; ++level) {
        plist_t outer = plist_new_array();
        plist_array_append_item(outer, inner);
        plist_array_append_item(outer, plist_new_string("leaf"));
        inner = outer;
    }
    plist_dict_set_item(root.get(), "Status", inner);
    plist_dict_set_item(root.get(), "Other", plist_new_string("leaf"));
    char* written = nullptr;
    uint32_t length = 0;
    plist_to_bin(root.get(), &written, &length);
    const Bytes bytes(written, written + length);
    std::free(written);
    // The dictionary, eight arrays and the strings in the innermost.
    EXPECT_EQ(checkBinaryPlist(bytes, 10, 1000), BinaryPlistCheck::Acceptable);
    EXPECT_EQ(checkBinaryPlist(bytes, 9, 1000), BinaryPlistCheck::TooDeep);
    EXPECT_TRUE(libplistReads(bytes));

    EXPECT_EQ(checkBinaryPlist(nestedArrays(0), 1, 1), BinaryPlistCheck::Acceptable);
    EXPECT_EQ(checkBinaryPlist(nestedArrays(3), 4, 100), BinaryPlistCheck::Acceptable);
    EXPECT_EQ(checkBinaryPlist(nestedArrays(3), 3, 100), BinaryPlistCheck::TooDeep);
    // 100,000 levels in about 900 KB overflowed the stack of libplist's parser.
    EXPECT_EQ(checkBinaryPlist(nestedArrays(100'000), 66, 1'000'000), BinaryPlistCheck::TooDeep);
}

TEST(BinaryPlistCheck, CountsSharedObjectsOnceForEveryReferenceAndAtEveryDepth) {
    // Each array holds the next one twice: 2^41 nodes for libplist to build from 41 objects.
    std::vector<Bytes> doubling;
    for (uint32_t i = 0; i < 40; ++i)
        doubling.push_back(arrayOf({i + 1, i + 1}));
    doubling.push_back({0x08});
    EXPECT_EQ(checkBinaryPlist(binaryPlist(doubling), 66, 1'000'000), BinaryPlistCheck::TooLarge);

    // A chain 5 deep reached first from the root and then again from the end of a longer
    // chain: its second place is the deeper one.
    std::vector<Bytes> objects = {arrayOf({1, 6})};
    for (uint32_t i = 1; i < 5; ++i)
        objects.push_back(arrayOf({i + 1}));
    objects.push_back({0x09});        // 5: true
    objects.push_back(arrayOf({7}));  // 6
    objects.push_back(arrayOf({8}));  // 7
    objects.push_back(arrayOf({1}));  // 8: to the shared chain
    const Bytes shared = binaryPlist(objects);
    EXPECT_EQ(checkBinaryPlist(shared, 9, 100), BinaryPlistCheck::Acceptable);
    EXPECT_EQ(checkBinaryPlist(shared, 8, 100), BinaryPlistCheck::TooDeep);
}

TEST(BinaryPlistCheck, RefusesTablesThatLibplistRefuses) {
    const Bytes valid = nestedArrays(2);
    Bytes tableOutside = valid;
    tableOutside[tableOutside.size() - 1] = 0xF0;
    Bytes noObjects = valid;
    noObjects[noObjects.size() - 17] = 0;
    Bytes objectPastTable = valid;
    objectPastTable[objectPastTable.size() - 32 - 1] = 0xF0;
    const std::vector<Bytes> malformed = {
        binaryPlist({arrayOf({0})}),             // contains itself
        binaryPlist({arrayOf({1, 2}), {0x08}}),  // a reference to no object
        binaryPlist({{0xA3, 0, 0, 0}}),          // references running into the offset table
        binaryPlist({{0xAF, 0x5F}}),             // a size that is not an integer
        tableOutside,
        noObjects,
        objectPastTable,
        Bytes{'b', 'p', 'l', 'i', 's', 't', '0', '0'},
    };
    for (size_t i = 0; i < malformed.size(); ++i) {
        EXPECT_EQ(checkBinaryPlist(malformed[i], 66, 1000), BinaryPlistCheck::Malformed) << i;
        EXPECT_FALSE(libplistReads(malformed[i])) << i;
    }
    EXPECT_FALSE(isBinaryPlist(Bytes{'<', '?', 'x', 'm', 'l'}));
    EXPECT_TRUE(isBinaryPlist(valid));
}

}  // namespace
