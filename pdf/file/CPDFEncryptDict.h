#pragma once

#include <memory>

#include "pdf/object/CPDFBool.h"
#include "pdf/object/CPDFDict.h"
#include "pdf/object/CPDFDocStruct.h"
#include "pdf/object/CPDFName.h"
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
    // Filter "Standard", R 2 to 6 with a V that goes with it (1 for 2; 1 to
    // 3 for 3; 4 for 4; 5 for 5 and 6), O and U long enough for the
    // revision (32 bytes, 48 from 5 on). The entries' other bounds are
    // checked when a document is opened.
    bool IsSupportedHandler();

    CPDFName* Get_Filter(CPDFObjRef* ref = nullptr);
    CPDFNumber* Get_V(CPDFObjRef* ref = nullptr);
    CPDFNumber* Get_R(CPDFObjRef* ref = nullptr);
    CPDFString* Get_O(CPDFObjRef* ref = nullptr);
    CPDFString* Get_U(CPDFObjRef* ref = nullptr);
    CPDFNumber* Get_P(CPDFObjRef* ref = nullptr);
    bool Set_P(int32_t p);
    CPDFNumber* Get_Length(CPDFObjRef* ref = nullptr);
    CPDFDict* Get_CF(CPDFObjRef* ref = nullptr);
    CPDFName* Get_StmF(CPDFObjRef* ref = nullptr);
    CPDFName* Get_StrF(CPDFObjRef* ref = nullptr);
    CPDFName* Get_EFF(CPDFObjRef* ref = nullptr);
    CPDFBool* Get_EncryptMetadata(CPDFObjRef* ref = nullptr);
    CPDFString* Get_OE(CPDFObjRef* ref = nullptr);
    CPDFString* Get_UE(CPDFObjRef* ref = nullptr);
    CPDFString* Get_Perms(CPDFObjRef* ref = nullptr);
};

}  // namespace corvina
