#pragma once

// What the fuzz targets share: bytes handed to the library as a file, and
// the walks every target runs over what it opened.
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

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

// A classic file of the given objects (numbered from 1) with exact offsets;
// trailerExtra goes inside the trailer after Size and Root (object 1).
std::string Document(const std::vector<std::string>& objects, const std::string& trailerExtra = "");

// The one-page document whose object 5 is the given text, the catalog's
// Names dictionary (object 4) naming it as Dests.
std::string DocumentWithObject(const std::string& body);

// Opens the bytes as a document (with a password, or none when null), walks
// it and closes it.
void OpenAndWalk(const std::string& pdf, const char* password = nullptr);
// Opens the bytes leaving the name trees unread, as the named-destination
// job does, and takes every pair of the Dests tree, nodes read from the file.
void OpenAndTakeDests(const std::string& pdf);

// Reads everything a caller may reach: the page tree, the Dests tree and
// destinations, every object of the table, each stream's data decoded.
// Bounded, so one input never runs long.
void WalkDocument(corvina::CPDFDoc* doc);

}  // namespace fuzz
