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

TEST(CCommandLineTest, ValueOptionAsLastArgumentIsAMistake) {
    Args a({"linkpoint", "in.pdf", "-sp"});
    CCommandLine cmd;
    EXPECT_FALSE(cmd.Parse(a.argc(), a.argv()));
    EXPECT_EQ(cmd.error, "option -sp needs a value");
    EXPECT_EQ(cmd.StartPage, 0);
    EXPECT_EQ(cmd.OutputFile, nullptr);
}

TEST(CCommandLineTest, ValueOptionFollowedByOptionIsAMistake) {
    // Otherwise "5" would become the output file.
    for (const char* next : {"-ep", "-o", "--help", "--"}) {
        Args a({"linkpoint", "in.pdf", "-sp", next, "5"});
        CCommandLine cmd;
        cmd.Parse(a.argc(), a.argv());
        EXPECT_EQ(cmd.error, "option -sp needs a value") << next;
        EXPECT_EQ(cmd.StartPage, 0) << next;
    }

    // Anything else is the value, a leading dash included.
    Args b({"linkpoint", "in.pdf", "-sp", "-3", "-fm", "-%d", "-ft", "-x"});
    CCommandLine cmd2;
    ASSERT_TRUE(cmd2.Parse(b.argc(), b.argv()));
    EXPECT_EQ(cmd2.StartPage, -3);
    EXPECT_STREQ(cmd2.Format, "-%d");
    EXPECT_STREQ(cmd2.FitType, "-x");
    EXPECT_EQ(cmd2.error, "");
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

TEST(CCommandLineTest, UnknownSpellingsAreMistakes) {
    for (const char* option : {"-SP", "--sp", "-x", "-spx", "-Sp", "-fn", "---help", "-help"}) {
        Args a({"linkpoint", "in.pdf", option, "4"});
        CCommandLine cmd;
        EXPECT_FALSE(cmd.Parse(a.argc(), a.argv())) << option;
        EXPECT_EQ(cmd.error, std::string("unknown option: ") + option);
        EXPECT_EQ(cmd.StartPage, 0) << option;
    }
}

TEST(CCommandLineTest, LoneDashIsRefused) {
    Args a({"linkpoint", "-"});
    CCommandLine cmd;
    EXPECT_FALSE(cmd.Parse(a.argc(), a.argv()));
    EXPECT_EQ(cmd.InputFile, nullptr);
    EXPECT_EQ(cmd.error, "'-' (standard input or output) is not supported");
}

TEST(CCommandLineTest, DoubleDashEndsTheOptions) {
    Args a({"linkpoint", "-o", "--", "-in.pdf", "-"});
    CCommandLine cmd;
    ASSERT_TRUE(cmd.Parse(a.argc(), a.argv()));
    EXPECT_TRUE(cmd.overwrite);
    EXPECT_STREQ(cmd.InputFile, "-in.pdf");
    EXPECT_STREQ(cmd.OutputFile, "-");
}

TEST(CCommandLineTest, FirstMistakeIsKept) {
    Args a({"linkpoint", "a.pdf", "-SP", "3", "-EP", "4", "out.pdf"});
    CCommandLine cmd;
    EXPECT_FALSE(cmd.Parse(a.argc(), a.argv()));
    EXPECT_EQ(cmd.error, "unknown option: -SP");
}

TEST(CCommandLineTest, HelpAndVersionWinOverMistakes) {
    const struct {
        std::vector<std::string> args;
        bool help, versionOnly, version;
    } cases[] = {{{"linkpoint", "--help"}, true, false, false},
                 {{"linkpoint", "-h", "a", "b", "c"}, true, false, false},
                 {{"linkpoint", "-X", "--version"}, false, true, false},
                 {{"linkpoint", "in.pdf", "-v", "-fm"}, false, false, true}};
    for (const auto& c : cases) {
        Args a(c.args);
        CCommandLine cmd;
        EXPECT_TRUE(cmd.Parse(a.argc(), a.argv())) << c.args[1];
        EXPECT_EQ(cmd.help, c.help);
        EXPECT_EQ(cmd.versionOnly, c.versionOnly);
        EXPECT_EQ(cmd.version, c.version);
    }
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

TEST(CCommandLineTest, ThirdFileNameIsAMistake) {
    Args a({"linkpoint", "a.pdf", "b.pdf", "c.pdf", "d.pdf"});
    CCommandLine cmd;
    EXPECT_FALSE(cmd.Parse(a.argc(), a.argv()));
    EXPECT_EQ(cmd.error, "too many file names: c.pdf");
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

TEST(CCommandLineTest, PasswordOption) {
    Args a({"linkpoint", "in.pdf", "-pw", "secret word"});
    CCommandLine cmd;
    ASSERT_TRUE(cmd.Parse(a.argc(), a.argv()));
    EXPECT_STREQ(cmd.InputFile, "in.pdf");
    EXPECT_STREQ(cmd.Password, "secret word");
    EXPECT_EQ(cmd.OutputFile, nullptr);
    // An empty password is a password.
    Args empty({"linkpoint", "in.pdf", "-pw", ""});
    CCommandLine cmd2;
    ASSERT_TRUE(cmd2.Parse(empty.argc(), empty.argv()));
    EXPECT_STREQ(cmd2.Password, "");
    Args none({"linkpoint", "in.pdf"});
    CCommandLine cmd3;
    ASSERT_TRUE(cmd3.Parse(none.argc(), none.argv()));
    EXPECT_EQ(cmd3.Password, nullptr);
}

}  // namespace
