#pragma once

#include "pdf/object/CPDFDocStruct.h"

namespace corvina::detail {

// The least that the typed loads of the document structure need from a class
// of a subsystem this library does not build out (annotations, actions,
// resources, ...): the value part, the owning document, and a typed load that
// takes over the plain value's contents. Nothing more belongs here.
template <class Value, int TypeNo>
class CPDFMinimal : public Value, public CPDFDocStruct {
public:
    CPDFMinimal() : CPDFDocStruct(TypeNo) {}

    using CPDFDocStruct::GetDoc;
    using CPDFDocStruct::SetDoc;

    bool Load(CPDFObjHolder* doc, Value* plain) {
        SetDoc(doc);
        this->Swap(*plain);
        return true;
    }
};

}  // namespace corvina::detail
