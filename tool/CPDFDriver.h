#pragma once

#include <cstddef>
#include <cstdio>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "pdf/file/CPDFLib.h"
#include "pdf/object/CPDFArray.h"
#include "pdf/object/CPDFObjRef.h"
#include "tool/CNameMap.h"

namespace corvina {
class CPDFDoc;
class CPDFCatalog;
class CPDFNameDict;
class CPDFDict;
}  // namespace corvina

class CLocaleText;
class CLogSink;

// The tool's one job on one input and one output file. It owns its library
// and, inside Execute, the open document; every message goes to the log sink
// it was created with, which it borrows and which must outlive it.
class CPDFDriver {
public:
    ~CPDFDriver();
    CPDFDriver(const CPDFDriver&) = delete;
    CPDFDriver& operator=(const CPDFDriver&) = delete;

    // Stores the options; a null format or fit type takes its default.
    // Always true.
    bool SetParams(long startPage, long endPage, const char* format, const char* fitType,
                   bool overwrite, bool remove);
    // The password an encrypted input is opened with (-pw); null: none given,
    // the empty user password is tried.
    void SetPassword(const char* password);
    // -i: the input's bytes kept as they are and the changes appended as an
    // incremental update.
    void SetIncremental(bool incremental) { incremental_ = incremental; }
    // False when the job failed: the sink has been told why (but for the few
    // silent failures) and an output file the job had begun is removed.
    bool Execute(const char* inputPath, const char* outputPath);

    // What a run did to the named destinations.
    struct Counts {
        long added = 0;     // new names
        long replaced = 0;  // names that existed, replaced under -o
        long present = 0;   // names that existed and were kept
        long removed = 0;   // names dropped by -d
    };
    const Counts& GetCounts() const { return counts_; }

    // Exposed for the tests.
    const CNameMap& Names() const { return *names_; }
    // Refuses formats whose conversions are not integer ones.
    static bool IsSafeFormat(const char* format);

private:
    friend std::unique_ptr<CPDFDriver> CreateDriver(const char* tempPath, CLogSink& log);
    explicit CPDFDriver(CLogSink& log);
    // Logs the document's warnings not logged yet.
    void LogWarnings();

    // Execute's steps in order; false at the first that fails, possibly with
    // the document still open for Execute to close.
    bool RunSteps(const char* inputPath, const char* outputPath);

    // False, after logging why, when the -t directory is missing, is no
    // directory or takes no files.
    bool CheckTempPath();
    bool CollectDests();
    // One pair taken out of the Dests tree; a destination written in the
    // tree itself becomes an object of its own.
    bool CollectPair(std::unique_ptr<corvina::CPDFAtom> key,
                     std::unique_ptr<corvina::CPDFAtom> value);
    // The name of a page, as the format gives it in the locale's encoding
    // (mbName) and as text; false, after logging why, when the format is
    // refused or its text is not valid in the locale's encoding.
    bool MakeName(long page, std::string& mbName, std::u16string& name);
    bool AddDest(long page, const corvina::CPDFObjRef& pageRef);
    void KeepFitArray(const corvina::CPDFArray* parsed);
    std::unique_ptr<corvina::CPDFArray> CopyFitArray(const corvina::CPDFObjRef& pageRef);
    bool WriteDests();
    bool RemoveAllDests();
    void Fail(const char* format, const char* arg);
    // False for the objects the job holds on to (catalog, name dictionary,
    // page tree): a name or tree node that points at one must not delete it.
    bool MayRemove(const corvina::CPDFObjRef& ref);

    CLogSink& log_;
    std::unique_ptr<corvina::CPDFLib> lib_;
    std::string tempPath_;  // as given with -t; empty for the default
    corvina::CPDFDoc* doc_ = nullptr;
    // How many of its warnings the log has had.
    size_t warningsLogged_ = 0;
    corvina::CPDFCatalog* catalog_ = nullptr;
    corvina::CPDFNameDict* names_dict_ = nullptr;
    corvina::CPDFObjRef catalogRef_;
    corvina::CPDFObjRef namesRef_;
    long pageCount_ = 0;
    // Handed to the tree's new node when it is written.
    std::unique_ptr<CNameMap> names_ = std::make_unique<CNameMap>();
    // Reads the names the format makes; opened at the first name.
    std::unique_ptr<CLocaleText> locale_;
    long startPage_ = 0;
    long endPage_ = 0;
    std::string format_ = "%d";
    // format_ split into its literal text and conversions, once per job.
    struct FormatParts;
    std::unique_ptr<FormatParts> formatParts_;
    std::string fitType_ = "/XYZ null null null";
    // The members after the page of the array parsed for an earlier page,
    // when they are plain values: every page's text parses to the same
    // members, so later pages copy them instead of parsing again.
    std::unique_ptr<corvina::CPDFArray> fitArray_;
    bool overwrite_ = false;
    bool remove_ = false;
    Counts counts_;
    std::optional<std::string> password_;
    bool incremental_ = false;
    // The input, held under an exclusive advisory lock for the run (-1: none).
    int lockFd_ = -1;
    bool LockInput(const char* inputPath);
    void UnlockInput();
    // Refuses what the document's signatures do not allow.
    bool CheckSignatures(const char* inputPath);
};

// Null, after logging "cannot initialize corvina" to log, when the library
// cannot be made.
std::unique_ptr<CPDFDriver> CreateDriver(const char* tempPath, CLogSink& log);
