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
    EXPECT_EQ(Cv(dir), "cv ");
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

TEST(OutputTarget, ATerminatingSignalRemovesTheTemporary) {
    ScratchDir dir;
    const std::string in = dir.Write("in.pdf", "input");
    for (int sig : {SIGTERM, SIGINT, SIGHUP}) {
        SCOPED_TRACE(sig);
        const pid_t child = ::fork();
        ASSERT_GE(child, 0);
        if (child == 0) {
            OutputTarget::RemovePendingOnTermination();
            OutputTarget target;
            target.Choose(in, in, false);
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
