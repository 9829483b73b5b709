#pragma once

#include <cstdint>

#include "pdf/io/CorvinaApi.h"
#include "pdf/object/CPDFAtom.h"

namespace corvina {

class OutStream;

// An indirect reference "N G R". (-1, -1) is unset.
class CORVINA_API CPDFObjRef : public CPDFAtom {
public:
    CPDFObjRef() : CPDFAtom(RefKind, "Indirect Reference") {}
    CPDFObjRef(int32_t objNum, int32_t genNum)
        : CPDFAtom(RefKind, "Indirect Reference"), objNum(objNum), genNum(genNum) {}
    CPDFObjRef(const CPDFObjRef& other) = default;
    CPDFObjRef& operator=(const CPDFObjRef& other) {
        objNum = other.objNum;
        genNum = other.genNum;
        return *this;
    }
    ~CPDFObjRef() override = default;

    // "%ld %ld R"
    virtual void Serialize(OutStream& out) const;

    bool IsSet() const { return objNum != -1 && genNum != -1; }
    void Reset() { objNum = genNum = -1; }
    bool operator==(const CPDFObjRef& o) const { return objNum == o.objNum && genNum == o.genNum; }
    bool operator<(const CPDFObjRef& o) const {
        return objNum != o.objNum ? objNum < o.objNum : genNum < o.genNum;
    }

    int32_t objNum = -1;
    int32_t genNum = -1;
};

}  // namespace corvina
