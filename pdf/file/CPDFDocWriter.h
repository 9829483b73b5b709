#pragma once

#include <cstdint>
#include <memory>
#include <set>
#include <string>
#include <unordered_map>
#include <vector>

#include "pdf/file/CPDFObjStmPacker.h"
#include "pdf/file/DocSaveAccess.h"
#include "pdf/file/OutputTarget.h"
#include "pdf/file/SecurityHandler.h"
#include "pdf/file/ValueDigest.h"
#include "pdf/file/XRefEntry.h"
#include "pdf/io/FileInStream.h"
#include "pdf/io/FileOutStream.h"
#include "pdf/object/CPDFObjRef.h"
#include "pdf/object/CPDFObject.h"

namespace corvina {

class CPDFDoc;
class CPDFStream;

// One running save of a document, from Save to Flush: where the output goes
// and how it is put in place, the output stream and key, and the writing of
// the objects, cross-reference section and trailer.
//
// Where the bytes go and how they are put in place is its OutputTarget's.
//
// A whole rewrite (not linearized) of an input that kept objects in object
// streams stays compact: those objects, and the ones the job adds, go into
// new object streams and the file ends with a cross-reference stream; an
// input without object streams keeps its classic form.
//
// Owned by the document (CPDFDoc::Save makes it, Flush and failures end it);
// borrows the document, which outlives it. Every operation throws
// CPDFException records of the document's module and the calling method; the
// document's public boundary keeps the first. Destroying a writer that was
// not committed discards its output.
class CPDFDocWriter {
public:
    CPDFDocWriter(CPDFDoc& doc, DocSaveAccess& access) : doc_(doc), access_(access) {}
    ~CPDFDocWriter() { Discard(); }
    CPDFDocWriter(const CPDFDocWriter&) = delete;
    CPDFDocWriter& operator=(const CPDFDocWriter&) = delete;

    // Save: chooses and opens the output (path null or empty: standard
    // output), merges every section into the working one for a whole
    // rewrite, and writes the header.
    // anyPath: an incremental save may go to another path (the document's
    // file copied there first) instead of becoming a whole rewrite.
    void Begin(const char* path, bool incremental, bool linearize, bool anyPath);
    // One indirect object at the current end of the output; its offset.
    int32_t StoreObj(const CPDFObjRef& ref, CPDFObject* obj);
    // ReleaseObj of a loaded object during this save: true when the object
    // still equals its bytes in the input and a whole rewrite will carry
    // those bytes over, so it needs no writing now; false when it has to be
    // written at once. Never throws.
    bool CarryOnRelease(const CPDFObjRef& ref, const CPDFObject& obj);
    // GetObj loaded obj from the input at offset during this save: what it
    // was, to know later whether anybody changed it. Never throws.
    void NoteLoaded(const CPDFObjRef& ref, int32_t offset, const CPDFObject& obj);
    // Released under CarryOnRelease: gone from memory for the rest of the save.
    bool IsCarried(int32_t objNum) const {
        return objNum >= 0 && static_cast<size_t>(objNum) < carried_.size() && carried_[objNum];
    }
    // Flush: every object not written early, the section and the trailer,
    // then the output closed and put in place. Returns the path the document
    // now stands for ("" for standard output) and whether it can be read back.
    std::string Finish(bool* reread);
    // Undoes what was written: a temporary removed. A device or pipe is left
    // as it is. Never throws.
    void Discard();

