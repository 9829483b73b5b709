// The library's version is the project's, the one the tool prints.
#include <gtest/gtest.h>

#include <cstdio>

#include "pdf/io/Version.h"
#include "tool/CLinkPointApp.h"

TEST(VersionTest, IsTheProjectsAndTheTools) {
    EXPECT_STREQ(corvina::Version(), LINKPOINT_VERSION);
    EXPECT_STREQ(CLinkPointApp::Version(), corvina::Version());
    // MAJOR.MINOR.PATCH
    int major = -1, minor = -1, patch = -1;
    char end = 0;
    EXPECT_EQ(std::sscanf(corvina::Version(), "%d.%d.%d%c", &major, &minor, &patch, &end), 3);
}
