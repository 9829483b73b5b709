#include "pdf/file/CPDFEncryptDict.h"

#include <memory>

#include "pdf/object/CPDFInt.h"
#include "pdf/object/CPDFName.h"
#include "pdf/object/DepthGuard.h"

namespace corvina {

namespace {

constexpr int kEncryptDictType = 40;

constexpr char kFilter[] = "Filter";
constexpr char kV[] = "V";
constexpr char kR[] = "R";
constexpr char kO[] = "O";
constexpr char kU[] = "U";
constexpr char kP[] = "P";
constexpr char kLength[] = "Length";
constexpr char kCF[] = "CF";
constexpr char kStmF[] = "StmF";
constexpr char kStrF[] = "StrF";
constexpr char kEFF[] = "EFF";
constexpr char kEncryptMetadata[] = "EncryptMetadata";
constexpr char kOE[] = "OE";
constexpr char kUE[] = "UE";
constexpr char kPerms[] = "Perms";
constexpr char kStandard[] = "Standard";
constexpr int kEntryLength = 32;
constexpr int kEntryLengthR5 = 48;

bool IsInteger(const CPDFObject* obj) {
    return obj && obj->Is(CPDFObject::Number | CPDFObject::Integer);
}
bool IsString(const CPDFObject* obj) {
    return obj && obj->Is(CPDFObject::String | CPDFObject::Text);
}

}  // namespace

CPDFEncryptDict::CPDFEncryptDict() : CPDFDocStruct(kEncryptDictType) {}

bool CPDFEncryptDict::Recognize(CPDFObjHolder* doc, CPDFDict* plain) {
    if (!plain) return false;
    CPDFObject* filter = plain->GetObj(doc, kFilter);
    if (!filter || filter->TypeCode() != CPDFObject::Name) return false;
    if (IsNameEqual(filter, kStandard)) {
        if (!IsInteger(plain->GetObj(doc, kR))) return false;
        if (!IsString(plain->GetObj(doc, kO))) return false;
        if (!IsString(plain->GetObj(doc, kU))) return false;
    }
    return IsInteger(plain->GetObj(doc, kP));
}

bool CPDFEncryptDict::Load(CPDFObjHolder* doc, CPDFDict* plain) {
    SetDoc(doc);
    if (!plain) return false;
    Swap(*plain);
    return true;
}

std::unique_ptr<CPDFObject> CPDFEncryptDict::Duplicate(CPDFObjHolder* dstDoc,
                                                       CPDFObjHolder* srcDoc) const {
    try {
        detail::DepthGuard guard(detail::DepthGuard::Copy);
        if (guard.Exceeded()) return nullptr;
        auto copy = std::make_unique<CPDFEncryptDict>();
        copy->CopyFlags(*this);
        copy->SetDoc(dstDoc);
        if (!CopyEntries(*copy, dstDoc, srcDoc, true)) return nullptr;
        return copy;
    } catch (...) {
        return nullptr;
    }
}

bool CPDFEncryptDict::Realize(CPDFObjHolder* doc) {
    SetDoc(doc);
    CPDFObjRef ref;
    CPDFObject* p = GetObj(doc_, kP, &ref);
    if (!p) return false;
    if (!ref.IsSet()) return true;
    if (!IsInteger(p)) return false;
    return Set_P(static_cast<CPDFNumber*>(p)->IntValue());
}

bool CPDFEncryptDict::IsSupportedHandler() {
    if (!IsNameEqual(Get_Filter(), kStandard)) return false;
    CPDFNumber* r = Get_R();
    CPDFNumber* v = Get_V();
    CPDFString* o = Get_O();
    CPDFString* u = Get_U();
    if (!r || !v || !o || !u) return false;
    const int rev = r->IntValue(), ver = v->IntValue();
    bool pair = false;
    switch (rev) {
        case 2:
            pair = ver == 1;
            break;
        case 3:
            pair = ver >= 1 && ver <= 3;
            break;
        case 4:
            pair = ver == 4;
            break;
        case 5:
        case 6:
            pair = ver == 5;
            break;
        default:
            break;
    }
    // Some writers pad O and U beyond their length; fewer bytes can never
    // match.
    const int need = rev >= 5 ? kEntryLengthR5 : kEntryLength;
    return pair && o->Length() >= need && u->Length() >= need;
}

CPDFName* CPDFEncryptDict::Get_Filter(CPDFObjRef* ref) {
    return GetAs<CPDFName>(doc_, kFilter, ref);
}
CPDFNumber* CPDFEncryptDict::Get_V(CPDFObjRef* ref) {
    return GetAs<CPDFNumber>(doc_, kV, ref);
}
CPDFNumber* CPDFEncryptDict::Get_R(CPDFObjRef* ref) {
    return GetAs<CPDFNumber>(doc_, kR, ref);
}
CPDFString* CPDFEncryptDict::Get_O(CPDFObjRef* ref) {
    return GetAs<CPDFString>(doc_, kO, ref);
}
CPDFString* CPDFEncryptDict::Get_U(CPDFObjRef* ref) {
    return GetAs<CPDFString>(doc_, kU, ref);
}
CPDFNumber* CPDFEncryptDict::Get_P(CPDFObjRef* ref) {
    return GetAs<CPDFNumber>(doc_, kP, ref);
}

CPDFNumber* CPDFEncryptDict::Get_Length(CPDFObjRef* ref) {
    return GetAs<CPDFNumber>(doc_, kLength, ref);
}
CPDFDict* CPDFEncryptDict::Get_CF(CPDFObjRef* ref) {
    return GetAs<CPDFDict>(doc_, kCF, ref);
}
CPDFName* CPDFEncryptDict::Get_StmF(CPDFObjRef* ref) {
    return GetAs<CPDFName>(doc_, kStmF, ref);
}
CPDFName* CPDFEncryptDict::Get_StrF(CPDFObjRef* ref) {
    return GetAs<CPDFName>(doc_, kStrF, ref);
}
CPDFName* CPDFEncryptDict::Get_EFF(CPDFObjRef* ref) {
    return GetAs<CPDFName>(doc_, kEFF, ref);
}
CPDFBool* CPDFEncryptDict::Get_EncryptMetadata(CPDFObjRef* ref) {
    return GetAs<CPDFBool>(doc_, kEncryptMetadata, ref);
}
CPDFString* CPDFEncryptDict::Get_OE(CPDFObjRef* ref) {
    return GetAs<CPDFString>(doc_, kOE, ref);
}
CPDFString* CPDFEncryptDict::Get_UE(CPDFObjRef* ref) {
    return GetAs<CPDFString>(doc_, kUE, ref);
}
CPDFString* CPDFEncryptDict::Get_Perms(CPDFObjRef* ref) {
    return GetAs<CPDFString>(doc_, kPerms, ref);
}

bool CPDFEncryptDict::Set_P(int32_t p) {
    return SetObj(doc_, kP, std::make_unique<CPDFInt>(p), false);
}

}  // namespace corvina
