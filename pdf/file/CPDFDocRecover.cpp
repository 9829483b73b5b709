// Opening a damaged file: bytes before the header, sections that cannot be
// read or lead to the wrong bytes, and the warnings that say what was done.
#include <algorithm>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "pdf/file/CPDFDoc.h"
#include "pdf/file/CPDFXRefRecovery.h"
#include "pdf/io/DecimalText.h"
#include "pdf/io/Limits.h"
#include "pdf/io/MemInStream.h"
#include "pdf/object/CopyAsWritten.h"
#include "pdf/object/Factors.h"
#include "pdf/stream/CPDFStream.h"

namespace corvina {

namespace {

// Where common readers look for a header that does not open the file.
constexpr int kHeaderWindow = 1024;

constexpr char kTooMany[] = "too many warnings: the rest are not listed";

}  // namespace

void CPDFDoc::Warn(const CPDFException& warning) {
    if (warnings_.size() >= kMaxWarnings) return;
    if (warnings_.size() + 1 == kMaxWarnings) {
        warnings_.emplace_back("CPDFDoc", warning.GetMethod(), CPDFException::InvalidFormat,
                               kTooMany);
        return;
    }
    warnings_.push_back(warning);
}

void CPDFDoc::Warn(const char* method, const std::string& text) {
    Warn(CPDFException("CPDFDoc", method, CPDFException::InvalidFormat, text.c_str()));
}

void CPDFDoc::SkipLeadingJunk() {
    char front[kHeaderWindow];
    if (input_->Seek(0) != 0) Raise("Serialize", CPDFException::InvalidFormat, factor::kIoError);
    const int n = input_->Read(front, kHeaderWindow);
    if (input_->Seek(0) != 0) Raise("Serialize", CPDFException::InvalidFormat, factor::kIoError);
    if (n < 5 || std::memcmp(front, "%PDF-", 5) == 0 || std::memcmp(front, "%FDF-", 5) == 0) return;
    int at = -1;
    for (int i = 1; i + 5 <= n && at < 0; ++i)
        if (std::memcmp(front + i, "%PDF-", 5) == 0) at = i;
    // Not a PDF file at all: the header's own reading says so.
    if (at < 0) return;
    auto window = std::make_unique<FileInStream>(kInputBuffer);
    if (!window->Open(filePath_.c_str(), "rb", at, -1, kInputBuffer))
        Raise("Open", CPDFException::RuntimeLibraryError,
              PathFactor(filePath_, window->SavedErrno()).c_str());
    input_->Close();
    input_ = std::move(window);
    headerAt_ = at;
    Warn("Open", FormatFactor("%d bytes before the %%PDF- header ignored", at));
}

std::string CPDFDoc::CheckSections() {
    const CPDFAtom* root = trailers_.empty() ? nullptr : trailers_[0]->Dict().Find("Root");
    if (!root || root->Kind() != CPDFAtom::RefKind) return "the trailer has no /Root";
    const auto* rootRef = static_cast<const CPDFObjRef*>(root);
    const XRefEntry* rootEntry = FindEntry(rootRef->objNum, false);
    if (!rootEntry || !rootEntry->inUse || rootEntry->genNum != rootRef->genNum)
        return FormatFactor("the trailer's /Root %d %d R names no object", rootRef->objNum,
                            rootRef->genNum);
    // Every object in use that the file places at an offset, in the order of
    // the file, so that the check reads the file front to back once.
    struct Placed {
        int32_t offset, objNum, genNum;
    };
    std::vector<Placed> placed;
    for (size_t i = 0; i < xrefs_.size(); ++i) {
        CPDFXRef& xref = *xrefs_[i];
        xref.ForEachRun([&](int32_t start, int32_t count) {
            for (int32_t n = std::max(start, 1); n < start + count; ++n) {
                const XRefEntry* entry = xref.GetEntry(n);
                // Only the entry that counts: the newest section's.
                if (!entry || !entry->inUse || entry->stmNum || FindEntry(n, false) != entry)
                    continue;
                placed.push_back(Placed{entry->offset, n, entry->genNum});
            }
        });
    }
    std::sort(placed.begin(), placed.end(),
              [](const Placed& a, const Placed& b) { return a.offset < b.offset; });
    char num[limits::kTokenSize], gen[limits::kTokenSize], word[limits::kTokenSize];
    for (const Placed& p : placed) {
        const bool there = p.offset >= 0 && input_->Seek(p.offset) == 0 &&
                           input_->ReadToken(num, sizeof num) &&
                           input_->ReadToken(gen, sizeof gen) &&
                           input_->ReadToken(word, sizeof word) && std::strcmp(word, "obj") == 0 &&
                           detail::StartsWithDigit(num) && detail::ParseDecimal(num) == p.objNum &&
                           detail::StartsWithDigit(gen) && detail::ParseDecimal(gen) == p.genNum;
        if (!there)
            return FormatFactor("object %d %d is not at offset %d", p.objNum, p.genNum, p.offset);
    }
    return std::string();
}

void CPDFDoc::Recover(const std::string& why) {
    bodies_.clear();
    xrefs_.clear();
    trailers_.clear();
    xrefStreams_.clear();
    objStms_.Clear();
    extents_.clear();
    lastError_.Clear();

    CPDFXRefRecovery found;
    found.Scan(*input_);
    auto xref = std::make_unique<CPDFXRef>();
    auto body = std::make_unique<CPDFBody>();
    if (!found.Fill(*xref) || !body->Resize(xref->Size()))
        Raise("Serialize", CPDFException::InternalError, factor::kCallXRefSetEntry);
    bodies_.push_back(std::move(body));
    xrefs_.push_back(std::move(xref));
    trailers_.push_back(std::make_unique<CPDFTrailer>());
    RecoverTrailer(*trailers_[0], found);
    // A trailer lost with an encrypted file's: its encryption dictionary is
    // still found, or every string and stream would be taken as plain.
    CPDFDict& dict = trailers_[0]->Dict();
    if (!dict.Has("Encrypt") && !found.EncryptDicts().empty()) {
        const auto& e = found.EncryptDicts().back();
        if (!dict.Insert("Encrypt", std::make_unique<CPDFObjRef>(e.objNum, e.genNum)))
            Raise("Serialize", CPDFException::InternalError, "CPDFDict::Insert()");
    }
    // An encrypted file needs an ID; one lost with its trailer is made up
    // from what was found (only revisions 2 to 4 take it into their key, and
    // those cannot be opened without it anyway).
    if (dict.Has("Encrypt") && !dict.Has("ID")) {
        char text[96];
        std::snprintf(
            text, sizeof text, "[<%016x%016x> <%016x%016x>]",
            static_cast<unsigned>(input_->Length()), static_cast<unsigned>(found.Objects().size()),
            static_cast<unsigned>(input_->Length()), static_cast<unsigned>(found.Objects().size()));
        MemInStream in(text);
        std::unique_ptr<CPDFObject> id = CPDFObject::SerializeObject(this, in, nullptr);
        if (!id || !dict.Insert("ID", std::move(id)))
            Raise("Serialize", CPDFException::InternalError, "CPDFDict::Insert()");
    }
    if (!trailers_[0]->Set_Size(xrefs_[0]->Size() + 1))
        Raise("Serialize", CPDFException::InternalError, "CPDFTrailer::Set_Size()");

    recovered_ = true;
    recoveredWhy_ = why;
    recoveredObjStms_.clear();
    for (const auto& f : found.ObjStms()) recoveredObjStms_.emplace_back(f.objNum, f.genNum);
    // The cross-reference streams found describe a table now replaced: a
    // whole rewrite frees their numbers as it does those it read.
    for (const auto& f : found.XRefStreams()) xrefStreams_.emplace_back(f.objNum, f.offset);
}

void CPDFDoc::RecoverTrailer(CPDFTrailer& trailer, const CPDFXRefRecovery& found) {
    CPDFDict& out = trailer.Dict();
    // A Root is taken only when it names a dictionary that reads.
    auto loadsAsDict = [this](const CPDFObjRef& ref) {
        const XRefEntry* entry = xrefs_[0]->GetEntry(ref.objNum);
        if (!entry || !entry->inUse || entry->genNum != ref.genNum) return false;
        std::unique_ptr<CPDFObject> obj = LoadObj(ref, entry->offset);
        lastError_.Clear();
        return obj && obj->TypeCode() == CPDFObject::Dictionary;
    };
    auto rootUsable = [&loadsAsDict](const CPDFDict& dict) {
        const CPDFAtom* root = dict.Find("Root");
        return root && root->Kind() == CPDFAtom::RefKind &&
               loadsAsDict(*static_cast<const CPDFObjRef*>(root));
    };
    // The entries a trailer carries over, as written.
    auto adopt = [&out](const CPDFDict& dict) {
        for (const char* key : {"Root", "Info", "Encrypt", "ID"}) {
            const CPDFAtom* atom = dict.Find(key);
            if (!atom) continue;
            std::unique_ptr<CPDFAtom> copy = detail::CopyAsWritten(atom);
            if (!copy || !out.Insert(key, std::move(copy)))
                throw CPDFException("CPDFDoc", "Serialize", CPDFException::InternalError,
                                    "CPDFDict::Insert()");
        }
    };

    // The last "trailer" dictionary of the file.
    if (found.TrailerOffset() >= 0) {
        try {
            if (input_->Seek(found.TrailerOffset()) == 0) {
                input_->SkipWhitespaceAndComments();
                if (input_->Peek() == '<') {
                    CPDFDict dict;
                    dict.Serialize(this, *input_, nullptr);
                    if (rootUsable(dict)) return adopt(dict);
                }
            }
        } catch (const CPDFException&) {
            // Broken: the next source is tried.
        }
    }
    // Else the dictionary of a cross-reference stream, the newest first. Its
    // Root may lie in an object stream, read only once the key is known: a
    // number the file does not define on its own is taken on trust then.
    auto inObjStm = [this, &found](const CPDFDict& dict) {
        const CPDFAtom* root = dict.Find("Root");
        return root && root->Kind() == CPDFAtom::RefKind && !found.ObjStms().empty() &&
               !xrefs_[0]->GetEntry(static_cast<const CPDFObjRef*>(root)->objNum);
    };
    const auto& streams = found.XRefStreams();
    for (auto it = streams.rbegin(); it != streams.rend(); ++it) {
        std::unique_ptr<CPDFObject> obj = LoadObj(CPDFObjRef(it->objNum, it->genNum), it->offset);
        lastError_.Clear();
        if (!obj || !obj->Is(CPDFObject::Stream)) continue;
        const auto& dict = *static_cast<CPDFDict*>(obj.get());
        if (rootUsable(dict) || inObjStm(dict)) return adopt(dict);
    }
    // Else the last catalog found that reads, alone.
    const auto& catalogs = found.Catalogs();
    for (auto it = catalogs.rbegin(); it != catalogs.rend(); ++it) {
        const CPDFObjRef ref(it->objNum, it->genNum);
        if (!loadsAsDict(ref)) continue;
        if (!out.Insert("Root", std::make_unique<CPDFObjRef>(ref)))
            Raise("Serialize", CPDFException::InternalError, "CPDFDict::Insert()");
        return;
    }
    Raise("Serialize", CPDFException::InvalidFormat,
          FormatFactor("damaged file: no document catalog among the %d objects found",
                       static_cast<int>(found.Objects().size()))
              .c_str());
}

void CPDFDoc::FinishRecovery() {
    // Section 1 is the rebuilt one; the working section stands before it.
    CPDFXRef& xref = *xrefs_.back();
    int32_t fromStreams = 0;
    for (const auto& [num, gen] : recoveredObjStms_) {
        std::vector<int32_t> members;
        try {
            members = objStms_.Members(this, num, [this](int32_t n) { return FetchObjStm(n); });
        } catch (const CPDFException& e) {
            Warn("Open", FormatFactor("object stream %d %d skipped: %s", num, gen, e.GetFactor()));
            continue;
        }
        for (size_t i = 0; i < members.size(); ++i) {
            const int32_t m = members[i];
            // An object defined on its own in the file wins; among object
            // streams, the later in the file.
            const XRefEntry* have = xref.GetEntry(m);
            if (have && have->inUse && !have->stmNum) continue;
            if (!have) ++fromStreams;
            const XRefEntry entry{m, 0, static_cast<int32_t>(i), true, num};
            if ((m > xref.Size() && !xref.Resize(m)) || !xref.SetEntry(entry))
                Raise("Open", CPDFException::InternalError, factor::kCallXRefSetEntry);
        }
    }
    lastError_.Clear();
    if (xref.Size() > fullSize_) {
        fullSize_ = xref.Size();
        if (!xrefs_[0]->Resize(fullSize_) || !bodies_[0]->Resize(fullSize_) ||
            !bodies_.back()->Resize(fullSize_))
            Raise("Open", CPDFException::InternalError, factor::kCallXRefCreate);
        for (auto& t : trailers_)
            if (!t->Set_Size(fullSize_ + 1))
                Raise("Open", CPDFException::InternalError, "CPDFTrailer::Set_Size()");
    }
    int32_t total = 0;
    for (int32_t n = 1; n <= xref.Size(); ++n)
        if (const XRefEntry* e = xref.GetEntry(n); e && e->inUse) ++total;
    (void)fromStreams;
    Warn("Open", FormatFactor("cross-reference table rebuilt: %d objects found (%s)", total,
                              recoveredWhy_.c_str()));
}

}  // namespace corvina
