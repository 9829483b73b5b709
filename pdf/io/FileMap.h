#pragma once

#include <string>

#include "pdf/io/CorvinaApi.h"

namespace corvina {

// A temporary file mapped read/write into memory. The file is removed when the
// map is closed with deletion (the destructor always deletes).
class CORVINA_API FileMap {
public:
    FileMap() = default;
    ~FileMap();
    FileMap(const FileMap&) = delete;
    FileMap& operator=(const FileMap&) = delete;

    // Unique file in dir (empty: the system's temporary directory) named with
    // prefix, mapped at exactly size bytes.
    bool Create(const char* dir, const char* prefix, long size, bool zeroFill);
    bool CreateByName(const char* name, long size, bool zeroFill);
    // The base address changes on every resize. A failure closes and deletes.
    bool Resize(long size, bool zeroFill);
    void* Base() const { return base_; }
    long Size() const { return size_; }
    const char* Name() const { return name_.c_str(); }
    void Close(bool deleteFile);

private:
    // Sizes the file to size bytes and maps it; zero-fills from oldSize up.
    bool Map(long oldSize, long size, bool zeroFill);
    // Undoes everything (the file is deleted), keeping errno; returns false.
    bool Fail();

    std::string name_;
    long size_ = 0;
    int fd_ = -1;
    void* base_ = nullptr;
};

}  // namespace corvina
