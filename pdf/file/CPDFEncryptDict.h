#pragma once

#include <memory>

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
    // A copy keeps the typed form, so the working trailer's copy of a direct
    // Encrypt is seen as the original is.
    std::unique_ptr<CPDFObject> Duplicate(CPDFObjHolder* dstDoc,
                                          CPDFObjHolder* srcDoc) const override;
    // P must be present; an indirect P becomes a direct integer.
    bool Realize(CPDFObjHolder* doc);
    // Filter "Standard", R 2 and V 1, with O and U of 32 bytes each (any
    // other length could never match and is no dictionary of this handler).
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
