// The command line as a user meets it: mistakes that must not cost a file,
// help and version, the banner, what a refusal says, ownership of a
// replaced file, a log that cannot be written and the counts line.
#include <gtest/gtest.h>
#include <nettle/version.h>
#include <pwd.h>
#include <sys/stat.h>
#include <tiffio.h>
#include <unistd.h>
#include <zlib.h>

#include <algorithm>
#include <map>
#include <string>
#include <vector>

#include "support/E2E.h"
#include "support/E2EPdf.h"

namespace {

using e2e::Linkpoint;
using e2e::RunResult;
using Names = std::vector<std::string>;

const std::string kUsage =
    "Usage: linkpoint [-v] InputFile [OutputFile] [-sp StartPage] [-ep EndPage] [-fm Format] "
    "[-ft FitType] [-o] [-d] [-i] [-l LogFile] [-t TempPath] [-pw Password]\n";

// The lines "Module: " ... "Factor: " of a log, by label, and how many
// reports there were.
struct Reports {
    int count = 0;
    std::map<std::string, std::string> last;
};
Reports ReadReports(const std::string& log) {
    Reports r;
    for (const std::string& line : e2e::Lines(log)) {
        const size_t colon = line.find(": ");
        if (colon == std::string::npos) continue;
        const std::string label = line.substr(0, colon);
        if (label == "Module") ++r.count;
        if (label == "Module" || label == "Method" || label == "Type" || label == "Factor")
            r.last[label] = line.substr(colon + 2);
    }
    return r;
}

// A shell command line with the binary's path quoted.
std::string Shell(const std::string& args) {
    return std::string("'") + LINKPOINT_BIN + "' " + args;
}

class CommandLineTest : public ::testing::Test {
protected:
    // Three documents that differ, and the bytes of each.
    void WriteThree() {
        for (int i = 0; i < 3; ++i) {
            const std::string name = std::string(1, static_cast<char>('a' + i)) + ".pdf";
            files_[name] = E2EPdf::Flat(i + 1);
            dir_.Write(name, files_[name]);
        }
    }
    // Every file is as written and nothing else is in the directory.
    void ExpectUntouched() {
        Names names;
        for (const auto& [name, bytes] : files_) {
            names.push_back(name);
            EXPECT_EQ(e2e::ReadBytes(dir_.File(name)), bytes) << name;
        }
        EXPECT_EQ(e2e::Entries(dir_.Path()), names);
    }

