#include "pdf/io/FileMap.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <cerrno>
#include <cstring>
#include <memory>
#include <string>

#include "support/ScratchDir.h"

using corvina::FileMap;

namespace {

long FileSize(const std::string& path) {
    struct stat st;
    return stat(path.c_str(), &st) == 0 ? static_cast<long>(st.st_size) : -1;
}

bool AllZero(const char* p, long n) {
    for (long i = 0; i < n; ++i)
        if (p[i]) return false;
    return true;
}

}  // namespace

TEST(FileMap, CreateResizeAndCloseWithDeletion) {
    ScratchDir dir;
    FileMap map;
    ASSERT_TRUE(map.Create(dir.Path().c_str(), "cv", 10000, true));
    const std::string name = map.Name();
    EXPECT_EQ(name.rfind(dir.Path() + "/cv", 0), 0u) << name;
    EXPECT_EQ(map.Size(), 10000);
    EXPECT_EQ(FileSize(name), 10000);
    char* p = static_cast<char*>(map.Base());
    ASSERT_NE(p, nullptr);
    EXPECT_TRUE(AllZero(p, 10000));
    for (int i = 0; i < 10000; ++i) p[i] = static_cast<char>(i % 251 + 1);

    ASSERT_TRUE(map.Resize(50000, true));
    p = static_cast<char*>(map.Base());
    EXPECT_EQ(FileSize(name), 50000);
    for (int i = 0; i < 10000; ++i) ASSERT_EQ(p[i], static_cast<char>(i % 251 + 1));
    EXPECT_TRUE(AllZero(p + 10000, 40000));

    ASSERT_TRUE(map.Resize(100, false));
    p = static_cast<char*>(map.Base());
    EXPECT_EQ(FileSize(name), 100);
    EXPECT_EQ(p[99], static_cast<char>(99 % 251 + 1));

    map.Close(true);
    EXPECT_EQ(map.Base(), nullptr);
    EXPECT_STREQ(map.Name(), "");
    EXPECT_EQ(ScratchDir::List(dir.Path()), "");
    EXPECT_FALSE(map.Resize(10, false));  // closed
}

TEST(FileMap, CloseCanKeepTheFileAndItHoldsTheData) {
    ScratchDir dir;
    FileMap map;
    ASSERT_TRUE(map.CreateByName(dir.File("kept").c_str(), 5, false));
    std::memcpy(map.Base(), "hello", 5);
    map.Close(false);
    EXPECT_EQ(ScratchDir::Read(dir.File("kept")), "hello");
}

TEST(FileMap, DestructorDeletesAndEmptySizeWorks) {
    ScratchDir dir;
    {
        auto map = std::make_unique<FileMap>();
        ASSERT_TRUE(map->Create(dir.Path().c_str(), "cv", 0, false));
        EXPECT_EQ(map->Size(), 0);
        ASSERT_TRUE(map->Resize(4096, true));
        static_cast<char*>(map->Base())[4095] = 'z';
        EXPECT_NE(ScratchDir::List(dir.Path()), "");
    }
    EXPECT_EQ(ScratchDir::List(dir.Path()), "");
}

TEST(FileMap, CreateFailureLeavesItEmpty) {
    ScratchDir dir;
    FileMap map;
    errno = 0;
    EXPECT_FALSE(map.Create(dir.File("missing").c_str(), "cv", 100, false));
    EXPECT_EQ(errno, ENOENT);
    EXPECT_EQ(map.Base(), nullptr);
    EXPECT_STREQ(map.Name(), "");
    EXPECT_FALSE(map.Create(dir.Path().c_str(), "cv", -1, false));
    EXPECT_EQ(ScratchDir::List(dir.Path()), "");
}