    bool IsIncremental() const { return incremental_; }
    bool IsLinearizing() const { return linearize_; }
    bool IsFlushing() const { return flushing_; }
    void SetFlushing() { flushing_ = true; }
    // Takes the output key (the document key when the output stays encrypted).
    std::unique_ptr<detail::DocumentCrypt> TakeOutputKey() { return std::move(outputKey_); }

private:
    void ChooseTarget(const std::string& out, bool* incremental, bool anyPath);
    void MergeSections();
    void WriteAllObjects();
    // An object never loaded is carried over byte for byte when its extent in
    // the input is certain; consecutive ones go out in one copy. False when it
    // has to be loaded and written instead.
    bool CopyVerbatim(const CPDFObjRef& ref, const XRefEntry& entry, int32_t* offset);
    // Ends the run of carried-over objects being written.
    // Writes the run's pending bytes when they are many, or all when asked.
    void WritePending(bool all);
    void EndRun();
    // The reader of carried-over objects (null when it cannot be opened).
    FileInStream* Scanner();
    // Input bytes [from, to) at the output's end: from the scanner's buffer
    // when they are there, from the file otherwise.
    void WriteInput(int from, int to);
    // A whole rewrite that may copy input bytes: nothing under a key in the
    // input or the output, and an input file to copy from.
    bool MayCopyInput() const;
    // The output is encrypted as the input is, or neither is encrypted.
    bool SameEncryption() const;
    // True when obj, loaded, equals what the input holds for its entry: by
    // the digest taken when it was loaded, else by reading it again.
    bool MatchesInput(const CPDFObjRef& ref, const XRefEntry& entry, const CPDFObject& obj);
    void WriteSection(int32_t offset);
    // An indirect object written as itself at the output's end; its offset.
    int32_t WritePlain(const CPDFObjRef& ref, CPDFObject* obj);
    // A compact rewrite puts the object into an object stream.
    bool Packs(const CPDFObjRef& ref, const CPDFObject& obj) const;
    // An object never loaded goes into an object stream as its bytes in the
    // input's one; false when they cannot be taken as they are.
    bool PackFromInput(const CPDFObjRef& ref, const XRefEntry& entry);
    // The same for a loaded object whose digest shows it unchanged since
    // it was loaded from an object stream.
    bool PackUnchanged(const CPDFObjRef& ref, const CPDFObject& obj);
    void NextPackNumber(int32_t* objNum, int32_t* genNum);
    void EmitPack(int32_t objNum, int32_t genNum, CPDFStream& stream);
    // The table takes the places of packed objects and their streams.
    void PlacePacked();
    // Raises a failed system call on the file being written, named in the
    // factor with the system's text for err.
    [[noreturn]] void RaiseOnOutput(const char* method, int type, int err) const;

    CPDFDoc& doc_;
    // What the document gives its save beyond its public interface.
    DocSaveAccess& access_;
    std::unique_ptr<FileOutStream> output_;
    std::unique_ptr<detail::DocumentCrypt> outputKey_;
    bool incremental_ = false;
    bool linearize_ = false;
    bool flushing_ = false;
    OutputTarget target_;
    // Object streams and cross-reference streams a whole rewrite leaves out:
    // their content lives in the new table, and their numbers become free.
    std::set<int32_t> dropped_;
    // Compact rewrite: the packer of the object stream under construction,
    // which numbers may be packed (objects that were in object streams and
    // new ones), the dropped numbers the new streams take first (largest
    // first), and the streams written with their offsets.
    std::unique_ptr<CPDFObjStmPacker> packer_;
    std::vector<bool> packable_;
    std::vector<int32_t> spareNums_;
    struct PackStream {
        int32_t objNum;
        int32_t genNum;
        int32_t offset;
    };
    std::vector<PackStream> packStreams_;
    // Digests of objects as GetObj loaded them during this save, by number,
    // while they stay loaded.
    struct Noted {
        int32_t genNum;
        int32_t offset;
        uint64_t digest;
    };
    detail::ValueDigest digest_;
    std::unordered_map<int32_t, Noted> loaded_;
    // By object number: released unchanged, to be carried over by Finish.
    std::vector<bool> carried_;
    std::unique_ptr<FileInStream> scan_;
    // Input bytes [runBegin_, runEnd_), written at output offset runOut_;
    // those before runWritten_ are out already.
    int runBegin_ = -1;
    int runEnd_ = -1;
    int runWritten_ = -1;
    long runOut_ = -1;
};

}  // namespace corvina
