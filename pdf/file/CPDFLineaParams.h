#pragma once

#include <cstdint>

#include "pdf/io/CorvinaApi.h"
#include "pdf/object/CPDFArray.h"
#include "pdf/object/CPDFDict.h"
#include "pdf/object/CPDFDocStruct.h"
#include "pdf/object/CPDFNumber.h"

namespace corvina {

// The linearization parameter dictionary that opens a linearized file. Owned
// by the document that read it; Load swaps entries with the plain dictionary,
// which it leaves empty. The document is borrowed. The getters observe and
// are null when the entry is missing or of another type.
class CORVINA_API CPDFLineaParams : public CPDFDict, public CPDFDocStruct {
public:
    CPDFLineaParams();

    // Linearized a number; L, O, E, N and T integers; H an array.
    static bool Recognize(CPDFObjHolder* doc, CPDFDict* plain);
    bool Load(CPDFObjHolder* doc, CPDFDict* plain);
    // Indirect integers among L, O, E, N, T, P and the members of H become
    // direct ones; false when one of them is not an integer.
    bool Realize(CPDFObjHolder* doc);

    CPDFNumber* Get_L(CPDFObjRef* ref = nullptr);
    bool Set_L(int32_t value);
    CPDFArray* Get_Hints(CPDFObjRef* ref = nullptr);
    CPDFNumber* Get_O(CPDFObjRef* ref = nullptr);
    bool Set_O(int32_t value);
    CPDFNumber* Get_E(CPDFObjRef* ref = nullptr);
    bool Set_E(int32_t value);
    CPDFNumber* Get_N(CPDFObjRef* ref = nullptr);
    bool Set_N(int32_t value);
    CPDFNumber* Get_T(CPDFObjRef* ref = nullptr);
    bool Set_T(int32_t value);
    CPDFNumber* Get_P(CPDFObjRef* ref = nullptr);
    bool Set_P(int32_t value);
    // Member i of H as an integer, or null.
    CPDFNumber* Hint(int i);
};

}  // namespace corvina
