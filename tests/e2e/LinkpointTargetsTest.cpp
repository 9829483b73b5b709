// Inputs and outputs that are not plain files in a short path: devices, FIFOs,
// standard output, directories, long paths, the -t directory, and bytes after
// the end marker.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <climits>
#include <cstdio>
#include <string>
#include <thread>
#include <vector>

#include "support/E2E.h"
#include "support/E2EPdf.h"

namespace {

using e2e::Linkpoint;
using e2e::RunProbe;
using e2e::RunResult;
using Names = std::vector<std::string>;

const Names kThree = {"1", "2", "3"};

class LinkpointTargetsTest : public ::testing::Test {
protected:
    void SetUp() override {
        in_ = dir_.Write("in.pdf", E2EPdf::Flat(3));
        before_ = e2e::ReadBytes(in_);
    }
    // The four report lines after the log's header and one error line.
    static void ExpectReport(const std::vector<std::string>& lines, size_t at,
                             const std::string& method, const std::string& type,
                             const std::string& factor) {
        ASSERT_GE(lines.size(), at + 4);
        EXPECT_EQ(lines[at], "Module: CPDFDoc");
        EXPECT_EQ(lines[at + 1], "Method: " + method);
        EXPECT_EQ(lines[at + 2], "Type: " + type);
        EXPECT_EQ(lines[at + 3], "Factor: " + factor);
    }
    void ExpectInputUnchanged() {
        EXPECT_EQ(e2e::ReadBytes(in_), before_);
        EXPECT_EQ(e2e::Entries(dir_.Path(), "cv"), Names{});
    }
    static bool IsCharDevice(const std::string& path) {
        struct stat st;
        return stat(path.c_str(), &st) == 0 && S_ISCHR(st.st_mode);
    }
    ScratchDir dir_;
    std::string in_;
    std::string before_;
};

// --- Outputs that are not regular files ---

TEST_F(LinkpointTargetsTest, FullDeviceFailsAndStaysADevice) {
    const std::string full = dir_.FullDevice();
    if (full.empty()) GTEST_SKIP() << "no /dev/full";
    const RunResult r = Linkpoint({in_, full});
    EXPECT_EQ(r.code, 1);
    const auto lines = e2e::Lines(r.out);
    ASSERT_EQ(lines.size(), 8u) << r.out;
    EXPECT_EQ(lines[2], "OutputFile: " + full);
    EXPECT_EQ(lines[3], "%%[ Error: cannot flush PDF Document: " + in_ + " ]%%");
    ExpectReport(lines, 4, "Flush", "System Error", full + ": No space left on device");
    EXPECT_TRUE(IsCharDevice(full));
    ExpectInputUnchanged();
}

TEST_F(LinkpointTargetsTest, StandardOutputGetsThePdfAndStandardErrorTheLog) {
    E2E_REQUIRE("qpdf");
    // A private link of /dev/stdout's kind comes first: a writer that
    // replaced its target would take only that, not the system's own.
    const std::string own = dir_.File("stdout");
    ASSERT_EQ(symlink("/proc/self/fd/1", own.c_str()), 0);
    for (const std::string& target : {own, std::string("/dev/stdout")}) {
        SCOPED_TRACE(target);
        // The runner's standard output is a pipe; what comes through it is
        // kept as a file.
        const RunResult r = Linkpoint({in_, target});
        ASSERT_EQ(r.code, 0) << r.err;
        ASSERT_EQ(r.out.rfind("%PDF-", 0), 0u) << r.out.substr(0, 200);
        EXPECT_EQ(e2e::CheckSuccessLog(r.err, in_, target), "");
        const std::string out = dir_.Write("piped.pdf", r.out);
        EXPECT_TRUE(e2e::QpdfCheck(out));
        EXPECT_EQ(e2e::DestNames(RunProbe(out)), kThree);
        struct stat st;
        ASSERT_EQ(lstat(target.c_str(), &st), 0);
        ASSERT_TRUE(S_ISLNK(st.st_mode));
        ExpectInputUnchanged();
    }
}

TEST_F(LinkpointTargetsTest, StandardOutputOnADeletedFileIsRefused) {
    // fd 1 is a regular file that no name reaches any more: there is nothing
    // to rename over but the link itself, which must stay.
    const std::string own = dir_.File("stdout");
    ASSERT_EQ(symlink("/proc/self/fd/1", own.c_str()), 0);
    const std::string gone = dir_.File("gone.pdf");
    const std::string log = dir_.File("log.txt");
    const RunResult r =
        e2e::Run({"sh", "-c", "exec 1>\"$1\"; rm \"$1\"; exec \"$2\" \"$3\" \"$4\" -l \"$5\"", "sh",
                  gone, LINKPOINT_BIN, in_, own, log});
    EXPECT_EQ(r.code, 1) << r.err;
    const auto lines = e2e::Lines(e2e::ReadBytes(log));
    ASSERT_GE(lines.size(), 8u);
    EXPECT_EQ(lines[3], "%%[ Error: cannot save PDF Document: " + own + " ]%%");
    ExpectReport(lines, 4, "Save", "User Error", "output has no file name to replace: " + own);
    struct stat st;
    ASSERT_EQ(lstat(own.c_str(), &st), 0);
    EXPECT_TRUE(S_ISLNK(st.st_mode));
    ExpectInputUnchanged();
}

TEST_F(LinkpointTargetsTest, FifoWithAReaderGetsThePdf) {
    E2E_REQUIRE("qpdf");
    const std::string fifo = dir_.File("out.fifo");
    ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
    // A second name for the FIFO, to release the reader even when the tool
    // never opened it (or renamed a file over it).
    const std::string keep = dir_.File("keep.fifo");
    ASSERT_EQ(link(fifo.c_str(), keep.c_str()), 0);
    std::string got;
    std::thread reader([&] {
        FILE* in = std::fopen(fifo.c_str(), "rb");
        if (!in) return;
        char buffer[4096];
        size_t n;
        while ((n = std::fread(buffer, 1, sizeof buffer, in)) > 0) got.append(buffer, n);
        std::fclose(in);
    });
    const RunResult r = Linkpoint({in_, fifo});
    // Lets the reader go if the tool never opened the FIFO.
    const int fd = open(keep.c_str(), O_WRONLY | O_NONBLOCK);
    if (fd >= 0) close(fd);
    reader.join();
    ASSERT_EQ(r.code, 0) << r.out;
    EXPECT_EQ(e2e::CheckSuccessLog(r.out, in_, fifo), "");
    struct stat st;
    ASSERT_EQ(stat(fifo.c_str(), &st), 0);
    EXPECT_TRUE(S_ISFIFO(st.st_mode));
    const std::string out = dir_.Write("read.pdf", got);
    EXPECT_TRUE(e2e::QpdfCheck(out));
    EXPECT_EQ(e2e::DestNames(RunProbe(out)), kThree);
    ExpectInputUnchanged();
}

TEST_F(LinkpointTargetsTest, DirectoryAsOutputIsRefused) {
    const std::string sub = dir_.File("sub");
    ASSERT_EQ(mkdir(sub.c_str(), 0700), 0);
    const RunResult r = Linkpoint({in_, sub});
    EXPECT_EQ(r.code, 1);
    const auto lines = e2e::Lines(r.out);
    ASSERT_GE(lines.size(), 8u) << r.out;
    EXPECT_EQ(lines[3], "%%[ Error: cannot save PDF Document: " + sub + " ]%%");
    ExpectReport(lines, 4, "Save", "User Error", "output is a directory: " + sub);
    EXPECT_EQ(e2e::Entries(sub), Names{});
    ExpectInputUnchanged();
}

// --- Inputs that are not regular files ---

TEST_F(LinkpointTargetsTest, InputThatIsNoRegularFileIsRefusedWithoutHanging) {
    const std::string fifo = dir_.File("in.fifo");
    ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
    const std::string sub = dir_.File("sub");
    ASSERT_EQ(mkdir(sub.c_str(), 0700), 0);
    struct Case {
        std::string path, kind;
    };
    for (const Case& c :
         {Case{fifo, "FIFO"}, Case{sub, "directory"}, Case{"/dev/null", "character device"}}) {
        SCOPED_TRACE(c.path);
        // No writer ever comes to the FIFO: a blocking open would hit the
        // runner's time limit (exit 124).
        const RunResult r = Linkpoint({c.path, dir_.File("out.pdf")});
        EXPECT_EQ(r.code, 1);
        const auto lines = e2e::Lines(r.out);
        ASSERT_EQ(lines.size(), 8u) << r.out;
        EXPECT_EQ(lines[3], "%%[ Error: cannot open PDF Document: " + c.path + " ]%%");
        ExpectReport(lines, 4, "Open", "User Error",
                     "not a regular file (" + c.kind + "): " + c.path);
        EXPECT_FALSE(e2e::Exists(dir_.File("out.pdf")));
    }
}

// --- Long paths ---

TEST_F(LinkpointTargetsTest, ThousandBytePathsInPlaceAndToANewFile) {
    // Nested directories, each name well under the 255-byte component limit.
    const std::string name = "/in.pdf";
    const size_t want = 1000 - name.size();
    std::string deep = dir_.Path();
    ASSERT_LT(deep.size(), want - 10);
    while (deep.size() < want) {
        // Never leave a remainder too short for a name of its own.
        size_t len = std::min<size_t>(200, want - deep.size() - 1);
        if (want - deep.size() - 1 - len == 1) --len;
        deep += "/" + std::string(len, 'd');
        ASSERT_EQ(mkdir(deep.c_str(), 0700), 0) << deep;
    }
    const std::string in = deep + name;
    ASSERT_EQ(in.size(), 1000u);
    ASSERT_TRUE(e2e::WriteBytes(in, before_));

    const RunResult inPlace = Linkpoint({in});
    ASSERT_EQ(inPlace.code, 0) << inPlace.out;
    EXPECT_EQ(e2e::CheckSuccessLog(inPlace.out, in, in), "");
    EXPECT_EQ(e2e::DestNames(RunProbe(in)), kThree);
    EXPECT_EQ(e2e::Entries(deep, "cv"), Names{});

    ASSERT_TRUE(e2e::WriteBytes(in, before_));
    const std::string out = deep + "/o.pdf";
    const RunResult toNew = Linkpoint({in, out});
    ASSERT_EQ(toNew.code, 0) << toNew.out;
    EXPECT_EQ(e2e::CheckSuccessLog(toNew.out, in, out), "");
    EXPECT_EQ(e2e::DestNames(RunProbe(out)), kThree);
    EXPECT_EQ(e2e::ReadBytes(in), before_);
}

TEST_F(LinkpointTargetsTest, PathOverThePlatformLimitIsRefused) {
    const std::string tooLong = dir_.Path() + "/" + std::string(PATH_MAX, 'p');
    const RunResult r = Linkpoint({in_, tooLong, "-l", dir_.File("log.txt")});
    EXPECT_EQ(r.code, 1);
    const std::string log = e2e::ReadBytes(dir_.File("log.txt"));
    EXPECT_NE(log.find("\n%%[ Error: path too long: " + dir_.Path()), std::string::npos) << log;
    EXPECT_EQ(log.find("InputFile"), std::string::npos);
    ExpectInputUnchanged();
}

// --- The -t directory ---

TEST_F(LinkpointTargetsTest, UnusableTemporaryDirectoryIsRefusedFirst) {
    const std::string missing = dir_.File("no-such-dir");
    const std::string file = dir_.Write("plain.txt", "x");
    struct Case {
        std::string dir, factor;
    };
    // sysfs takes no new files, whoever asks: a case that holds even as root.
    std::vector<Case> cases = {
        {missing,
         "temporary directory does not exist: " + missing + " (No such file or directory)"},
        {file, "temporary directory is not a directory: " + file + " (Not a directory)"},
        {"/sys", "temporary directory is not writable: /sys (Permission denied)"}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.dir);
        if (c.dir == "/sys" && access("/sys/kernel", F_OK) != 0) continue;
        const RunResult r = Linkpoint({in_, dir_.File("out.pdf"), "-t", c.dir});
        EXPECT_EQ(r.code, 1);
        const auto lines = e2e::Lines(r.out);
        ASSERT_EQ(lines.size(), 8u) << r.out;
        EXPECT_EQ(lines[3], "%%[ Error: invalid temporary directory: " + c.dir + " ]%%");
        EXPECT_EQ(lines[4], "Module: CPDFDriver");
        EXPECT_EQ(lines[5], "Method: Execute");
        EXPECT_EQ(lines[6], "Type: User Error");
        EXPECT_EQ(lines[7], "Factor: " + c.factor);
        EXPECT_FALSE(e2e::Exists(dir_.File("out.pdf")));
        ExpectInputUnchanged();
    }
}

