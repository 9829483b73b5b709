#pragma once

namespace corvina {

class CPDFDoc;

// Base of the typed structures that belong to a document part (catalog, page
// tree, information dictionary ...). The value part (a CPDFDict) is what is
// stored in containers and in the document.
class CPDFDocStruct {
public:
    virtual ~CPDFDocStruct() = default;

    bool SetDoc(CPDFDoc* doc) {
        doc_ = doc;
        return true;
    }
    CPDFDoc* GetDoc() const { return doc_; }
    int StructType() const { return structType_; }

protected:
    explicit CPDFDocStruct(int structType) : structType_(structType) {}

    CPDFDoc* doc_ = nullptr;
    int structType_ = -1;
};

}  // namespace corvina
