// Faults from outside while the job runs: a full or read-only file system,
// an input cut short under it, the process killed while it writes. After
// each the input is what it was, nothing but the documented trace is left,
// and a failure says why.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <spawn.h>
#include <sys/mount.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <regex>
#include <string>
#include <thread>
#include <vector>

#include "support/E2E.h"
#include "support/E2EPdf.h"

extern char** environ;

namespace {

using e2e::Linkpoint;
using e2e::RunResult;
using Names = std::vector<std::string>;

// A small file system of its own (root only: tests as other users skip).
class Mount {
public:
    Mount(const std::string& dir, long kilobytes) : dir_(dir) {
        if (geteuid() != 0 || mkdir(dir.c_str(), 0755) != 0) return;
        const std::string options = "size=" + std::to_string(kilobytes) + "k";
        mounted_ = mount("tmpfs", dir.c_str(), "tmpfs", 0, options.c_str()) == 0;
    }
    ~Mount() {
        if (mounted_) umount2(dir_.c_str(), MNT_DETACH);
    }
    bool ok() const { return mounted_; }
    bool MakeReadOnly() {
        return mount("tmpfs", dir_.c_str(), "tmpfs", MS_REMOUNT | MS_RDONLY, nullptr) == 0;
    }

private:
    std::string dir_;
    bool mounted_ = false;
};

// A document of about a megabyte: many pages and one big stream.
std::string BigPdf(int pages, size_t streamBytes) {
    std::string data(streamBytes, 'x');
    for (size_t i = 0; i < data.size(); i += 64) data[i] = '\n';
    const std::string extra = std::to_string(pages + 3) + " 0 obj\n<< /Length {len} >>\nstream\n" +
                              data + "\nendstream\nendobj\n";
    return E2EPdf::Flat(pages, "", extra);
}

// The last line of the log: "Factor: ...".
std::string FactorLine(const RunResult& r) {
    const auto lines = e2e::Lines(r.out);
    return lines.empty() ? "" : lines.back();
}

class LinkpointFaultsTest : public ::testing::Test {
protected:
    ScratchDir dir_;
};

TEST_F(LinkpointFaultsTest, FullFileSystem) {
    Mount small(dir_.File("small"), 512);
    if (!small.ok()) GTEST_SKIP() << "needs root to mount a small file system";
    const std::string pdf = BigPdf(50, 300000);
    // A new output on the full file system, the input elsewhere.
    const std::string in = dir_.Write("in.pdf", pdf);
    const std::string out = dir_.File("small/out.pdf");
    ASSERT_TRUE(e2e::WriteBytes(dir_.File("small/filler"), std::string(300000, 'f')));
    RunResult r = Linkpoint({in, out});
    EXPECT_EQ(r.code, 1) << r.out;
    // The factor names the file being written, the temporary beside the target.
    const std::regex full("Factor: " + dir_.File("small") +
                          "/cv[A-Za-z0-9]{6}\\.pdf: No space left on device");
    EXPECT_TRUE(std::regex_match(FactorLine(r), full)) << r.out;
    EXPECT_EQ(e2e::ReadBytes(in), pdf);
    EXPECT_EQ(e2e::Entries(dir_.File("small")), Names{"filler"});

    // The input itself on it: it fits once, its replacement does not.
    ASSERT_EQ(unlink(dir_.File("small/filler").c_str()), 0);
    const std::string inside = dir_.File("small/in.pdf");
    ASSERT_TRUE(e2e::WriteBytes(inside, pdf));
    ASSERT_TRUE(e2e::WriteBytes(dir_.File("small/filler"), std::string(100000, 'f')));
    r = Linkpoint({inside});
    EXPECT_EQ(r.code, 1) << r.out;
    EXPECT_TRUE(std::regex_match(FactorLine(r), full)) << r.out;
    EXPECT_EQ(e2e::ReadBytes(inside), pdf);
    EXPECT_EQ(e2e::Entries(dir_.File("small")), (Names{"filler", "in.pdf"}));
}

TEST_F(LinkpointFaultsTest, ReadOnlyFileSystem) {
    Mount ro(dir_.File("ro"), 4096);
    if (!ro.ok()) GTEST_SKIP() << "needs root to mount a file system";
    const std::string pdf = E2EPdf::Flat(3);
    const std::string inside = dir_.File("ro/in.pdf");
    ASSERT_TRUE(e2e::WriteBytes(inside, pdf));
    ASSERT_TRUE(ro.MakeReadOnly());
    const std::string outside = dir_.Write("in.pdf", pdf);
    struct Case {
        const char* what;
        std::vector<std::string> args;
    } cases[] = {
        {"input replaced", {inside}},
        {"new output", {outside, dir_.File("ro/out.pdf")}},
        {"temporary directory", {outside, dir_.File("out.pdf"), "-t", dir_.File("ro")}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        const RunResult r = Linkpoint(c.args);
        EXPECT_EQ(r.code, 1) << r.out;
        // One report, with the system's reason.
        EXPECT_NE(r.out.find("Read-only file system"), std::string::npos) << r.out;
        EXPECT_EQ(r.out.find("cannot flush"), std::string::npos) << r.out;
        EXPECT_EQ(r.out.find("Factor: ioerror"), std::string::npos) << r.out;
        EXPECT_EQ(e2e::ReadBytes(inside), pdf);
        EXPECT_EQ(e2e::ReadBytes(outside), pdf);
        EXPECT_EQ(e2e::Entries(dir_.File("ro")), Names{"in.pdf"});
        EXPECT_FALSE(e2e::Exists(dir_.File("out.pdf")));
    }
}

// The job started in the background, for faults that come while it runs.
class Background {
public:
    explicit Background(const std::vector<std::string>& args) {
        std::vector<std::string> all = {LINKPOINT_BIN};
        all.insert(all.end(), args.begin(), args.end());
        std::vector<char*> argv;
        for (auto& a : all) argv.push_back(a.data());
        argv.push_back(nullptr);
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
        posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
        if (posix_spawn(&pid_, argv[0], &actions, nullptr, argv.data(), environ) != 0) pid_ = -1;
        posix_spawn_file_actions_destroy(&actions);
    }
    ~Background() {
        if (pid_ > 0 && !reaped_) {
            kill(pid_, SIGKILL);
            Wait();
        }
    }
    pid_t pid() const { return pid_; }
    // Polls every millisecond until done() holds or the job has ended; true
    // when done() held while the job still ran.
    template <class Done>
    bool WaitFor(Done done) {
        for (int i = 0; i < 20000; ++i) {
            if (done()) return true;
            int status;
            if (waitpid(pid_, &status, WNOHANG) == pid_) {
                reaped_ = true;
                status_ = status;
                return false;
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        }
        return false;
    }
    int Wait() {
        if (!reaped_) {
            waitpid(pid_, &status_, 0);
            reaped_ = true;
        }
        return status_;
    }

private:
    pid_t pid_ = -1;
    bool reaped_ = false;
    int status_ = 0;
};

TEST_F(LinkpointFaultsTest, KilledWhileWritingLeavesNothingBehind) {
    const std::string pdf = BigPdf(20000, 20000000);
    const std::string in = dir_.Write("in.pdf", pdf);
    const std::string out = dir_.File("out.pdf");
    Background job({in, out});
    ASSERT_GT(job.pid(), 0);
    // Killed once it writes its output: an unnamed file in the directory
    // ("/dir/#inode (deleted)" among its descriptors), or a named temporary
    // where the file system has no unnamed files.
    const std::string fd = "/proc/" + std::to_string(job.pid()) + "/fd";
    bool unnamed = false;
    const bool caught = job.WaitFor([&] {
        for (const std::string& e : e2e::Entries(fd)) {
            char target[4096];
            const ssize_t n = readlink((fd + "/" + e).c_str(), target, sizeof target - 1);
            const std::string t(target, n > 0 ? static_cast<size_t>(n) : 0);
            if (t.rfind(dir_.Path() + "/#", 0) == 0) return unnamed = true;
        }
        return !e2e::Entries(dir_.Path(), "cv").empty();
    });
    if (!caught) GTEST_SKIP() << "the job ended before it could be killed";
    kill(job.pid(), SIGKILL);
    const int status = job.Wait();
    ASSERT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == SIGKILL);
    EXPECT_EQ(e2e::ReadBytes(in), pdf);
    EXPECT_FALSE(e2e::Exists(out));
    const Names left = e2e::Entries(dir_.Path());
    if (unnamed) {
        EXPECT_EQ(left, Names{"in.pdf"});
    } else {
        // A named temporary is all SIGKILL can leave.
        ASSERT_EQ(left.size(), 2u);
        EXPECT_EQ(left[0].size(), std::string("cvXXXXXX.pdf").size()) << left[0];
    }
    // The manual page names that trace.
    const std::string manual = e2e::ReadBytes(std::string(SOURCE_DIR) + "/doc/linkpoint.1");
    EXPECT_NE(manual.find("SIGKILL"), std::string::npos);
}

TEST_F(LinkpointFaultsTest, TerminatedWhileWritingLeavesNothingBehind) {
    const std::string pdf = BigPdf(20000, 20000000);
    const std::string in = dir_.Write("in.pdf", pdf);
    for (int sig : {SIGTERM, SIGINT, SIGHUP}) {
        SCOPED_TRACE(sig);
        Background job({in, dir_.File("out.pdf")});
        ASSERT_GT(job.pid(), 0);
        const std::string fd = "/proc/" + std::to_string(job.pid()) + "/fd";
        // Once the job has its input open, whatever it is doing then.
        const bool caught = job.WaitFor([&] {
            for (const std::string& e : e2e::Entries(fd)) {
                char target[4096];
                const ssize_t n = readlink((fd + "/" + e).c_str(), target, sizeof target - 1);
                if (n > 0 && std::string(target, static_cast<size_t>(n)) == in) return true;
            }
            return false;
        });
        if (!caught) GTEST_SKIP() << "the job ended before it could be stopped";
        kill(job.pid(), sig);
        const int status = job.Wait();
        EXPECT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == sig) << status;
        EXPECT_EQ(e2e::ReadBytes(in), pdf);
        EXPECT_EQ(e2e::Entries(dir_.Path(), "cv"), Names{});
        EXPECT_FALSE(e2e::Exists(dir_.File("out.pdf")));
    }
}

TEST_F(LinkpointFaultsTest, InputCutShortWhileReadingFailsCleanly) {
    const std::string pdf = BigPdf(20000, 20000000);
    const std::string in = dir_.Write("in.pdf", pdf);
    const std::string out = dir_.File("out.pdf");
    const std::string log = dir_.File("job.log");
    Background job({in, out, "-l", log});
    ASSERT_GT(job.pid(), 0);
    const std::string fd = "/proc/" + std::to_string(job.pid()) + "/fd";
    // Cut once the job reads the input: the tool's lock opens it first, the
    // document's reading second. A cut before that second open is only a
    // damaged input.
    const bool caught = job.WaitFor([&] {
        int open = 0;
        for (const std::string& e : e2e::Entries(fd)) {
            char target[4096];
            const ssize_t n = readlink((fd + "/" + e).c_str(), target, sizeof target - 1);
            if (n > 0 && std::string(target, static_cast<size_t>(n)) == in) ++open;
        }
        return open >= 2;
    });
    if (!caught) GTEST_SKIP() << "the job ended before the input could be cut";
    ASSERT_EQ(truncate(in.c_str(), static_cast<off_t>(pdf.size() / 2)), 0);
    const int status = job.Wait();
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(e2e::ReadBytes(in), pdf.substr(0, pdf.size() / 2));
    EXPECT_TRUE(e2e::Entries(dir_.Path(), "cv").empty());
    if (WEXITSTATUS(status) == 0) {
        // It had read all it needed before the cut: the output is whole.
        EXPECT_TRUE(e2e::QpdfCheck(out));
        return;
    }
    EXPECT_EQ(WEXITSTATUS(status), 1);
    EXPECT_FALSE(e2e::Exists(out));
    // Wherever the job met the cut, the cut is the cause it names.
    const std::string text = e2e::ReadBytes(log);
    EXPECT_NE(text.find("Factor: input file changed since it was opened: " + in + "\n"),
              std::string::npos)
        << text;
}

}  // namespace
