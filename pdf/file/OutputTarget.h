#pragma once

#include <sys/stat.h>

#include <string>

#include "pdf/io/FileOutStream.h"

namespace corvina {

// Where one save's bytes go and how they are put in place, apart from what
// the bytes are.
//
// A file is written to a "cv" temporary beside its target and renamed over
// it at Commit, so the target is whole at every instant; an update starts
// that temporary as a copy of the document's file (shared blocks where the
// file system can, else a kernel copy) and is appended to it; a device,
// FIFO or standard output is written into directly and never replaced.
//
// Failures throw CPDFException records of module "CPDFDoc" and the method
// given. Destroying a target that was not committed discards its output.
class OutputTarget {
public:
    OutputTarget() = default;
    ~OutputTarget() { Discard(); }
    OutputTarget(const OutputTarget&) = delete;
    OutputTarget& operator=(const OutputTarget&) = delete;

    // A named temporary even where unnamed files work (for tests of the
    // fallback); before Choose.
    void PreferNamed() { preferNamed_ = true; }
    // Chooses for the output path out ("" for standard output) of the
    // document whose file is docPath: a direct write, a whole file, or (with
    // update) the document's file and an appended section.
    void Choose(const std::string& out, const std::string& docPath, bool update);
    // Opens out on the target; an update first copies the document's file,
    // open as inputFd, into it. inputFd is also the file whose name Commit
    // checks before replacing it.
    void Open(FileOutStream& out, int inputFd, int bufferSize);
    // True when the output starts with the document's file as it is.
    bool IsUpdate() const { return update_; }
    bool IsDirect() const { return direct_; }
    // The written output, closed by the caller with its errors reported,
    // replaces the target. fd is the output's descriptor, still open.
    void PrepareCommit(int fd);
    // Puts the closed output in place; returns the path the document now
    // stands for ("" for standard output).
    std::string Commit();
    // Removes a temporary. A device or pipe is left as it is. Never throws.
    void Discard();
    // The file being written, for messages ("" for standard output).
    const std::string& WritePath() const { return shownPath_.empty() ? writePath_ : shownPath_; }
    // True while the output is an unnamed file that has no name on disk.
    bool IsUnnamed() const { return unnamedFd_ >= 0; }

    // For a signal handler: removes the temporary file of the save running
    // now, if any. Async-signal-safe.
    static void RemovePendingOnSignal();
    // Installs handlers for SIGTERM, SIGINT and SIGHUP that remove that
    // file and then end the process by the same signal, as it would have
    // ended without them. For programs; a library user keeps its own.
    static void RemovePendingOnTermination();

private:
    [[noreturn]] void RaiseOnOutput(const char* method, int err) const;
    // Copies the document's file (fd in) into the fresh temporary (fd out).
    void CloneInput(int in, int out);
    void KeepTargetAttributes(int fd);
    // The target is the document's file and its name still names the file
    // that was read; fails otherwise.
    void CheckInputStillThere();
    // The output as an unnamed file in dir (O_TMPFILE); false where the
    // file system refuses one, for a named temporary instead.
    bool OpenUnnamed(const std::string& dir);
    // Gives the unnamed file a fresh "cv" name beside the target.
    void NameUnnamed();

    bool direct_ = false;
    bool update_ = false;
    bool created_ = false;
    // The target is the document's own file.
    bool replacesInput_ = false;
    std::string writePath_;
    std::string targetPath_;
    std::string docPath_;
    std::string dir_;
    // The unnamed output (-1: none); writePath_ then reaches it through /proc.
    int unnamedFd_ = -1;
    bool preferNamed_ = false;
    std::string shownPath_;
    // The input as it was when the output was opened.
    bool haveInput_ = false;
    struct stat inStat_ {};
};

}  // namespace corvina
