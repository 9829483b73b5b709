#pragma once

#include <cstdint>
#include <memory>
#include <mutex>
#include <string>

#include "pdf/io/CorvinaApi.h"

namespace corvina {

class CPDFDoc;
class CPDFException;

// The library's entry object: resource directories, the lock, and opening and
// closing of documents. Create hands the object over; the caller keeps it
// until every document it opened is closed. A document from Open is given
// back to Close, which destroys it, never deleted by its holder.
// The temporary directory is the process's, not the object's: the library
// made last decides where every document's large stream data goes.
class CORVINA_API CPDFLib {
public:
    // Bit 0 of the options limits the catalog's typed load to the page tree.
    // Bit 1 leaves the name dictionary's trees as read, neither loaded nor
    // typed: a caller that only moves a tree's references (the
    // named-destination job) reads a tree of a million names a pair at a
    // time instead of having it and every destination loaded at opening.
    enum Option : uint32_t { LoadPageTreeOnly = 1, LeaveNameTrees = 2 };

    ~CPDFLib() = default;

    // Null when the library cannot be set up. Each directory may be null or empty.
    static std::unique_ptr<CPDFLib> Create(const char* tempDir, const char* cmapDir = nullptr,
                                           const char* thirdDir = nullptr,
                                           const char* metricsDir = nullptr);

    // Null on failure; the document's error record is copied into error when given.
    CPDFDoc* Open(const char* path, const char* password, CPDFException* error);
    void Close(CPDFDoc* doc);

    void Enter() { lock_.lock(); }
    void Leave() { lock_.unlock(); }

    uint32_t Options() const { return options_; }
    void SetOptions(uint32_t options) { options_ = options; }
    const std::string& TempDir() const { return tempDir_; }
    const std::string& CMapDir() const { return cmapDir_; }
    const std::string& MetricsDir() const { return metricsDir_; }
    const std::string& DefaultCMap() const { return defaultCMap_; }

private:
    CPDFLib() = default;

    std::string defaultCMap_ = "90ms-RKSJ";
    uint32_t options_ = 0;
    std::mutex lock_;
    std::string tempDir_;
    std::string cmapDir_;
    std::string thirdDir_;
    std::string metricsDir_;
};

}  // namespace corvina
