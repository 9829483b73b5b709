#pragma once

#include <cstdint>
#include <ctime>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "pdf/file/CPDFBody.h"
#include "pdf/file/CPDFHeader.h"
#include "pdf/file/CPDFHintStream.h"
#include "pdf/file/CPDFLineaParams.h"
#include "pdf/file/CPDFObjStmCache.h"
#include "pdf/file/CPDFTrailer.h"
#include "pdf/file/CPDFXRef.h"
#include "pdf/file/DocSaveAccess.h"
#include "pdf/io/CorvinaApi.h"
#include "pdf/io/FileInStream.h"
#include "pdf/object/CPDFException.h"
#include "pdf/object/CPDFObjHolder.h"
#include "pdf/object/CPDFObjRef.h"
#include "pdf/object/CPDFObject.h"

namespace corvina {

class CPDFLib;
class CPDFCatalog;
class CPDFDocWriter;
class CPDFPage;
class CPDFXRefRecovery;

// Internals the document keeps to itself; their headers are not installed.
namespace detail {
struct DocumentCrypt;
struct ObjectExtent;
}  // namespace detail

// One open PDF or FDF file: its chain of sections (element 0 of each list is
// the working section that collects changes), the objects loaded so far, and
// a running save (its CPDFDocWriter); the holder of its indirect objects.
// Every public operation clears the last-error
// record on entry and keeps the first error it meets.
//
// Made by CPDFLib::Open and destroyed by CPDFLib::Close. The library is
// borrowed (it may be null for a document opened directly) and must outlive
// the document. The document owns its sections, every loaded object, its
// input file and the writer of a running save. What its getters return only observes: an object
// until it is released, unloaded, removed or replaced, a section until a full
// Save drops the older ones, everything until Close. LoadObj alone hands its
// result over.
// Null comes back for an object no section lists, one a newer section frees
// or one written and released during a save, and from the section getters
// before Open and after Close. Failures are false, null or -1 with the reason
// in GetLastError(); FindObj, FindEntry, RemoveObj and UnloadObj cannot fail
// and leave that record alone. A failed Save or Flush removes the file it
// made (or cuts off its append), so the input stays whole until a Flush
// completes.
class CORVINA_API CPDFDoc : public CPDFObjHolder, private DocSaveAccess {
public:
    CPDFDoc();
    ~CPDFDoc() override;
    CPDFDoc(const CPDFDoc&) = delete;
    CPDFDoc& operator=(const CPDFDoc&) = delete;

    bool Open(CPDFLib* lib, const char* path, const char* password);
    void Close();

    // Object access. Returned objects stay owned by the document.
    CPDFObject* GetObj(const CPDFObjRef& ref) override;
    std::unique_ptr<CPDFObject> LoadObj(const CPDFObjRef& ref, int32_t offset);
    // The object an entry in use names: at its offset, or in its object
    // stream (method "LoadObj").
    std::unique_ptr<CPDFObject> LoadEntry(const CPDFObjRef& ref, const XRefEntry& entry);
    // The bytes of an object an entry places in an object stream, as the
    // decoded stream holds them, valid until the next load; null when they
    // cannot be read, and then the last error is cleared (LoadEntry tells why).
    const char* PackedBytes(const CPDFObjRef& ref, const XRefEntry& entry, int32_t* length);
    CPDFObject* PeekObj(const CPDFObjRef& ref, std::unique_ptr<CPDFObject>* loaded) override;
    CPDFObject* FindObj(const CPDFObjRef& ref, bool skipNewest, CPDFBody** body = nullptr);
    std::unique_ptr<CPDFDict> StreamDict(const CPDFObjRef& ref, const char* key,
                                         const std::function<bool(std::unique_ptr<CPDFAtom>)>& fn,
                                         bool* failed) override;
    // The Type of the dictionary an object not loaded has in the input, read
    // from its words without building it, when the reader would take the
    // object as it stands (a plain name, "" for none); nothing when it is
    // loaded, lies in an object stream, is freed, or cannot be told so. Lets a
    // walk skip objects it would only load to look at their Type. Never
    // fails and leaves the last error alone.
    std::optional<std::string> PeekType(const CPDFObjRef& ref);
    // Where an object lies in the input when a PeekType found it there, at
    // offset, since the input was opened; false when that is not known.
    bool KnownExtent(const CPDFObjRef& ref, int32_t offset, detail::ObjectExtent* extent) const;
    XRefEntry* FindEntry(int32_t objNum, bool skipNewest, CPDFXRef** xref = nullptr);
    // Takes the object in all cases. A set ref replaces that object; otherwise
    // a new number is given and written to ref.
    bool RegistObj(std::unique_ptr<CPDFObject> obj, CPDFObjRef* ref) override;
    bool UpdateObj(const CPDFObjRef& ref) override;
    void RemoveObj(const CPDFObjRef& ref) override;
    bool ReleaseObj(const CPDFObjRef& ref, bool force) override;
    // Drops an unchanged object read from the file, to be read again when
    // next asked for. Only for objects nobody holds a pointer to.
    void UnloadObj(const CPDFObjRef& ref);

