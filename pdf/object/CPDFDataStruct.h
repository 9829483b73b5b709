#pragma once

namespace corvina {

class CPDFDoc;

// Base of the typed data structures (tree nodes, destinations, dates). Same
// shape as CPDFDocStruct.
class CPDFDataStruct {
public:
    virtual ~CPDFDataStruct() = default;

    bool SetDoc(CPDFDoc* doc) {
        doc_ = doc;
        return true;
    }
    CPDFDoc* GetDoc() const { return doc_; }
    int StructType() const { return structType_; }

protected:
    explicit CPDFDataStruct(int structType) : structType_(structType) {}

    CPDFDoc* doc_ = nullptr;
    int structType_ = -1;
};

}  // namespace corvina
