#pragma once

#include "pdf/io/CorvinaApi.h"

namespace corvina {

class CPDFObjHolder;
class OutStream;

// Base of the four parts of a file: header, body, cross-reference table, trailer.
// The document owns each part; the part only borrows the document, through
// the holder interface it implements (so the parts never need the document's
// class), which is null until Create, Realize or the reading Serialize names
// it. Reading throws a CPDFException for the document's boundary to keep; a
// write error stays in the output stream for the document to check.
class CORVINA_API CPDFFileStruct {
public:
    enum Kind { HeaderKind = 0, BodyKind = 1, XRefKind = 2, TrailerKind = 3 };

    virtual ~CPDFFileStruct() = default;
    virtual void Serialize(OutStream& out) = 0;

    CPDFObjHolder* GetDoc() const { return doc_; }
    int FileKind() const { return kind_; }

protected:
    explicit CPDFFileStruct(int kind) : kind_(kind) {}

    CPDFObjHolder* doc_ = nullptr;
    int kind_;
};

}  // namespace corvina