    // Pages. On failure ref still names the page the tree lists at index when
    // there is one (unset otherwise).
    CPDFPage* GetPage(int32_t index, CPDFObjRef* ref);
    bool DeletePage(int32_t position, int32_t count);
    int32_t GetPageCount();
    bool IsFDF() const override;
    CPDFCatalog* GetCatalog(CPDFObjRef* ref = nullptr);

    // Saving. An existing regular file (or a new path) is replaced whole by
    // one rename of a temporary written beside it; a directory is refused;
    // anything else that exists (device, FIFO, pipe) and an empty path
    // (standard output) are written into directly, as a full rewrite, and
    // after such a Flush the document has no input left to read from. An
    // incremental save of the document's own file copies it to a temporary
    // beside it, appends, and renames: the file is whole at every instant.
    bool Save(const char* path, bool incremental, bool linearize);
    // An incremental update written to path, which may be another file or a
    // device: the document's file as it is, then the new section.
    bool SaveUpdate(const char* path);
    bool Flush();
    int32_t StoreObj(const CPDFObjRef& ref, CPDFObject* obj);
    bool SetDocInfo();

    CPDFException& GetLastError() override { return lastError_; }
    // Null when the document stands for no file.
    const char* GetFilePath() const override {
        return filePath_.empty() ? nullptr : filePath_.c_str();
    }
    CPDFLib* GetLib() const { return lib_; }
    CPDFHeader* GetHeader() const { return header_.get(); }
    CPDFBody* GetBody() const { return bodies_.empty() ? nullptr : bodies_[0].get(); }
    CPDFXRef* GetXRef() const { return xrefs_.empty() ? nullptr : xrefs_[0].get(); }
    CPDFTrailer* GetTrailer() const { return trailers_.empty() ? nullptr : trailers_[0].get(); }
    int SectionCount() const { return static_cast<int>(bodies_.size()); }
    CPDFTrailer* GetTrailerAt(int i) const { return trailers_[i].get(); }
    CPDFXRef* GetXRefAt(int i) const { return xrefs_[i].get(); }
    FileInStream* GetInput() const override { return input_.get(); }
    bool IsFlushing() const override;
    // Between a successful Save and the end of its Flush.
    bool IsSaving() const { return writer_ != nullptr; }
    // The input is linearized (its newest section's startxref is 0).
    bool IsLinearized() const { return linearized_; }
    // How an indirect object of an encrypted document is encrypted, made in
    // buf; null when the document has no key.
    CryptKey ObjectKey(const CPDFObjRef& ref, detail::ObjectCrypt* buf) const;
    // The security handler the input was opened with (its revision, key,
    // crypt filters, permissions and which password opened it); null for a
    // plain document.
    const detail::DocumentCrypt* GetSecurity() const { return docKey_.get(); }
    // Bit 4 of P (modify the contents), or the owner password given.
    bool MayModify() const;

    // Renumbering for linearized output: the new reference of an object
    // already renumbered, and the renumbering of one object's subtree. Without
    // a linearized save running there is no map and nothing is renumbered.
    bool FindLinearRef(const CPDFObjRef& from, CPDFObjRef* to) const override;
    bool LinearizeObj(const CPDFObjRef& ref) override;
    bool LinearizeObj(const CPDFObjRef& ref, bool force);
    // Moves the objects of every page but the first, with what they reach,
    // into the regrouped section, numbered from 1 in the order of moving.
    // Run by Flush after a save that asked for linearization.
    bool Linearize();
    // The regrouped section (null before a Linearize that moved anything).
    CPDFBody* GetLinearBody() const { return linBodies_.empty() ? nullptr : linBodies_[0].get(); }
    CPDFXRef* GetLinearXRef() const { return linXRefs_.empty() ? nullptr : linXRefs_[0].get(); }
    CPDFTrailer* GetLinearTrailer() const {
        return linTrailers_.empty() ? nullptr : linTrailers_[0].get();
    }

