#include "tool/CLinkPointApp.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <nettle/version.h>
#include <tiffio.h>
#include <unistd.h>
#include <zlib.h>

#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <regex>
#include <sstream>
#include <string>

#include "pdf/object/CPDFException.h"
#include "tool/RecordingSink.h"

// jpeglib.h needs stdio first.
#include <jpeglib.h>

using corvina::CPDFException;

namespace {

std::string ReadAll(FILE* f) {
    std::fflush(f);
    std::rewind(f);
    std::string text;
    char buffer[4096];
    size_t n;
    while ((n = std::fread(buffer, 1, sizeof buffer, f)) > 0) text.append(buffer, n);
    return text;
}

std::string ReadFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream out;
    out << in.rdbuf();
    return out.str();
}

class TempDir : public ::testing::Test {
protected:
    void SetUp() override {
        char pattern[] = "/tmp/cvtestXXXXXX";
        ASSERT_NE(mkdtemp(pattern), nullptr);
        dir_ = pattern;
    }
    void TearDown() override {
        std::string command = "rm -rf '" + dir_ + "'";
        ASSERT_EQ(std::system(command.c_str()), 0);
    }
    std::string Path(const char* name) const { return dir_ + "/" + name; }

    std::string dir_;
};

// --- The log sink's lines ---

TEST(CLogSinkTest, FormatsOneLinePerCall) {
    RecordingSink sink;
    sink.WriteLog("InputFile: %s", "a.pdf");
    sink.WriteLog("%d-%ld", 7, 8L);
    EXPECT_EQ(sink.lines, (std::vector<std::string>{"InputFile: a.pdf", "7-8"}));
}

TEST(CLogSinkTest, LongLineIsCutAt1023Bytes) {
    RecordingSink sink;
    const std::string text(3000, 'a');
    sink.WriteLog("%s", text.c_str());
    EXPECT_EQ(sink.lines, std::vector<std::string>{std::string(CLogSink::kLineMax, 'a')});
    EXPECT_EQ(CLogSink::kLineMax, 1023u);
}

TEST(CLogSinkTest, FourPercentSignsBecomeTwo) {
    RecordingSink sink;
    sink.WriteLog("%%%%");
    sink.WriteLog("%%%%[ Error: file not found: %s ]%%%%", "x.pdf");
    EXPECT_EQ(sink.lines, (std::vector<std::string>{"%%", "%%[ Error: file not found: x.pdf ]%%"}));
}

TEST(CLogSinkTest, ErrorReportIsFourLines) {
    RecordingSink sink;
    sink.CLogSink::WriteErrorReport(
        CPDFException("CPDFDoc", "Open", CPDFException::UserError, "encrypted document"));
    EXPECT_EQ(sink.lines,
              (std::vector<std::string>{"Module: CPDFDoc", "Method: Open", "Type: User Error",
                                        "Factor: encrypted document"}));
}

TEST(CLogSinkTest, EmptyRecordAndUnknownType) {
    RecordingSink sink;
    sink.CLogSink::WriteErrorReport(CPDFException());
    sink.CLogSink::WriteErrorReport(CPDFException("CPDFDict", "Serialize", 9, "ioerror"));
    EXPECT_EQ(sink.lines, (std::vector<std::string>{
                              "Module: ", "Method: ", "Type: ", "Factor: ", "Module: CPDFDict",
                              "Method: Serialize", "Type: ", "Factor: ioerror"}));
}

// --- Init and Term ---

using CLinkPointAppTest = TempDir;

TEST_F(CLinkPointAppTest, NullLogFileLogsToStandardOutput) {
    CLinkPointApp app;
    ASSERT_TRUE(app.Init(nullptr, nullptr));
    EXPECT_EQ(app.GetLog(), stdout);
    app.Term();
    EXPECT_EQ(app.GetLog(), nullptr);
    app.Term();
    // Standard output was not closed.
    EXPECT_NE(fcntl(STDOUT_FILENO, F_GETFD), -1);
}

TEST_F(CLinkPointAppTest, EmptyLogFileLogsNothing) {
    CLinkPointApp app;
    ASSERT_TRUE(app.Init("", nullptr));
    EXPECT_EQ(app.GetLog(), nullptr);
    const std::string input = Path("missing.pdf");
    testing::internal::CaptureStdout();
    const int rc = app.Run(input.c_str(), nullptr, 0, 0, nullptr, nullptr, false, false);
    const std::string printed = testing::internal::GetCapturedStdout();
    EXPECT_EQ(rc, 1);
    EXPECT_EQ(printed, "");
}

// The log is part of the result: a run without the log it was asked for
// does not start.
TEST_F(CLinkPointAppTest, UnopenableLogFileStopsTheRun) {
    CLinkPointApp app;
    const std::string log = Path("no/such/dir/log.txt");
    EXPECT_FALSE(app.Init(log.c_str(), nullptr));
    EXPECT_EQ(app.GetLog(), nullptr);
    EXPECT_EQ(app.GetLastErrorText(),
              "cannot open log file " + log + ": No such file or directory");
    EXPECT_EQ(app.GetLogErrorText(), "");
}

