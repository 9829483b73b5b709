#pragma once

#include <memory>

#include "pdf/io/CorvinaApi.h"
#include "pdf/object/CPDFArray.h"
#include "pdf/object/CPDFName.h"
#include "pdf/object/CPDFObjRef.h"
#include "pdf/object/CPDFObject.h"
#include "pdf/object/TempDict.h"

namespace corvina {

// A dictionary that owns its values; entries iterate in ascending byte order
// of their keys.
class CORVINA_API CPDFDict : public CPDFObject, protected TempDict<CPDFName, CPDFAtom*> {
public:
    using Node = TempDict<CPDFName, CPDFAtom*>::Node;

    CPDFDict();
    ~CPDFDict() override;

    // A dictionary, or the hexadecimal string that starts here instead. The
    // reader of indirect objects turns a dictionary that opens a stream into one.
    static std::unique_ptr<CPDFObject> SerializeObject(CPDFObjHolder* doc, InStream& in,
                                                       CryptKey crypt);
    void Serialize(CPDFObjHolder* doc, InStream& in, CryptKey crypt);
    // Reads like Serialize, but an array written directly under the key
    // streamed has its members handed to fn as they are read; the entry
    // keeps an empty array. A name tree leaf of a million pairs is never held
    // whole this way.
    void Serialize(CPDFObjHolder* doc, InStream& in, CryptKey crypt, const char* streamed,
                   const CPDFArray::ElementFn& fn);
    // "<<" CR LF, "/Key value" CR LF per entry in key order, ">>".
    void Serialize(OutStream& out, CryptKey crypt) override;
    std::unique_ptr<CPDFObject> Duplicate(CPDFObjHolder* dstDoc,
                                          CPDFObjHolder* srcDoc) const override;
    bool Release(CPDFObjHolder* doc) override;
    bool Linearize(CPDFObjHolder* ctx) override;

    // Raw operations.
    using TempDict<CPDFName, CPDFAtom*>::Count;
    using TempDict<CPDFName, CPDFAtom*>::First;
    using TempDict<CPDFName, CPDFAtom*>::Next;
    bool Insert(const CPDFName& key, std::unique_ptr<CPDFAtom> atom);
    // Takes the key's text instead of copying it.
    bool Insert(CPDFName&& key, std::unique_ptr<CPDFAtom> atom);
    bool Insert(const char* key, std::unique_ptr<CPDFAtom> atom) {
        return Insert(CPDFName(key), std::move(atom));
    }
    CPDFAtom* Find(const char* key) const {
        Node* n = TempDict::Find(key);
        return n ? n->value : nullptr;
    }
    bool Has(const char* key) const { return TempDict::Find(key) != nullptr; }
    // The stored atom as a direct object (null for a reference or absence).
    CPDFObject* FindDirect(const char* key) const { return AsObject(Find(key)); }
    // Detaches the value of key (the caller gets it) and erases the entry.
    std::unique_ptr<CPDFAtom> Detach(const char* key);
    void RemoveAll() { TempDict::RemoveAll(); }
    void Swap(CPDFDict& other) { TempDict::Swap(other); }

    // Holder-aware operations; each clears the holder's last error first.
    CPDFObject* GetObj(CPDFObjHolder* doc, const char* key, CPDFObjRef* ref = nullptr);
    template <class T>
    T* GetAs(CPDFObjHolder* doc, const char* key, CPDFObjRef* ref = nullptr) {
        return dynamic_cast<T*>(GetObj(doc, key, ref));
    }
    // The value is consumed whether or not the call succeeds.
    bool SetObj(CPDFObjHolder* doc, const char* key, std::unique_ptr<CPDFObject> value,
                bool indirect, CPDFObjRef* ref = nullptr);
    // Stores value under key in the form that `through` says: as the same
    // indirect object when set, directly otherwise.
    bool ReplaceObj(CPDFObjHolder* doc, const char* key, std::unique_ptr<CPDFObject> value,
                    const CPDFObjRef& through);
    // Removes the entry; a referenced object is removed from the holder too.
    void RemoveKey(CPDFObjHolder* doc, const char* key);
    bool CopyEntries(CPDFDict& dst, CPDFObjHolder* dstDoc, CPDFObjHolder* srcDoc,
                     bool overwrite) const;

private:
    // SetObj with the key as a name (keys may hold any byte).
    bool StoreObj(CPDFObjHolder* doc, const CPDFName& key, std::unique_ptr<CPDFObject> value,
                  bool indirect, CPDFObjRef* ref);
};

}  // namespace corvina
