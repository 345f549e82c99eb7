// Reading the bodies of AFC replies: file information values and an open's handle.
#include "afcpacket.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

using plovik::usbmux::fileInfoValue;
using plovik::usbmux::openedHandle;

namespace {

std::vector<uint8_t> bodyOf(const std::string& texts) {
    return std::vector<uint8_t>(texts.begin(), texts.end());
}

TEST(AfcPacketTest, AFileInformationValueIsTakenOnlyWhereItsKeyStandsAsAKey) {
    using namespace std::string_literals;
    const std::vector<uint8_t> body = bodyOf(
        "st_ifmt\0st_size\0st_size\0"s
        "12\0st_size\0"s
        "99\0st_nlink\0"s);
    EXPECT_EQ(fileInfoValue(body, "st_ifmt"), "st_size");
    // The first st_size is a value; the first key of that name gives 12.
    EXPECT_EQ(fileInfoValue(body, "st_size"), "12");
    // A key at the end without its value, or missing altogether, has none.
    EXPECT_EQ(fileInfoValue(body, "st_nlink"), std::nullopt);
    EXPECT_EQ(fileInfoValue(body, "st_mtime"), std::nullopt);
    EXPECT_EQ(fileInfoValue({}, "st_size"), std::nullopt);
}

TEST(AfcPacketTest, AnOpensHandleIsTakenOnlyFromEightBytesThatAreNotZero) {
    EXPECT_EQ(openedHandle({0x2a, 0, 0, 0, 0, 0, 0, 1}), 0x010000000000002aULL);
    EXPECT_EQ(openedHandle({0x2a, 0, 0, 0, 0, 0, 0, 0, 0xff}), 0x2aULL);
    EXPECT_EQ(openedHandle({0x2a, 0, 0, 0, 0, 0, 0}), std::nullopt);
    EXPECT_EQ(openedHandle(std::vector<uint8_t>(8, 0)), std::nullopt);
}

}  // namespace
