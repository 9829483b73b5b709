#pragma once

#include "pdf/io/CorvinaApi.h"

namespace corvina {

class CPDFObjHolder;

namespace detail {

// What both typed-structure bases hold: the holder of the objects the
// structure refers to (borrowed; null until set) and the class number within
// its family.
class CORVINA_API StructBase {
public:
    virtual ~StructBase() = default;

    bool SetDoc(CPDFObjHolder* doc) {
        doc_ = doc;
        return true;
    }
    CPDFObjHolder* GetDoc() const { return doc_; }
    int StructType() const { return structType_; }

protected:
    explicit StructBase(int structType) : structType_(structType) {}

    CPDFObjHolder* doc_ = nullptr;
    int structType_ = -1;
};

}  // namespace detail
}  // namespace corvina
