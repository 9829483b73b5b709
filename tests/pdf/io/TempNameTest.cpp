#include "pdf/io/TempName.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <string>

#include "support/ScratchDir.h"

using corvina::CheckTempDir;
using corvina::GetTempName;
using corvina::TempSettings;

namespace {

// Sets an environment variable for one scope.
class EnvGuard {
public:
    EnvGuard(const char* name, const char* value) : name_(name) {
        const char* old = std::getenv(name);
        if (old) old_ = old, had_ = true;
        setenv(name, value, 1);
    }
    ~EnvGuard() {
        if (had_) {
            setenv(name_.c_str(), old_.c_str(), 1);
        } else {
            unsetenv(name_.c_str());
        }
    }

private:
    std::string name_, old_;
    bool had_ = false;
};

bool IsEmptyFile(const char* path) {
    struct stat st;
    return stat(path, &st) == 0 && S_ISREG(st.st_mode) && st.st_size == 0;
}

}  // namespace

TEST(TempName, CreatesAUniqueEmptyFileWithThePrefix) {
    ScratchDir dir;
    char a[PATH_MAX], b[PATH_MAX];
    ASSERT_TRUE(GetTempName(dir.Path().c_str(), "cv", a));
    ASSERT_TRUE(GetTempName((dir.Path() + "/").c_str(), "cv", b));
    EXPECT_EQ(std::string(a).rfind(dir.Path() + "/cv", 0), 0u) << a;
    EXPECT_EQ(std::string(b).rfind(dir.Path() + "/cv", 0), 0u) << b;  // no double slash
    EXPECT_STRNE(a, b);
    EXPECT_TRUE(IsEmptyFile(a));
    EXPECT_TRUE(IsEmptyFile(b));
}

TEST(TempName, BesideATargetWithASuffix) {
    ScratchDir dir;
    std::string a, b;
    ASSERT_TRUE(GetTempName(dir.Path(), "cv", ".pdf", &a));
    ASSERT_TRUE(GetTempName(dir.Path() + "/", "cv", ".pdf", &b));
    for (const std::string& name : {a, b}) {
        EXPECT_EQ(name.rfind(dir.Path() + "/cv", 0), 0u) << name;
        ASSERT_EQ(name.size(), dir.Path().size() + 1 + 2 + 6 + 4) << name;
        EXPECT_EQ(name.substr(name.size() - 4), ".pdf");
        EXPECT_TRUE(IsEmptyFile(name.c_str()));
    }
    EXPECT_NE(a, b);
    std::string missing = "unchanged";
    errno = 0;
    EXPECT_FALSE(GetTempName(dir.File("no/such"), "cv", ".pdf", &missing));
    EXPECT_EQ(errno, ENOENT);
    EXPECT_EQ(missing, "unchanged");
}

TEST(TempName, EmptyDirectoryMeansTmpdir) {
    ScratchDir dir;
    EnvGuard env("TMPDIR", dir.Path().c_str());
    char name[PATH_MAX];
    ASSERT_TRUE(GetTempName("", "cv", name));
    EXPECT_EQ(std::string(name).rfind(dir.Path() + "/cv", 0), 0u) << name;
    EXPECT_TRUE(IsEmptyFile(name));
}

TEST(TempName, FailuresLeaveNothingBehind) {
    ScratchDir dir;
    char name[PATH_MAX];
    EXPECT_FALSE(GetTempName(dir.File("missing").c_str(), "cv", name));
    char tiny[8];
    EXPECT_FALSE(GetTempName(dir.Path().c_str(), "cv", tiny, sizeof tiny));
    EXPECT_EQ(ScratchDir::List(dir.Path()), "");
}

TEST(TempName, LongDirectoryFitsTheDefaultBuffer) {
    ScratchDir dir;
    std::string deep = dir.Path();
    while (deep.size() < 1000) {
        deep += "/" + std::string(200, 'd');
        ASSERT_EQ(mkdir(deep.c_str(), 0700), 0);
    }
    char name[PATH_MAX];
    ASSERT_TRUE(GetTempName(deep.c_str(), "cv", name)) << std::strerror(errno);
    EXPECT_EQ(std::string(name).rfind(deep + "/cv", 0), 0u);
    EXPECT_TRUE(IsEmptyFile(name));
}

TEST(TempName, CheckTempDirSaysWhyADirectoryCannotBeUsed) {
    ScratchDir dir;
    EXPECT_EQ(CheckTempDir(dir.Path().c_str()), 0);
    EXPECT_EQ(CheckTempDir(dir.File("missing").c_str()), ENOENT);
    const std::string file = dir.Write("file", "x");
    EXPECT_EQ(CheckTempDir(file.c_str()), ENOTDIR);
    // The trial file is gone again.
    EXPECT_EQ(ScratchDir::List(dir.Path()), "file");
    // A file system that takes no new files, even from root.
    if (access("/sys/kernel", F_OK) == 0) {
        EXPECT_EQ(CheckTempDir("/sys"), EACCES);
    }
    if (geteuid() != 0) {
        const std::string ro = dir.File("ro");
        ASSERT_EQ(mkdir(ro.c_str(), 0555), 0);
        EXPECT_EQ(CheckTempDir(ro.c_str()), EACCES);
        chmod(ro.c_str(), 0700);
    }
}

TEST(TempName, DefaultSettings) {
    EXPECT_EQ(TempSettings::Prefix(), "cv");
    EXPECT_EQ(TempSettings::Directory(), "");
}