TEST_F(CLinkPointAppTest, LogFileIsAppendedAcrossRuns) {
    const std::string log = Path("log.txt");
    { std::ofstream(log) << "before\n"; }
    CLinkPointApp app;
    ASSERT_TRUE(app.Init(log.c_str(), nullptr));
    ASSERT_NE(app.GetLog(), nullptr);
    app.WriteLog("first");
    app.Term();
    EXPECT_EQ(app.GetLog(), nullptr);
    app.Term();
    ASSERT_TRUE(app.Init(log.c_str(), nullptr));
    app.WriteLog("second");
    app.Term();
    EXPECT_EQ(ReadFile(log), "before\nfirst\nsecond\n");
}

TEST_F(CLinkPointAppTest, DestructorClosesTheLog) {
    const std::string log = Path("log.txt");
    {
        CLinkPointApp app;
        ASSERT_TRUE(app.Init(log.c_str(), nullptr));
        app.WriteLog("line");
    }
    EXPECT_EQ(ReadFile(log), "line\n");
}

TEST_F(CLinkPointAppTest, TempPathIsCopied) {
    CLinkPointApp app;
    std::string temp = dir_;
    ASSERT_TRUE(app.Init("", temp.c_str()));
    temp.clear();
    EXPECT_EQ(app.GetTempPath(), dir_);
    ASSERT_TRUE(app.Init("", nullptr));
    EXPECT_EQ(app.GetTempPath(), "");
}

TEST_F(CLinkPointAppTest, LastErrorText) {
    CLinkPointApp app;
    EXPECT_EQ(app.GetLastErrorText(), "");
    app.SetLastErrorText("file not found: x.pdf");
    EXPECT_EQ(app.GetLastErrorText(), "file not found: x.pdf");
}

// --- Run ---

// The lines a failed run writes before the driver's own messages.
void ExpectFailedRunHeader(const std::string& logText, const std::string& input,
                           const std::string& output) {
    std::istringstream lines(logText);
    std::string line;
    ASSERT_TRUE(std::getline(lines, line));
    EXPECT_TRUE(
        std::regex_match(line, std::regex("Start at: [A-Z][a-z]{2} [A-Z][a-z]{2} [ 1-3][0-9] "
                                          "[0-2][0-9]:[0-5][0-9]:[0-6][0-9] [0-9]{4}")))
        << line;
    ASSERT_TRUE(std::getline(lines, line));
    EXPECT_EQ(line, "InputFile: " + input);
    ASSERT_TRUE(std::getline(lines, line));
    EXPECT_EQ(line, "OutputFile: " + output);
    EXPECT_EQ(logText.find("Finish at"), std::string::npos);
}

TEST_F(CLinkPointAppTest, FailedRunLogsPathsAndNoFinish) {
    CLinkPointApp app;
    const std::string log = Path("log.txt");
    const std::string input = Path("missing.pdf");
    const std::string output = Path("out.pdf");
    ASSERT_TRUE(app.Init(log.c_str(), nullptr));
    EXPECT_EQ(app.Run(input.c_str(), output.c_str(), 0, 0, nullptr, nullptr, false, false), 1);
    app.Term();
    ExpectFailedRunHeader(ReadFile(log), input, output);
}

TEST_F(CLinkPointAppTest, MissingOrEmptyOutputFileMeansTheInputFile) {
    CLinkPointApp app;
    const std::string input = Path("missing.pdf");
    for (const char* output : {static_cast<const char*>(nullptr), ""}) {
        const std::string log = Path(output ? "log-empty.txt" : "log-null.txt");
        ASSERT_TRUE(app.Init(log.c_str(), nullptr));
        EXPECT_EQ(app.Run(input.c_str(), output, 0, 0, nullptr, nullptr, false, false), 1);
        app.Term();
        ExpectFailedRunHeader(ReadFile(log), input, input);
    }
}

TEST_F(CLinkPointAppTest, PathLimitIsThePlatformsOwn) {
    EXPECT_EQ(CLinkPointApp::kPathBufferSize, static_cast<size_t>(PATH_MAX));
}

TEST_F(CLinkPointAppTest, OverlongPathIsRefusedNotCut) {
    CLinkPointApp app;
    const std::string log = Path("log.txt");
    const std::string longPath = "/" + std::string(CLinkPointApp::kPathBufferSize - 1, 'p');
    ASSERT_EQ(longPath.size(), CLinkPointApp::kPathBufferSize);

    for (int which = 0; which < 2; ++which) {
        std::remove(log.c_str());
        const std::string input = which == 0 ? longPath : Path("in.pdf");
        const std::string output = which == 0 ? Path("out.pdf") : longPath;
        ASSERT_TRUE(app.Init(log.c_str(), nullptr));
        EXPECT_EQ(app.Run(input.c_str(), output.c_str(), 0, 0, nullptr, nullptr, false, false), 1);
        app.Term();
        // The log line keeps its 1023 bytes; the error text keeps the path whole.
        const std::string text = ReadFile(log);
        const std::string line = ("%%[ Error: path too long: " + longPath).substr(0, 1023);
        EXPECT_NE(text.find("\n" + line + "\n"), std::string::npos) << text;
        EXPECT_EQ(text.find("InputFile"), std::string::npos);
        EXPECT_EQ(app.GetLastErrorText(), "path too long: " + longPath);
    }
}