    ScratchDir dir_;
    std::map<std::string, std::string> files_;
};

TEST_F(CommandLineTest, MoreThanTwoFileNamesTouchNothing) {
    WriteThree();
    const RunResult r = Linkpoint({dir_.File("a.pdf"), dir_.File("b.pdf"), dir_.File("c.pdf")});
    EXPECT_EQ(r.code, 1);
    EXPECT_EQ(r.out, "");
    EXPECT_EQ(r.err, "linkpoint: too many file names: " + dir_.File("c.pdf") + "\n" + kUsage);
    ExpectUntouched();

    // The forms a shell pattern and xargs give; a log file named among the
    // options is not made either.
    for (const std::string& line : {Shell("*.pdf"), Shell("-o *.pdf"), Shell("-l log.txt *.pdf"),
                                    "ls *.pdf | xargs " + Shell("")}) {
        SCOPED_TRACE(line);
        const RunResult s = e2e::Run({"sh", "-c", line}, dir_.Path());
        // xargs says 123 for a command that failed.
        EXPECT_EQ(s.code, line[0] == 'l' ? 123 : 1) << s.out << s.err;
        EXPECT_EQ(s.out, "");
        EXPECT_NE(s.err.find(kUsage), std::string::npos) << s.err;
        ExpectUntouched();
    }
}

TEST_F(CommandLineTest, MistypedOptionsCreateNoFile) {
    files_["in.pdf"] = E2EPdf::Flat(4);
    const std::string in = dir_.Write("in.pdf", files_["in.pdf"]);
    struct Case {
        std::vector<std::string> args;
        std::string message;
    } cases[] = {
        {{in, "-fn", "p%d"}, "unknown option: -fn"},
        {{in, "-SP", "3", "-EP", "4", "out.pdf"}, "unknown option: -SP"},
        {{in, "--sp", "3"}, "unknown option: --sp"},
        {{in, "-fm"}, "option -fm needs a value"},
        {{in, "-sp", "-ep", "2", "out.pdf"}, "option -sp needs a value"},
        {{in, "-l", "-o"}, "option -l needs a value"},
        {{in, "-"}, "'-' (standard input or output) is not supported"},
        {{"-", "out.pdf"}, "'-' (standard input or output) is not supported"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.message);
        const RunResult r = Linkpoint(c.args, dir_.Path());
        EXPECT_EQ(r.code, 1);
        EXPECT_EQ(r.out, "");
        EXPECT_EQ(r.err, "linkpoint: " + c.message + "\n" + kUsage);
        ExpectUntouched();
    }
}

TEST_F(CommandLineTest, ValuesThatLookLikeOptionsAndTheEndOfOptions) {
    const std::string pdf = E2EPdf::Flat(3);
    dir_.Write("-in.pdf", pdf);
    // After "--" a name that starts with a dash is a file; a value may start
    // with one too.
    RunResult r = Linkpoint({"-fm", "-%d", "-sp", "-5", "--", "-in.pdf", "out.pdf"}, dir_.Path());
    ASSERT_EQ(r.code, 0) << r.out << r.err;
    EXPECT_EQ(e2e::CheckSuccessLog(r.out, "-in.pdf", "out.pdf"), "");
    EXPECT_EQ(e2e::CountsLine(r.out), "Added 3, replaced 0, already present 0");
    EXPECT_EQ(e2e::DestNames(e2e::RunProbe(dir_.File("out.pdf"))), (Names{"-1", "-2", "-3"}));
    EXPECT_EQ(e2e::ReadBytes(dir_.File("-in.pdf")), pdf);
}

TEST_F(CommandLineTest, HelpAndVersionExitZero) {
    for (const char* option : {"--help", "-h"}) {
        const RunResult r = Linkpoint({option});
        EXPECT_EQ(r.code, 0) << option;
        EXPECT_EQ(r.err, "") << option;
        EXPECT_EQ(r.out.rfind(kUsage, 0), 0u) << r.out;
        EXPECT_NE(r.out.find("--version"), std::string::npos) << r.out;
    }
    // Help wins over the rest of the line and opens nothing.
    WriteThree();
    RunResult r = Linkpoint({dir_.File("a.pdf"), dir_.File("b.pdf"), "-h"});
    EXPECT_EQ(r.code, 0);
    ExpectUntouched();

    r = Linkpoint({"--version"});
    EXPECT_EQ(r.code, 0);
    EXPECT_EQ(r.out, std::string("linkpoint ") + LINKPOINT_VERSION + "\n");
    EXPECT_EQ(r.err, "");
    // The manual page states the same version.
    const std::string manual = e2e::ReadBytes(std::string(SOURCE_DIR) + "/doc/linkpoint.1");
    EXPECT_NE(manual.find(std::string("\"linkpoint ") + LINKPOINT_VERSION + "\""),
              std::string::npos);

    // What cannot be printed is an error, as for any tool.
    for (const char* option : {"--help", "--version"}) {
        r = e2e::Run({"sh", "-c", Shell(option) + " > /dev/full"});
        EXPECT_EQ(r.code, 1) << option;
        EXPECT_EQ(r.err, "linkpoint: write error: No space left on device\n") << option;
    }
}

TEST_F(CommandLineTest, BannerNamesTheLibrariesThatRun) {
    const RunResult r = Linkpoint({"-v"});
    EXPECT_EQ(r.code, 1);
    const Names lines = e2e::Lines(r.out);
    auto has = [&lines](const std::string& line) {
        return std::find(lines.begin(), lines.end(), line) != lines.end();
    };
    EXPECT_EQ(lines.at(0), "linkpoint");
    EXPECT_TRUE(has(std::string("corvina ") + LINKPOINT_VERSION)) << r.out;
    EXPECT_TRUE(has(std::string("zlib ") + zlibVersion())) << r.out;
    const std::string tiff = TIFFGetVersion();
    EXPECT_TRUE(has(tiff.substr(0, tiff.find('\n')))) << r.out;
    EXPECT_TRUE(has("nettle " + std::to_string(nettle_version_major()) + "." +
                    std::to_string(nettle_version_minor())))
        << r.out;
    // None of the versions that do not run here.
    for (const char* stale : {"zlib 1.1.3", "TIFF Software Distribution v3.4",
                              "The Independent JPEG Group's JPEG software release 6b"})
        EXPECT_EQ(r.out.find(stale), std::string::npos) << stale;
    EXPECT_NE(r.out.find("libjpeg"), std::string::npos);
}

TEST_F(CommandLineTest, RefusalsSayWhy) {
    const std::string pdf = E2EPdf::Flat(2);
    const std::string in = dir_.Write("in.pdf", pdf);
    const std::string empty = dir_.Write("empty.pdf", "");
    const std::string text = dir_.Write("text.pdf", "hello\n");
    ASSERT_EQ(mkdir(dir_.File("sub").c_str(), 0755), 0);
    struct Case {
        std::string input;
        std::string output;
        std::string bracket;
        std::string factor;
    } cases[] = {
        {empty, "", "cannot open PDF Document: " + empty, "empty file"},
        {text, "", "cannot open PDF Document: " + text, "not a PDF file (no %PDF- header)"},
        {in, dir_.File("sub"), "cannot save PDF Document: " + dir_.File("sub"),
         "output is a directory: " + dir_.File("sub")},
        {in, dir_.File("none/out.pdf"), "cannot save PDF Document: " + dir_.File("none/out.pdf"),
         "cannot create a temporary file in " + dir_.File("none") + ": No such file or directory"},
        {in, "/proc/version", "cannot save PDF Document: /proc/version",
         "cannot create a temporary file in /proc: No such file or directory"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.factor);
        std::vector<std::string> args = {c.input};
        if (!c.output.empty()) args.push_back(c.output);
        const RunResult r = Linkpoint(args);
        EXPECT_EQ(r.code, 1);
        const Names lines = e2e::Lines(r.out);
        ASSERT_GE(lines.size(), 4u) << r.out;
        EXPECT_EQ(lines[3], "%%[ Error: " + c.bracket + " ]%%") << r.out;
        const Reports reports = ReadReports(r.out);
        EXPECT_EQ(reports.count, 1) << r.out;
        EXPECT_EQ(reports.last.at("Factor"), c.factor) << r.out;
        EXPECT_EQ(lines.back(), "Factor: " + c.factor);
    }
    EXPECT_EQ(e2e::ReadBytes(in), pdf);
    EXPECT_EQ(e2e::Entries(dir_.Path()), (Names{"empty.pdf", "in.pdf", "sub", "text.pdf"}));
    EXPECT_EQ(e2e::Entries(dir_.File("sub")), Names{});
}

// Runs the tool as the user nobody, for what only an ordinary user meets.
RunResult AsNobody(const std::vector<std::string>& args) {
    std::vector<std::string> argv = {"setpriv", "--reuid=nobody", "--regid=nogroup",
                                     "--clear-groups", LINKPOINT_BIN};
    argv.insert(argv.end(), args.begin(), args.end());
    return e2e::Run(argv);
}

TEST_F(CommandLineTest, SystemErrorsNameThePath) {
    if (geteuid() != 0 || !e2e::Have("setpriv")) GTEST_SKIP() << "needs root and setpriv";
    const passwd* nobody = getpwnam("nobody");
    ASSERT_NE(nobody, nullptr);
    ASSERT_EQ(chmod(dir_.Path().c_str(), 0755), 0);
    const std::string pdf = E2EPdf::Flat(2);
    const std::string secret = dir_.Write("secret.pdf", pdf);
    ASSERT_EQ(chmod(secret.c_str(), 0600), 0);
    const std::string in = dir_.Write("in.pdf", pdf);
    ASSERT_EQ(chmod(in.c_str(), 0644), 0);

    RunResult r = AsNobody({secret, "/tmp/never.pdf"});
    EXPECT_EQ(r.code, 1);
    EXPECT_EQ(e2e::Lines(r.out).back(), "Factor: " + secret + ": Permission denied") << r.out;

    // The directory takes no new file from nobody.
    r = AsNobody({in});
    EXPECT_EQ(r.code, 1);
    EXPECT_EQ(e2e::Lines(r.out).back(),
              "Factor: cannot create a temporary file in " + dir_.Path() + ": Permission denied")
        << r.out;
    EXPECT_EQ(ReadReports(r.out).count, 1) << r.out;
    EXPECT_EQ(e2e::ReadBytes(in), pdf);
}

TEST_F(CommandLineTest, ReplacedFileKeepsOwnerGroupAndMode) {
    if (geteuid() != 0) GTEST_SKIP() << "only root can give files to other users";
    const std::string pdf = E2EPdf::Flat(2);
    const std::string in = dir_.Write("in.pdf", pdf);
    const std::string out = dir_.Write("out.pdf", "old output");
    ASSERT_EQ(chown(in.c_str(), 1234, 5678), 0);
    ASSERT_EQ(chmod(in.c_str(), 0640), 0);
    ASSERT_EQ(chown(out.c_str(), 4321, 8765), 0);
    ASSERT_EQ(chmod(out.c_str(), 0604), 0);

    // In place, then over another user's existing output.
    RunResult r = Linkpoint({in});
    ASSERT_EQ(r.code, 0) << r.out;
    struct stat st;
    ASSERT_EQ(stat(in.c_str(), &st), 0);
    EXPECT_EQ(st.st_uid, 1234u);
    EXPECT_EQ(st.st_gid, 5678u);
    EXPECT_EQ(st.st_mode & 07777, 0640u);
    EXPECT_NE(e2e::ReadBytes(in), pdf);

    r = Linkpoint({in, out});
    ASSERT_EQ(r.code, 0) << r.out;
    ASSERT_EQ(stat(out.c_str(), &st), 0);
    EXPECT_EQ(st.st_uid, 4321u);
    EXPECT_EQ(st.st_gid, 8765u);
    EXPECT_EQ(st.st_mode & 07777, 0604u);
    EXPECT_TRUE(e2e::QpdfCheck(out));
}

TEST_F(CommandLineTest, OrdinaryUserReplacesAFileItCannotGiveAway) {
    if (geteuid() != 0 || !e2e::Have("setpriv")) GTEST_SKIP() << "needs root and setpriv";
    const passwd* nobody = getpwnam("nobody");
    ASSERT_NE(nobody, nullptr);
    // nobody's own directory, and a file of nobody's in a group nobody is not in.
    ASSERT_EQ(chmod(dir_.Path().c_str(), 0755), 0);
    const std::string sub = dir_.File("nobody");
    ASSERT_EQ(mkdir(sub.c_str(), 0755), 0);
    ASSERT_EQ(chown(sub.c_str(), nobody->pw_uid, nobody->pw_gid), 0);
    const std::string in = dir_.Write("nobody/in.pdf", E2EPdf::Flat(2));
    ASSERT_EQ(chown(in.c_str(), nobody->pw_uid, 0), 0);
    ASSERT_EQ(chmod(in.c_str(), 0664), 0);

    const RunResult r = AsNobody({in});
    ASSERT_EQ(r.code, 0) << r.out << r.err;
    struct stat st;
    ASSERT_EQ(stat(in.c_str(), &st), 0);
    EXPECT_EQ(st.st_uid, nobody->pw_uid);
    EXPECT_EQ(st.st_mode & 07777, 0664u);
    EXPECT_TRUE(e2e::QpdfCheck(in));
}

TEST_F(CommandLineTest, LogThatCannotBeWrittenFailsTheRun) {
    const std::string pdf = E2EPdf::Flat(2);
    const std::string in = dir_.Write("in.pdf", pdf);
    const std::string out = dir_.File("out.pdf");
    const std::string full = dir_.FullDevice();
    if (full.empty()) GTEST_SKIP() << "no full device";

    // Standard output on a full device: nothing is written at all.
    RunResult r = e2e::Run({"sh", "-c", Shell("'" + in + "' '" + out + "' > '" + full + "'")});
    EXPECT_EQ(r.code, 1);
    EXPECT_EQ(r.err,
              "linkpoint: cannot write the log to standard output: No space left on device\n");
    EXPECT_FALSE(e2e::Exists(out));
    EXPECT_EQ(e2e::ReadBytes(in), pdf);

    // The same for a log file that takes nothing.
    r = Linkpoint({in, out, "-l", full});
    EXPECT_EQ(r.code, 1);
    EXPECT_EQ(r.err, "linkpoint: cannot write the log to " + full + ": No space left on device\n");
    EXPECT_FALSE(e2e::Exists(out));

    // A log file that cannot be opened stops the run before it starts.
    const std::string nowhere = dir_.File("none/log.txt");
    r = Linkpoint({in, out, "-l", nowhere});
    EXPECT_EQ(r.code, 1);
    EXPECT_EQ(r.out, "");
    EXPECT_EQ(r.err,
              "linkpoint: cannot open log file " + nowhere + ": No such file or directory\n");
    EXPECT_FALSE(e2e::Exists(out));
    Names left = e2e::Entries(dir_.Path());
    std::erase(left, full.substr(full.rfind('/') + 1));
    EXPECT_EQ(left, Names{"in.pdf"});
}

TEST_F(CommandLineTest, CountsLineSaysWhatTheRunDid) {
    const std::string in = dir_.Write("in.pdf", E2EPdf::Flat(3));
    const std::string out = dir_.File("out.pdf");
    const std::string again = dir_.File("again.pdf");
    struct Case {
        std::vector<std::string> args;
        std::string counts;
        Names notices;
    } cases[] = {
        {{in, out}, "Added 3, replaced 0, already present 0", {}},
        {{out, again},
         "Added 0, replaced 0, already present 3",
         {"Named destination already exists: 1", "Named destination already exists: 2",
          "Named destination already exists: 3"}},
        {{out, again, "-o", "-sp", "2"}, "Added 0, replaced 2, already present 0", {}},
        {{out, again, "-sp", "3", "-ep", "2"}, "Added 0, replaced 0, already present 0", {}},
        {{out, again, "-fm", "p%d", "-ep", "1"}, "Added 1, replaced 0, already present 0", {}},
        {{out, again, "-d"}, "Removed 3", {}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.counts);
        const RunResult r = Linkpoint(c.args);
        ASSERT_EQ(r.code, 0) << r.out;
        EXPECT_EQ(e2e::CheckSuccessLog(r.out, c.args[0], c.args[1], c.notices), "") << r.out;
        EXPECT_EQ(e2e::CountsLine(r.out), c.counts);
    }
}

}  // namespace
