#pragma once

#include <cstdint>
#include <memory>

#include "pdf/io/CorvinaApi.h"
#include "pdf/object/CPDFNumber.h"
#include "pdf/stream/CPDFStream.h"

namespace corvina {

// The primary hint stream of a linearized file: a stream whose dictionary
// gives the offsets of the hint tables within its data, which is kept like
// any stream's and never interpreted. Owned by the document that read it;
// the document is borrowed. The getters observe and are null when the entry
// is missing or not a number.
class CORVINA_API CPDFHintStream : public CPDFStream {
public:
    explicit CPDFHintStream(CPDFObjHolder* doc);

    // S must be an integer.
    static bool Recognize(CPDFObjHolder* doc, CPDFDict* plain);
    // Indirect integers among the table offsets become direct ones; false
    // when one of them is not an integer.
    bool Realize(CPDFObjHolder* doc);

    CPDFNumber* Get_P(CPDFObjRef* ref = nullptr);
    bool Set_P(int32_t value);
    CPDFNumber* Get_S(CPDFObjRef* ref = nullptr);
    bool Set_S(int32_t value);
    CPDFNumber* Get_T(CPDFObjRef* ref = nullptr);
    bool Set_T(int32_t value);
    CPDFNumber* Get_O(CPDFObjRef* ref = nullptr);
    bool Set_O(int32_t value);
    CPDFNumber* Get_A(CPDFObjRef* ref = nullptr);
    bool Set_A(int32_t value);
    CPDFNumber* Get_E(CPDFObjRef* ref = nullptr);
    bool Set_E(int32_t value);
    CPDFNumber* Get_V(CPDFObjRef* ref = nullptr);
    bool Set_V(int32_t value);
    CPDFNumber* Get_I(CPDFObjRef* ref = nullptr);
    bool Set_I(int32_t value);
    CPDFNumber* Get_C(CPDFObjRef* ref = nullptr);
    bool Set_C(int32_t value);
};

}  // namespace corvina
