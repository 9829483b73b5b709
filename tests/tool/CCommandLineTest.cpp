#include "tool/CCommandLine.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

// Owns the argument texts so the parsed pointers stay valid for the test.
struct Args {
    explicit Args(std::vector<std::string> texts) : texts_(std::move(texts)) {
        for (std::string& t : texts_) argv_.push_back(t.data());
        argv_.push_back(nullptr);
    }
    int argc() const { return static_cast<int>(texts_.size()); }
    char** argv() { return argv_.data(); }
    const char* at(size_t i) const { return texts_[i].c_str(); }

private:
    std::vector<std::string> texts_;
    std::vector<char*> argv_;
};

TEST(CCommandLineTest, AllOptions) {
    Args a({"/usr/local/bin/linkpoint", "in.pdf", "out.pdf", "-sp", "3", "-ep", "7", "-fm",
            "page%03d", "-ft", "/FitH 500", "-o", "-d", "-l", "log.txt", "-t", "/tmp/x"});
    CCommandLine cmd;
    ASSERT_TRUE(cmd.Parse(a.argc(), a.argv()));
    EXPECT_STREQ(cmd.programName, "linkpoint");
    EXPECT_EQ(cmd.InputFile, a.at(1));  // points into argv, not a copy
    EXPECT_STREQ(cmd.OutputFile, "out.pdf");
    EXPECT_EQ(cmd.StartPage, 3);
    EXPECT_EQ(cmd.EndPage, 7);
    EXPECT_STREQ(cmd.Format, "page%03d");
    EXPECT_STREQ(cmd.FitType, "/FitH 500");
    EXPECT_TRUE(cmd.overwrite);
    EXPECT_TRUE(cmd.remove);
    EXPECT_STREQ(cmd.LogFile, "log.txt");
    EXPECT_STREQ(cmd.TempPath, "/tmp/x");
    EXPECT_FALSE(cmd.version);
}

TEST(CCommandLineTest, DefaultsAndProgramName) {
    Args a({"linkpoint", "in.pdf"});
    CCommandLine cmd;
    ASSERT_TRUE(cmd.Parse(a.argc(), a.argv()));
    EXPECT_STREQ(cmd.programName, "linkpoint");
    EXPECT_STREQ(cmd.InputFile, "in.pdf");
    EXPECT_EQ(cmd.OutputFile, nullptr);
    EXPECT_EQ(cmd.StartPage, 0);
    EXPECT_EQ(cmd.EndPage, 0);
    EXPECT_EQ(cmd.Format, nullptr);
    EXPECT_EQ(cmd.FitType, nullptr);
    EXPECT_FALSE(cmd.overwrite);
    EXPECT_FALSE(cmd.remove);
    EXPECT_EQ(cmd.LogFile, nullptr);
    EXPECT_EQ(cmd.TempPath, nullptr);
    EXPECT_FALSE(cmd.version);

    Args b({"./bin/", "x"});
    CCommandLine trailing;
    trailing.Parse(b.argc(), b.argv());
    EXPECT_STREQ(trailing.programName, "");
}

TEST(CCommandLineTest, NothingToDo) {
    Args none({"linkpoint"});
    CCommandLine cmd;
    EXPECT_FALSE(cmd.Parse(none.argc(), none.argv()));

    Args onlyOptions({"linkpoint", "-o", "-sp", "2", "-l", "log"});
    CCommandLine cmd2;
    EXPECT_FALSE(cmd2.Parse(onlyOptions.argc(), onlyOptions.argv()));
    EXPECT_EQ(cmd2.StartPage, 2);
}

TEST(CCommandLineTest, ValueOptionAsLastArgumentIsIgnored) {
    Args a({"linkpoint", "in.pdf", "-sp"});
    CCommandLine cmd;
    ASSERT_TRUE(cmd.Parse(a.argc(), a.argv()));
    EXPECT_EQ(cmd.StartPage, 0);
    EXPECT_EQ(cmd.OutputFile, nullptr);
}

TEST(CCommandLineTest, ValueOptionFollowedByOptionIsIgnored) {
    Args a({"linkpoint", "-sp", "-ep", "5", "in.pdf"});
    CCommandLine cmd;
    ASSERT_TRUE(cmd.Parse(a.argc(), a.argv()));
    EXPECT_EQ(cmd.StartPage, 0);
    EXPECT_EQ(cmd.EndPage, 5);
    EXPECT_STREQ(cmd.InputFile, "in.pdf");

    // A negative number looks like an option, so it is not taken as a value.
    Args b({"linkpoint", "in.pdf", "-sp", "-3"});
    CCommandLine cmd2;
    ASSERT_TRUE(cmd2.Parse(b.argc(), b.argv()));
    EXPECT_EQ(cmd2.StartPage, 0);
}

TEST(CCommandLineTest, NumbersConvertLikeAtol) {
    const struct {
        const char* text;
        long value;
    } cases[] = {{"abc", 0}, {"12abc", 12}, {"  42", 42}, {"+7", 7}, {"", 0}, {"0009", 9}};
    for (const auto& c : cases) {
        Args a({"linkpoint", "in.pdf", "-sp", c.text, "-ep", c.text});
        CCommandLine cmd;
        ASSERT_TRUE(cmd.Parse(a.argc(), a.argv()));
        EXPECT_EQ(cmd.StartPage, c.value) << '"' << c.text << '"';
        EXPECT_EQ(cmd.EndPage, c.value) << '"' << c.text << '"';
        EXPECT_EQ(cmd.OutputFile, nullptr);  // the value was consumed
    }
}