    // What a linearized input holds at its front, read at Open; null when the
    // file is not linearized or they could not be read.
    CPDFLineaParams* GetLineaParams() const { return lineaParams_.get(); }
    CPDFHintStream* GetHintStream() const { return hintStream_.get(); }
    // What the document met and mended or put up with since it was opened,
    // in order: a damaged file's repairs (a table rebuilt, bytes before the
    // header, a wrong stream Length), why a file that looks linearized was
    // opened without its parameters or hint stream. Each record's factor is
    // the text. At most kMaxWarnings, the last of them then saying there
    // were too many. Kept until Close.
    const std::vector<CPDFException>& GetWarnings() const { return warnings_; }
    static constexpr size_t kMaxWarnings = 100;
    // True when the sections were rebuilt by reading the whole file. Such a
    // file, or one with bytes before its header, is saved whole: an update
    // appended to it would be as damaged as the file.
    bool WasRecovered() const { return recovered_; }

    // The clock that stamps the information dictionary (tests fix it).
    void SetClock(std::function<std::time_t()> clock) { clock_ = std::move(clock); }
    std::time_t Now() const { return clock_ ? clock_() : std::time(nullptr); }

private:
    // The document reads with a larger window than the default: every object
    // load seeks, and a seek inside the buffer costs nothing.
    static constexpr int kInputBuffer = 65536;

    // Keeps the first error; used by every public operation's boundary.
    void Keep(const CPDFException& e);
    void KeepUnknown(const char* method);
    // Runs body; a CPDFException or any other exception becomes `fail` with
    // the first error kept in the last-error record.
    template <class R, class F>
    R Guarded(const char* method, R fail, F&& body) {
        try {
            return body();
        } catch (const CPDFException& e) {
            Keep(e);
        } catch (...) {
            KeepUnknown(method);
        }
        return fail;
    }
    [[noreturn]] void Raise(const char* method, int type, const char* factor);
    bool BeginSave(const char* path, bool incremental, bool linearize, bool anyPath);
    bool ReadStructure();  // method "Serialize"
    // Appends a warning, within kMaxWarnings.
    void Warn(const CPDFException& warning);
    void Warn(const char* method, const std::string& text);
    // Bytes before "%PDF-" (mail gateways, web servers): the input becomes
    // the window from the header on, so that offsets count from there.
    void SkipLeadingJunk();
    // The chain of sections from startxref.
    void ReadSections();
    // Why the sections read cannot be used as they are (an object in use not
    // at its offset, no Root); empty when they can.
    std::string CheckSections();
    // Replaces every section by one rebuilt from the objects found in the
    // file; throws a clean error when no catalog can be found.
    void Recover(const std::string& why);
    void RecoverTrailer(CPDFTrailer& trailer, const CPDFXRefRecovery& found);
    // After the key is known: the objects of the object streams found, and
    // the warning saying what was rebuilt.
    void FinishRecovery();
    int32_t FindStartXRef();
    // One section at offset, classic or stream, with a hybrid file's stream.
    void ReadSection(int32_t offset, CPDFXRef& xref, CPDFTrailer& trailer, std::set<int32_t>& seen);
    // An object stream's own object, read as any indirect object.
    std::unique_ptr<CPDFObject> FetchObjStm(int32_t num);
    void CreateWorkingSection(const char* method);
    void TypeRootObjects();
    void ReleaseAll();
    void DiscardSave();
    // Deferred stream data of loaded objects, before the input becomes the
    // file a save wrote (see CPDFStream::AfterSave).
    void RebaseStreams(bool readsOutput, bool offsetsKept);
    void CheckInputUnchanged(const char* method) override;
    // The running save's view of objects loaded and released (see
    // CPDFDocWriter): released unchanged and left to be carried over; noted
    // as loaded from offset; to be carried over instead of written now.
    bool IsCarried(int32_t objNum) const;
    void NoteLoaded(const CPDFObjRef& ref, int32_t offset, const CPDFObject& obj);
    bool CarryOnRelease(const CPDFObjRef& ref, const CPDFObject& obj);
    CPDFObject* GetObjInner(const CPDFObjRef& ref);
    // The key context of ref under key (the document or the output key), in
    // buf; null without a key and for the encryption dictionary itself.
    CryptKey KeyFor(const detail::DocumentCrypt* key, const CPDFObjRef& ref,
                    detail::ObjectCrypt* buf) const override;
    // The rest of what the writer is given (DocSaveAccess).
    int32_t FullSize() const override { return fullSize_; }
    std::vector<std::pair<int32_t, int32_t>>& XRefStreams() override { return xrefStreams_; }
    void KeepWorkingSectionOnly() override;
    CPDFXRef* EarlyXRef() override { return spare_.get(); }
    void DropEarlyXRef() override { spare_.reset(); }
    bool Guard(const char* method, const std::function<bool()>& body) override {
        return Guarded(method, false, body);
    }
    // Linearization at Open: the parameter dictionary at the front of the
    // file and the hint stream it points to; problems become the warning.
    void ReadLinearization();
    std::unique_ptr<CPDFObject> ReadFrontObject(int32_t offset, bool hint, CPDFObjRef* ref);
    // A whole rewrite does not carry the old linearization's objects: a stale
    // parameter dictionary at the front of a file misleads readers.
    void DropLinearization();
    void ReleaseLinearization();
    bool IsEncryptRef(const CPDFObjRef& ref) const;

