// Runs the built binary and checks what it prints and how it exits.
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>

namespace {

struct Result {
    std::string out;
    int code = -1;
};

Result RunTool(const std::string& args) {
    Result r;
    const std::string command = std::string("'") + LINKPOINT_BIN + "' " + args + " 2>&1";
    FILE* pipe = popen(command.c_str(), "r");
    if (!pipe) return r;
    char buffer[4096];
    size_t n;
    while ((n = std::fread(buffer, 1, sizeof buffer, pipe)) > 0) r.out.append(buffer, n);
    const int status = pclose(pipe);
    if (status != -1 && WIFEXITED(status)) r.code = WEXITSTATUS(status);
    return r;
}

const char kUsage[] =
    "Usage: linkpoint [-v] InputFile [OutputFile] [-sp StartPage] [-ep EndPage] [-fm Format] "
    "[-ft FitType] [-o] [-d] [-i] [-l LogFile] [-t TempPath] [-pw Password]\n";

class UsageTest : public ::testing::Test {
protected:
    void SetUp() override {
        char pattern[] = "/tmp/cvtestXXXXXX";
        ASSERT_NE(mkdtemp(pattern), nullptr);
        dir_ = pattern;
    }
    void TearDown() override {
        const std::string command = "rm -rf '" + dir_ + "'";
        ASSERT_EQ(std::system(command.c_str()), 0);
    }
    std::string dir_;
};

TEST_F(UsageTest, NoArgumentsPrintsUsage) {
    const Result r = RunTool("");
    EXPECT_EQ(r.out, kUsage);
    EXPECT_EQ(r.code, 1);
}

TEST_F(UsageTest, OptionsWithoutInputPrintUsage) {
    Result r = RunTool("-o -sp 3");
    EXPECT_EQ(r.out, kUsage);
    EXPECT_EQ(r.code, 1);
    // A mistake is named before the usage line.
    r = RunTool("-o -sp 3 -SP");
    EXPECT_EQ(r.out, std::string("linkpoint: unknown option: -SP\n") + kUsage);
    EXPECT_EQ(r.code, 1);
}

TEST_F(UsageTest, VersionPrintsBanner) {
    const Result r = RunTool("-v");
    EXPECT_EQ(r.code, 1);
    EXPECT_EQ(r.out.rfind("linkpoint\n", 0), 0u) << r.out;
    for (const char* line : {"\ncorvina " LINKPOINT_VERSION "\n", "\nlibjpeg-turbo ",
                             "\nLIBTIFF, Version ", "\nzlib ", "\nnettle "}) {
        EXPECT_NE(r.out.find(line), std::string::npos) << line;
    }
}

TEST_F(UsageTest, VersionWithInputPrintsOnlyTheBanner) {
    const std::string log = dir_ + "/log.txt";
    const Result banner = RunTool("-v");
    const Result r = RunTool("'" + dir_ + "/in.pdf' -v -l '" + log + "'");
    EXPECT_EQ(r.code, 1);
    EXPECT_EQ(r.out, banner.out);
    EXPECT_NE(access(log.c_str(), F_OK), 0);
}

TEST_F(UsageTest, EmptyLogFileGivesNoOutput) {
    const Result r = RunTool("'" + dir_ + "/missing.pdf' -l ''");
    EXPECT_EQ(r.out, "");
    EXPECT_EQ(r.code, 1);
}

TEST_F(UsageTest, SecondRunAppendsToTheLog) {
    const std::string log = dir_ + "/log.txt";
    const std::string input = dir_ + "/missing.pdf";
    for (int run = 0; run < 2; ++run) {
        const Result r = RunTool("'" + input + "' -l '" + log + "'");
        EXPECT_EQ(r.out, "");
        EXPECT_EQ(r.code, 1);
    }
    std::ifstream in(log);
    std::ostringstream text;
    text << in.rdbuf();
    const std::string logText = text.str();
    const size_t first = logText.find("Start at: ");
    ASSERT_NE(first, std::string::npos);
    const size_t second = logText.find("Start at: ", first + 1);
    ASSERT_NE(second, std::string::npos) << logText;
    EXPECT_EQ(logText.find("Start at: ", second + 1), std::string::npos);
    const std::string paths = "InputFile: " + input + "\nOutputFile: " + input + "\n";
    EXPECT_NE(logText.find(paths, first), std::string::npos);
    EXPECT_NE(logText.find(paths, second), std::string::npos);
    EXPECT_EQ(logText.find("Finish at"), std::string::npos);
}

}  // namespace
