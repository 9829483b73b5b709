#include "pdf/object/CopyAsWritten.h"

#include <typeinfo>

#include "pdf/object/CPDFArray.h"
#include "pdf/object/CPDFDict.h"
#include "pdf/object/ContainerSupport.h"
#include "pdf/object/DepthGuard.h"

namespace corvina::detail {

std::unique_ptr<CPDFAtom> CopyAsWritten(const CPDFAtom* atom) {
    if (!atom) return nullptr;
    try {
        DepthGuard guard(DepthGuard::Copy);
        if (guard.Exceeded()) return nullptr;
        if (atom->Kind() == CPDFAtom::RefKind) return NewRef(*static_cast<const CPDFObjRef*>(atom));
        const CPDFObject* obj = AsObject(atom);
        if (!obj) return nullptr;
        if (typeid(*obj) == typeid(CPDFArray)) {
            const auto* from = static_cast<const CPDFArray*>(obj);
            auto copy = std::make_unique<CPDFArray>();
            copy->CopyFlags(*from);
            if (!copy->ReserveSlots(from->Count())) return nullptr;
            for (int i = 0; i < from->Count(); ++i) {
                auto member = CopyAsWritten(from->GetAt(i));
                if (!member || !copy->Push_Back(std::move(member))) return nullptr;
            }
            return copy;
        }
        if (typeid(*obj) == typeid(CPDFDict)) {
            const auto* from = static_cast<const CPDFDict*>(obj);
            auto copy = std::make_unique<CPDFDict>();
            copy->CopyFlags(*from);
            for (CPDFDict::Node* n = from->First(); n; n = CPDFDict::Next(n)) {
                auto member = CopyAsWritten(n->value);
                if (!member || !copy->Insert(n->key, std::move(member))) return nullptr;
            }
            return copy;
        }
        return obj->Duplicate(nullptr, nullptr);
    } catch (...) {
        return nullptr;
    }
}

}  // namespace corvina::detail
