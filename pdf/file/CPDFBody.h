#pragma once

#include <cstdint>
#include <memory>
#include <vector>

#include "pdf/file/CPDFFileStruct.h"
#include "pdf/io/CorvinaApi.h"
#include "pdf/object/CPDFObjRef.h"
#include "pdf/object/CPDFObject.h"

namespace corvina {

// The store of one section's loaded objects: slot n-1 holds object n. The
// body owns what it stores: SetObj and AddObj take an object, TakeObj gives
// one back, RemoveObj destroys it. GetObj and SlotObj only observe, and are
// null for a number outside the body, an empty slot, or (GetObj) another
// generation. Nothing throws; a number outside the size, or memory running
// out, is a false result.
class CORVINA_API CPDFBody : public CPDFFileStruct {
public:
    CPDFBody() : CPDFFileStruct(BodyKind) {}

    // Objects are written by the document, not by the body.
    void Serialize(OutStream&) override {}
    bool Create(CPDFObjHolder* doc, const CPDFBody* source);
    bool Realize(CPDFObjHolder* doc) {
        doc_ = doc;
        return true;
    }

    // The object only when number and generation both match.
    CPDFObject* GetObj(const CPDFObjRef& ref) const;
    // Replaces the slot's reference and object; the number must be within the size.
    bool SetObj(const CPDFObjRef& ref, std::unique_ptr<CPDFObject> obj);
    // Appends a slot; ref receives the new number with generation 0.
    bool AddObj(std::unique_ptr<CPDFObject> obj, CPDFObjRef* ref);
    std::unique_ptr<CPDFObject> TakeObj(const CPDFObjRef& ref);
    void RemoveObj(const CPDFObjRef& ref);
    bool Resize(int32_t size);
    int32_t Size() const { return size_; }
    // The slot's object whatever its generation (for the writer's walk).
    CPDFObject* SlotObj(int32_t objNum, CPDFObjRef* ref) const;

private:
    struct Slot {
        int32_t objNum = -1;
        int32_t genNum = -1;
        std::unique_ptr<CPDFObject> obj;
    };
    Slot* Find(const CPDFObjRef& ref);
    bool Cover(int32_t objNum);

    // The body's size; storage grows only as far as objects are placed.
    int32_t size_ = 0;
    std::vector<Slot> slots_;
};

}  // namespace corvina