TEST(CCommandLineTest, UnknownSpellingsAreIgnoredAndTheirValuesArePositional) {
    for (const char* option : {"-SP", "--sp", "-", "-x", "-spx", "-Sp"}) {
        Args a({"linkpoint", "in.pdf", option, "4"});
        CCommandLine cmd;
        ASSERT_TRUE(cmd.Parse(a.argc(), a.argv())) << option;
        EXPECT_EQ(cmd.StartPage, 0) << option;
        EXPECT_STREQ(cmd.InputFile, "in.pdf") << option;
        EXPECT_STREQ(cmd.OutputFile, "4") << option;
    }
}

TEST(CCommandLineTest, LoneDashIsNotAnInputFile) {
    Args a({"linkpoint", "-"});
    CCommandLine cmd;
    EXPECT_FALSE(cmd.Parse(a.argc(), a.argv()));
    EXPECT_EQ(cmd.InputFile, nullptr);
}

TEST(CCommandLineTest, VersionWithInputFile) {
    Args a({"linkpoint", "-v", "in.pdf"});
    CCommandLine cmd;
    ASSERT_TRUE(cmd.Parse(a.argc(), a.argv()));
    EXPECT_TRUE(cmd.version);
    EXPECT_STREQ(cmd.InputFile, "in.pdf");

    Args b({"linkpoint", "-v"});
    CCommandLine alone;
    EXPECT_TRUE(alone.Parse(b.argc(), b.argv()));
    EXPECT_EQ(alone.InputFile, nullptr);
}

TEST(CCommandLineTest, ThirdPositionalIsIgnored) {
    Args a({"linkpoint", "a.pdf", "b.pdf", "c.pdf"});
    CCommandLine cmd;
    ASSERT_TRUE(cmd.Parse(a.argc(), a.argv()));
    EXPECT_STREQ(cmd.InputFile, "a.pdf");
    EXPECT_STREQ(cmd.OutputFile, "b.pdf");
}

TEST(CCommandLineTest, PositionalsMayBeInterleavedWithOptions) {
    Args a({"linkpoint", "-o", "a.pdf", "-sp", "2", "b.pdf", "-d"});
    CCommandLine cmd;
    ASSERT_TRUE(cmd.Parse(a.argc(), a.argv()));
    EXPECT_STREQ(cmd.InputFile, "a.pdf");
    EXPECT_STREQ(cmd.OutputFile, "b.pdf");
    EXPECT_EQ(cmd.StartPage, 2);
    EXPECT_TRUE(cmd.overwrite);
    EXPECT_TRUE(cmd.remove);
}

TEST(CCommandLineTest, EmptyOutputFileIsKeptAsGiven) {
    Args a({"linkpoint", "in.pdf", ""});
    CCommandLine cmd;
    ASSERT_TRUE(cmd.Parse(a.argc(), a.argv()));
    ASSERT_NE(cmd.OutputFile, nullptr);
    EXPECT_STREQ(cmd.OutputFile, "");

    // An empty value is a value: it does not begin with a dash.
    Args b({"linkpoint", "in.pdf", "-l", "", "-fm", ""});
    CCommandLine cmd2;
    ASSERT_TRUE(cmd2.Parse(b.argc(), b.argv()));
    EXPECT_STREQ(cmd2.LogFile, "");
    EXPECT_STREQ(cmd2.Format, "");
    EXPECT_EQ(cmd2.OutputFile, nullptr);
}

TEST(CCommandLineTest, LaterOptionWins) {
    Args a({"linkpoint", "in.pdf", "-sp", "2",     "-fm", "a%d", "-sp", "9",  "-fm",
            "b%d",       "-l",     "one", "-l",    "two", "-t",  "x",   "-t", "y",
            "-ft",       "/Fit",   "-ft", "/FitB", "-ep", "4",   "-ep", "1"});
    CCommandLine cmd;
    ASSERT_TRUE(cmd.Parse(a.argc(), a.argv()));
    EXPECT_EQ(cmd.StartPage, 9);
    EXPECT_EQ(cmd.EndPage, 1);
    EXPECT_STREQ(cmd.Format, "b%d");
    EXPECT_STREQ(cmd.FitType, "/FitB");
    EXPECT_STREQ(cmd.LogFile, "two");
    EXPECT_STREQ(cmd.TempPath, "y");
}

TEST(CCommandLineTest, FlagOptionsTakeNoValue) {
    Args a({"linkpoint", "-o", "in.pdf", "-d", "out.pdf", "-v", "extra"});
    CCommandLine cmd;
    ASSERT_TRUE(cmd.Parse(a.argc(), a.argv()));
    EXPECT_STREQ(cmd.InputFile, "in.pdf");
    EXPECT_STREQ(cmd.OutputFile, "out.pdf");
    EXPECT_TRUE(cmd.overwrite);
    EXPECT_TRUE(cmd.remove);
    EXPECT_TRUE(cmd.version);
}

TEST(CCommandLineTest, NoArgumentsAtAll) {
    CCommandLine cmd;
    EXPECT_FALSE(cmd.Parse(0, nullptr));
    EXPECT_STREQ(cmd.programName, "");
}

}  // namespace
