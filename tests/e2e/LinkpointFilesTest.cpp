// The job's files: replacing the input, other spellings of it, permissions,
// the log file, the temporary directory, and what a failure leaves behind.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <string>
#include <vector>

#include "support/E2E.h"
#include "support/E2EPdf.h"

namespace {

using e2e::Linkpoint;
using e2e::RunProbe;
using e2e::RunResult;
using Names = std::vector<std::string>;

const Names kThree = {"1", "2", "3"};

class LinkpointFilesTest : public ::testing::Test {
protected:
    void SetUp() override {
        in_ = dir_.Write("in.pdf", E2EPdf::Flat(3));
        before_ = e2e::ReadBytes(in_);
    }
    // No temporary output is left in the directory.
    void ExpectNoTemporary(const std::string& where) {
        EXPECT_EQ(e2e::Entries(where, "cv"), Names{}) << where;
    }
    void ExpectUnchanged() {
        EXPECT_EQ(e2e::ReadBytes(in_), before_);
        ExpectNoTemporary(dir_.Path());
    }
    static int Mode(const std::string& path) {
        struct stat st;
        return stat(path.c_str(), &st) == 0 ? static_cast<int>(st.st_mode & 07777) : -1;
    }
    ScratchDir dir_;
    std::string in_;
    std::string before_;
};

TEST_F(LinkpointFilesTest, ReplacesTheInputWithoutOutputFile) {
    chmod(in_.c_str(), 0640);
    const RunResult r = Linkpoint({in_});
    ASSERT_EQ(r.code, 0) << r.out;
    EXPECT_EQ(e2e::CheckSuccessLog(r.out, in_, in_), "");
    EXPECT_EQ(e2e::DestNames(RunProbe(in_)), kThree);
    EXPECT_TRUE(e2e::QpdfCheck(in_));
    EXPECT_EQ(Mode(in_), 0640);
    ExpectNoTemporary(dir_.Path());
}

TEST_F(LinkpointFilesTest, EmptyOutputFileMeansTheInput) {
    const RunResult r = Linkpoint({in_, ""});
    ASSERT_EQ(r.code, 0) << r.out;
    EXPECT_EQ(e2e::CheckSuccessLog(r.out, in_, in_), "");
    EXPECT_EQ(e2e::DestNames(RunProbe(in_)), kThree);
}

TEST_F(LinkpointFilesTest, KeepsPermissionBitsOfTheReplacedInput) {
    for (int mode : {0600, 0444, 0755}) {
        SCOPED_TRACE(mode);
        ASSERT_TRUE(e2e::WriteBytes(in_, before_));
        chmod(in_.c_str(), static_cast<mode_t>(mode));
        const RunResult r = Linkpoint({in_, in_});
        ASSERT_EQ(r.code, 0) << r.out;
        EXPECT_EQ(Mode(in_), mode);
        EXPECT_EQ(e2e::DestNames(RunProbe(in_)), kThree);
        chmod(in_.c_str(), 0644);
    }
}

TEST_F(LinkpointFilesTest, SameFileUnderAnotherSpelling) {
    const RunResult r = Linkpoint({"in.pdf", "./in.pdf"}, dir_.Path());
    ASSERT_EQ(r.code, 0) << r.out;
    EXPECT_EQ(e2e::CheckSuccessLog(r.out, "in.pdf", "./in.pdf"), "");
    EXPECT_EQ(e2e::DestNames(RunProbe(in_)), kThree);
    EXPECT_TRUE(e2e::QpdfCheck(in_));
    ExpectNoTemporary(dir_.Path());

    // A path through the parent directory.
    const std::string base = dir_.Path().substr(dir_.Path().rfind('/') + 1);
    ASSERT_TRUE(e2e::WriteBytes(in_, before_));
    const RunResult up = Linkpoint({"in.pdf", "../" + base + "//in.pdf"}, dir_.Path());
    ASSERT_EQ(up.code, 0) << up.out;
    EXPECT_EQ(e2e::DestNames(RunProbe(in_)), kThree);
    ExpectNoTemporary(dir_.Path());
}

TEST_F(LinkpointFilesTest, SameFileThroughSymbolicLink) {
    const std::string link = dir_.File("link.pdf");
    ASSERT_EQ(symlink("in.pdf", link.c_str()), 0);
    const RunResult r = Linkpoint({in_, link});
    ASSERT_EQ(r.code, 0) << r.out;
    EXPECT_EQ(e2e::DestNames(RunProbe(in_)), kThree);
    EXPECT_TRUE(e2e::QpdfCheck(in_));
    struct stat st;
    ASSERT_EQ(lstat(link.c_str(), &st), 0);
    EXPECT_TRUE(S_ISLNK(st.st_mode));
    ExpectNoTemporary(dir_.Path());
}

TEST_F(LinkpointFilesTest, SameFileThroughHardLink) {
    const std::string hard = dir_.File("hard.pdf");
    ASSERT_EQ(link(in_.c_str(), hard.c_str()), 0);
    const RunResult r = Linkpoint({in_, hard});
    ASSERT_EQ(r.code, 0) << r.out;
    // The result is at the output path; the rename may leave the other
    // name on the old bytes, which must still read.
    EXPECT_EQ(e2e::DestNames(RunProbe(hard)), kThree);
    EXPECT_TRUE(e2e::QpdfCheck(hard));
    EXPECT_TRUE(RunProbe(in_).ok);
    ExpectNoTemporary(dir_.Path());
}

TEST_F(LinkpointFilesTest, NewOutputLeavesTheInputAlone) {
    const std::string out = dir_.File("out.pdf");
    const RunResult r = Linkpoint({in_, out});
    ASSERT_EQ(r.code, 0) << r.out;
    EXPECT_EQ(e2e::CheckSuccessLog(r.out, in_, out), "");
    ExpectUnchanged();
    EXPECT_EQ(e2e::DestNames(RunProbe(out)), kThree);
}

TEST_F(LinkpointFilesTest, OutputOverAnotherExistingFile) {
    const std::string out = dir_.Write("out.pdf", std::string(100000, 'x'));
    const RunResult r = Linkpoint({in_, out});
    ASSERT_EQ(r.code, 0) << r.out;
    EXPECT_EQ(e2e::DestNames(RunProbe(out)), kThree);
    EXPECT_TRUE(e2e::QpdfCheck(out));
    ExpectUnchanged();
}

TEST_F(LinkpointFilesTest, LogFileIsAppended) {
    const std::string log = dir_.File("run.log");
    const std::string out = dir_.File("out.pdf");
    const RunResult first = Linkpoint({in_, out, "-l", log});
    EXPECT_EQ(first.code, 0);
    EXPECT_EQ(first.out, "");
    const std::string once = e2e::ReadBytes(log);
    EXPECT_EQ(e2e::CheckSuccessLog(once, in_, out), "");

    const RunResult second = Linkpoint({in_, out, "-l", log});
    EXPECT_EQ(second.code, 0);
    EXPECT_EQ(second.out, "");
    const std::string twice = e2e::ReadBytes(log);
    ASSERT_EQ(twice.compare(0, once.size(), once), 0);
    EXPECT_EQ(e2e::CheckSuccessLog(twice.substr(once.size()), in_, out), "");
}

TEST_F(LinkpointFilesTest, EmptyLogFileIsSilent) {
    const std::string out = dir_.File("out.pdf");
    const RunResult ok = Linkpoint({in_, out, "-l", ""});
    EXPECT_EQ(ok.code, 0);
    EXPECT_EQ(ok.out + ok.err, "");
    EXPECT_EQ(e2e::DestNames(RunProbe(out)), kThree);

    const RunResult failed = Linkpoint({in_, dir_.File("bad.pdf"), "-l", "", "-ft", "/FitH"});
    EXPECT_EQ(failed.code, 1);
    EXPECT_EQ(failed.out + failed.err, "");
}

// The log is part of the result: without it, the run does not start.
TEST_F(LinkpointFilesTest, UnopenableLogFileStopsTheRun) {
    const std::string out = dir_.File("out.pdf");
    const std::string log = dir_.File("no/such/dir/run.log");
    const RunResult r = Linkpoint({in_, out, "-l", log});
    EXPECT_EQ(r.code, 1);
    EXPECT_EQ(r.out, "");
    EXPECT_EQ(r.err, "linkpoint: cannot open log file " + log + ": No such file or directory\n");
    EXPECT_FALSE(e2e::Exists(out));
}

TEST_F(LinkpointFilesTest, TemporaryDirectory) {
    const std::string temp = dir_.File("temp");
    ASSERT_EQ(mkdir(temp.c_str(), 0700), 0);
    // Large enough that stream data may move into mapped temporary files.
    std::string big = "<< /Length {len} >>\nstream\n" + std::string(200000, 'A') + "\nendstream\n";
    const std::string in =
        dir_.Write("big.pdf", E2EPdf::Flat(2, "/Big 5 0 R", "5 0 obj\n" + big + "endobj\n"));
    for (const std::string& t : {temp, temp + "/"}) {
        const std::string out = dir_.File("out.pdf");
        const RunResult r = Linkpoint({in, out, "-t", t});
        ASSERT_EQ(r.code, 0) << r.out;
        EXPECT_EQ(e2e::DestNames(RunProbe(out)), (Names{"1", "2"}));
        EXPECT_TRUE(e2e::QpdfCheck(out));
        EXPECT_EQ(e2e::Entries(temp), Names{});
    }
}

TEST_F(LinkpointFilesTest, EncryptedInputIsRefused) {
    E2E_REQUIRE("qpdf");
    // Without -pw only the empty user password is tried: a file that has
    // another is refused, whatever its handler, and left as it was.
    struct Case {
        std::vector<std::string> encrypt;
        const char* factor;
    };
    const Case cases[] = {
        {{"u", "o", "40"}, "encrypted document: a password is needed (-pw)"},
        {{"u", "o", "128", "--use-aes=n"}, "encrypted document: a password is needed (-pw)"},
    };
    for (const Case& c : cases) {
        std::vector<std::string> args = {"--allow-weak-crypto", "--object-streams=disable",
                                         "--encrypt"};
        args.insert(args.end(), c.encrypt.begin(), c.encrypt.end());
        args.push_back("--");
        const std::string enc = e2e::QpdfRewrite(in_, dir_.File("enc.pdf"), args);
        ASSERT_FALSE(enc.empty());
        const std::string bytes = e2e::ReadBytes(enc);
        const RunResult r = Linkpoint({enc});
        EXPECT_EQ(r.code, 1);
        const auto lines = e2e::Lines(r.out);
        ASSERT_EQ(lines.size(), 8u) << r.out;
        EXPECT_EQ(lines[0].rfind("Start at: ", 0), 0u);
        EXPECT_EQ(lines[1], "InputFile: " + enc);
        EXPECT_EQ(lines[2], "OutputFile: " + enc);
        EXPECT_EQ(lines[3], "%%[ Error: cannot open PDF Document: " + enc + " ]%%");
        EXPECT_EQ(lines[4], "Module: CPDFDoc");
        EXPECT_EQ(lines[5], "Method: Open");
        EXPECT_EQ(lines[6], "Type: User Error");
        EXPECT_EQ(lines[7], std::string("Factor: ") + c.factor);
        EXPECT_EQ(e2e::ReadBytes(enc), bytes);
    }
    ExpectUnchanged();
}

TEST_F(LinkpointFilesTest, MissingInput) {
    const std::string missing = dir_.File("missing.pdf");
    const RunResult r = Linkpoint({missing});
    EXPECT_EQ(r.code, 1);
    const auto lines = e2e::Lines(r.out);
    ASSERT_EQ(lines.size(), 4u) << r.out;
    EXPECT_EQ(lines[3], "%%[ Error: file not found: " + missing + " ]%%");
    EXPECT_FALSE(e2e::Exists(missing));
}

TEST_F(LinkpointFilesTest, NotAPdf) {
    const std::string text = dir_.Write("text.pdf", "hello\n");
    const RunResult r = Linkpoint({text});
    EXPECT_EQ(r.code, 1);
    const auto lines = e2e::Lines(r.out);
    ASSERT_EQ(lines.size(), 8u) << r.out;
    EXPECT_EQ(lines[3], "%%[ Error: cannot open PDF Document: " + text + " ]%%");
    EXPECT_EQ(lines[4].rfind("Module: ", 0), 0u);
    EXPECT_EQ(lines[5].rfind("Method: ", 0), 0u);
    EXPECT_EQ(lines[6], "Type: Invalid Format");
    EXPECT_EQ(lines[7].rfind("Factor: ", 0), 0u);
    EXPECT_EQ(e2e::ReadBytes(text), "hello\n");
}

// A failure in the middle of a real job leaves the input as it was.
TEST_F(LinkpointFilesTest, FailureLeavesTheInputUntouched) {
    E2E_REQUIRE("gs");
    const std::string gs = e2e::GhostscriptPdf(dir_, "gs.pdf", 3);
    ASSERT_FALSE(gs.empty());
    const std::string bytes = e2e::ReadBytes(gs);
    for (const std::vector<std::string>& args : {std::vector<std::string>{gs, "-ft", "/FitH"},
                                                 {gs, gs, "-ft", "/FitH"},
                                                 {gs, dir_.File("new.pdf"), "-ft", "/FitH"}}) {
        const RunResult r = Linkpoint(args);
        EXPECT_EQ(r.code, 1);
        const auto lines = e2e::Lines(r.out);
        ASSERT_EQ(lines.size(), 4u) << r.out;
        EXPECT_EQ(lines[3], "Invalid FitType: /FitH");
        EXPECT_EQ(e2e::ReadBytes(gs), bytes);
        EXPECT_FALSE(e2e::Exists(dir_.File("new.pdf")));
        ExpectUnchanged();
    }
}

TEST_F(LinkpointFilesTest, OutputDirectoryMissing) {
    const std::string out = dir_.File("no/such/out.pdf");
    const RunResult r = Linkpoint({in_, out});
    EXPECT_EQ(r.code, 1);
    const auto lines = e2e::Lines(r.out);
    // One report, naming the output and what stands in its way.
    ASSERT_EQ(lines.size(), 8u) << r.out;
    EXPECT_EQ(lines[3], "%%[ Error: cannot save PDF Document: " + out + " ]%%");
    EXPECT_EQ(lines[4], "Module: CPDFDoc");
    EXPECT_EQ(lines[5], "Method: Save");
    EXPECT_EQ(lines[6], "Type: Runtime Library Error");
    EXPECT_EQ(lines[7], "Factor: cannot create a temporary file in " + dir_.File("no/such") +
                            ": No such file or directory");
    ExpectUnchanged();
}

}  // namespace
