#pragma once

#include "pdf/file/CPDFFileStruct.h"
#include "pdf/io/CorvinaApi.h"
#include "pdf/object/Factors.h"

namespace corvina {

class InStream;

// "%PDF-m.n" or "%FDF-m.n" and the binary marker line. Owned by the
// document; holds nothing but the version and the kind of file.
class CORVINA_API CPDFHeader : public CPDFFileStruct {
public:
    CPDFHeader() : CPDFFileStruct(HeaderKind) {}

    // Reads the first line; throws the invalid-header or the I/O factor.
    void Serialize(CPDFObjHolder* doc, InStream& in);
    void Serialize(OutStream& out) override;
    bool Realize(CPDFObjHolder* doc) {
        doc_ = doc;
        return true;
    }

    bool IsFDF() const { return fdf_; }
    void SetFDF(bool fdf) { fdf_ = fdf; }
    long Major() const { return major_; }
    long Minor() const { return minor_; }
    void SetVersion(long major, long minor) {
        major_ = major;
        minor_ = minor;
    }

private:
    bool fdf_ = false;
    long major_ = 0;
    long minor_ = 0;
};

}  // namespace corvina
