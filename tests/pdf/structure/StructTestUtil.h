#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "pdf/file/CPDFDoc.h"
#include "pdf/file/CPDFLib.h"
#include "pdf/io/MemInStream.h"
#include "pdf/io/MemOutStream.h"
#include "pdf/io/TempName.h"
#include "pdf/object/CPDFException.h"
#include "pdf/object/CPDFObjRef.h"
#include "pdf/object/CPDFObject.h"
#include "support/PdfBuilder.h"
#include "support/ScratchDir.h"

namespace corvina::structtest {

// One object parsed from text, as the document's reader makes it (plain).
inline std::unique_ptr<CPDFObject> Parse(const std::string& text) {
    MemInStream in(text);
    return CPDFObject::SerializeObject(nullptr, in, nullptr);
}

template <class T>
std::unique_ptr<T> ParseAs(const std::string& text) {
    std::unique_ptr<CPDFObject> obj = Parse(text);
    T* typed = dynamic_cast<T*>(obj.get());
    if (!typed) return nullptr;
    obj.release();
    return std::unique_ptr<T>(typed);
}

inline std::string Written(CPDFObject& obj) {
    MemOutStream out;
    obj.Serialize(out, nullptr);
    return out.Data();
}

// A document opened from a built file in a scratch directory; closed through
// its library at the end.
class OpenedDoc {
public:
    explicit OpenedDoc(const PdfBuilder& pdf, uint32_t options = 0) {
        lib_ = CPDFLib::Create(dir_.Path().c_str());
        if (!lib_) return;
        lib_->SetOptions(options);
        const std::string path = dir_.Write("in.pdf", pdf.Bytes());
        doc_ = lib_->Open(path.c_str(), nullptr, &error_);
    }
    ~OpenedDoc() {
        if (doc_) lib_->Close(doc_);
        // The library pointed the process-wide temporary directory here.
        TempSettings::Directory() = savedTempDir_;
    }
    OpenedDoc(const OpenedDoc&) = delete;
    OpenedDoc& operator=(const OpenedDoc&) = delete;

    CPDFDoc* Doc() const { return doc_; }
    const CPDFException& Error() const { return error_; }
    CPDFObject* Obj(int num, int gen = 0) const { return doc_->GetObj(CPDFObjRef(num, gen)); }
    template <class T>
    T* As(int num, int gen = 0) const {
        return dynamic_cast<T*>(Obj(num, gen));
    }

private:
    std::string savedTempDir_ = TempSettings::Directory();
    ScratchDir dir_;
    std::unique_ptr<CPDFLib> lib_;
    CPDFDoc* doc_ = nullptr;
    CPDFException error_;
};

// The reference a container holds at a key or index, or unset when the entry
// is direct or absent.
inline CPDFObjRef HeldRef(const CPDFAtom* atom) {
    if (atom && atom->Kind() == CPDFAtom::RefKind) return *static_cast<const CPDFObjRef*>(atom);
    return CPDFObjRef();
}

}  // namespace corvina::structtest
