#pragma once

// What the fuzz targets share: bytes handed to the library as a file, and
// the walks every target runs over what it opened.
#include <cstddef>
#include <cstdint>
#include <string>

namespace corvina {
class CPDFDoc;
}

namespace fuzz {

// An anonymous in-memory file holding the bytes; Path() names it for APIs
// that open by name. Nothing is left on disk.
class MemFile {
public:
    MemFile(const uint8_t* data, size_t size);
    ~MemFile();
    MemFile(const MemFile&) = delete;
    MemFile& operator=(const MemFile&) = delete;
    bool ok() const { return fd_ >= 0; }
    const std::string& Path() const { return path_; }

private:
    int fd_ = -1;
    std::string path_;
};

// A scratch directory for outputs, removed with its contents.
class ScratchDir {
public:
    ScratchDir();
    ~ScratchDir();
    const std::string& Path() const { return path_; }

private:
    std::string path_;
};

// The one-page document whose object 5 is the given text, the catalog's
// Names dictionary (object 4) naming it as Dests, with exact offsets.
std::string DocumentWithObject(const std::string& body);

// Reads everything a caller may reach: the page tree, the Dests tree and
// destinations, every object of the table, each stream's data decoded.
// Bounded, so one input never runs long.
void WalkDocument(corvina::CPDFDoc* doc);

}  // namespace fuzz