TEST_F(CLinkPointAppTest, LongestPathThatFitsIsAccepted) {
    CLinkPointApp app;
    const std::string log = Path("log.txt");
    std::string output = dir_ + "/";
    output += std::string(CLinkPointApp::kPathBufferSize - 1 - output.size(), 'q');
    ASSERT_EQ(output.size(), CLinkPointApp::kPathBufferSize - 1);
    const std::string input = Path("missing.pdf");
    ASSERT_TRUE(app.Init(log.c_str(), nullptr));
    EXPECT_EQ(app.Run(input.c_str(), output.c_str(), 0, 0, nullptr, nullptr, false, false), 1);
    app.Term();
    const std::string text = ReadFile(log);
    ExpectFailedRunHeader(text, input, output.substr(0, 1023 - std::strlen("OutputFile: ")));
    EXPECT_EQ(text.find("path too long"), std::string::npos);
    EXPECT_NE(text.find("file not found: " + input), std::string::npos);
    EXPECT_EQ(app.GetLastErrorText(), "file not found: " + input);
}

// --- Usage and banner ---

TEST(PrintUsageTest, ExactLine) {
    FILE* f = std::tmpfile();
    ASSERT_NE(f, nullptr);
    CLinkPointApp::PrintUsage(f, "linkpoint");
    EXPECT_EQ(
        ReadAll(f),
        "Usage: linkpoint [-v] InputFile [OutputFile] [-sp StartPage] [-ep EndPage] "
        "[-fm Format] [-ft FitType] [-o] [-d] [-i] [-l LogFile] [-t TempPath] [-pw Password]\n");
    std::fclose(f);
}

TEST(PrintUsageTest, LongProgramNameIsCutToFit) {
    FILE* f = std::tmpfile();
    ASSERT_NE(f, nullptr);
    const std::string name(1000, 'n');
    CLinkPointApp::PrintUsage(f, name.c_str());
    const std::string line = ReadAll(f);
    EXPECT_EQ(line.size(), CLinkPointApp::kUsageLineMax);
    EXPECT_EQ(line.substr(0, 8), "Usage: n");
    EXPECT_EQ(line.substr(line.size() - 15), "[-pw Password]\n");
    std::fclose(f);
}

#define CORVINA_TEST_STR2(x) #x
#define CORVINA_TEST_STR(x) CORVINA_TEST_STR2(x)

TEST(PrintBannerTest, BlocksAndLinkedVersions) {
    FILE* f = std::tmpfile();
    ASSERT_NE(f, nullptr);
    CLinkPointApp::PrintBanner(f);
    const std::string text = ReadAll(f);
    std::fclose(f);

    std::vector<std::string> lines;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);) lines.push_back(line);
    ASSERT_FALSE(lines.empty());
    EXPECT_EQ(lines[0], "linkpoint");

    auto indexOf = [&](const std::string& wanted) {
        for (size_t i = 0; i < lines.size(); ++i)
            if (lines[i] == wanted) return static_cast<long>(i);
        return -1L;
    };
    const std::string tiff = TIFFGetVersion();
    const std::vector<std::string> names = {
        std::string("corvina ") + LINKPOINT_VERSION,
        "libjpeg-turbo " CORVINA_TEST_STR(LIBJPEG_TURBO_VERSION), tiff.substr(0, tiff.find('\n')),
        std::string("zlib ") + zlibVersion(),
        "nettle " + std::to_string(nettle_version_major()) + "." +
            std::to_string(nettle_version_minor())};
    long previous = 0;
    for (const std::string& name : names) {
        const long at = indexOf(name);
        ASSERT_GT(at, previous) << name;
        // Every name line is followed by at least one tab-indented notice.
        ASSERT_LT(static_cast<size_t>(at + 1), lines.size());
        EXPECT_EQ(lines[at + 1][0], '\t') << name;
        previous = at;
    }
    // The library block is set apart from the libraries it is built on.
    EXPECT_EQ(lines[indexOf(names[1]) - 1], "");
    EXPECT_EQ(lines[1][0], '\t');
    // libjpeg's own run-time texts, and the note that its release number is
    // the headers'.
    const size_t api = text.find("\tlibjpeg API ");
    ASSERT_NE(api, std::string::npos) << text;
    EXPECT_EQ(text.substr(text.find('\n', api) - 11, 12), " (run time)\n");
    EXPECT_NE(text.find("headers' (built against)"), std::string::npos);
    EXPECT_NE(text.find("\tBuilt against: zlib " ZLIB_VERSION ".\n"), std::string::npos);
    EXPECT_NE(text.find("\tBuilt against: nettle " + std::to_string(NETTLE_VERSION_MAJOR) + "."),
              std::string::npos);
}

}  // namespace
