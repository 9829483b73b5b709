// Saving: the document's public save operations around its CPDFDocWriter,
// and what the document itself does once the output is in place.
#include <memory>

#include "pdf/file/CPDFDoc.h"

#include "pdf/file/CPDFDocStructure.h"
#include "pdf/file/CPDFDocWriter.h"
#include "pdf/object/Factors.h"
#include "pdf/stream/CPDFStream.h"

namespace corvina {

// Here rather than with the rest of the document: making and destroying the
// running save need the writer's complete type.
CPDFDoc::CPDFDoc() = default;

CPDFDoc::~CPDFDoc() {
    ReleaseAll();
}

bool CPDFDoc::IsCarried(int32_t objNum) const {
    return writer_ && writer_->IsCarried(objNum);
}

void CPDFDoc::NoteLoaded(const CPDFObjRef& ref, int32_t offset, const CPDFObject& obj) {
    if (writer_) writer_->NoteLoaded(ref, offset, obj);
}

bool CPDFDoc::CarryOnRelease(const CPDFObjRef& ref, const CPDFObject& obj) {
    return writer_ && writer_->CarryOnRelease(ref, obj);
}

bool CPDFDoc::IsFlushing() const {
    return writer_ && writer_->IsFlushing();
}

bool CPDFDoc::Save(const char* path, bool incremental, bool linearize) {
    return BeginSave(path, incremental, linearize, false);
}

bool CPDFDoc::SaveUpdate(const char* path) {
    return BeginSave(path, true, false, true);
}

bool CPDFDoc::BeginSave(const char* path, bool incremental, bool linearize, bool anyPath) {
    lastError_.Clear();
    const bool ok = Guarded("Save", false, [&] {
        const int internal = CPDFException::InternalError;
        if (!GetBody()) Raise("Save", internal, factor::kCallDocGetBody);
        if (!GetXRef()) Raise("Save", internal, factor::kCallDocGetXRef);
        if (!GetTrailer()) Raise("Save", internal, factor::kCallDocGetTrailer);
        CheckInputUnchanged("Save");
        if (inputLost_)
            Raise("Save", CPDFException::UserError,
                  FormatFactor("nothing to read the document from after writing it into %s",
                               filePath_.c_str())
                      .c_str());
        if (incremental && (recovered_ || headerAt_ > 0))
            Raise("Save", CPDFException::UserError,
                  "the file was repaired when it was read: save it whole, not as an update");
        // A second Save replaces the first one's output.
        DiscardSave();
        if (releasedLost_)
            Raise("Save", CPDFException::UserError,
                  "objects released during an abandoned save were written only into its output");
        writer_ = std::make_unique<CPDFDocWriter>(*this, static_cast<DocSaveAccess&>(*this));
        writer_->Begin(path, incremental, linearize, anyPath);
        return true;
    });
    if (!ok) DiscardSave();
    return ok;
}

int32_t CPDFDoc::StoreObj(const CPDFObjRef& ref, CPDFObject* obj) {
    lastError_.Clear();
    return Guarded("StoreObj", -1, [&] {
        if (!ref.IsSet()) Raise("StoreObj", CPDFException::UserError, factor::kRefNotDefined);
        if (!writer_ || !obj) Raise("StoreObj", CPDFException::InternalError, nullptr);
        return writer_->StoreObj(ref, obj);
    });
}

bool CPDFDoc::SetDocInfo() {
    lastError_.Clear();
    return Guarded("SetDocInfo", false, [&] { return DocStructure().StampInfo(*this); });
}

bool CPDFDoc::Flush() {
    lastError_.Clear();
    const bool ok = Guarded("Flush", false, [&] {
        if (!writer_) Raise("Flush", CPDFException::UserError, factor::kSaveNotCalled);
        CheckInputUnchanged("Flush");
        writer_->SetFlushing();
        if (!IsFDF() && !SetDocInfo())
            Raise("Flush", CPDFException::InternalError, "CPDFDoc::SetDocInfo()");
        bool reread = false;
        const std::string now = writer_->Finish(&reread);
        if (!now.empty()) filePath_ = now;
        // An append keeps every old offset; a whole file moves the data.
        RebaseStreams(reread, writer_->IsIncremental());
        if (input_ && !reread) inputLost_ = true;
        if (input_) input_->Close();
        input_.reset();
        // What was decoded came from the file just replaced or extended.
        objStms_.Clear();
        extents_.clear();
        docKey_ = writer_->TakeOutputKey();
        const bool linearize = writer_->IsLinearizing();
        writer_.reset();

        if (reread) {
            // The file written is sound, whatever the input was.
            recovered_ = false;
            headerAt_ = 0;
            input_ = std::make_unique<FileInStream>(kInputBuffer);
            if (!input_->Open(filePath_.c_str(), "rb", 0, -1, kInputBuffer))
                Raise("Flush", CPDFException::RuntimeLibraryError,
                      PathFactor(filePath_, input_->SavedErrno()).c_str());
        }
        // What the input's front said no longer describes the file written.
        ReleaseLinearization();
        linearized_ = false;
        // The regrouping is held in memory only; the file is written plain.
        if (linearize && !Linearize())
            Raise("Flush", CPDFException::InternalError, "CPDFDoc::Linearize()");
        spare_ = std::make_unique<CPDFXRef>();
        if (!spare_->Create(this, nullptr))
            Raise("Flush", CPDFException::InternalError, factor::kCallXRefCreate);
        CreateWorkingSection("Flush");
        return true;
    });
    if (!ok) DiscardSave();
    return ok;
}

// Objects not yet read, and deferred stream data, are found at offsets into
// the input as it was opened; a file rewritten in place since would give
// other bytes. Replacing it by a rename is harmless: the open file stays.
void CPDFDoc::CheckInputUnchanged(const char* method) {
    if (input_ && input_->ChangedSinceOpen())
        Raise(method, CPDFException::UserError,
              FormatFactor(factor::kInputChanged, filePath_.c_str()).c_str());
}

void CPDFDoc::RebaseStreams(bool readsOutput, bool offsetsKept) {
    for (const auto& body : bodies_) {
        for (int32_t n = 1; n <= body->Size(); ++n) {
            auto* stream = dynamic_cast<CPDFStream*>(body->SlotObj(n, nullptr));
            if (stream && !stream->AfterSave(readsOutput, offsetsKept))
                Raise("Flush", CPDFException::InternalError, "CPDFStream::AfterSave()");
        }
    }
}

void CPDFDoc::DiscardSave() {
    // What ReleaseObj wrote early went with that output, and is no longer in
    // memory either: no later save could be complete.
    if (writer_ && spare_ && spare_->Size() > 0) releasedLost_ = true;
    writer_.reset();
}

}  // namespace corvina