TEST_F(LinkpointTargetsTest, ReadOnlyTemporaryDirectoryIsRefused) {
    // Root creates files whatever the permission bits say.
    if (geteuid() == 0) GTEST_SKIP() << "permission bits do not bind root";
    const std::string ro = dir_.File("ro");
    ASSERT_EQ(mkdir(ro.c_str(), 0555), 0);
    const RunResult r = Linkpoint({in_, dir_.File("out.pdf"), "-t", ro});
    chmod(ro.c_str(), 0700);
    EXPECT_EQ(r.code, 1);
    const auto lines = e2e::Lines(r.out);
    ASSERT_EQ(lines.size(), 8u) << r.out;
    EXPECT_EQ(lines[7],
              "Factor: temporary directory is not writable: " + ro + " (Permission denied)");
    EXPECT_EQ(e2e::Entries(ro), Names{});
    ExpectInputUnchanged();
}

// --- Bytes after the end marker ---

TEST_F(LinkpointTargetsTest, BytesAppendedAfterTheEndMarker) {
    std::string junk;
    for (int i = 0; junk.size() < 2000; ++i)
        junk += std::string(3, '\0') + "X-Mailer junk\r\n%%EOF\n" + std::to_string(i);
    for (size_t extra : {size_t{700}, size_t{2000}}) {
        SCOPED_TRACE(extra);
        const std::string in = dir_.Write("tail.pdf", before_ + junk.substr(0, extra));
        const RunResult r = Linkpoint({in, dir_.File("out.pdf")});
        ASSERT_EQ(r.code, 0) << r.out;
        EXPECT_EQ(e2e::DestNames(RunProbe(dir_.File("out.pdf"))), kThree);
        // Past the last 1,024 bytes startxref is not looked for: the table
        // is rebuilt from the objects, and the log says so.
        const bool far = extra == 2000;
        EXPECT_EQ(r.out.find("%%[ Warning: cross-reference table rebuilt: ") != std::string::npos,
                  far)
            << r.out;
    }
}

}  // namespace
