#include "app/versiontext.h"

#include <gtest/gtest.h>

#include <cstdio>

namespace {

TEST(VersionText, RunsTheBuildNumberOnAfterTheMinor) {
    EXPECT_EQ(versionText(4, 1, 0), "4.10");
    EXPECT_EQ(versionText(0, 1, 0), "0.10");
    EXPECT_EQ(versionText(2, 0, 13), "2.013");
    EXPECT_EQ(versionText(10, 12, 3), "10.123");
}

TEST(VersionText, TheProgramsTextComesFromItsDottedVersion) {
    int major = -1;
    int minor = -1;
    int build = -1;
    ASSERT_EQ(std::sscanf(programVersion().c_str(), "%d.%d.%d", &major, &minor, &build), 3);
    EXPECT_EQ(programVersionText(), versionText(major, minor, build));
}

}  // namespace
