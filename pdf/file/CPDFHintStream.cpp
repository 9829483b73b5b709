#include "pdf/file/CPDFHintStream.h"

#include <memory>

#include "pdf/object/CPDFInt.h"

namespace corvina {

namespace {

constexpr const char* kTables[] = {"P", "S", "T", "O", "A", "E", "V", "I", "C"};

bool IsInteger(const CPDFObject* obj) {
    return obj && obj->Is(CPDFObject::Number | CPDFObject::Integer);
}

}  // namespace

CPDFHintStream::CPDFHintStream(CPDFObjHolder* doc) : CPDFStream(doc) {}

bool CPDFHintStream::Recognize(CPDFObjHolder* doc, CPDFDict* plain) {
    return plain && IsInteger(plain->GetObj(doc, "S"));
}

bool CPDFHintStream::Realize(CPDFObjHolder* doc) {
    try {
        for (const char* key : kTables) {
            CPDFObjRef ref;
            CPDFObject* value = GetObj(doc, key, &ref);
            if (!ref.IsSet()) continue;
            if (!IsInteger(value)) return false;
            const int32_t v = static_cast<CPDFNumber*>(value)->IntValue();
            if (!SetObj(doc, key, std::make_unique<CPDFInt>(v), false)) return false;
        }
        return true;
    } catch (...) {
        return false;
    }
}

#define CORVINA_HINT_TABLE(K)                                                 \
    CPDFNumber* CPDFHintStream::Get_##K(CPDFObjRef* ref) {                    \
        return GetAs<CPDFNumber>(GetDoc(), #K, ref);                          \
    }                                                                         \
    bool CPDFHintStream::Set_##K(int32_t value) {                             \
        return SetObj(GetDoc(), #K, std::make_unique<CPDFInt>(value), false); \
    }
CORVINA_HINT_TABLE(P)
CORVINA_HINT_TABLE(S)
CORVINA_HINT_TABLE(T)
CORVINA_HINT_TABLE(O)
CORVINA_HINT_TABLE(A)
CORVINA_HINT_TABLE(E)
CORVINA_HINT_TABLE(V)
CORVINA_HINT_TABLE(I)
CORVINA_HINT_TABLE(C)
#undef CORVINA_HINT_TABLE

}  // namespace corvina
