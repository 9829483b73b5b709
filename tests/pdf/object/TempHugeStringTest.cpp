#include "pdf/object/TempHugeString.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <memory>
#include <string>

#include "pdf/io/TempName.h"
#include "support/ScratchDir.h"

using corvina::TempHugeString;
using corvina::TempSettings;

namespace {

// Grows a string in 1000-byte pieces past the mapping threshold and checks
// the file it lives in.
void GrowPastTheThreshold(const std::string& expectDir) {
    auto s = std::make_unique<TempHugeString<char>>();
    std::string expect;
    for (int i = 0; i < 100; ++i) {
        const std::string piece(1000, static_cast<char>('a' + i % 26));
        ASSERT_TRUE(s->Append(piece.data(), 1000));
        expect += piece;
        ASSERT_EQ(s->IsMapped(), expect.size() + 1 > 40960) << expect.size();
    }
    ASSERT_TRUE(s->IsMapped());
    const std::string name = s->MapName();
    EXPECT_EQ(name.rfind(expectDir + "/cv", 0), 0u) << name;
    EXPECT_EQ(s->Length(), 100000);
    EXPECT_EQ(std::string(s->Text(), 100000), expect);
    EXPECT_EQ(ScratchDir::Read(name).substr(0, 100000), expect);
    s.reset();
    EXPECT_EQ(ScratchDir::List(expectDir), "");
}

}  // namespace

TEST(TempHugeString, MovesIntoATemporaryFileAndRemovesIt) {
    ScratchDir dir;
    const std::string saved = TempSettings::Directory();
    TempSettings::Directory() = dir.Path() + "/";
    GrowPastTheThreshold(dir.Path());
    TempSettings::Directory() = saved;
}

TEST(TempHugeString, WithoutADirectoryUsesTheSystemOne) {
    ScratchDir dir;
    const char* old = std::getenv("TMPDIR");
    const std::string saved = old ? old : "";
    setenv("TMPDIR", dir.Path().c_str(), 1);
    const std::string savedDir = TempSettings::Directory();
    TempSettings::Directory() = "";
    GrowPastTheThreshold(dir.Path());
    TempSettings::Directory() = savedDir;
    if (old) {
        setenv("TMPDIR", saved.c_str(), 1);
    } else {
        unsetenv("TMPDIR");
    }
}

// No temporary file can be made: the append fails and the heap contents stay.
TEST(TempHugeString, FailedMoveIntoAFileKeepsTheContents) {
    ScratchDir dir;
    const std::string saved = TempSettings::Directory();
    TempSettings::Directory() = dir.Path() + "/missing/";
    TempHugeString<char> s;
    const std::string start(30000, 'q');
    ASSERT_TRUE(s.Append(start.data(), 30000));
    const std::string more(20000, 'r');
    EXPECT_FALSE(s.Append(more.data(), 20000));
    EXPECT_FALSE(s.IsMapped());
    EXPECT_EQ(s.Length(), 30000);
    EXPECT_EQ(std::string(s.Text(), 30000), start);
    TempSettings::Directory() = saved;
}

// Appending piece by piece remaps the file a logarithmic number of times;
// every size stays a whole number of blocks.
TEST(TempHugeString, MappedFileGrowsGeometrically) {
    ScratchDir dir;
    const std::string saved = TempSettings::Directory();
    TempSettings::Directory() = dir.Path() + "/";
    TempHugeString<char> s;
    const std::string piece(4096, 'p');
    int remaps = 0, capacity = 0;
    for (int i = 0; i < 2560; ++i) {  // 10 MB
        ASSERT_TRUE(s.Append(piece.data(), 4096));
        if (s.Capacity() != capacity) {
            capacity = s.Capacity();
            ++remaps;
            EXPECT_TRUE(!s.IsMapped() || capacity % 4096 == 0) << capacity;
        }
    }
    EXPECT_TRUE(s.IsMapped());
    EXPECT_LT(remaps, 40);
    EXPECT_GE(s.Capacity(), 2560 * 4096 + 1);
    EXPECT_EQ(s.Text()[12345], 'p');
    s.Clear();
    TempSettings::Directory() = saved;
}
