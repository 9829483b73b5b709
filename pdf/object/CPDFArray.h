#pragma once

#include <functional>
#include <memory>
#include <vector>

#include "pdf/io/CorvinaApi.h"
#include "pdf/object/CPDFObjRef.h"
#include "pdf/object/CPDFObject.h"
#include "pdf/object/TempArray.h"

namespace corvina {

// An array that owns its members (direct objects or references).
class CORVINA_API CPDFArray : public CPDFObject, protected TempArray<CPDFAtom*> {
public:
    // Receives one member as it is read, with its ownership; false stops the
    // reading with an error.
    using ElementFn = std::function<bool(std::unique_ptr<CPDFAtom> member)>;

    CPDFArray();
    ~CPDFArray() override;

    static std::unique_ptr<CPDFArray> SerializeObject(CPDFObjHolder* doc, InStream& in,
                                                      CryptKey crypt);
    void Serialize(CPDFObjHolder* doc, InStream& in, CryptKey crypt);
    // Reads an array's syntax and hands each member to fn instead of keeping
    // it: an array of millions of members that only pass through is never
    // held whole.
    static void SerializeEach(CPDFObjHolder* doc, InStream& in, CryptKey crypt,
                              const ElementFn& fn);
    // "[", members separated by one space, "]".
    void Serialize(OutStream& out, CryptKey crypt) override;
    std::unique_ptr<CPDFObject> Duplicate(CPDFObjHolder* dstDoc,
                                          CPDFObjHolder* srcDoc) const override;
    bool Release(CPDFObjHolder* doc) override;
    bool Linearize(CPDFObjHolder* ctx) override;

    // Raw operations; no holder involved.
    using TempArray<CPDFAtom*>::Count;
    // Room for n members, so that building a long array does not regrow it.
    bool ReserveSlots(int n) { return TempArray<CPDFAtom*>::Reserve(n); }
    CPDFAtom* GetAt(int index) const {
        return index >= 0 && index < count_ ? items_[index] : nullptr;
    }
    bool SetAt(int index, std::unique_ptr<CPDFAtom> atom);
    bool Push_Back(std::unique_ptr<CPDFAtom> atom);
    bool PushFront(std::unique_ptr<CPDFAtom> atom);
    // Detaches the member at index (the caller gets it) and closes the gap.
    std::unique_ptr<CPDFAtom> Erase(int index);
    void Clear() { TempArray<CPDFAtom*>::Clear(); }
    // Moves every member, in order, to the end of out; the array is left
    // empty.
    void TakeAll(std::vector<std::unique_ptr<CPDFAtom>>& out);
    void Swap(CPDFArray& other) { TempArray<CPDFAtom*>::Swap(other); }

    // Holder-aware operations; each clears the holder's last error first.
    // ref (optional) receives the reference a value was reached through.
    CPDFObject* GetObj(CPDFObjHolder* doc, int index, CPDFObjRef* ref = nullptr);
    // The value is consumed whether or not the call succeeds.
    bool SetObj(CPDFObjHolder* doc, int index, std::unique_ptr<CPDFObject> value, bool indirect,
                CPDFObjRef* ref = nullptr);
    bool Push_Back(CPDFObjHolder* doc, std::unique_ptr<CPDFObject> value, bool indirect,
                   CPDFObjRef* ref = nullptr);
    // Stores value at index in the form that `through` says: as the same
    // indirect object when set, directly otherwise.
    bool ReplaceObj(CPDFObjHolder* doc, int index, std::unique_ptr<CPDFObject> value,
                    const CPDFObjRef& through);
    bool CopyEntries(CPDFArray& dst, CPDFObjHolder* dstDoc, CPDFObjHolder* srcDoc,
                     bool overwrite) const;

private:
    // Steps of 10 slots for ordinary arrays; very long ones grow by half so
    // that parsing them stays linear.
    int NewSize(int n) const override;
};

}  // namespace corvina
