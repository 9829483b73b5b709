// Saving: the document's public save operations around its CPDFDocWriter,
// and what the document itself does once the output is in place.
#include <memory>

#include "pdf/file/CPDFDoc.h"
#include "pdf/file/CPDFDocStructure.h"
#include "pdf/file/CPDFDocWriter.h"
#include "pdf/object/Factors.h"

namespace corvina {

// Here rather than with the rest of the document: making and destroying the
// running save need the writer's complete type.
CPDFDoc::CPDFDoc() = default;

CPDFDoc::~CPDFDoc() {
    ReleaseAll();
}

bool CPDFDoc::IsFlushing() const {
    return writer_ && writer_->IsFlushing();
}

bool CPDFDoc::Save(const char* path, bool incremental, bool linearize) {
    lastError_.Clear();
    const bool ok = Guarded("Save", false, [&] {
        const int internal = CPDFException::InternalError;
        if (!GetBody()) Raise("Save", internal, factor::kCallDocGetBody);
        if (!GetXRef()) Raise("Save", internal, factor::kCallDocGetXRef);
        if (!GetTrailer()) Raise("Save", internal, factor::kCallDocGetTrailer);
        // A second Save replaces the first one's output.
        DiscardSave();
        writer_ = std::make_unique<CPDFDocWriter>(*this);
        writer_->Begin(path, incremental, linearize);
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
        writer_->SetFlushing();
        if (!IsFDF() && !SetDocInfo())
            Raise("Flush", CPDFException::InternalError, "CPDFDoc::SetDocInfo()");
        bool reread = false;
        const std::string now = writer_->Finish(&reread);
        if (!now.empty()) filePath_ = now;
        if (input_) input_->Close();
        input_.reset();
        // What was decoded came from the file just replaced or extended.
        objStms_.Clear();
        docKey_ = writer_->TakeOutputKey();
        writer_.reset();

        if (reread) {
            input_ = std::make_unique<FileInStream>(kInputBuffer);
            if (!input_->Open(filePath_.c_str(), "rb", 0, -1, kInputBuffer)) {
                errno = input_->SavedErrno();
                Raise("Flush", CPDFException::RuntimeLibraryError, nullptr);
            }
        }
        spare_ = std::make_unique<CPDFXRef>();
        if (!spare_->Create(this, nullptr))
            Raise("Flush", CPDFException::InternalError, factor::kCallXRefCreate);
        CreateWorkingSection("Flush");
        return true;
    });
    if (!ok) DiscardSave();
    return ok;
}

void CPDFDoc::DiscardSave() {
    writer_.reset();
}

}  // namespace corvina
