#pragma once

#include "pdf/object/CPDFDict.h"
#include "pdf/object/CPDFDocStruct.h"
#include "pdf/object/CPDFNumber.h"
#include "pdf/object/CPDFString.h"

namespace corvina {

// The trailer's Encrypt dictionary of the standard security handler. Owned
// by the document as the typed form of the indirect Encrypt object; Load
// swaps entries with the plain dictionary, which a fresh one leaves empty.
// The document is borrowed. The getters observe and are null when the entry
// is missing or of another type; such an entry makes Recognize, Realize and
// IsSupportedHandler false.
class CPDFEncryptDict : public CPDFDict, public CPDFDocStruct {
public:
    CPDFEncryptDict();

    // Filter a name; for "Standard" R an integer and O, U strings; P an integer.
    static bool Recognize(CPDFObjHolder* doc, CPDFDict* plain);
    bool Load(CPDFObjHolder* doc, CPDFDict* plain);
    // P must be present; an indirect P becomes a direct integer.
    bool Realize(CPDFObjHolder* doc);
    // Filter "Standard", R 2 and V 1.
    bool IsSupportedHandler();

    CPDFName* Get_Filter(CPDFObjRef* ref = nullptr);
    CPDFNumber* Get_V(CPDFObjRef* ref = nullptr);
    CPDFNumber* Get_R(CPDFObjRef* ref = nullptr);
    CPDFString* Get_O(CPDFObjRef* ref = nullptr);
    CPDFString* Get_U(CPDFObjRef* ref = nullptr);
    CPDFNumber* Get_P(CPDFObjRef* ref = nullptr);
    bool Set_P(int32_t p);
};

}  // namespace corvina
