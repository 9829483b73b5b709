#include "pdf/file/OutputTarget.h"

#include <fcntl.h>
#include <linux/fs.h>
#include <signal.h>
#include <sys/ioctl.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "pdf/io/TempName.h"
#include "pdf/object/CPDFException.h"

namespace corvina {
namespace {

// The temporary of the running save, for a signal handler: a fixed buffer,
// set only while the name exists on disk.
char gPending[PATH_MAX];
std::atomic<bool> gHasPending{false};

void SetPending(const std::string& path) {
    gHasPending = false;
    if (path.size() >= sizeof gPending) return;
    std::memcpy(gPending, path.c_str(), path.size() + 1);
    gHasPending = true;
}

void ClearPending() {
    gHasPending = false;
}

void OnTermination(int sig) {
    OutputTarget::RemovePendingOnSignal();
    ::signal(sig, SIG_DFL);
    ::raise(sig);
}

[[noreturn]] void Raise(const char* method, int type, const std::string& factor) {
    throw CPDFException("CPDFDoc", method, type, factor.c_str());
}

// True when both paths name one existing file, however spelt (./a.pdf, a
// symbolic link, a hard link).
bool SameFile(const std::string& a, const std::string& b) {
    struct stat sa, sb;
    if (a.empty() || b.empty()) return false;
    if (::stat(a.c_str(), &sa) != 0 || ::stat(b.c_str(), &sb) != 0) return false;
    return sa.st_dev == sb.st_dev && sa.st_ino == sb.st_ino;
}

// Where the output really lands: an existing path is resolved through its
// links so that the rename replaces the file, not the link.
std::string ResolveTarget(const std::string& path) {
    char resolved[PATH_MAX];
    if (::realpath(path.c_str(), resolved)) return resolved;
    return path;
}

bool Resolves(const std::string& path) {
    char resolved[PATH_MAX];
    return ::realpath(path.c_str(), resolved) != nullptr;
}

std::string DirectoryOf(const std::string& path) {
    const size_t slash = path.rfind('/');
    if (slash == std::string::npos) return ".";
    if (slash == 0) return "/";
    return path.substr(0, slash);
}

// Errors that only say this way of copying is not available here.
bool CannotCopyThisWay(int e) {
    return e == EXDEV || e == ENOSYS || e == EINVAL || e == EBADF || e == EOPNOTSUPP ||
           e == ETXTBSY || e == EPERM || e == ENOTTY;
}

}  // namespace

void OutputTarget::Choose(const std::string& out, const std::string& docPath, bool update) {
    Discard();
    docPath_ = docPath;
    update_ = update;
    struct stat target;
    const bool exists = !out.empty() && ::stat(out.c_str(), &target) == 0;
    if (out.empty()) {
        // Standard output: a stream, written straight into.
        direct_ = true;
        return;
    }
    if (exists && S_ISDIR(target.st_mode))
        Raise("Save", CPDFException::UserError,
              FormatFactor("output is a directory: %s", out.c_str()));
    if (exists && !S_ISREG(target.st_mode)) {
        // A device, a FIFO or a pipe behind /dev/stdout is never replaced by
        // a file: the document is written into it, in one pass.
        writePath_ = out;
        direct_ = true;
        return;
    }
    // Every file is written beside its target and renamed over it, so the
    // target (the input itself, or a file the user had there) is whole at
    // every instant.
    targetPath_ = ResolveTarget(out);
    // An existing file that resolves to no name of its own (fd 1 of a
    // deleted file, say) would have the rename replace the link.
    if (exists && (targetPath_ == out ? !Resolves(out) : !SameFile(targetPath_, out)))
        Raise("Save", CPDFException::UserError,
              FormatFactor("output has no file name to replace: %s", out.c_str()));
    replacesInput_ = exists && SameFile(out, docPath);
    const std::string dir = DirectoryOf(targetPath_);
    dir_ = dir;
    // Unnamed, nothing is left behind whatever ends the process.
    if (!preferNamed_ && OpenUnnamed(dir)) return;
    if (!GetTempName(dir, TempSettings::Prefix().c_str(), ".pdf", &writePath_))
        Raise("Save", CPDFException::RuntimeLibraryError,
              FormatFactor("cannot create a temporary file in %s: %s", dir.c_str(),
                           std::strerror(errno)));
    created_ = true;
    SetPending(writePath_);
}

bool OutputTarget::OpenUnnamed(const std::string& dir) {
    const int fd = ::open(dir.c_str(), O_TMPFILE | O_WRONLY | O_CLOEXEC, 0600);
    if (fd < 0) {
        // Refused by the file system or the kernel: a named file then. Any
        // other failure is met again, and reported, by the named one.
        return false;
    }
    unnamedFd_ = fd;
    writePath_ = "/proc/self/fd/" + std::to_string(fd);
    shownPath_ = dir + "/" + TempSettings::Prefix() + "XXXXXX.pdf";
    return true;
}

void OutputTarget::NameUnnamed() {
    // linkat cannot replace a file: the unnamed file gets a fresh name of
    // its own, which the rename then moves over the target.
    const std::string proc = writePath_;
    for (int attempt = 0; attempt < 100; ++attempt) {
        std::string name;
        if (!GetTempName(dir_, TempSettings::Prefix().c_str(), ".pdf", &name) ||
            ::unlink(name.c_str()) != 0)
            Raise("Flush", CPDFException::RuntimeLibraryError,
                  FormatFactor("cannot create a temporary file in %s: %s", dir_.c_str(),
                               std::strerror(errno)));
        if (::linkat(AT_FDCWD, proc.c_str(), AT_FDCWD, name.c_str(), AT_SYMLINK_FOLLOW) == 0) {
            writePath_ = name;
            shownPath_.clear();
            created_ = true;
            SetPending(writePath_);
            ::close(unnamedFd_);
            unnamedFd_ = -1;
            return;
        }
        if (errno != EEXIST)
            Raise("Flush", CPDFException::RuntimeLibraryError,
                  FormatFactor("cannot name the temporary file in %s: %s", dir_.c_str(),
                               std::strerror(errno)));
    }
    Raise("Flush", CPDFException::RuntimeLibraryError,
          FormatFactor("cannot name the temporary file in %s: %s", dir_.c_str(),
                       std::strerror(EEXIST)));
}

void OutputTarget::Open(FileOutStream& out, int inputFd, int bufferSize) {
    haveInput_ = inputFd >= 0 && ::fstat(inputFd, &inStat_) == 0;
    if (update_ && !haveInput_)
        Raise("Save", CPDFException::UserError,
              FormatFactor("no file to append an update to: %s", docPath_.c_str()));
    if (update_ && !direct_) {
        const int fd = ::open(writePath_.c_str(), O_WRONLY | O_CLOEXEC);
        if (fd < 0) RaiseOnOutput("Save", errno);
        try {
            CloneInput(inputFd, fd);
        } catch (...) {
            ::close(fd);
            throw;
        }
        if (::close(fd) != 0) RaiseOnOutput("Save", errno);
    }
    if (!out.Open(writePath_.c_str(), update_ ? "ab" : "wb", bufferSize))
        RaiseOnOutput("Save", out.SavedErrno());
    // A device or pipe takes the whole file: the document's bytes first.
    if (update_ && direct_) {
        const long size = static_cast<long>(inStat_.st_size);
        if (out.CopyFrom(inputFd, 0, size) != size || out.Error())
            RaiseOnOutput("Save", out.Error() ? out.SavedErrno() : EIO);
    }
}

void OutputTarget::CloneInput(int in, int out) {
    // Shared blocks cost nothing and no space; the kernel's copy comes next.
    if (::ioctl(out, FICLONE, in) == 0) return;
    const off_t size = inStat_.st_size;
    off_t done = 0;
    bool kernel = true;
    while (done < size) {
        if (kernel) {
            loff_t from = done;
            const ssize_t n =
                ::copy_file_range(in, &from, out, nullptr, static_cast<size_t>(size - done), 0);
            if (n > 0) {
                done += n;
                continue;
            }
            if (n < 0 && errno == EINTR) continue;
            if (n < 0 && !CannotCopyThisWay(errno)) RaiseOnOutput("Save", errno);
            if (n == 0) break;
            kernel = false;
        }
        char buf[65536];
        const ssize_t r = ::pread(in, buf, sizeof buf, done);
        if (r < 0 && errno == EINTR) continue;
        if (r < 0) Raise("Save", CPDFException::RuntimeLibraryError, PathFactor(docPath_, errno));
        if (r == 0) break;
        for (ssize_t put = 0; put < r;) {
            const ssize_t w = ::write(out, buf + put, static_cast<size_t>(r - put));
            if (w < 0 && errno == EINTR) continue;
            if (w < 0) RaiseOnOutput("Save", errno);
            put += w;
        }
        done += r;
    }
    // The file was cut while it was copied.
    if (done != size) Raise("Save", CPDFException::RuntimeLibraryError, PathFactor(docPath_, EIO));
}

void OutputTarget::PrepareCommit(int fd) {
    if (!direct_ && !targetPath_.empty()) KeepTargetAttributes(fd);
}

std::string OutputTarget::Commit() {
    if (direct_) {
        const std::string now = writePath_;
        writePath_.clear();
        direct_ = false;
        return now;
    }
    CheckInputStillThere();
    if (unnamedFd_ >= 0) NameUnnamed();
    if (::rename(writePath_.c_str(), targetPath_.c_str()) != 0)
        Raise("Flush", CPDFException::RuntimeLibraryError,
              FormatFactor("cannot rename %s to %s: %s", writePath_.c_str(), targetPath_.c_str(),
                           std::strerror(errno)));
    ClearPending();
    // Committed: nothing is left to discard.
    created_ = false;
    writePath_.clear();
    return std::move(targetPath_);
}

void OutputTarget::CheckInputStillThere() {
    if (!replacesInput_ || !haveInput_) return;
    // Another run may have put its own output there meanwhile: replacing it
    // would lose that run's work without a word.
    struct stat now;
    const bool same = ::stat(docPath_.c_str(), &now) == 0 && now.st_dev == inStat_.st_dev &&
                      now.st_ino == inStat_.st_ino && now.st_size == inStat_.st_size &&
                      now.st_mtim.tv_sec == inStat_.st_mtim.tv_sec &&
                      now.st_mtim.tv_nsec == inStat_.st_mtim.tv_nsec;
    if (!same)
        Raise("Flush", CPDFException::UserError,
              FormatFactor("input file was replaced or changed while it was worked on: %s",
                           docPath_.c_str()));
}

void OutputTarget::KeepTargetAttributes(int fd) {
    // As an editor's save does: the file keeps its owner and group when root
    // replaces another user's file; an ordinary user cannot give a file
    // away, so theirs keeps at least its group where they belong to it. A new
    // file gets what the umask allows. The mode is set after the owner, whose
    // change may clear the set-id bits.
    struct stat st;
    mode_t mode;
    if (::stat(targetPath_.c_str(), &st) == 0) {
        mode = st.st_mode & 07777;
        if (::fchown(fd, st.st_uid, st.st_gid) != 0) {
            if (errno != EPERM) RaiseOnOutput("Flush", errno);
            if (::fchown(fd, static_cast<uid_t>(-1), st.st_gid) != 0 && errno != EPERM)
                RaiseOnOutput("Flush", errno);
        }
    } else {
        const mode_t mask = ::umask(0);
        ::umask(mask);
        mode = 0666 & ~mask;
    }
    if (::fchmod(fd, mode) != 0) RaiseOnOutput("Flush", errno);
}

void OutputTarget::RaiseOnOutput(const char* method, int err) const {
    const std::string& path = WritePath();
    Raise(method, direct_ ? CPDFException::SystemError : CPDFException::RuntimeLibraryError,
          PathFactor(path.empty() ? "standard output" : path, err));
}

void OutputTarget::Discard() {
    // A device or pipe written into is left as it is: there is nothing of the
    // document's own to remove or cut.
    if (created_ && !writePath_.empty()) {
        ClearPending();
        ::unlink(writePath_.c_str());
    }
    // An unnamed file goes with its last descriptor.
    if (unnamedFd_ >= 0) ::close(unnamedFd_);
    unnamedFd_ = -1;
    shownPath_.clear();
    dir_.clear();
    created_ = false;
    direct_ = false;
    update_ = false;
    replacesInput_ = false;
    haveInput_ = false;
    writePath_.clear();
    targetPath_.clear();
}

void OutputTarget::RemovePendingOnSignal() {
    if (gHasPending) ::unlink(gPending);
}

void OutputTarget::RemovePendingOnTermination() {
    struct sigaction action {};
    action.sa_handler = OnTermination;
    sigemptyset(&action.sa_mask);
    for (int sig : {SIGTERM, SIGINT, SIGHUP}) {
        struct sigaction old {};
        // A signal the caller chose to ignore (nohup) stays ignored.
        if (::sigaction(sig, nullptr, &old) == 0 && old.sa_handler == SIG_IGN) continue;
        ::sigaction(sig, &action, nullptr);
    }
}

}  // namespace corvina
