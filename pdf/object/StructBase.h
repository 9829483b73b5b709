#pragma once

namespace corvina {

class CPDFDoc;

namespace detail {

// What both typed-structure bases hold: the owning document and the class
// number within its family.
class StructBase {
public:
    virtual ~StructBase() = default;

    bool SetDoc(CPDFDoc* doc) {
        doc_ = doc;
        return true;
    }
    CPDFDoc* GetDoc() const { return doc_; }
    int StructType() const { return structType_; }

protected:
    explicit StructBase(int structType) : structType_(structType) {}

    CPDFDoc* doc_ = nullptr;
    int structType_ = -1;
};

}  // namespace detail
}  // namespace corvina