    CPDFException lastError_;
    std::unique_ptr<CPDFHeader> header_;
    std::vector<std::unique_ptr<CPDFBody>> bodies_;
    std::vector<std::unique_ptr<CPDFXRef>> xrefs_;
    std::vector<std::unique_ptr<CPDFTrailer>> trailers_;
    // Only kept for GetLib: the document itself uses nothing of the library.
    CPDFLib* lib_ = nullptr;
    std::string filePath_;
    std::unique_ptr<FileInStream> input_;
    // Set when a save into a device or pipe left the document without the
    // file its unread objects lie in.
    bool inputLost_ = false;
    bool linearized_ = false;
    std::unique_ptr<CPDFLineaParams> lineaParams_;
    std::unique_ptr<CPDFHintStream> hintStream_;
    // Where the input holds those two (a parameter dictionary is noted even
    // when a later update spoiled the linearization).
    CPDFObjRef lineaRef_;
    CPDFObjRef hintRef_;
    std::vector<CPDFException> warnings_;
    // The sections were rebuilt from the objects found in the file (why
    // says what the reading of the sections met).
    bool recovered_ = false;
    // Bytes before the header skipped when the input was opened.
    int32_t headerAt_ = 0;
    std::string recoveredWhy_;
    std::vector<std::pair<int32_t, int32_t>> recoveredObjStms_;
    // The regrouped section and the map from old to new references.
    std::vector<std::unique_ptr<CPDFBody>> linBodies_;
    std::vector<std::unique_ptr<CPDFXRef>> linXRefs_;
    std::vector<std::unique_ptr<CPDFTrailer>> linTrailers_;
    std::map<std::pair<int32_t, int32_t>, CPDFObjRef> linearMap_;
    std::unique_ptr<detail::DocumentCrypt> docKey_;
    // Entries of the objects a running save wrote early (ReleaseObj).
    std::unique_ptr<CPDFXRef> spare_;
    // Set when a save that had written objects early (ReleaseObj) was
    // abandoned: those objects are gone, so every later Save is refused.
    bool releasedLost_ = false;
    // The running save, from Save to the end of Flush.
    std::unique_ptr<CPDFDocWriter> writer_;
    // The object numbers a full rewrite must cover: the largest table read.
    int32_t fullSize_ = 0;
    // Nested loads (a stream whose Length refers back to itself) and releases.
    int loadDepth_ = 0;
    int releaseDepth_ = 0;
    std::function<std::time_t()> clock_;
    // Decoded object streams, the few most recently used.
    CPDFObjStmCache objStms_;
    // By object number: the extent PeekType found (begin -1 when none), so
    // that a save carrying the object over need not read its words again.
    struct Span {
        int32_t begin = -1;
        int32_t end = -1;
    };
    std::vector<Span> extents_;
    // Object number and offset of every cross-reference stream read: a full
    // rewrite frees their numbers, their content being in the new table.
    std::vector<std::pair<int32_t, int32_t>> xrefStreams_;
};

}  // namespace corvina
