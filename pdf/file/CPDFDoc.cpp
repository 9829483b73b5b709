#include "pdf/file/CPDFDoc.h"

#include <sys/stat.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <new>
#include <set>

#include "pdf/file/CPDFDocStructure.h"
#include "pdf/file/CPDFXRefStream.h"
#include "pdf/file/IndirectValue.h"
#include "pdf/file/ObjectExtent.h"
#include "pdf/file/SecurityHandler.h"
#include "pdf/file/SlotGrowth.h"
#include "pdf/io/DecimalText.h"
#include "pdf/io/FileKind.h"
#include "pdf/io/Limits.h"
#include "pdf/object/CPDFNumber.h"
#include "pdf/object/DepthGuard.h"
#include "pdf/object/Factors.h"
#include "pdf/stream/CPDFStream.h"

namespace corvina {
void CPDFDoc::Keep(const CPDFException& e) {
    if (!lastError_.IsEmpty()) return;
    // Whatever a read met (a short read, a bad token, an offset past the end)
    // comes from the file having been cut or rewritten, when it was: that is
    // the cause to report.
    if (input_ && input_->ChangedSinceOpen()) {
        lastError_.Set(e.GetModule(), e.GetMethod(), CPDFException::UserError,
                       FormatFactor(factor::kInputChanged, filePath_.c_str()).c_str());
        return;
    }
    lastError_ = e;
}

void CPDFDoc::KeepUnknown(const char* method) {
    if (lastError_.IsEmpty())
        lastError_.Set("CPDFDoc", method, CPDFException::InternalError, nullptr);
}

void CPDFDoc::Raise(const char* method, int type, const char* factor) {
    throw CPDFException("CPDFDoc", method, type, factor);
}

// ---------------------------------------------------------------- opening

bool CPDFDoc::Open(CPDFLib* lib, const char* path, const char* password) {
    lastError_.Clear();
    const bool ok = Guarded("Open", false, [&] {
        lib_ = lib;
        filePath_ = path ? path : "";
        input_ = std::make_unique<FileInStream>(kInputBuffer);
        // An empty path would mean standard input, which cannot be searched
        // from its end.
        if (filePath_.empty()) {
            errno = ENOENT;
            Raise("Open", CPDFException::RuntimeLibraryError, nullptr);
        }
        if (!input_->Open(filePath_.c_str(), "rb", 0, -1, kInputBuffer))
            Raise("Open", CPDFException::RuntimeLibraryError,
                  PathFactor(filePath_, input_->SavedErrno()).c_str());
        // Only a regular file can be searched from its end and read again
        // by offset; anything else is refused before a byte is read.
        if (!S_ISREG(input_->FileMode())) {
            const char* kind = detail::FileKindName(input_->FileMode());
            Raise("Open", CPDFException::UserError,
                  FormatFactor("not a regular file (%s): %s", kind, filePath_.c_str()).c_str());
        }
        if (!ReadStructure())
            Raise("Open", CPDFException::InternalError, factor::kCallDocSerialize);

        spare_ = std::make_unique<CPDFXRef>();
        if (!spare_->Create(this, nullptr))
            Raise("Open", CPDFException::InternalError, factor::kCallXRefCreate);

        if (!header_->Realize(this))
            Raise("Open", CPDFException::InternalError, "CPDFHeader::Realize()");
        for (auto& b : bodies_)
            if (!b->Realize(this))
                Raise("Open", CPDFException::InternalError, "CPDFBody::Realize()");
        for (auto& x : xrefs_)
            if (!x->Realize(this))
                Raise("Open", CPDFException::InternalError, "CPDFXRef::Realize()");
        for (auto& t : trailers_)
            if (!t->Realize(this))
                Raise("Open", CPDFException::InternalError, "CPDFTrailer::Realize()");

        CreateWorkingSection("Open");

        // A latest startxref of 0 is the first-page trailer of a linearized file.
        linearized_ = trailers_.size() > 1 && trailers_[1]->StartXRef() == 0;
        if (linearized_) {
            for (size_t i = 1; i < trailers_.size(); ++i) {
                if (trailers_[i]->StartXRef() != 0) {
                    if (!trailers_[0]->Set_Prev(trailers_[i]->StartXRef()))
                        Raise("Open", CPDFException::InternalError, "CPDFTrailer::Set_Prev()");
                    break;
                }
            }
        }

        // Everything read so far (the trailers and what their realization
        // loaded, the encryption dictionary among it) was read plain; from
        // here on objects are read with their keys.
        docKey_ = detail::UnlockDocument(this, trailers_[0]->Get_Encrypt(), trailers_[0]->Get_ID(),
                                         password);
        if (recovered_) FinishRecovery();

        TypeRootObjects();
        if (!IsFDF()) ReadLinearization();
        return true;
    });
    if (!ok) ReleaseAll();
    return ok;
}

bool CPDFDoc::ReadStructure() {
    return Guarded("Serialize", false, [&] {
        SkipLeadingJunk();
        header_ = std::make_unique<CPDFHeader>();
        header_->Serialize(this, *input_);
        // A file whose sections cannot be read, or lead to objects that are
        // not where they say, is read again as every common reader does: by
        // finding its objects. Only a file changed meanwhile is not.
        std::string why;
        try {
            ReadSections();
            why = CheckSections();
        } catch (const CPDFException& e) {
            if (input_->ChangedSinceOpen()) throw;
            why = e.GetFactor();
            if (why.empty()) why = e.GetMethod();
        }
        if (!why.empty()) Recover(why);
        return true;
    });
}

void CPDFDoc::ReadSections() {
    int32_t offset = FindStartXRef();
    std::set<int32_t> seen;
    seen.insert(offset);
    for (;;) {
        auto body = std::make_unique<CPDFBody>();
        auto xref = std::make_unique<CPDFXRef>();
        auto trailer = std::make_unique<CPDFTrailer>();
        // Bodies and tables grow together: an object read meanwhile (an
        // indirect Length) is looked up in the sections read so far.
        ReadSection(offset, *xref, *trailer, seen);
        if (!body->Resize(xref->Size()))
            Raise("Serialize", CPDFException::InternalError, "CPDFBody::Resize()");
        bodies_.push_back(std::move(body));
        xrefs_.push_back(std::move(xref));
        trailers_.push_back(std::move(trailer));
        CPDFNumber* prev = trailers_.back()->Get_Prev();
        if (!prev) break;
        offset = prev->IntValue();
        // A Prev that leads back to a section already read would loop for ever.
        if (!seen.insert(offset).second)
            Raise("Serialize", CPDFException::InvalidFormat,
                  FormatFactor("/Prev %d leads back to a section already read", offset).c_str());
    }
}

void CPDFDoc::ReadSection(int32_t offset, CPDFXRef& xref, CPDFTrailer& trailer,
                          std::set<int32_t>& seen) {
    char word[limits::kTokenSize];
    if (offset < 0 || input_->Seek(offset) != 0 || !input_->ReadToken(word, sizeof word) ||
        (std::strcmp(word, "xref") != 0 && !detail::StartsWithDigit(word)))
        Raise("Serialize", CPDFException::InvalidFormat,
              FormatFactor("no cross-reference table at offset %d", offset).c_str());
    if (input_->Seek(offset) != 0)
        Raise("Serialize", CPDFException::InvalidFormat, factor::kIoError);
    if (word[0] != 'x') {
        CPDFXRefStream stream;
        stream.Serialize(this, *input_, offset, xref, &trailer);
        xrefStreams_.emplace_back(stream.ObjNum(), offset);
        return;
    }
    xref.Serialize(this, *input_);
    trailer.Serialize(this, *input_);
    // A hybrid file: the table's readers see the classic objects, and the
    // stream it names adds what lies in object streams.
    CPDFNumber* hybrid = trailer.Dict().GetAs<CPDFNumber>(this, "XRefStm");
    if (!hybrid) return;
    const int32_t at = hybrid->IntValue();
    if (!seen.insert(at).second)
        Raise("Serialize", CPDFException::InvalidFormat,
              FormatFactor("/XRefStm %d leads back to a section already read", at).c_str());
    if (at < 0 || input_->Seek(at) != 0)
        Raise("Serialize", CPDFException::InvalidFormat,
              FormatFactor("no cross-reference stream at /XRefStm %d", at).c_str());
    CPDFXRef extra;
    CPDFXRefStream stream;
    stream.Serialize(this, *input_, at, extra, nullptr);
    xrefStreams_.emplace_back(stream.ObjNum(), at);
    if (!xref.Complete(extra))
        Raise("Serialize", CPDFException::InternalError, factor::kCallXRefSetEntry);
}

int32_t CPDFDoc::FindStartXRef() {
    static const char kKeyword[] = "startxref";
    // Mail gateways and download tools append bytes after %%EOF; common
    // readers look this far back, and so does this one.
    const int length = input_->Length();
    const int start = length > limits::kStartXRefWindow ? length - limits::kStartXRefWindow : 0;
    if (input_->Seek(start) != 0)
        Raise("Serialize", CPDFException::InvalidFormat, factor::kIoError);
    // The last keyword that starts a line wins: an earlier one belongs to an
    // older section, and appended junk rarely holds a line-initial keyword.
    int found = -1;
    for (;;) {
        const int at = input_->Search(kKeyword, 9);
        if (at < 0) break;
        if (at > 0) {
            char around[10];
            if (input_->Seek(at - 1) != 0 || input_->Read(around, 10) != 10)
                Raise("Serialize", CPDFException::InvalidFormat, factor::kIoError);
            if (around[0] == '\r' || around[0] == '\n') found = at;
        }
        if (input_->Seek(at + 1) != 0)
            Raise("Serialize", CPDFException::InvalidFormat, factor::kIoError);
    }
    if (found < 0) Raise("Serialize", CPDFException::InvalidFormat, "Cannot find startxref");
    char word[limits::kTokenSize];
    if (input_->Seek(found + 9) != 0 || !input_->ReadToken(word, sizeof word))
        Raise("Serialize", CPDFException::InvalidFormat, factor::kIoError);
    const long offset = std::atol(word);
    if (offset < 0 || offset >= length)
        Raise("Serialize", CPDFException::InvalidFormat,
              FormatFactor("no cross-reference table at offset %ld", offset).c_str());
    return static_cast<int32_t>(offset);
}

void CPDFDoc::CreateWorkingSection(const char* method) {
    CPDFBody* latestBody = bodies_.front().get();
    CPDFXRef* latestXRef = xrefs_.front().get();
    CPDFTrailer* latestTrailer = trailers_.front().get();

    auto body = std::make_unique<CPDFBody>();
    if (!body->Create(this, latestBody))
        Raise(method, CPDFException::InternalError, "CPDFBody::Create()");
    auto xref = std::make_unique<CPDFXRef>();
    if (!xref->Create(this, latestXRef))
        Raise(method, CPDFException::InternalError, factor::kCallXRefCreate);

    // New numbers must stay clear of objects that only older sections hold:
    // they start past the largest table read. The trailer's Size is not
    // trusted for this; no object can lie beyond every table.
    for (auto& x : xrefs_) fullSize_ = std::max(fullSize_, x->Size());
    if (!xref->Resize(fullSize_) || !body->Resize(xref->Size()))
        Raise(method, CPDFException::InternalError, factor::kCallXRefCreate);

    auto trailer = std::make_unique<CPDFTrailer>();
    bodies_.insert(bodies_.begin(), std::move(body));
    xrefs_.insert(xrefs_.begin(), std::move(xref));
    if (!trailer->Create(this, latestTrailer))
        Raise(method, CPDFException::InternalError, "CPDFTrailer::Create()");
    trailers_.insert(trailers_.begin(), std::move(trailer));
}

void CPDFDoc::TypeRootObjects() {
    DocStructure().TypeRootObjects(*this);
}

// ---------------------------------------------------------------- object access

CPDFObject* CPDFDoc::GetObj(const CPDFObjRef& ref) {
    lastError_.Clear();
    return Guarded("GetObj", static_cast<CPDFObject*>(nullptr), [&] { return GetObjInner(ref); });
}

CPDFObject* CPDFDoc::GetObjInner(const CPDFObjRef& ref) {
    if (!ref.IsSet()) Raise("GetObj", CPDFException::UserError, factor::kRefNotDefined);
    for (size_t i = 0; i < bodies_.size(); ++i) {
        CPDFBody* body = bodies_[i].get();
        if (CPDFObject* obj = body->GetObj(ref)) return obj;
        // Written and released during this save.
        if (spare_ && spare_->GetEntry(ref.objNum)) return nullptr;
        if (IsCarried(ref.objNum)) return nullptr;
        XRefEntry* entry = xrefs_[i]->GetEntry(ref.objNum);
        if (!entry) continue;
        // A newer section that frees the number hides what older ones held.
        if (!entry->inUse) return nullptr;
        // The number holds another generation: the reference names nothing
        // (and an object kept under it would be one the save never writes).
        if (entry->genNum != ref.genNum) return nullptr;
        auto loaded = LoadEntry(ref, *entry);
        if (!loaded) Raise("GetObj", CPDFException::InternalError, factor::kCallDocLoadObj);
        CPDFObject* raw = loaded.get();
        if (writer_) NoteLoaded(ref, entry->offset, *raw);
        if (ref.objNum > body->Size() && !body->Resize(ref.objNum))
            Raise("GetObj", CPDFException::InternalError, factor::kCallBodySetObj);
        if (!body->SetObj(ref, std::move(loaded)))
            Raise("GetObj", CPDFException::InternalError, factor::kCallBodySetObj);
        return raw;
    }
    return nullptr;
}

std::unique_ptr<CPDFObject> CPDFDoc::LoadObj(const CPDFObjRef& ref, int32_t offset) {
    lastError_.Clear();
    return Guarded("LoadObj", std::unique_ptr<CPDFObject>(), [&] {
        if (!ref.IsSet()) Raise("LoadObj", CPDFException::UserError, factor::kRefNotDefined);
        // Loads nest only through an indirect stream Length; a deeper chain
        // is a loop.
        detail::DepthGuard guard(loadDepth_, limits::kMaxLoadDepth);
        if (guard.Exceeded())
            Raise("LoadObj", CPDFException::InvalidFormat,
                  FormatFactor(factor::kInvalidObjRef, ref.objNum, ref.genNum).c_str());

        if (!input_ || offset < 0 || input_->Seek(offset) != 0)
            Raise("LoadObj", CPDFException::InvalidFormat, factor::kIoError);
        char num[limits::kTokenSize], gen[limits::kTokenSize], word[limits::kTokenSize];
        if (!input_->ReadToken(num, sizeof num) || !input_->ReadToken(gen, sizeof gen) ||
            !input_->ReadToken(word, sizeof word))
            Raise("LoadObj", CPDFException::InvalidFormat, factor::kIoError);
        if (std::strcmp(word, "obj") != 0)
            Raise("LoadObj", CPDFException::InvalidFormat,
                  FormatFactor(factor::kInvalidToken, word).c_str());
        auto number = [](const char* word) {
            return detail::StartsWithDigit(word) ? detail::ParseDecimal(word) : std::atol(word);
        };
        const long n = number(num), g = number(gen);
        if (n != ref.objNum || g != ref.genNum)
            Raise("LoadObj", CPDFException::InvalidFormat,
                  FormatFactor(factor::kInvalidObjRef, static_cast<int>(n), static_cast<int>(g))
                      .c_str());
        // An object kept in an object stream has no key of its own: the
        // stream holding it is what is encrypted.
        detail::ObjectCrypt keyBuf;
        std::unique_ptr<CPDFObject> obj =
            detail::ReadIndirectValue(this, *input_, ObjectKey(ref, &keyBuf));
        if (!obj) {
            if (!input_->ReadToken(word, sizeof word))
                Raise("LoadObj", CPDFException::InvalidFormat, factor::kIoError);
            Raise("LoadObj", CPDFException::InvalidFormat,
                  FormatFactor(factor::kInvalidToken, word).c_str());
        }
        if (!input_->ReadToken(word, sizeof word))
            Raise("LoadObj", CPDFException::InvalidFormat, factor::kIoError);
        if (std::strcmp(word, "endobj") != 0)
            Raise("LoadObj", CPDFException::InvalidFormat,
                  FormatFactor(factor::kInvalidToken, word).c_str());
        // The data was found by its "endstream" instead: worth a word, as
        // the output will carry the Length measured.
        if (obj->Is(CPDFObject::Stream) &&
            static_cast<CPDFStream*>(obj.get())->RepairedLength() >= 0)
            Warn("LoadObj", FormatFactor("object %d %d: wrong /Length, the data runs to its "
                                         "endstream (%d bytes)",
                                         ref.objNum, ref.genNum,
                                         static_cast<CPDFStream*>(obj.get())->RepairedLength()));
        return obj;
    });
}

std::unique_ptr<CPDFObject> CPDFDoc::LoadEntry(const CPDFObjRef& ref, const XRefEntry& entry) {
    if (!entry.stmNum) return LoadObj(ref, entry.offset);
    lastError_.Clear();
    return Guarded("LoadObj", std::unique_ptr<CPDFObject>(), [&] {
        // Objects of object streams have generation 0.
        if (ref.genNum != 0)
            Raise("LoadObj", CPDFException::InvalidFormat,
                  FormatFactor(factor::kInvalidObjRef, ref.objNum, ref.genNum).c_str());
        // The stream's own read may come back here (an indirect Length).
        detail::DepthGuard guard(loadDepth_, limits::kMaxLoadDepth);
        if (guard.Exceeded())
            Raise("LoadObj", CPDFException::InvalidFormat,
                  FormatFactor(factor::kInvalidObjRef, ref.objNum, ref.genNum).c_str());
        const int32_t objNum = ref.objNum;
        return objStms_.Load(this, objNum, entry.stmNum, entry.offset,
                             [this](int32_t num) { return FetchObjStm(num); });
    });
}

const char* CPDFDoc::PackedBytes(const CPDFObjRef& ref, const XRefEntry& entry, int32_t* length) {
    if (!entry.stmNum || ref.genNum != 0) return nullptr;
    detail::DepthGuard guard(loadDepth_, limits::kMaxLoadDepth);
    if (guard.Exceeded()) return nullptr;
    int32_t index = entry.offset;
    try {
        return objStms_.Locate(
            this, ref.objNum, entry.stmNum, &index,
            [this](int32_t num) { return FetchObjStm(num); }, length);
    } catch (const CPDFException&) {
    } catch (const std::bad_alloc&) {
    }
    lastError_.Clear();
    return nullptr;
}

std::unique_ptr<CPDFObject> CPDFDoc::FetchObjStm(int32_t num) {
    const XRefEntry* entry = FindEntry(num, false);
    if (!entry || !entry->inUse)
        Raise("LoadObj", CPDFException::InvalidFormat,
              FormatFactor("object stream %d is not in use", num).c_str());
    if (entry->stmNum)
        Raise("LoadObj", CPDFException::InvalidFormat,
              FormatFactor("object stream %d lies inside object stream %d", num, entry->stmNum)
                  .c_str());
    // The normal load of an indirect object: an encrypted file's object
    // stream is decrypted here, and its objects are not decrypted again.
    std::unique_ptr<CPDFObject> obj = LoadObj(CPDFObjRef(num, entry->genNum), entry->offset);
    if (!obj) Raise("LoadObj", CPDFException::InternalError, factor::kCallDocLoadObj);
    return obj;
}

CPDFObject* CPDFDoc::FindObj(const CPDFObjRef& ref, bool skipNewest, CPDFBody** body) {
    if (body) *body = nullptr;
    for (size_t i = skipNewest ? 1 : 0; i < bodies_.size(); ++i) {
        if (CPDFObject* obj = bodies_[i]->GetObj(ref)) {
            if (body) *body = bodies_[i].get();
            return obj;
        }
    }
    return nullptr;
}

XRefEntry* CPDFDoc::FindEntry(int32_t objNum, bool skipNewest, CPDFXRef** xref) {
    if (xref) *xref = nullptr;
    for (size_t i = skipNewest ? 1 : 0; i < xrefs_.size(); ++i) {
        if (XRefEntry* entry = xrefs_[i]->GetEntry(objNum)) {
            if (xref) *xref = xrefs_[i].get();
            return entry;
        }
    }
    return nullptr;
}

bool CPDFDoc::RegistObj(std::unique_ptr<CPDFObject> obj, CPDFObjRef* ref) {
    lastError_.Clear();
    return Guarded("RegistObj", false, [&] {
        CPDFBody* body = GetBody();
        CPDFXRef* xref = GetXRef();
        CPDFTrailer* trailer = GetTrailer();
        if (!body) Raise("RegistObj", CPDFException::InternalError, factor::kCallDocGetBody);
        if (!xref) Raise("RegistObj", CPDFException::InternalError, factor::kCallDocGetXRef);
        if (!trailer) Raise("RegistObj", CPDFException::InternalError, factor::kCallDocGetTrailer);
        if (!obj) Raise("RegistObj", CPDFException::InternalError, nullptr);

        if (ref && ref->IsSet()) {
            CPDFBody* holder = nullptr;
            if (!FindObj(*ref, false, &holder))
                Raise("RegistObj", CPDFException::InternalError, factor::kCallDocFindObj);
            if (!holder->SetObj(*ref, std::move(obj)))
                Raise("RegistObj", CPDFException::InternalError, factor::kCallBodySetObj);
            return true;
        }

        CPDFObjRef fresh;
        if (IsFDF()) {
            if (!body->AddObj(std::move(obj), &fresh))
                Raise("RegistObj", CPDFException::InternalError, factor::kCallBodyAddObj);
            int32_t num = 0;
            if (!xref->AddEntry(&num))
                Raise("RegistObj", CPDFException::InternalError, factor::kCallXRefAddEntry);
        } else {
            // Reuse a free number, but never one the file marked as not for
            // reuse (generation 65535) or a head that leads nowhere.
            const XRefEntry* head = xref->GetEntry(xref->FreeHead());
            if (head && !head->inUse && head->genNum < 65535) {
                XRefEntry* entry = xref->TakeFreeHead();
                if (!entry)
                    Raise("RegistObj", CPDFException::InternalError, "CPDFXRef::GetEntry()");
                fresh = CPDFObjRef(entry->objNum, entry->genNum);
                if (fresh.objNum > body->Size() && !body->Resize(fresh.objNum))
                    Raise("RegistObj", CPDFException::InternalError, factor::kCallBodySetObj);
                if (!body->SetObj(fresh, std::move(obj)))
                    Raise("RegistObj", CPDFException::InternalError, factor::kCallBodySetObj);
            } else {
                if (!trailer->Get_Size())
                    Raise("RegistObj", CPDFException::InternalError, "CPDFTrailer::Get_Size()");
                int32_t num = 0;
                if (!xref->AddEntry(&num))
                    Raise("RegistObj", CPDFException::InternalError, factor::kCallXRefAddEntry);
                fresh = CPDFObjRef(num, 0);
                if (!body->Resize(num) || !body->SetObj(fresh, std::move(obj)))
                    Raise("RegistObj", CPDFException::InternalError, factor::kCallBodyAddObj);
                if (!trailer->Set_Size(num + 1))
                    Raise("RegistObj", CPDFException::InternalError, "CPDFTrailer::Set_Size()");
            }
        }
        if (ref) *ref = fresh;
        return true;
    });
}

bool CPDFDoc::UpdateObj(const CPDFObjRef& ref) {
    lastError_.Clear();
    return Guarded("UpdateObj", false, [&] {
        const int user = CPDFException::UserError;
        if (!ref.IsSet()) Raise("UpdateObj", user, factor::kRefNotDefined);
        CPDFBody* body = GetBody();
        CPDFXRef* xref = GetXRef();
        if (!body) Raise("UpdateObj", user, factor::kCallDocGetBody);
        if (!xref) Raise("UpdateObj", user, factor::kCallDocGetXRef);
        if (!body->GetObj(ref)) {
            CPDFBody* holder = nullptr;
            if (!FindObj(ref, true, &holder)) Raise("UpdateObj", user, factor::kCallDocFindObj);
            if (ref.objNum > body->Size() && !body->Resize(ref.objNum))
                Raise("UpdateObj", user, factor::kCallBodySetObj);
            if (!body->SetObj(ref, holder->TakeObj(ref)))
                Raise("UpdateObj", user, factor::kCallBodySetObj);
        }
        if (!xref->GetEntry(ref.objNum)) {
            XRefEntry* older = FindEntry(ref.objNum, true);
            if (!older) Raise("UpdateObj", user, "CPDFDoc::FindEntry()");
            XRefEntry entry{older->objNum, older->genNum, 0, true};
            if ((entry.objNum > xref->Size() && !xref->Resize(entry.objNum)) ||
                !xref->SetEntry(entry))
                Raise("UpdateObj", user, factor::kCallXRefSetEntry);
        } else if (!xref->UpdateEntry(ref.objNum)) {
            Raise("UpdateObj", user, "CPDFXRef::UpdateEntry()");
        }
        return true;
    });
}

void CPDFDoc::RemoveObj(const CPDFObjRef& ref) {
    if (!ref.IsSet()) return;
    for (auto& body : bodies_) body->RemoveObj(ref);
    CPDFXRef* xref = GetXRef();
    if (!xref) return;
    if (xref->GetEntry(ref.objNum)) {
        xref->FreeEntry(ref.objNum);
        return;
    }
    XRefEntry* older = FindEntry(ref.objNum, true);
    if (!older || !older->inUse) return;
    XRefEntry copy = *older;
    if (copy.objNum > xref->Size() && !xref->Resize(copy.objNum)) return;
    if (xref->SetEntry(copy)) xref->FreeEntry(ref.objNum);
}

bool CPDFDoc::ReleaseObj(const CPDFObjRef& ref, bool force) {
    lastError_.Clear();
    return Guarded("ReleaseObj", false, [&] {
        CPDFBody* holder = nullptr;
        CPDFObject* obj = FindObj(ref, false, &holder);
        if (!obj) return true;
        if (!force && !obj->IsReleasable()) return true;
        // Releasing walks the references of what it frees; past this depth the
        // rest stays loaded and is written by Flush as usual.
        detail::DepthGuard guard(releaseDepth_, limits::kMaxReleaseDepth);
        if (guard.Exceeded()) return true;
        // Unchanged, it is carried over from the input with its neighbours
        // when the save finishes instead of being written here.
        if (writer_ && !CarryOnRelease(ref, *obj)) {
            const int32_t offset = StoreObj(ref, obj);
            if (offset < 0)
                Raise("ReleaseObj", CPDFException::InternalError, factor::kCallDocStoreObj);
            XRefEntry entry{ref.objNum, ref.genNum, offset, true};
            if ((ref.objNum > spare_->Size() && !spare_->Resize(ref.objNum)) ||
                !spare_->SetEntry(entry))
                Raise("ReleaseObj", CPDFException::InternalError, factor::kCallXRefSetEntry);
        }
        std::unique_ptr<CPDFObject> taken = holder->TakeObj(ref);
        if (taken && !taken->Release(this))
            Raise("ReleaseObj", CPDFException::InternalError, "CPDFObject::Release()");
        return true;
    });
}

void CPDFDoc::UnloadObj(const CPDFObjRef& ref) {
    // The working section holds what this revision changed; it stays.
    for (size_t i = 1; i < bodies_.size(); ++i) {
        CPDFObject* obj = bodies_[i]->GetObj(ref);
        if (obj && obj->IsParsed()) bodies_[i]->RemoveObj(ref);
    }
}

CryptKey CPDFDoc::KeyFor(const detail::DocumentCrypt* key, const CPDFObjRef& ref,
                         detail::ObjectCrypt* buf) const {
    // The encryption dictionary is read and written plain under any key.
    if (!key || IsEncryptRef(ref)) return nullptr;
    detail::ObjectCryptFor(*key, ref, buf);
    return buf;
}

bool CPDFDoc::MayModify() const {
    return !docKey_ || docKey_->owner || (docKey_->permissions & 8) != 0;
}

bool CPDFDoc::IsEncryptRef(const CPDFObjRef& ref) const {
    for (const auto& trailer : trailers_) {
        const CPDFAtom* atom = trailer->Dict().Find("Encrypt");
        if (atom && atom->Kind() == CPDFAtom::RefKind &&
            *static_cast<const CPDFObjRef*>(atom) == ref)
            return true;
    }
    return false;
}

CryptKey CPDFDoc::ObjectKey(const CPDFObjRef& ref, detail::ObjectCrypt* buf) const {
    return KeyFor(docKey_.get(), ref, buf);
}

// ---------------------------------------------------------------- pages

CPDFObject* CPDFDoc::PeekObj(const CPDFObjRef& ref, std::unique_ptr<CPDFObject>* loaded) {
    if (CPDFObject* obj = FindObj(ref, false)) return obj;
    const XRefEntry* entry = FindEntry(ref.objNum, false);
    if (entry && entry->inUse && entry->genNum == ref.genNum) *loaded = LoadEntry(ref, *entry);
    return loaded->get();
}

std::optional<std::string> CPDFDoc::PeekType(const CPDFObjRef& ref) {
    if (!ref.IsSet() || !input_ || FindObj(ref, false)) return std::nullopt;
    if (IsCarried(ref.objNum) || (spare_ && spare_->GetEntry(ref.objNum))) return std::nullopt;
    const XRefEntry* entry = FindEntry(ref.objNum, false);
    if (!entry || !entry->inUse || entry->stmNum || entry->genNum != ref.genNum ||
        entry->offset <= 0)
        return std::nullopt;
    detail::ObjectExtent extent;
    try {
        // A Length by reference is not followed: such an object is loaded.
        if (!detail::ScanObjectExtent(*input_, entry->offset, ref, nullptr, &extent))
            return std::nullopt;
        if (!detail::GrowSlots(extents_, static_cast<size_t>(ref.objNum) + 1)) return std::nullopt;
        extents_[static_cast<size_t>(ref.objNum)] = Span{extent.begin, extent.end};
    } catch (const std::bad_alloc&) {
        return std::nullopt;
    }
    return extent.type;
}

std::unique_ptr<CPDFDict> CPDFDoc::StreamDict(
    const CPDFObjRef& ref, const char* key,
    const std::function<bool(std::unique_ptr<CPDFAtom>)>& fn, bool* failed) {
    *failed = false;
    // Only an object as the file has it, at an offset of its own: what is
    // loaded, written or changed already is the caller's to load.
    if (!ref.IsSet() || !input_ || FindObj(ref, false)) return nullptr;
    if (IsCarried(ref.objNum) || (spare_ && spare_->GetEntry(ref.objNum))) return nullptr;
    const XRefEntry* entry = FindEntry(ref.objNum, false);
    if (!entry || !entry->inUse || entry->stmNum || entry->genNum != ref.genNum ||
        entry->offset <= 0)
        return nullptr;
    lastError_.Clear();
    std::unique_ptr<CPDFDict> out;
    const bool ok = Guarded("StreamDict", false, [&] {
        if (input_->Seek(entry->offset) != 0)
            Raise("StreamDict", CPDFException::InvalidFormat, factor::kIoError);
        char num[limits::kTokenSize], gen[limits::kTokenSize], word[limits::kTokenSize];
        if (!input_->ReadToken(num, sizeof num) || !input_->ReadToken(gen, sizeof gen) ||
            !input_->ReadToken(word, sizeof word) || std::strcmp(word, "obj") != 0 ||
            !detail::StartsWithDigit(num) || detail::ParseDecimal(num) != ref.objNum ||
            !detail::StartsWithDigit(gen) || detail::ParseDecimal(gen) != ref.genNum)
            return true;  // not where the table says: the usual load reports it
        input_->SkipWhitespaceAndComments();
        const int first = input_->Get();
        const int second = input_->Get();
        if (second >= 0) input_->Back(1);
        if (first >= 0) input_->Back(1);
        if (first != '<' || second != '<') return true;
        detail::ObjectCrypt keyBuf;
        auto dict = std::make_unique<CPDFDict>();
        dict->Serialize(this, *input_, ObjectKey(ref, &keyBuf), key, fn);
        out = std::move(dict);
        return true;
    });
    if (!ok) *failed = true;
    return out;
}

bool CPDFDoc::KnownExtent(const CPDFObjRef& ref, int32_t offset,
                          detail::ObjectExtent* extent) const {
    if (ref.objNum < 0 || static_cast<size_t>(ref.objNum) >= extents_.size()) return false;
    const Span& known = extents_[static_cast<size_t>(ref.objNum)];
    if (known.begin != offset || known.end <= known.begin) return false;
    extent->begin = known.begin;
    extent->end = known.end;
    extent->type.reset();
    return true;
}

bool CPDFDoc::IsFDF() const {
    return header_ && header_->IsFDF();
}

CPDFCatalog* CPDFDoc::GetCatalog(CPDFObjRef* ref) {
    CPDFTrailer* trailer = GetTrailer();
    return trailer ? trailer->Get_Root(ref) : nullptr;
}

CPDFPage* CPDFDoc::GetPage(int32_t index, CPDFObjRef* ref) {
    lastError_.Clear();
    return Guarded("GetPage", static_cast<CPDFPage*>(nullptr),
                   [&] { return DocStructure().GetPage(*this, index, ref); });
}

int32_t CPDFDoc::GetPageCount() {
    lastError_.Clear();
    return Guarded("GetPageCount", -1, [&] { return DocStructure().GetPageCount(*this); });
}

bool CPDFDoc::DeletePage(int32_t position, int32_t count) {
    lastError_.Clear();
    return Guarded("DeletePage", false, [&] {
        DocStructure().DeletePage(*this, position, count);
        return true;
    });
}

// ---------------------------------------------------------------- closing

void CPDFDoc::Close() {
    lastError_.Clear();
    ReleaseAll();
}

void CPDFDoc::ReleaseAll() {
    // Objects first: they may still refer to the input while being destroyed.
    bodies_.clear();
    xrefs_.clear();
    trailers_.clear();
    header_.reset();
    filePath_.clear();
    if (input_) input_->Close();
    input_.reset();
    linearized_ = false;
    ReleaseLinearization();
    docKey_.reset();
    spare_.reset();
    releasedLost_ = false;
    DiscardSave();
    fullSize_ = 0;
    objStms_.Clear();
    extents_.clear();
    xrefStreams_.clear();
    warnings_.clear();
    recovered_ = false;
    headerAt_ = 0;
    recoveredWhy_.clear();
    recoveredObjStms_.clear();
}

}  // namespace corvina
