// The output target alone: a copy of the input appended to and renamed, the
// check that the input's name still names the file read, and the temporary
// removed when a signal ends the process.
#include "pdf/file/OutputTarget.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <cstdio>
#include <string>

#include "pdf/object/CPDFException.h"
#include "support/ScratchDir.h"

namespace {

using corvina::CPDFException;
using corvina::FileOutStream;
using corvina::OutputTarget;

std::string Cv(const ScratchDir& dir) {
    std::string out;
    const std::string list = ScratchDir::List(dir.Path());
    for (size_t at = 0; (at = list.find("cv", at)) != std::string::npos; at += 2) out += "cv ";
    return out;
}

TEST(OutputTarget, AnUpdateIsACopyOfTheInputAppendedToAndRenamed) {
    ScratchDir dir;
    const std::string in = dir.Write("in.pdf", std::string(100000, 'a') + "tail");
    const std::string out = dir.File("out.pdf");
    const int fd = ::open(in.c_str(), O_RDONLY);
    ASSERT_GE(fd, 0);
    OutputTarget target;
    target.Choose(out, in, true);
    EXPECT_TRUE(target.IsUpdate());
    // Unnamed while it is written, where the file system allows.
    EXPECT_EQ(Cv(dir), target.IsUnnamed() ? "" : "cv ");
    FileOutStream stream;
    target.Open(stream, fd, 4096);
    EXPECT_EQ(stream.Tell(), 100004);
    stream.WriteText("+update");
    target.PrepareCommit(stream.Descriptor());
    stream.Close();
    EXPECT_EQ(target.Commit(), out);
    ::close(fd);
    EXPECT_EQ(ScratchDir::Read(out), std::string(100000, 'a') + "tail+update");
    EXPECT_EQ(ScratchDir::Read(in), std::string(100000, 'a') + "tail");
    EXPECT_EQ(Cv(dir), "");
}

TEST(OutputTarget, AnInputReplacedMeanwhileIsNotOverwritten) {
    ScratchDir dir;
    const std::string in = dir.Write("in.pdf", "first");
    const int fd = ::open(in.c_str(), O_RDONLY);
    ASSERT_GE(fd, 0);
    OutputTarget target;
    target.Choose(in, in, false);
    FileOutStream stream;
    target.Open(stream, fd, 4096);
    stream.WriteText("mine");
    target.PrepareCommit(stream.Descriptor());
    stream.Close();
    // Another run put its output there meanwhile.
    const std::string other = dir.Write("other.pdf", "theirs");
    ASSERT_EQ(std::rename(other.c_str(), in.c_str()), 0);
    try {
        target.Commit();
        ADD_FAILURE() << "committed over another run's file";
    } catch (const CPDFException& e) {
        EXPECT_STREQ(e.GetFactor(),
                     ("input file was replaced or changed while it was worked on: " + in).c_str());
    }
    target.Discard();
    ::close(fd);
    EXPECT_EQ(ScratchDir::Read(in), "theirs");
    EXPECT_EQ(Cv(dir), "");
}

TEST(OutputTarget, TheUnnamedTemporaryGetsANameOnlyToBeRenamed) {
    ScratchDir dir;
    const int probe = ::open(dir.Path().c_str(), O_TMPFILE | O_WRONLY, 0600);
    if (probe < 0) GTEST_SKIP() << "no unnamed files here";
    ::close(probe);
    const std::string out = dir.File("out.pdf");
    {
        OutputTarget target;
        target.Choose(out, dir.File("in.pdf"), false);
        ASSERT_TRUE(target.IsUnnamed());
        FileOutStream stream;
        target.Open(stream, -1, 4096);
        stream.WriteText("abandoned");
        stream.Close();
        EXPECT_EQ(ScratchDir::List(dir.Path()), "");
        // Abandoned: nothing was ever named.
    }
    EXPECT_EQ(ScratchDir::List(dir.Path()), "");
    OutputTarget target;
    target.Choose(out, dir.File("in.pdf"), false);
    FileOutStream stream;
    target.Open(stream, -1, 4096);
    stream.WriteText("kept");
    target.PrepareCommit(stream.Descriptor());
    stream.Close();
    EXPECT_EQ(target.Commit(), out);
    EXPECT_EQ(ScratchDir::List(dir.Path()), "out.pdf");
    EXPECT_EQ(ScratchDir::Read(out), "kept");
}

TEST(OutputTarget, ATerminatingSignalRemovesTheTemporary) {
    ScratchDir dir;
    const std::string in = dir.Write("in.pdf", "input");
    for (int sig : {SIGTERM, SIGINT, SIGHUP}) {
        SCOPED_TRACE(sig);
        const pid_t child = ::fork();
        ASSERT_GE(child, 0);
        if (child == 0) {
            OutputTarget::RemovePendingOnTermination();
            // Named, as where the file system has no unnamed files.
            OutputTarget target;
            target.PreferNamed();
            target.Choose(in, in, false);
            if (ScratchDir::List(dir.Path()).find("cv") == std::string::npos) ::_exit(2);
            ::raise(sig);
            ::_exit(0);  // not reached: the signal ends the process
        }
        int status = 0;
        ASSERT_EQ(::waitpid(child, &status, 0), child);
        EXPECT_TRUE(WIFSIGNALED(status));
        EXPECT_EQ(WIFSIGNALED(status) ? WTERMSIG(status) : 0, sig);
        EXPECT_EQ(Cv(dir), "");
        EXPECT_EQ(ScratchDir::Read(in), "input");
    }
}

}  // namespace
