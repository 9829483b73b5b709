#pragma once

#include <sys/types.h>

#include <cstdio>
#include <ctime>
#include <memory>
#include <string>

#include "pdf/io/CorvinaApi.h"
#include "pdf/io/InStream.h"

namespace corvina {

class ReadAhead;

// A window [start, start+length) of a file, or standard input for an empty path.
class CORVINA_API FileInStream : public InStream {
public:
    explicit FileInStream(int bufferSize = 4096);
    ~FileInStream() override;

    // length -1 means to the end of the file; a longer length is clipped.
    // Fails (saving errno) when the file cannot be opened or is above 2 GiB.
    // Opening never blocks, even on a FIFO without a writer.
    bool Open(const char* path, const char* mode = "rb", int start = 0, int length = -1,
              int bufferSize = 0);
    // A second reader of the file other reads, over a duplicate of its
    // descriptor and with the same window, so that reading in another order
    // leaves other's buffer alone. Fails (saving errno) when other has no
    // regular file open.
    bool OpenShared(const FileInStream& other, int bufferSize);
    void Close() override;
    // For reading a file front to back with skips: refills grow until they
    // fill the buffer, and a seek forward by less than the buffer size past
    // what is buffered reads through to it instead of jumping, so a run of
    // small objects with stream data between costs one read per buffer. A
    // jump elsewhere starts the refills small again.
    void SetSequential(bool on);
    // For a sequential reader of a regular file: once its refills fill the
    // buffer, the next half buffers after the buffered bytes are read on a
    // helper thread meanwhile, so the caller's own work and the copy out of
    // the page cache overlap. Only where the process may use more than one
    // processor; without a thread the reader reads for itself, as before.
    void SetReadAhead(bool on);
    bool ReadsAhead() const { return ahead_ != nullptr; }
    // Refills keep the bytes from window position pos on while they fit in
    // the buffer, so that Buffered() still finds them; -1 keeps nothing.
    void KeepFrom(int pos) { keepFrom_ = pos; }
    bool IsOpen() const { return start_ >= 0; }
    const char* Path() const { return path_.c_str(); }
    // The open descriptor (-1 when closed) and the file offset of a window
    // position, for copies that bypass this stream's buffer and position.
    int Descriptor() const override { return file_ ? fileno(file_) : -1; }
    long FileOffset(int pos) const override { return start_ + pos; }
    // The n bytes at window position pos when all of them are in the buffer
    // now (valid until the next read or seek); null otherwise.
    const char* Buffered(int pos, int n) const {
        if (pos < bufferBase_ || n < 0 || pos - bufferBase_ > count_ - n) return nullptr;
        return buffer_ + (pos - bufferBase_);
    }
    // The st_mode of the open file (0 when closed or unknown).
    mode_t FileMode() const { return fileMode_; }
    // True when the open regular file was written since it was opened (its
    // size or modification time differ): offsets read from it may lie.
    bool ChangedSinceOpen() const;

    int Refill() override;
    int Read(void* dst, int n) override;
    int Tell() override;
    int Seek(int pos) override;
    int Length() override { return start_ < 0 ? 0 : length_; }
    bool Error() const override { return errno_ != 0; }
    int SavedErrno() const { return errno_; }
    const char* ErrorText() override;
    void ClearError() override { errno_ = 0; }

private:
    // Reads at an offset (pread) into a regular file: a seek is then only
    // bookkeeping. Standard input and pipes go through the FILE.
    long Fetch(char* dst, long n, long at);
    // Starts the helper on the bytes after the buffered ones.
    void ReadOn();

    std::FILE* file_ = nullptr;
    bool isStdin_ = false;
    bool positional_ = false;
    mode_t fileMode_ = 0;
    long openedSize_ = -1;  // regular files only
    timespec openedMtime_{};
    std::string path_;
    long start_ = -1;     // window start in the file, -1 when closed
    int length_ = 0;      // window length
    int bufferBase_ = 0;  // window position of buffer_[0]
    // Bytes the next refill asks for: small after a seek, doubling while the
    // reading goes on in sequence, so skipping large stream data does not
    // pull a whole buffer of it through user space.
    int fetch_ = 0;
    int errno_ = 0;
    bool sequential_ = false;
    int keepFrom_ = -1;
    std::unique_ptr<ReadAhead> ahead_;
};

}  // namespace corvina
