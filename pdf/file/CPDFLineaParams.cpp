#include "pdf/file/CPDFLineaParams.h"

#include <memory>

#include "pdf/object/CPDFInt.h"

namespace corvina {

namespace {

constexpr int kLineaParamsType = 41;

constexpr char kLinearized[] = "Linearized";
constexpr char kL[] = "L";
constexpr char kH[] = "H";
constexpr char kO[] = "O";
constexpr char kE[] = "E";
constexpr char kN[] = "N";
constexpr char kT[] = "T";
constexpr char kP[] = "P";

bool IsInteger(const CPDFObject* obj) {
    return obj && obj->Is(CPDFObject::Number | CPDFObject::Integer);
}

// An indirect integer under key made direct; a direct one stays, a missing
// optional one is fine.
bool Direct(CPDFDict& dict, CPDFObjHolder* doc, const char* key, bool required) {
    CPDFObjRef ref;
    CPDFObject* value = dict.GetObj(doc, key, &ref);
    if (!value) return !required && !dict.Has(key);
    if (!IsInteger(value)) return false;
    if (!ref.IsSet()) return true;
    const int32_t v = static_cast<CPDFNumber*>(value)->IntValue();
    return dict.SetObj(doc, key, std::make_unique<CPDFInt>(v), false);
}

}  // namespace

CPDFLineaParams::CPDFLineaParams() : CPDFDocStruct(kLineaParamsType) {}

bool CPDFLineaParams::Recognize(CPDFObjHolder* doc, CPDFDict* plain) {
    if (!plain) return false;
    CPDFObject* version = plain->GetObj(doc, kLinearized);
    if (!version || !version->Is(CPDFObject::Number | CPDFObject::Integer | CPDFObject::Real))
        return false;
    for (const char* key : {kL, kO, kE, kN, kT})
        if (!IsInteger(plain->GetObj(doc, key))) return false;
    CPDFObject* hints = plain->GetObj(doc, kH);
    return hints && hints->TypeCode() == CPDFObject::Array;
}

bool CPDFLineaParams::Load(CPDFObjHolder* doc, CPDFDict* plain) {
    SetDoc(doc);
    if (!plain) return false;
    Swap(*plain);
    return true;
}

bool CPDFLineaParams::Realize(CPDFObjHolder* doc) {
    SetDoc(doc);
    try {
        for (const char* key : {kL, kO, kE, kN, kT})
            if (!Direct(*this, doc_, key, true)) return false;
        if (!Direct(*this, doc_, kP, false)) return false;
        CPDFArray* hints = Get_Hints();
        if (!hints) return false;
        for (int i = 0; i < hints->Count(); ++i) {
            CPDFObjRef ref;
            CPDFObject* value = hints->GetObj(doc_, i, &ref);
            if (!IsInteger(value)) return false;
            if (!ref.IsSet()) continue;
            const int32_t v = static_cast<CPDFNumber*>(value)->IntValue();
            if (!hints->ReplaceObj(doc_, i, std::make_unique<CPDFInt>(v), CPDFObjRef()))
                return false;
        }
        return true;
    } catch (...) {
        return false;
    }
}

CPDFNumber* CPDFLineaParams::Get_L(CPDFObjRef* ref) {
    return GetAs<CPDFNumber>(doc_, kL, ref);
}
bool CPDFLineaParams::Set_L(int32_t value) {
    return SetObj(doc_, kL, std::make_unique<CPDFInt>(value), false);
}
CPDFArray* CPDFLineaParams::Get_Hints(CPDFObjRef* ref) {
    return GetAs<CPDFArray>(doc_, kH, ref);
}
CPDFNumber* CPDFLineaParams::Get_O(CPDFObjRef* ref) {
    return GetAs<CPDFNumber>(doc_, kO, ref);
}
bool CPDFLineaParams::Set_O(int32_t value) {
    return SetObj(doc_, kO, std::make_unique<CPDFInt>(value), false);
}
CPDFNumber* CPDFLineaParams::Get_E(CPDFObjRef* ref) {
    return GetAs<CPDFNumber>(doc_, kE, ref);
}
bool CPDFLineaParams::Set_E(int32_t value) {
    return SetObj(doc_, kE, std::make_unique<CPDFInt>(value), false);
}
CPDFNumber* CPDFLineaParams::Get_N(CPDFObjRef* ref) {
    return GetAs<CPDFNumber>(doc_, kN, ref);
}
bool CPDFLineaParams::Set_N(int32_t value) {
    return SetObj(doc_, kN, std::make_unique<CPDFInt>(value), false);
}
CPDFNumber* CPDFLineaParams::Get_T(CPDFObjRef* ref) {
    return GetAs<CPDFNumber>(doc_, kT, ref);
}
bool CPDFLineaParams::Set_T(int32_t value) {
    return SetObj(doc_, kT, std::make_unique<CPDFInt>(value), false);
}
CPDFNumber* CPDFLineaParams::Get_P(CPDFObjRef* ref) {
    return GetAs<CPDFNumber>(doc_, kP, ref);
}
bool CPDFLineaParams::Set_P(int32_t value) {
    return SetObj(doc_, kP, std::make_unique<CPDFInt>(value), false);
}

CPDFNumber* CPDFLineaParams::Hint(int i) {
    CPDFArray* hints = Get_Hints();
    if (!hints || i < 0 || i >= hints->Count()) return nullptr;
    return dynamic_cast<CPDFNumber*>(hints->GetObj(doc_, i));
}

}  // namespace corvina
