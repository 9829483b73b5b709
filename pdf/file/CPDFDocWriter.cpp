#include "pdf/file/CPDFDocWriter.h"

#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <optional>
#include <vector>

#include "pdf/file/CPDFDoc.h"
#include "pdf/file/CPDFXRefStream.h"
#include "pdf/file/ObjectExtent.h"
#include "pdf/file/SameValue.h"
#include "pdf/file/SecurityHandler.h"
#include "pdf/file/SlotGrowth.h"
#include "pdf/io/DecimalText.h"
#include "pdf/object/Factors.h"
#include "pdf/stream/CPDFStream.h"

namespace corvina {

namespace {

// The file the document stands for, "" for none.
std::string PathOf(const CPDFDoc& doc) {
    const char* path = doc.GetFilePath();
    return path ? path : "";
}

// Large enough that writing a whole file costs few system calls.
constexpr int kOutputBuffer = 262144;
// The second reader that finds the extents of carried-over objects, front to
// back, and whose buffer the bytes are written from. A helper thread reads
// its next half while the objects of this one are found and written.
constexpr int kScanBuffer = 1048576;
// Carried-over bytes wait in the reader's buffer until there are this many,
// then go to the output in one write, without passing through its buffer.
// The reader keeps at most half its buffer, so this leaves room for the
// object read next.
constexpr int kDirectWrite = kScanBuffer / 4;
// They also go when the reader holds less than this beyond the run, and so
// will soon refill: what it keeps is moved to the front of its buffer then.
constexpr int kRefillNear = 65536;
constexpr int kMinDirectWrite = 4096;
// Runs this long go file to file through the kernel; shorter ones are read
// into the output's buffer, which costs one system call instead of two.
constexpr int kKernelRun = 65536;
// White space between two carried-over objects that is copied with them.
constexpr int kMaxRunGap = 64;

[[noreturn]] void Raise(const char* method, int type, const char* factor) {
    throw CPDFException("CPDFDoc", method, type, factor);
}

// True when both paths name one existing file, however spelt (./a.pdf, a
// symbolic link, a hard link).
bool SameFile(const std::string& a, const std::string& b) {
    struct stat sa, sb;
    if (a.empty() || b.empty()) return false;
    if (::stat(a.c_str(), &sa) != 0 || ::stat(b.c_str(), &sb) != 0) return false;
    return sa.st_dev == sb.st_dev && sa.st_ino == sb.st_ino;
}

}  // namespace

void CPDFDocWriter::Begin(const char* path, bool incremental, bool linearize, bool anyPath) {
    if (doc_.IsFDF()) {
        incremental = false;
        linearize = false;
    } else if (linearize || outputKey_) {
        incremental = false;
    }
    if (doc_.GetSecurity() && !outputKey_) {
        if (detail::IsSupportedEncrypt(doc_.GetTrailer()->Get_Encrypt())) {
            outputKey_ = std::make_unique<detail::DocumentCrypt>(*doc_.GetSecurity());
        } else {
            // Encryption dropped: a plain section appended to an encrypted
            // file would leave a trailer without Encrypt over encrypted
            // objects, which no reader can read. The whole file goes plain.
            incremental = false;
        }
    }

    ChooseTarget(path ? path : "", &incremental, anyPath);
    incremental_ = incremental;
    linearize_ = linearize;

    output_ = std::make_unique<FileOutStream>(kOutputBuffer);
    const FileInStream* input = doc_.GetInput();
    target_.Open(*output_, input ? input->Descriptor() : -1, kOutputBuffer);
    if (!doc_.IsFDF() && !incremental_) MergeSections();
    if (!incremental_) doc_.GetHeader()->Serialize(*output_);
}

void CPDFDocWriter::ChooseTarget(const std::string& out, bool* incremental, bool anyPath) {
    // An update of the document's own file, or (asked for as such) of a copy
    // of it anywhere; any other output is a whole file.
    if (*incremental && !anyPath && !SameFile(out, PathOf(doc_))) *incremental = false;
    const FileInStream* input = doc_.GetInput();
    if (!input || input->Descriptor() < 0) *incremental = false;
    target_.Choose(out, PathOf(doc_), *incremental);
}

void CPDFDocWriter::MergeSections() {
    const int internal = CPDFException::InternalError;
    CPDFBody* body = doc_.GetBody();
    CPDFXRef* xref = doc_.GetXRef();
    // Every number up to the largest table read is carried, so objects that
    // only older sections list are not lost.
    const int32_t size = std::max(xref->Size(), access_.FullSize());
    if (!xref->Resize(size) || !xref->Reserve(size) || !body->Resize(size))
        Raise("Save", internal, factor::kCallXRefSetEntry);
    // A linearized save keeps today's plain form; a whole rewrite of an input
    // that used object streams packs again what they held, and what is new.
    std::vector<bool> packable;
    if (!linearize_) packable.assign(static_cast<size_t>(size) + 1, false);
    bool usedStreams = false;
    for (int32_t i = 1; i <= size; ++i) {
        const XRefEntry* older = doc_.FindEntry(i, true);
        const bool wasPacked = older && older->inUse && older->stmNum;
        usedStreams = usedStreams || wasPacked;
        if (!packable.empty()) packable[static_cast<size_t>(i)] = !older || wasPacked;
        if (!xref->GetEntry(i)) {
            // A number no section lists is simply absent (sparse tables are
            // valid); it stays out of the new table.
            if (!older) continue;
            if (!xref->SetEntry(*older)) Raise("Save", internal, factor::kCallXRefSetEntry);
        }
        const XRefEntry* entry = xref->GetEntry(i);
        const CPDFObjRef ref(i, entry->genNum);
        CPDFBody* holder = nullptr;
        if (!body->GetObj(ref) && doc_.FindObj(ref, true, &holder)) {
            if (!body->SetObj(ref, holder->TakeObj(ref)))
                Raise("Save", internal, factor::kCallBodySetObj);
        }
    }
    // What object streams and cross-reference streams held is written as
    // plain objects and one classic table; the streams themselves go. A
    // number a newer section gave to another object stays.
    for (int32_t i = 1; i <= size; ++i)
        if (const XRefEntry* e = xref->GetEntry(i); e && e->inUse && e->stmNum)
            dropped_.insert(e->stmNum);
    for (const auto& [num, offset] : access_.XRefStreams())
        if (const XRefEntry* e = xref->GetEntry(num);
            e && e->inUse && !e->stmNum && e->offset == offset)
            dropped_.insert(num);
    access_.XRefStreams().clear();
    if (usedStreams && !packable.empty()) {
        packable_ = std::move(packable);
        spareNums_.assign(dropped_.rbegin(), dropped_.rend());
        packer_ = std::make_unique<CPDFObjStmPacker>(
            &doc_, [this](int32_t* num, int32_t* gen) { NextPackNumber(num, gen); },
            [this](int32_t num, int32_t gen, CPDFStream& stream) { EmitPack(num, gen, stream); });
    }
    access_.KeepWorkingSectionOnly();
    // A classic trailer has no stream to describe.
    CPDFDict& dict = doc_.GetTrailer()->Dict();
    for (const char* key : {"Prev", "Type", "W", "Index", "Filter", "DecodeParms", "Length",
                            "XRefStm", "DL", "F", "FFilter", "FDecodeParms"})
        dict.Detach(key);
    doc_.GetTrailer()->SetStreamSection(false);
}

int32_t CPDFDocWriter::StoreObj(const CPDFObjRef& ref, CPDFObject* obj) {
    if (!output_ || !obj) Raise("StoreObj", CPDFException::InternalError, nullptr);
    if (packer_ && Packs(ref, *obj)) {
        // Its place (stream and index) is in the packer's list; the offset
        // returned only says that it is written.
        if (!PackUnchanged(ref, *obj)) packer_->AddObject(ref.objNum, *obj);
        return 0;
    }
    return WritePlain(ref, obj);
}

int32_t CPDFDocWriter::WritePlain(const CPDFObjRef& ref, CPDFObject* obj) {
    EndRun();
    const long offset = output_->Tell();
    // Offsets are 32-bit in the cross-reference table.
    if (offset > INT32_MAX - 1)
        RaiseOnOutput("StoreObj", CPDFException::RuntimeLibraryError, EFBIG);
    char head[2 * detail::kDecimalMax + 8];
    char* end = detail::AppendDecimal(head, ref.objNum);
    *end++ = ' ';
    end = detail::AppendDecimal(end, ref.genNum);
    std::memcpy(end, " obj\r\n", 6);
    output_->Write(head, static_cast<int>(end + 6 - head));
    detail::ObjectCrypt keyBuf;
    obj->Serialize(*output_, access_.KeyFor(outputKey_.get(), ref, &keyBuf));
    output_->WriteEol();
    output_->WriteText("endobj");
    output_->WriteEol();
    return static_cast<int32_t>(offset);
}

void CPDFDocWriter::WriteAllObjects() {
    const int internal = CPDFException::InternalError;
    CPDFBody* body = doc_.GetBody();
    CPDFXRef* xref = doc_.GetXRef();
    CPDFTrailer* trailer = doc_.GetTrailer();
    if (!body) Raise("Serialize", internal, factor::kCallDocGetBody);
    if (!xref) Raise("Serialize", internal, factor::kCallDocGetXRef);
    if (!trailer) Raise("Serialize", internal, factor::kCallDocGetTrailer);
    body->Serialize(*output_);
    const int32_t size = xref->Size();
    CPDFXRef* early = access_.EarlyXRef();
    // The table keeps the input's offsets until every object is written: an
    // object read meanwhile (a stream's indirect Length) is found where it
    // lies in the input, whether written already or not.
    std::vector<int32_t> written(static_cast<size_t>(size) + 1, -1);
    const bool verbatim = MayCopyInput();
    // Room for the numbers of new object streams, so that taking one never
    // moves the entries held below.
    if (packer_ && !xref->Reserve(size + size / CPDFObjStmPacker::kPerStream + 2))
        Raise("Serialize", internal, factor::kCallXRefAddEntry);
    for (int32_t i = 1; i <= size; ++i) {
        XRefEntry* entry = xref->GetEntry(i);
        if (!entry || !entry->inUse || dropped_.count(i)) continue;
        if (const XRefEntry* done = early ? early->GetEntry(i) : nullptr) {
            written[i] = done->offset;
            continue;
        }
        const CPDFObjRef ref(i, entry->genNum);
        int32_t offset;
        if (CPDFObject* obj = body->GetObj(ref)) {
            // A loaded object nobody changed goes out as its input bytes too.
            if (verbatim && MatchesInput(ref, *entry, *obj) && CopyVerbatim(ref, *entry, &offset)) {
                if (auto* stream = dynamic_cast<CPDFStream*>(obj))
                    stream->CarriedOver(static_cast<long>(offset) - entry->offset);
            } else {
                offset = doc_.StoreObj(ref, obj);
            }
        } else if (packer_ && entry->stmNum && PackFromInput(ref, *entry)) {
            // Placed by the packer.
            continue;
        } else if (!verbatim || entry->stmNum || !CopyVerbatim(ref, *entry, &offset)) {
            // Never touched: load, write and free it at once.
            std::unique_ptr<CPDFObject> loaded = doc_.LoadEntry(ref, *entry);
            if (!loaded) Raise("Serialize", internal, factor::kCallDocLoadObj);
            offset = doc_.StoreObj(ref, loaded.get());
        }
        if (offset < 0) Raise("Serialize", internal, factor::kCallDocStoreObj);
        written[i] = offset;
    }
    for (int32_t i = 1; i <= size; ++i) {
        XRefEntry* entry = xref->GetEntry(i);
        if (entry && entry->inUse && written[i] >= 0) {
            entry->offset = written[i];
            entry->stmNum = 0;
        }
    }
    if (packer_) {
        packer_->Close();
        PlacePacked();
    }
    EndRun();
    for (int32_t num : dropped_)
        if (!xref->FreeEntry(num)) Raise("Serialize", internal, "CPDFXRef::FreeEntry()");
    const long xrefOffset = output_->Tell();
    if (xrefOffset > INT32_MAX)
        RaiseOnOutput("Serialize", CPDFException::RuntimeLibraryError, EFBIG);
    WriteSection(static_cast<int32_t>(xrefOffset));
    output_->Flush();
    if (output_->Error())
        RaiseOnOutput("Serialize", CPDFException::RuntimeLibraryError, output_->SavedErrno());
}

bool CPDFDocWriter::Packs(const CPDFObjRef& ref, const CPDFObject& obj) const {
    if (ref.genNum != 0 || ref.objNum <= 0 || obj.Is(CPDFObject::Stream)) return false;
    if (static_cast<size_t>(ref.objNum) >= packable_.size()) {
        // Numbers past the merged table were given during the save: new.
    } else if (!packable_[static_cast<size_t>(ref.objNum)]) {
        return false;
    }
    // The encryption dictionary is read before any stream can be.
    const CPDFAtom* encrypt = doc_.GetTrailer()->Dict().Find("Encrypt");
    return !(encrypt && encrypt->Kind() == CPDFAtom::RefKind &&
             static_cast<const CPDFObjRef*>(encrypt)->objNum == ref.objNum);
}

bool CPDFDocWriter::PackFromInput(const CPDFObjRef& ref, const XRefEntry& entry) {
    if (ref.genNum != 0 || static_cast<size_t>(ref.objNum) >= packable_.size() ||
        !packable_[static_cast<size_t>(ref.objNum)])
        return false;
    int32_t length = 0;
    const char* bytes = doc_.PackedBytes(ref, entry, &length);
    if (!bytes) return false;
    // Unchanged values go as their bytes, not read into objects and written
    // again; anything the check refuses is loaded and written the usual way.
    return packer_->AddBytes(ref.objNum, bytes, length);
}

bool CPDFDocWriter::PackUnchanged(const CPDFObjRef& ref, const CPDFObject& obj) {
    const XRefEntry* entry = doc_.GetXRef()->GetEntry(ref.objNum);
    if (!entry || !entry->inUse || !entry->stmNum || entry->genNum != ref.genNum) return false;
    bool same = false;
    if (const auto noted = loaded_.find(ref.objNum); noted != loaded_.end()) {
        const Noted then = noted->second;
        loaded_.erase(noted);
        const std::optional<uint64_t> now = digest_.Of(&obj);
        same =
            then.genNum == ref.genNum && then.offset == entry->offset && now && *now == then.digest;
    } else {
        // Loaded before the save: read again from the decoded stream, which
        // is at hand, and compared.
        std::unique_ptr<CPDFObject> fresh;
        try {
            fresh = doc_.LoadEntry(ref, *entry);
        } catch (const std::bad_alloc&) {
            fresh.reset();
        }
        doc_.GetLastError().Clear();
        same = fresh && detail::SameValue(&obj, fresh.get());
    }
    return same && PackFromInput(ref, *entry);
}

void CPDFDocWriter::NextPackNumber(int32_t* objNum, int32_t* genNum) {
    CPDFXRef* xref = doc_.GetXRef();
    // The numbers of the input's object streams first: the table keeps its
    // size. Their entries name the old streams until the end, as the objects
    // still to be read need them.
    if (!spareNums_.empty()) {
        *objNum = spareNums_.back();
        spareNums_.pop_back();
        const XRefEntry* e = xref->GetEntry(*objNum);
        *genNum = e ? e->genNum : 0;
        return;
    }
    int32_t num = 0;
    if (!xref->AddEntry(&num))
        Raise("Serialize", CPDFException::InternalError, factor::kCallXRefAddEntry);
    // Skipped by the writing of objects, as the streams it replaces are.
    dropped_.insert(num);
    *objNum = num;
    *genNum = 0;
}

void CPDFDocWriter::EmitPack(int32_t objNum, int32_t genNum, CPDFStream& stream) {
    const int32_t offset = WritePlain(CPDFObjRef(objNum, genNum), &stream);
    packStreams_.push_back(PackStream{objNum, genNum, offset});
}

void CPDFDocWriter::PlacePacked() {
    CPDFXRef* xref = doc_.GetXRef();
    for (const PackStream& p : packStreams_) {
        XRefEntry entry{p.objNum, p.genNum, p.offset, true};
        if (!xref->SetEntry(entry))
            Raise("Serialize", CPDFException::InternalError, factor::kCallXRefSetEntry);
        dropped_.erase(p.objNum);
    }
    for (const CPDFObjStmPacker::Placed& p : packer_->Packed()) {
        XRefEntry entry{p.objNum, 0, p.index, true};
        entry.stmNum = p.stmNum;
        if (!xref->SetEntry(entry))
            Raise("Serialize", CPDFException::InternalError, factor::kCallXRefSetEntry);
    }
}

bool CPDFDocWriter::MayCopyInput() const {
    const FileInStream* input = doc_.GetInput();
    return !incremental_ && SameEncryption() && input && input->Descriptor() >= 0;
}

bool CPDFDocWriter::SameEncryption() const {
    // Under the same key (and first ID, which the trailer carries over) an
    // object's encrypted bytes are what writing it again would make of them,
    // but for the IVs of AES, which any IV decrypts the same.
    const detail::DocumentCrypt* in = doc_.GetSecurity();
    const detail::DocumentCrypt* out = outputKey_.get();
    if (!in || !out) return !in && !out;
    return in->r == out->r && in->keyLength == out->keyLength &&
           std::memcmp(in->key, out->key, sizeof in->key) == 0 && in->strings == out->strings &&
           in->streams == out->streams && in->encryptMetadata == out->encryptMetadata;
}

bool CPDFDocWriter::MatchesInput(const CPDFObjRef& ref, const XRefEntry& entry,
                                 const CPDFObject& obj) {
    // Objects made during this session have offset 0 (the header is there).
    if (entry.stmNum || !entry.inUse || entry.genNum != ref.genNum || entry.offset <= 0)
        return false;
    if (const auto noted = loaded_.find(ref.objNum); noted != loaded_.end()) {
        const Noted then = noted->second;
        loaded_.erase(noted);
        // The digest speaks for the bytes it was taken of, nothing else.
        if (then.genNum == ref.genNum && then.offset == entry.offset) {
            const std::optional<uint64_t> now = digest_.Of(&obj);
            return now && *now == then.digest;
        }
    }
    // Read again as the file has it; whatever fails to read is not the same.
    std::unique_ptr<CPDFObject> fresh;
    try {
        fresh = doc_.LoadObj(ref, entry.offset);
    } catch (const std::bad_alloc&) {
        fresh.reset();
    }
    doc_.GetLastError().Clear();
    return fresh && detail::SameValue(&obj, fresh.get());
}

void CPDFDocWriter::NoteLoaded(const CPDFObjRef& ref, int32_t offset, const CPDFObject& obj) {
    // A compact rewrite packs an object unchanged since as its input bytes;
    // no other save looks at the digest of one from an object stream.
    if (!packer_) {
        const XRefEntry* entry = doc_.GetXRef() ? doc_.GetXRef()->GetEntry(ref.objNum) : nullptr;
        if (!MayCopyInput() || (entry && entry->stmNum)) return;
    }
    const std::optional<uint64_t> d = digest_.Of(&obj);
    try {
        if (d)
            loaded_[ref.objNum] = Noted{ref.genNum, offset, *d};
        else
            loaded_.erase(ref.objNum);
    } catch (const std::bad_alloc&) {
        // Without a digest the object is read again when it is written.
    }
}

bool CPDFDocWriter::CarryOnRelease(const CPDFObjRef& ref, const CPDFObject& obj) {
    // An update holds only what this revision changed; anything else stays
    // in the older sections, where it can be read again.
    if (incremental_) {
        const CPDFXRef* working = doc_.GetXRef();
        return working && !working->GetEntry(ref.objNum);
    }
    if (!MayCopyInput() || IsCarried(ref.objNum)) return false;
    const XRefEntry* entry = doc_.GetXRef() ? doc_.GetXRef()->GetEntry(ref.objNum) : nullptr;
    // Only an entry that still names the input's bytes: the table keeps the
    // input's offsets until Finish.
    if (!entry || !MatchesInput(ref, *entry, obj)) return false;
    if (!detail::GrowSlots(carried_, static_cast<size_t>(ref.objNum) + 1)) return false;
    carried_[static_cast<size_t>(ref.objNum)] = true;
    return true;
}

FileInStream* CPDFDocWriter::Scanner() {
    if (!scan_) {
        auto scan = std::make_unique<FileInStream>(kScanBuffer);
        if (!scan->OpenShared(*doc_.GetInput(), kScanBuffer)) return nullptr;
        scan->SetSequential(true);
        scan->SetReadAhead(true);
        scan_ = std::move(scan);
    }
    return scan_.get();
}

bool CPDFDocWriter::CopyVerbatim(const CPDFObjRef& ref, const XRefEntry& entry, int32_t* offset) {
    FileInStream* in = Scanner();
    if (!in) return false;
    // A Length by reference is read the way the stream reader reads it while
    // the document is written; one that cannot be read sends the object the
    // ordinary way, which searches for the data's end.
    auto resolve = [this](const CPDFObjRef& lengthRef) -> std::optional<int32_t> {
        std::unique_ptr<CPDFObject> loaded;
        const CPDFObject* length = nullptr;
        try {
            length = doc_.PeekObj(lengthRef, &loaded);
        } catch (const CPDFException&) {
            length = nullptr;
        } catch (const std::bad_alloc&) {
            length = nullptr;
        }
        doc_.GetLastError().Clear();
        return CPDFStream::DeclaredLength(length);
    };
    if (runBegin_ >= 0 && (entry.offset < runEnd_ || entry.offset - runEnd_ > kMaxRunGap)) EndRun();
    // What the run has not written yet stays buffered while the object is
    // read, and so does the gap.
    in->KeepFrom(runBegin_ >= 0 ? runWritten_ : entry.offset);
    detail::ObjectExtent extent;
    if (doc_.KnownExtent(ref, entry.offset, &extent)) {
        // Its words were read already (a page tree leaf at open): reading
        // through it only brings its bytes into the buffer for the copy.
        if (in->Seek(extent.begin) != 0 || in->Seek(extent.end) != 0) return false;
    } else if (!detail::ScanObjectExtent(*in, entry.offset, ref, resolve, &extent)) {
        return false;
    }

    // The object joins the run when only a little white space lies between.
    bool joins = runBegin_ >= 0;
    if (joins && extent.begin > runEnd_) {
        char gap[kMaxRunGap];
        const int n = extent.begin - runEnd_;
        const char* bytes = in->Buffered(runEnd_, n);
        if (!bytes && in->Seek(runEnd_) == 0 && in->Read(gap, n) == n) bytes = gap;
        joins = bytes && std::all_of(bytes, bytes + n, [](char c) {
                    return c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == '\f';
                });
    }
    if (!joins) {
        EndRun();
        runBegin_ = runEnd_ = runWritten_ = extent.begin;
        runOut_ = output_->Tell();
    }
    const long at = runOut_ + (extent.begin - runBegin_);
    // Offsets are 32-bit in the cross-reference table.
    if (runOut_ < 0 || at > INT32_MAX - 1)
        RaiseOnOutput("StoreObj", CPDFException::RuntimeLibraryError, EFBIG);
    runEnd_ = extent.end;
    WritePending(false);
    *offset = static_cast<int32_t>(at);
    return true;
}

void CPDFDocWriter::WriteInput(int from, int to) {
    const int length = to - from;
    if (length <= 0) return;
    if (const char* bytes = scan_->Buffered(from, length)) {
        output_->Write(bytes, length);
        return;
    }
    const long at = scan_->FileOffset(from);
    const long copied = length < kKernelRun
                            ? output_->OutStream::CopyFrom(scan_->Descriptor(), at, length)
                            : output_->CopyFrom(scan_->Descriptor(), at, length);
    if (copied != length) {
        // The input ended early (cut meanwhile), or the output failed.
        if (!output_->Error())
            Raise("StoreObj", CPDFException::RuntimeLibraryError,
                  PathFactor(PathOf(doc_), EIO).c_str());
        RaiseOnOutput("StoreObj", CPDFException::RuntimeLibraryError, output_->SavedErrno());
    }
}

void CPDFDocWriter::WritePending(bool all) {
    const int pending = runEnd_ - runWritten_;
    if (pending <= 0) return;
    const char* bytes = scan_->Buffered(runWritten_, pending);
    if (bytes && (pending >= kDirectWrite ||
                  (pending >= kMinDirectWrite && !scan_->Buffered(runEnd_, kRefillNear)))) {
        output_->WriteDirect(bytes, pending);
    } else if (!bytes || all) {
        // A few bytes at the run's end go through the output's buffer; bytes
        // the reader let go of are read again.
        WriteInput(runWritten_, runEnd_);
    } else {
        return;
    }
    runWritten_ = runEnd_;
}

void CPDFDocWriter::EndRun() {
    if (runBegin_ < 0) return;
    WritePending(true);
    runBegin_ = runEnd_ = runWritten_ = -1;
    runOut_ = -1;
    output_->WriteEol();
}

void CPDFDocWriter::WriteSection(int32_t offset) {
    CPDFXRef* xref = doc_.GetXRef();
    CPDFTrailer* trailer = doc_.GetTrailer();
    trailer->SetStartXRef(offset);
    // An update of a file whose newest section is a stream appends a stream:
    // whoever needed streams to read the file still reads it.
    const bool stream = packer_ || (incremental_ && doc_.SectionCount() > 1 &&
                                    doc_.GetTrailerAt(1)->IsStreamSection());
    if (!stream) {
        xref->Serialize(*output_);
        trailer->Serialize(*output_);
        return;
    }
    int32_t num = 0;
    if (!xref->AddEntry(&num) || !trailer->Set_Size(num + 1))
        Raise("Serialize", CPDFException::InternalError, factor::kCallXRefAddEntry);
    xref->GetEntry(num)->offset = offset;
    CPDFXRefStream::Write(*output_, &doc_, *xref, *trailer, num, offset, packer_ != nullptr);
    trailer->SetStreamSection(true);
    access_.XRefStreams().emplace_back(num, offset);
}

std::string CPDFDocWriter::Finish(bool* reread) {
    const int runtime = CPDFException::RuntimeLibraryError;
    // The writing keeps its own first error, as a public operation would.
    doc_.GetLastError().Clear();
    const bool written = access_.Guard("Serialize", [&] {
        WriteAllObjects();
        return true;
    });
    if (!written) {
        if (target_.IsDirect() && output_ && output_->Error()) {
            // What a device or pipe refuses (full, no reader) is the system's
            // own report, not a fault of the document.
            doc_.GetLastError().Clear();
            RaiseOnOutput("Flush", CPDFException::SystemError, output_->SavedErrno());
        }
        Raise("Flush", CPDFException::InternalError, factor::kCallDocSerialize);
    }

    // Nothing read from an input that changed meanwhile may be put in place.
    access_.CheckInputUnchanged("Flush");
    access_.DropEarlyXRef();
    target_.PrepareCommit(output_->Descriptor());
    output_->Close();
    const int closeErrno = output_->SavedErrno();
    output_.reset();
    if (closeErrno)
        RaiseOnOutput("Flush", target_.IsDirect() ? CPDFException::SystemError : runtime,
                      closeErrno);
    *reread = !target_.IsDirect();
    // The path the document stands for from now on; "" keeps the old one
    // (standard output names no file).
    return target_.Commit();
}

void CPDFDocWriter::RaiseOnOutput(const char* method, int type, int err) const {
    const std::string& path = target_.WritePath();
    Raise(method, type, PathFactor(path.empty() ? "standard output" : path, err).c_str());
}

void CPDFDocWriter::Discard() {
    if (output_) output_->Close();
    output_.reset();
    flushing_ = false;
    target_.Discard();
    outputKey_.reset();
}

}  // namespace corvina
